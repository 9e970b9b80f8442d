// Faults of the file interface at every point of a build: each write, each
// read, the renames of the sort. Whatever fails, the build ends with an error
// that names the file and the reason, gives back every descriptor it took,
// leaves the output directory exactly as it was, shows no success, and the
// next build into the same directory gives exactly the catalog of a build
// that never failed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "output/catalog_reader.h"
#include "output/post_build_sort.h"
#include "output/record_layout.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/faulty_file_system.h"
#include "support/fits_writer.h"
#include "support/gzip.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::columns;
using testing::directoryContents;
using testing::FaultyFileSystem;
using testing::openFileCount;
using testing::RecordingUi;
using testing::ScopedWorkingDirectory;
using testing::setSlot;
using testing::TempDir;
using testing::textOf;

using Contents = std::map<std::string, std::string>;

// `path`, written in the staging directory of a build into `from`, with
// the staging directory left out and `from` replaced by `to`: the name a
// message of a build into `to` gives the same file.
std::string moved(std::string path, const std::string& from, const std::string& to) {
  if (const auto at = path.find("/.mirdal-build."); at != std::string::npos)
    path.erase(at, path.find('/', at + 1) - at);
  return path.starts_with(from) ? to + path.substr(from.size()) : path;
}

bool named(const std::string& path, const char* name) { return fs::path(path).filename() == name; }

// Stars with decimal RA and DEC. List positions: 0 RA, 1 DEC, 2 ID, 3 mV,
// 13 String 1 (an alternate name, prefixed by its label "Str1").
CatalogDefinition stars(const std::string& out, std::vector<std::string> inputs, int numfile = 0) {
  CatalogDefinition def = testing::decimalStars("Flt", std::move(inputs), 1, out);
  BuildSettings& s = def.settings;
  s.numfile = numfile;
  s.altindex = true;
  s.prefalt = true;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 6);
  setSlot(def, 13, 33, 6);
  def.altNames[0] = 1;
  return def;
}

std::string star(std::string_view ra, std::string_view dec, std::string_view id, std::string_view mag,
                 std::string_view alt = {}) {
  return columns({{1, ra}, {10, dec}, {19, id}, {26, mag}, {33, alt}}) + "\n";
}

class FaultInjection : public ::testing::Test {
 protected:
  // Two files; three regions get several stars in falling magnitude, so that
  // their sorts really reorder; both files have refused lines.
  void SetUp() override {
    inputs = {dir.write("a.txt", star("10", "20", "a1", "9", "x1") + star("10.5", "20.5", "a2", "7") +
                                     "refused heading\n" + star("200", "-45", "a3", "5", "x3") +
                                     star("10.2", "20.1", "a4", "3") + star("201", "-44", "a5", "1")),
              dir.write("b.txt", star("100", "60", "b1", "8", "y1") + star("100.1", "60.1", "b2", "6") +
                                     star("0", "0", "zero", "1") + star("10.1", "20.2", "b3", "-2", "y3"))};
  }

  std::string out(const std::string& name) const { return dir.str() + "/" + name; }

  // The catalog of a build that nothing disturbed.
  Contents reference(int numfile = 0) {
    RecordingUi ui;
    const std::string path = out("reference" + std::to_string(numfile));
    EXPECT_TRUE(BuildPipeline(ui, FileSystem::real()).run(stars(path, inputs, numfile)).completed);
    return directoryContents(path);
  }

  // Runs a build that must fail and checks what every failure leaves; gives
  // its message.
  std::string failingBuild(const CatalogDefinition& def, FileSystem& files) {
    RecordingUi ui;
    const int before = openFileCount();
    const Contents contents = directoryContents(def.settings.ouputdir);
    std::string message;
    try {
      runBuild(ui, def, files);
      ADD_FAILURE() << "the build reported success";
    } catch (const Error& e) {
      message = e.what();
    }
    EXPECT_EQ(openFileCount(), before) << "a file stayed open after: " << message;
    EXPECT_EQ(ui.hidden, ui.shown) << message;
    // The summary of refused lines follows a complete build only.
    EXPECT_TRUE(ui.messages.empty()) << message;
    EXPECT_TRUE(directoryContents(def.settings.ouputdir) == contents) << message;
    EXPECT_FALSE(fs::exists(dir.path() / "SorTemp.mkw")) << message;
    return message;
  }

  // A build without faults over what a failed one left behind.
  void rebuildGives(const Contents& expected, const CatalogDefinition& def, const std::string& after) {
    RecordingUi ui;
    EXPECT_TRUE(runBuild(ui, def).completed) << after;
    EXPECT_TRUE(directoryContents(def.settings.ouputdir) == expected) << "rebuild after: " << after;
  }

