// One whole build of an arbitrary catalog file under a fixed project, in a
// file system held in memory: it completes without an error, unless the file
// is refused whole as no text (binary, compressed or a program), naming the
// file, before any catalog is written; every line is
// either a record or a line of the reject log; every record lies in the sky,
// in the region file of its position, and region files come out in
// magnitude order; the index holds every name, in name order; no scratch
// file is left.
//
// Input: byte 0 chooses one of four projects (stars, nebulae, outlines,
// double stars, with different coordinate forms and region schemes), byte 1
// the line end; the rest is the catalog file.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "convert/build_pipeline.h"
#include "input/input_reader.h"
#include "catalog/catalog_definition.h"
#include "fuzz_check.h"
#include "output/catalog_reader.h"
#include "output/record_layout.h"
#include "output/region_scheme.h"
#include "sort/compare_from.h"
#include "support/memory_file_system.h"
#include "util/error.h"

namespace {

using namespace mirdal;

class QuietUi : public BuildUi {
 public:
  bool confirm(const std::string&) override { return true; }
  void message(const std::string&) override {}
};

void slot(CatalogDefinition& def, int position, int first, int length, bool tick = true) {
  def.fieldSlots[static_cast<std::size_t>(position)].firstChar = first;
  def.fieldSlots[static_cast<std::size_t>(position)].length = length;
  def.setTicked(position, tick);
}

CatalogDefinition project(int which) {
  CatalogDefinition def;
  def.settings.inputfiles = {"/in/catalog.txt"};
  def.settings.ouputdir = "/out";
  switch (which) {
    case 0:
      // Stars, RA h m s, DEC sign d m s, 50 regions, index with an
      // alternate name and its prefix:
      //   12 30 00.0 -10 30 00 hd 12 10.25 0.5  G2V Comment   alt 1   1.5
      def.setType(0);
      def.settings.shortname = "St";
      def.settings.numfile = 0;
      def.settings.altindex = true;
      def.settings.prefalt = true;
      slot(def, 0, 1, 2);
      slot(def, 1, 4, 2);
      slot(def, 2, 7, 4);
      slot(def, 3, 12, 1);
      slot(def, 4, 13, 2);
      slot(def, 5, 16, 2);
      slot(def, 6, 19, 2);
      slot(def, 7, 22, 6);    // ID
      slot(def, 8, 28, 6);    // magnitude
      slot(def, 9, 34, 5);    // B-V
      slot(def, 12, 39, 4);   // spectral class
      slot(def, 16, 43, 5);   // parallax
      slot(def, 17, 48, 10);  // comments
      slot(def, 18, 58, 8);   // String 1, an alternate name
      slot(def, 28, 66, 6);   // Numeric 1
      def.fieldSlots[28].calcA = 2.5;
      def.fieldSlots[28].calcB = -1;
      def.altNames[0] = 1;
      break;
    case 1:
      // Nebulae, RA and DEC in decimal degrees, 184 regions, index:
      //   187.5    -10.5     NGC 1234 Gx    9.5  12.3   m 45
      def.setType(3);
      def.setRaType(3);
      def.setDecType(1);
      def.settings.shortname = "Neb";
      def.settings.numfile = 1;
      slot(def, 0, 1, 9);
      slot(def, 1, 11, 9);
      slot(def, 2, 21, 8);   // ID
      slot(def, 3, 30, 5);   // nebula type
      slot(def, 4, 36, 5);   // magnitude
      slot(def, 6, 42, 6);   // largest dimension
      slot(def, 8, 49, 2);   // unit
      slot(def, 9, 52, 4);   // position angle
      break;
    case 2:
      // Nebula outlines, RA decimal hours, south polar distance, 1 region:
      //   12.5     79.5     M42    start  2  R      1
      def.setType(4);
      def.setRaType(1);
      def.setDecType(2);
      def.settings.shortname = "Lin";
      slot(def, 0, 1, 8);
      slot(def, 1, 10, 8);
      slot(def, 2, 19, 6);   // ID
      slot(def, 3, 26, 6);   // line operation
      slot(def, 4, 33, 2);   // width
      slot(def, 5, 36, 6);   // colour
      slot(def, 6, 43, 1);   // drawing type
      break;
    default:
      // Double stars, RA d m s, DEC sign d m s, 732 regions (zone
      // directories), no index:
      //   187 30 00 -10 30 00 ADS 1  5.5  6.1  12.5 45
      def.setType(2);
      def.setRaType(2);
      def.settings.shortname = "Dbl";
      def.settings.numfile = 2;
      def.settings.index = false;
      slot(def, 0, 1, 3);
      slot(def, 1, 5, 2);
      slot(def, 2, 8, 2);
      slot(def, 3, 11, 1);
      slot(def, 4, 12, 2);
      slot(def, 5, 15, 2);
      slot(def, 6, 18, 2);
      slot(def, 7, 21, 6);   // ID
      slot(def, 8, 27, 5);   // magnitude 1
      slot(def, 9, 32, 5);   // magnitude 2
      slot(def, 10, 37, 6);  // separation
      slot(def, 11, 43, 3);  // position angle
      break;
  }
  return def;
}

std::int64_t lineCount(std::string_view file, int eol) {
  const char end = eol == kEolCr ? '\r' : '\n';
  std::int64_t n = 0;
  for (char c : file) n += c == end;
  // A last line without its line end; an empty file has no line.
  if (!file.empty() && file.back() != end) ++n;
  return n;
}

std::int32_t int32At(const std::string& record, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, record.data() + offset, 4);
  return v;
}

