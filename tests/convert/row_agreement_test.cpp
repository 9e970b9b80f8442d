// The build, the magnitude scan and page 3's sample read the rows of an
// input file through one RowSource: whatever the form, they see the same
// number of rows, the same first row and the same last row.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "convert/magnitude_scan.h"
#include "import/table_import.h"
#include "input/row_source.h"
#include "output/catalog_reader.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/shared_forms.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace mirdal {
namespace {

using testing::RecordingUi;
using testing::TempDir;
using testing::textOf;

const std::string kData = MIRDAL_SHARED_DATA_DIR;

CatalogDefinition projectFor(const std::string& path, TableForm form, const std::string& out) {
  CatalogDefinition def = testing::importedProject(path, form, out);
  def.settings.shortname = "agr";
  def.settings.numfile = 1;
  def.settings.magmax = 20;
  return def;
}

// Every row as RowSource gives it: text rows as they stand, typed rows as
// the count of rows only (their cells have no text of their own).
struct Rows {
  std::int64_t count = 0;
  std::string first, last;
};

Rows rowsOf(const CatalogDefinition& def) {
  Rows rows;
  RowSource source(FileSystem::real(), def.settings.inputfiles.front(), InputFormat::of(def.settings));
  if (source.typed()) {
    std::vector<TableCell> cells;
    source.typedRows().selectColumns({1});
    while (const std::size_t n = source.typedRows().readRows(cells, 1000)) rows.count += static_cast<std::int64_t>(n);
    return rows;
  }
  std::string_view row;
  std::int64_t line = 0;
  while (source.nextLine(row, line)) {
    if (rows.count++ == 0) rows.first = row;
    rows.last = row;
  }
  return rows;
}

std::set<std::string> namesOf(const std::string& dir) {
  CatalogReader reader(dir, {}, FileSystem::real());
  std::set<std::string> names;
  for (int r = 1; r <= reader.regionCount(); ++r)
    for (const std::string& rec : reader.readRegion(r)) names.emplace(trimmed(textOf(reader.decode(rec), 3)));
  return names;
}

void expectAgreement(const CatalogDefinition& def, const std::set<std::string>& firstAndLastNames) {
  const std::string& path = def.settings.inputfiles.front();
  const Rows rows = rowsOf(def);
  ASSERT_GT(rows.count, 0);

  RecordingUi ui;
  const BuildResult built = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(built.completed);
  EXPECT_EQ(built.linesRead, rows.count);
  const std::set<std::string> names = namesOf(def.settings.ouputdir);
  for (const std::string& name : firstAndLastNames) EXPECT_EQ(names.count(name), 1u) << name;

  EXPECT_EQ(scanMagnitudes(def, {path}, FileSystem::real()).lines, rows.count);

  const RowSample sample = readRowSample(FileSystem::real(), path, InputFormat::of(def.settings), 100'000, 65536);
  ASSERT_FALSE(sample.rows.empty());
  if (rows.first.empty()) return;  // typed: the sample is the first row only
  EXPECT_EQ(sample.rows.front(), rows.first);
  if (static_cast<std::int64_t>(sample.rows.size()) == rows.count) {
    EXPECT_EQ(sample.rows.back(), rows.last);
  }
}

TEST(RowAgreement, SharedFormsGiveEveryReaderTheSameRows) {
  if (!std::filesystem::exists(kData + "/formats/bsc5.csv")) GTEST_SKIP() << "no shared data";
  TempDir dir;
  for (const auto& [file, form] : testing::kSharedForms) {
    SCOPED_TRACE(file);
    // HR 1 and HR 9110 are the first and last rows of every file.
    expectAgreement(projectFor(kData + "/formats/" + file, form, dir.str() + "/" + file), {"1", "9110"});
  }
}

TEST(RowAgreement, CommentsBlankLinesAndAQuotedCellOverTwoLines) {
  TempDir dir;
  const std::string csv = dir.write("notes.csv",
                                    "# written by hand\n"
                                    "ID,RAdeg,DEdeg,Vmag,Note\n"
                                    "s1,10.5,20.25,5.5,plain\n"
                                    "# a comment between rows\n"
                                    "\n"
                                    "s2,11.5,21.25,6.5,\"a note\n"
                                    "over two lines\"\n"
                                    "s3,12.5,-22.25,7.5,\"last\"\n");
  const CatalogDefinition def = projectFor(csv, TableForm::Csv, dir.str() + "/out");
  expectAgreement(def, {"s1", "s3"});
  EXPECT_EQ(rowsOf(def).count, 3);
  EXPECT_EQ(rowsOf(def).last, "s3,12.5,-22.25,7.5,\"last\"");
}

}  // namespace
}  // namespace mirdal