  BuildResult runBuild(RecordingUi& ui, const CatalogDefinition& def, FileSystem& files = FileSystem::real()) const {
    BuildPipeline pipeline(ui, files);
    pipeline.setRegionOneRunLimit(regionOneRunLimit);
    pipeline.setIndexRunBytes(indexRunBytes);
    return pipeline.run(def);
  }

  std::int64_t regionOneRunLimit = kRegionOneRunBytes;
  std::size_t indexRunBytes = kIndexRunBytes;
  TempDir dir;
  ScopedWorkingDirectory cwd{dir.path()};  // the sort's run file lies in the current directory
  std::vector<std::string> inputs;
};

TEST_F(FaultInjection, EveryWriteOfASmallBuildFails) {
  const Contents expected = reference();
  FaultyFileSystem counting;
  {
    RecordingUi ui;
    ASSERT_TRUE(BuildPipeline(ui, counting).run(stars(out("count"), inputs)).completed);
  }
  ASSERT_TRUE(directoryContents(out("count")) == expected);
  const std::vector<std::string> writes = counting.writeLog();

  // Every kind of file is written at least once.
  std::set<std::string> names;
  for (const std::string& p : writes) names.insert(fs::path(p).filename().string());
  for (const char* name : {"flt.hdr", "flt.idx", "reject.txt"}) EXPECT_EQ(names.count(name), 1u) << name;
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.ends_with(".dat"); }), 3);

  for (std::size_t n = 1; n <= writes.size(); ++n) {
    const CatalogDefinition def = stars(out("w" + std::to_string(n)), inputs);
    FaultyFileSystem faulty(static_cast<long>(n));
    const std::string message = failingBuild(def, faulty);
    EXPECT_EQ(message, "Cannot write file \"" + moved(writes[n - 1], out("count"), def.settings.ouputdir) +
                           "\": No space left on device")
        << "write " << n;
    rebuildGives(expected, def, message);
  }
}

// A disk that fills during a write leaves part of it behind; the files must
// still hold whole records (and whole reject lines) when the build has ended,
// although what was buffered is written out again after the failure.
TEST_F(FaultInjection, WriteTornByAFullDiskIsCutBack) {
  FaultyFileSystem counting;
  {
    RecordingUi ui;
    ASSERT_TRUE(BuildPipeline(ui, counting).run(stars(out("count"), inputs)).completed);
  }
  const std::vector<std::string> writes = counting.writeLog();
  int torn = 0;
  for (std::size_t n = 1; n <= writes.size(); ++n) {
    const std::string name = fs::path(writes[n - 1]).filename().string();
    if (!name.ends_with(".dat") && !name.ends_with(".idx") && name != "reject.txt") continue;
    ++torn;
    const CatalogDefinition def = stars(out("t" + std::to_string(n)), inputs);
    const RecordLayout layout = buildRecordLayout(def);
    FaultyFileSystem faulty(static_cast<long>(n));
    faulty.tearFailingWrite();
    const std::string message = failingBuild(def, faulty);
    for (const auto& entry : fs::recursive_directory_iterator(def.settings.ouputdir)) {
      if (!entry.is_regular_file()) continue;
      const std::string file = entry.path().filename().string();
      const auto size = static_cast<std::size_t>(entry.file_size());
      const auto record = static_cast<std::size_t>(layout.recordLength);
      const auto indexRecord = static_cast<std::size_t>(layout.indexRecordLength());
      if (file.ends_with(".dat")) {
        EXPECT_EQ(size % record, 0u) << file << " after " << message;
      } else if (file.ends_with(".idx")) {
        EXPECT_EQ(size % indexRecord, 0u) << message;
      } else if (file == "reject.txt" && size > 0) {
        EXPECT_TRUE(TempDir::readFile(entry.path().string()).ends_with("\r\n")) << message;
      }
    }
  }
  EXPECT_GE(torn, 5);
}

