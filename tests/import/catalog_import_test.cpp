// The import of a compressed input: the description, the sample and the
// magnitude scan read it through once between them, and propose what the
// same text uncompressed does.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/catalog_import.h"
#include "support/counting_file_system.h"
#include "support/fits_writer.h"
#include "support/gzip.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

using testing::TempDir;

// Rows of stars with a long note of digits that compress little: the
// compressed file is read to its end only by what reads all of it.
std::vector<std::vector<std::string>> starRows(int count) {
  std::vector<std::vector<std::string>> rows;
  unsigned state = 12345;
  for (int n = 0; n < count; ++n) {
    std::string note;
    while (note.size() < 96) note += std::to_string(state = state * 1103515245u + 12345u);
    rows.push_back({"S" + std::to_string(n), std::to_string(n * 0.0721 + 0.5), std::to_string(n * 0.0347 - 80),
                    std::to_string(3 + (n % 97) * 0.1), note.substr(0, 96)});
  }
  return rows;
}

ImportOutcome importedFrom(FileSystem& fs, const std::string& path) {
  ImportRequest request;
  request.inputs = {path};
  CatalogDefinition definition;
  return importCatalog(fs, request, definition);
}

TEST(CatalogImport, ACompressedInputIsReadThroughOnce) {
  const std::vector<std::vector<std::string>> rows = starRows(4800);
  TempDir dir;
  std::string csv = "name,ra,dec,vmag,note\n";
  for (const auto& row : rows) csv += row[0] + "," + row[1] + "," + row[2] + "," + row[3] + "," + row[4] + "\n";
  dir.write("stars.csv", csv);
  testing::writeFitsTable(dir.str() + "/stars.fits",
                          {{"name", "16A"}, {"ra", "1D", "deg"}, {"dec", "1D", "deg"}, {"vmag", "1E", "mag"}, {"note", "96A"}},
                          rows);
  for (const std::string name : {"stars.csv", "stars.fits"}) {
    SCOPED_TRACE(name);
    const std::string plain = dir.str() + "/" + name;
    const std::string compressed = dir.write(name + ".gz", testing::gzipped(TempDir::readFile(plain)));
    const auto size = static_cast<std::int64_t>(TempDir::readFile(compressed).size());
    ASSERT_GT(size, 256 << 10);  // beyond what a reader of the head takes
    testing::ReadCountingFileSystem fs(compressed);
    const ImportOutcome fromCompressed = importedFrom(fs, compressed);
    EXPECT_EQ(fs.wholeReads(size), 1);
    EXPECT_TRUE(fromCompressed.magnitudeRead);
    EXPECT_EQ(fromCompressed.notes, importedFrom(FileSystem::real(), plain).notes);
  }
}

}  // namespace
}  // namespace mirdal
