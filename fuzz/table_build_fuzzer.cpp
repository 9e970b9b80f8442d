// One whole build of an arbitrary table file (CSV, TSV, blank-separated,
// ECSV or MRT) under a star project that reads its columns by name, in a
// file system held in memory: the build completes, or stops with an error
// naming the file; every row read is a record or a line of the reject log;
// every record lies in the sky and in the region file of its position.
//
// Input: byte 0 the form (bits 0-2, of the five above) and a header row
// (bit 3); the rest is the file.

#include <cstring>
#include <string>

#include "convert/build_pipeline.h"
#include "catalog/catalog_definition.h"
#include "fuzz_check.h"
#include "output/catalog_reader.h"
#include "output/record_layout.h"
#include "output/region_scheme.h"
#include "support/memory_file_system.h"
#include "support/recording_ui.h"
#include "util/error.h"

namespace {

using namespace mirdal;

constexpr TableForm kForms[] = {TableForm::Csv, TableForm::Tsv, TableForm::Blanks, TableForm::Ecsv, TableForm::Mrt};

std::int32_t int32At(const std::string& record, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, record.data() + offset, 4);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const TableForm form = kForms[(data[0] & 7) % 5];
  CatalogDefinition def;
  def.setRaType(3);
  def.setDecType(1);
  def.settings.inputfiles = {"/in/table.txt"};
  def.settings.ouputdir = "/out";
  def.settings.shortname = "Tab";
  def.settings.numfile = 1;
  def.settings.eol = 2;
  def.settings.format = form;
  def.settings.headerrow = (data[0] & 8) != 0;
  // RA, DEC, ID, magnitude; MRT reads them at byte columns.
  const char* names[] = {"ra", "dec", "id", "mag"};
  for (int p = 0; p < 4; ++p) {
    FieldSlot& slot = def.fieldSlots[static_cast<std::size_t>(p)];
    slot.firstChar = form == TableForm::Mrt ? 1 + 8 * p : p + 1;
    slot.length = form == TableForm::Mrt ? 7 : 6;
    if (form != TableForm::Mrt) def.fieldNames[static_cast<std::size_t>(p)] = names[p];
    def.setTicked(p, true);
  }
  const RecordLayout layout = buildRecordLayout(def);

  testing::MemoryFileSystem fs;
  fs.put("/in/table.txt", fuzz::asText(data + 1, size - 1));
  testing::RecordingUi ui;
  BuildPipeline pipeline(ui, fs);
  BuildResult result;
  try {
    result = pipeline.run(def);
  } catch (const Error& e) {
    FUZZ_CHECK(std::string(e.what()).find("table.txt") != std::string::npos);
    return 0;
  }
  FUZZ_CHECK(result.completed);
  FUZZ_CHECK(result.recordsWritten + result.linesRejected == result.linesRead);
  FUZZ_CHECK(result.rowsRefused <= result.linesRejected);
  FUZZ_CHECK(fs.hasFile("/out/reject.txt") == (result.linesRejected > 0));

  CatalogReader reader("/out", baseName(layout.header.shortName), fs);
  std::int64_t records = 0;
  for (int r = 1; r <= layout.regionCount; ++r) {
    const std::vector<std::string> region = reader.readRegion(r);
    records += static_cast<std::int64_t>(region.size());
    for (const std::string& record : region) {
      const std::int32_t ra = int32At(record, 0), dec = int32At(record, 4);
      FUZZ_CHECK(ra >= 0 && ra <= 1'296'000'000);
      FUZZ_CHECK(dec >= 0 && dec <= 648'000'000);
    }
  }
  FUZZ_CHECK(records == result.recordsWritten);
  FUZZ_CHECK(static_cast<std::int64_t>(reader.readIndex().size()) == result.indexRecordsWritten);
  return 0;
}