TEST_F(FaultInjection, EveryReadOfASmallBuildFails) {
  const Contents expected = reference();
  FaultyFileSystem counting;
  counting.failOnRead(-1);
  {
    RecordingUi ui;
    ASSERT_TRUE(BuildPipeline(ui, counting).run(stars(out("count"), inputs)).completed);
  }
  const std::vector<std::string> reads = counting.readLog();
  std::set<std::string> names;
  for (const std::string& p : reads) names.insert(fs::path(p).filename().string());
  // Both inputs and the region files during their sorts (each a single
  // run: the run file is renamed, not read). The index is sorted in memory
  // and written once, never read back.
  for (const char* name : {"a.txt", "b.txt", "flt01.dat"}) EXPECT_EQ(names.count(name), 1u) << name;
  EXPECT_EQ(names.count("flt.idx"), 0u);

  for (std::size_t n = 1; n <= reads.size(); ++n) {
    const CatalogDefinition def = stars(out("r" + std::to_string(n)), inputs);
    FaultyFileSystem faulty;
    faulty.failOnRead(static_cast<long>(n));
    const std::string message = failingBuild(def, faulty);
    EXPECT_EQ(message, "Cannot read file \"" + moved(reads[n - 1], out("count"), def.settings.ouputdir) +
                           "\": Input/output error")
        << "read " << n;
    rebuildGives(expected, def, message);
  }
}

TEST_F(FaultInjection, RunFileThatCannotBeRenamedIsCopied) {
  // A run file on another file system than the output: the single run is
  // copied into "sort.out" instead of being renamed, and the build completes.
  // (Region files sorted through the sorter's runs rather than in memory.)
  const Contents expected = reference();
  regionOneRunLimit = 0;
  FaultyFileSystem faulty;
  faulty.failRenameOf("SorTemp.mkw");
  RecordingUi ui;
  ASSERT_TRUE(runBuild(ui, stars(out("copied"), inputs), faulty).completed);
  EXPECT_TRUE(directoryContents(out("copied")) == expected);
  EXPECT_FALSE(fs::exists(dir.path() / "SorTemp.mkw"));
}

TEST_F(FaultInjection, SortedFileThatCannotReplaceTheRegionFile) {
  const Contents expected = reference();
  regionOneRunLimit = 0;  // sorted through the sorter's runs, not in memory
  const CatalogDefinition def = stars(out("refused"), inputs);
  FaultyFileSystem faulty;
  faulty.failRenameOf("sort.out");
  const std::string message = failingBuild(def, faulty);
  EXPECT_TRUE(message.starts_with("Cannot replace file \"" + out("refused") + "/flt")) << message;
  EXPECT_TRUE(message.ends_with(".dat\": Invalid cross-device link")) << message;
  rebuildGives(expected, def, message);
}

// ---------------------------------------------------------------------------
// Larger files: a sort of several runs, an input read in many blocks.

// One region, no index: 100-byte records of RA, DEC, magnitude and a
// 90-byte comment, so that a few thousand lines fill more than one sort run.
constexpr std::size_t kRecord = 100;
CatalogDefinition oneRegion(const std::string& out, std::vector<std::string> inputs) {
  CatalogDefinition def = testing::decimalStars("One", std::move(inputs), 1, out);
  def.settings.index = false;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 3, 19, 7);
  setSlot(def, 12, 27, 90);
  return def;
}

// `count` stars at RA 10, DEC 20 (region 1) in falling magnitude, so that
// the sorted file is the conversion order reversed: star i has the
// magnitude (20000 - i) / 1000.
std::string fallingMagnitudes(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    char mag[16];
    std::snprintf(mag, sizeof mag, "%.3f", (20000 - i) / 1000.0);
    text += columns({{1, "10"}, {10, "20"}, {19, mag}, {27, "comment " + std::to_string(i)}}) + "\n";
  }
  return text;
}

std::vector<std::string> recordsOf(const std::string& file, std::size_t length) {
  std::string bytes = TempDir::readFile(file);
  std::vector<std::string> out;
  for (std::size_t p = 0; p + length <= bytes.size(); p += length) out.push_back(bytes.substr(p, length));
  return out;
}

// A region file sorted in memory over itself holds what the sorter's runs
// give: magnitudes of both signs, many equal ones in input order, a blank one.
TEST_F(FaultInjection, RegionSortedInMemoryIsTheSortOfTheSortersRuns) {
  std::string text;
  for (int i = 0; i < 3'300; ++i) {
    const std::string mag = i % 97 == 0 ? "" : std::to_string((i * 7919) % 23 - 11) + "." + std::to_string(i % 2);
    text += columns({{1, "10"}, {10, "20"}, {19, mag}, {27, "comment " + std::to_string(i)}}) + "\n";
  }
  const std::vector<std::string> input = {dir.write("ties.txt", text)};
  Contents built[2];
  for (const std::int64_t limit : {kRegionOneRunBytes, std::int64_t{0}}) {
    regionOneRunLimit = limit;
    RecordingUi ui;
    ASSERT_TRUE(runBuild(ui, oneRegion(out("ties" + std::to_string(limit)), input)).completed);
    built[limit == 0] = directoryContents(out("ties" + std::to_string(limit)));
  }
  EXPECT_TRUE(built[0] == built[1]);
}