// The region file holds the record's position, or one a rounding step of
// the stored milliarcseconds away (a position on a region edge).
bool inRegion(int scheme, int region, const std::string& record) {
  const double ra = int32At(record, 0) / 3'600'000.0;
  const double dec = int32At(record, 4) / 3'600'000.0 - 90.0;
  const double step = 1.0 / 3'600'000.0;
  for (double dr : {0.0, -step, step})
    for (double dd : {0.0, -step, step}) {
      double r = std::clamp(ra + dr, 0.0, 360.0), d = std::clamp(dec + dd, -90.0, 90.0);
      if (regionNumber(scheme, d, r) == region) return true;
    }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int which = data[0] & 3;
  const int eol = data[1] % 3;
  const std::string_view file = fuzz::asText(data + 2, size - 2);

  CatalogDefinition def = project(which);
  def.settings.eol = eol;
  const RecordLayout layout = buildRecordLayout(def);

  testing::MemoryFileSystem fs;
  fs.put("/in/catalog.txt", file);
  QuietUi ui;
  BuildPipeline pipeline(ui, fs);
  BuildResult result;
  try {
    result = pipeline.run(def);
  } catch (const Error& e) {
    FUZZ_CHECK(std::string_view(e.what()).starts_with("\"/in/catalog.txt\""));
    FUZZ_CHECK(!fs.hasFile("/out/reject.txt"));
    return 0;
  }

  FUZZ_CHECK(result.completed);
  FUZZ_CHECK(result.linesRead == lineCount(file, eol));
  FUZZ_CHECK(result.recordsWritten + result.linesRejected == result.linesRead);
  FUZZ_CHECK(fs.hasFile("/out/reject.txt") == (result.linesRejected > 0));
  if (result.linesRejected > 0) {
    // Every refused line is followed by CR LF; the lines are at most as long
    // as the file.
    const std::string log = fs.contents("/out/reject.txt");
    FUZZ_CHECK(log.size() <= file.size() + 2 * static_cast<std::size_t>(result.linesRejected));
    FUZZ_CHECK(log.size() >= 2 && log.compare(log.size() - 2, 2, "\r\n") == 0);
  }
  FUZZ_CHECK(!fs.hasFile("/out/sort.out"));
  FUZZ_CHECK(!fs.hasFile("SorTemp.mkw"));

  CatalogReader reader("/out", baseName(layout.header.shortName), fs);
  FUZZ_CHECK(reader.header() == layout.header);
  const bool sorted = def.type() != CatalogType::NebulaOutlines && layout.magnitudeKeyInRecord();
  std::int64_t records = 0;
  for (int r = 1; r <= layout.regionCount; ++r) {
    const std::vector<std::string> region = reader.readRegion(r);
    records += static_cast<std::int64_t>(region.size());
    for (std::size_t i = 0; i < region.size(); ++i) {
      const std::int32_t ra = int32At(region[i], 0), dec = int32At(region[i], 4);
      FUZZ_CHECK(ra >= 0 && ra <= 1'296'000'000);
      FUZZ_CHECK(dec >= 0 && dec <= 648'000'000);
      FUZZ_CHECK(inRegion(layout.regionCount, r, region[i]));
      if (sorted && i > 0)
        FUZZ_CHECK(CompareSmallIntFrom(region[i - 1].data(), region[i].data(), layout.sortKeyPosition - 1) <= 0);
    }
  }
  FUZZ_CHECK(records == result.recordsWritten);

  FUZZ_CHECK(reader.hasIndex() == layout.index);
  if (layout.index) {
    const std::vector<IndexEntry> index = reader.readIndex();
    FUZZ_CHECK(static_cast<std::int64_t>(index.size()) == result.indexRecordsWritten);
    for (std::size_t i = 1; i < index.size(); ++i)
      FUZZ_CHECK(CompareTextFrom(index[i - 1].name.data(), index[i].name.data(), 1,
                                 static_cast<int>(index[i].name.size())) <= 0);
  }
  return 0;
}