TEST_F(FaultInjection, EveryWriteOfASortOfSeveralRunsFails) {
  // 3,300 records of 100 bytes: more than the 325,000 bytes of one run of
  // the size bands, so the sort writes two runs and merges them into
  // "sort.out".
  regionOneRunLimit = 0;
  const std::vector<std::string> input = {dir.write("many.txt", fallingMagnitudes(3'300))};
  const std::string refPath = out("many-ref");
  {
    RecordingUi ui;
    ASSERT_TRUE(runBuild(ui, oneRegion(refPath, input)).completed);
  }
  const Contents expected = directoryContents(refPath);
  const std::vector<std::string> sorted = recordsOf(refPath + "/one01.dat", kRecord);
  ASSERT_EQ(sorted.size(), 3'300u);

  FaultyFileSystem counting;
  {
    RecordingUi ui;
    ASSERT_TRUE(runBuild(ui, oneRegion(out("many-count"), input), counting).completed);
  }
  std::vector<long> sortWrites;
  for (std::size_t i = 0; i < counting.writeLog().size(); ++i) {
    const std::string name = fs::path(counting.writeLog()[i]).filename().string();
    if (name == "SorTemp.mkw" || name == "sort.out") sortWrites.push_back(static_cast<long>(i + 1));
  }
  ASSERT_GE(std::count_if(counting.writeLog().begin(), counting.writeLog().end(),
                          [](const std::string& p) { return named(p, "sort.out"); }),
            2);

  for (long n : sortWrites) {
    const CatalogDefinition def = oneRegion(out("many" + std::to_string(n)), input);
    FaultyFileSystem faulty(n);
    const std::string message = failingBuild(def, faulty);
    EXPECT_EQ(message, "Cannot write file \"" +
                           moved(counting.writeLog()[static_cast<std::size_t>(n - 1)], out("many-count"),
                                 def.settings.ouputdir) +
                           "\": No space left on device");
    rebuildGives(expected, def, message);
  }
}

TEST_F(FaultInjection, EveryReadOfASortOfSeveralRunsFails) {
  regionOneRunLimit = 0;
  const std::vector<std::string> input = {dir.write("many.txt", fallingMagnitudes(3'300))};
  FaultyFileSystem counting;
  counting.failOnRead(-1);
  {
    RecordingUi ui;
    ASSERT_TRUE(runBuild(ui, oneRegion(out("count"), input), counting).completed);
  }
  const Contents expected = directoryContents(out("count"));
  std::vector<long> sortReads;
  for (std::size_t i = 0; i < counting.readLog().size(); ++i) {
    const std::string name = fs::path(counting.readLog()[i]).filename().string();
    if (name == "SorTemp.mkw" || name == "one01.dat") sortReads.push_back(static_cast<long>(i + 1));
  }
  // The region file is read in one run's worth; the merge reads each run in
  // pieces of its buffer.
  ASSERT_GE(std::count_if(counting.readLog().begin(), counting.readLog().end(),
                          [](const std::string& p) { return named(p, "SorTemp.mkw"); }),
            3);

  for (long n : sortReads) {
    const CatalogDefinition def = oneRegion(out("r" + std::to_string(n)), input);
    FaultyFileSystem faulty;
    faulty.failOnRead(n);
    const std::string message = failingBuild(def, faulty);
    EXPECT_EQ(message, "Cannot read file \"" +
                           moved(counting.readLog()[static_cast<std::size_t>(n - 1)], out("count"),
                                 def.settings.ouputdir) +
                           "\": Input/output error");
    rebuildGives(expected, def, message);
  }
}

// An index larger than its memory is written as sorted runs and merged: the
// catalog is the one of an index sorted whole, equal names (letter case
// aside) in input order across the runs, and every write and read of the
// runs and of their merge fails cleanly.
TEST_F(FaultInjection, IndexOfSeveralSortedRunsIsMergedAndEachOfItsWritesAndReadsFails) {
  std::string text;
  const char* names[] = {"Ab", "ab", "c", "AB", "b", "C"};
  for (int i = 0; i < 24; ++i)
    text += star(std::to_string(10 + i), "20", names[i % 6], std::to_string(i % 4), names[(i + 2) % 6]);
  inputs = {dir.write("names.txt", text)};
  const Contents expected = reference();
  indexRunBytes = 50;  // a few records a run
  FaultyFileSystem counting;
  counting.failOnRead(-1);
  {
    RecordingUi ui;
    ASSERT_TRUE(runBuild(ui, stars(out("count"), inputs), counting).completed);
  }
  ASSERT_TRUE(directoryContents(out("count")) == expected);
  for (const bool reads : {false, true}) {
    const std::vector<std::string>& log = reads ? counting.readLog() : counting.writeLog();
    int tried = 0;
    for (std::size_t n = 1; n <= log.size(); ++n) {
      if (!named(log[n - 1], "flt.idx") && !named(log[n - 1], "sort.out")) continue;
      ++tried;
      const CatalogDefinition def = stars(out((reads ? "r" : "w") + std::to_string(n)), inputs);
      FaultyFileSystem faulty(reads ? -1 : static_cast<long>(n));
      if (reads) faulty.failOnRead(static_cast<long>(n));
      const std::string message = failingBuild(def, faulty);
      EXPECT_EQ(message, std::string(reads ? "Cannot read" : "Cannot write") + " file \"" +
                             moved(log[n - 1], out("count"), def.settings.ouputdir) + "\": " +
                             (reads ? "Input/output error" : "No space left on device"));
      rebuildGives(expected, def, message);
    }
    EXPECT_GE(tried, reads ? 1 : 10);
  }
}

TEST_F(FaultInjection, ReadFailureInTheMiddleOfAnInputLeavesTheOutputAsItWas) {
  // 1.3 MB, read in blocks of 256 KiB: the failure strikes each block in turn.
  const std::string first = dir.write("first.txt", fallingMagnitudes(100));
  const std::string second = dir.write("second.txt", fallingMagnitudes(36'000));
  FaultyFileSystem counting;
  counting.failOnRead(-1, "second.txt");
  {
    RecordingUi ui;
    ASSERT_TRUE(BuildPipeline(ui, counting).run(oneRegion(out("count"), {first, second})).completed);
  }
  ASSERT_GE(counting.reads(), 6);
  for (long n = 1; n <= counting.reads(); ++n) {
    FaultyFileSystem faulty;
    faulty.failOnRead(n, "second.txt");
    const std::string message = failingBuild(oneRegion(out("count"), {first, second}), faulty);
    EXPECT_EQ(message, "Cannot read file \"" + second + "\": Input/output error");
  }
}

// Stars in a FITS table and in a gzipped VOTable, read through the file
// system: every read of theirs failing in turn stops the build with the
// file's name, and the catalog built before is left byte for byte.
TEST_F(FaultInjection, EveryReadOfAFitsAndAVoTableBuildFails) {
  const std::vector<std::vector<std::string>> rows = {
      {"10.5", "20.25", "s1", "5.5"}, {"200", "-45", "s2", "3"}, {"100", "60", "s3", "7"}};
  const std::string fits = out("stars.fits");
  testing::writeFitsTable(fits, {{"RA", "D", "deg"}, {"DEC", "D", "deg"}, {"NAME", "8A"}, {"MAG", "E", "mag"}},
                          rows);
  std::string vot =
      "<?xml version=\"1.0\"?>\n<VOTABLE version=\"1.4\"><RESOURCE><TABLE>\n"
      "<FIELD name=\"RA\" datatype=\"double\" unit=\"deg\"/><FIELD name=\"DEC\" datatype=\"double\" unit=\"deg\"/>\n"
      "<FIELD name=\"NAME\" datatype=\"char\" arraysize=\"*\"/><FIELD name=\"MAG\" datatype=\"float\"/>\n"
      "<DATA><TABLEDATA>\n";
  for (const auto& r : rows) vot += "<TR><TD>" + r[0] + "</TD><TD>" + r[1] + "</TD><TD>" + r[2] + "</TD><TD>" + r[3] + "</TD></TR>\n";
  vot += "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n";
  const std::string voTable = dir.write("stars.vot", testing::gzipped(vot));

  for (const auto& [input, form] : {std::pair{fits, TableForm::Fits}, std::pair{voTable, TableForm::VoTable}}) {
    SCOPED_TRACE(input);
    CatalogDefinition def = testing::decimalStars("typ", {input}, 1, out("typed"));
    def.settings.format = form;
    for (int p = 0; p < 4; ++p) setSlot(def, p, p + 1, p == 2 ? 8 : 1);
    FaultyFileSystem counting;
    counting.failOnRead(-1, input);
    {
      RecordingUi ui;
      ASSERT_TRUE(BuildPipeline(ui, counting).run(def).completed);
    }
    ASSERT_GE(counting.reads(), 2);
    for (long n = 1; n <= counting.reads(); ++n) {
      FaultyFileSystem faulty;
      faulty.failOnRead(n, input);
      EXPECT_EQ(failingBuild(def, faulty), "Cannot read file \"" + input + "\": Input/output error") << "read " << n;
    }
  }
}

}  // namespace
}  // namespace mirdal
