// The magnitude sort on two threads gives the one-thread catalog; a failure
// on the second thread stops the build naming its file, with no thread left.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <regex>

#include "convert/build_pipeline.h"
#include "output/post_build_sort.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace mirdal::testing {
namespace {

enum class Sort { OneThread, TwoThreads, SecondThreadFails, IndexFails };

// The real files, through a file system for one thread or two; the second
// thread may be refused every region file it reads, and then the calling
// thread reads none until it has been, leaving the second thread its part.
class SortFs : public FaultyFileSystem {
 public:
  explicit SortFs(Sort sort) : sort_(sort) {}
  bool threadSafe() const override { return sort_ != Sort::OneThread; }
  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    // The merge of the index's runs, on the second thread beside the regions.
    if (sort_ == Sort::IndexFails && mode == OpenMode::Read && path.ends_with(".idx") &&
        std::this_thread::get_id() != caller_)
      throw Error(fileErrorMessage("open", path, EACCES));
    if (sort_ == Sort::SecondThreadFails && (mode == OpenMode::Read || mode == OpenMode::ReadWrite) &&
        path.ends_with(".dat")) {
      if (std::this_thread::get_id() != caller_) {
        refused_ = true;
        throw Error(fileErrorMessage("open", path, EACCES));
      }
      for (int i = 0; i < 500 && !refused_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return FileSystem::real().open(path, mode);
  }

 private:
  const Sort sort_;
  const std::thread::id caller_ = std::this_thread::get_id();
  std::atomic<bool> refused_{false};
};

// Each build goes over the catalog of the one before, which a two-thread
// build leaves as it was: it makes the same bytes, or fails.
TEST(TwoThreadSort, GivesTheOneThreadCatalogOrFailsLeavingThePrevious) {
  TempDir dir;
  std::string stars;  // scattered, of ten magnitudes: many equal ones, whose order must stay
  for (int i = 0; i < 30000; ++i)
    stars += columns({{1, std::to_string(i * 7 % 360)}, {10, std::to_string(i * 13 % 178 - 89)},
                      {19, "s" + std::to_string(i)}, {26, std::to_string(i % 10)}}) + "\n";
  const std::string out = dir.str() + "/out";
  CatalogDefinition def = decimalStars("Two", {dir.write("in.txt", stars)}, 1, out);
  def.settings.numfile = 2;  // 732 regions
  for (auto [p, first, length] : {std::array{0, 1, 8}, {1, 10, 8}, {2, 19, 6}, {3, 26, 4}})
    setSlot(def, p, first, length);
  for (Sort sort : {Sort::OneThread, Sort::TwoThreads, Sort::SecondThreadFails, Sort::IndexFails}) {
    SCOPED_TRACE(static_cast<int>(sort));
    if (sort >= Sort::SecondThreadFails && std::thread::hardware_concurrency() < 2) continue;  // no second thread
    SortFs fs(sort);
    RecordingUi ui;
    const auto previous = directoryContents(out);
    const int threads = threadCount();
    BuildPipeline pipeline(ui, fs);
    pipeline.setIndexRunBytes(sort == Sort::OneThread ? kIndexRunBytes : 4000);  // many runs to merge
    const std::string message = errorOf([&] { pipeline.run(def); });
    EXPECT_EQ(threadCount(threads), threads);
    EXPECT_TRUE(sort == Sort::OneThread || directoryContents(out) == previous);
    const std::string refused = "Cannot open file \"" + out + "/[NS][0-9]{4}/two[0-9]{3}\\.dat\": Permission denied";
    const std::string expected = sort == Sort::SecondThreadFails ? refused
                                 : sort == Sort::IndexFails    ? "Cannot open file \"" + out + "/two\\.idx\": Permission denied"
                                                               : "no error";
    EXPECT_TRUE(std::regex_match(message, std::regex(expected))) << message;
    for (const auto& [name, bytes] : directoryContents(out)) EXPECT_EQ(name.find("ort"), std::string::npos) << name;
  }
}

// Sorted in memory, a region file is what the external sort gives, equal
// magnitudes in their order: keys of one high byte, of the whole range, all equal.
TEST(MagnitudeSort, InMemoryGivesTheExternalSort) {
  CatalogDefinition def = decimalStars("Mag", {}, 1, "");
  for (auto [p, first, length] : {std::array{0, 1, 8}, {1, 10, 8}, {2, 19, 6}, {3, 26, 4}})
    setSlot(def, p, first, length);
  const RecordLayout layout = buildRecordLayout(def);
  TempDir dir;
  std::mt19937 random(5);
  for (const unsigned spread : {200u, 65536u, 1u}) {
    std::string records(20000 * static_cast<std::size_t>(layout.recordLength), '\0');
    for (char& b : records) b = static_cast<char>(random());
    const auto step = static_cast<std::size_t>(layout.recordLength);
    for (auto at = static_cast<std::size_t>(layout.sortKeyPosition - 1); at < records.size(); at += step) {
      records[at + 1] = static_cast<char>(random() % spread >> 8);
      records[at] = static_cast<char>(spread == 1 ? 7 : random() % spread);
    }
    InPlaceSorter sorter(FileSystem::real(), dir.str() + "/runs");
    ASSERT_TRUE(sortRegionByMagnitude(sorter, dir.write("memory.dat", records), dir.str() + "/scratch", layout));
    const std::string external = dir.write("external.dat", records);
    ASSERT_TRUE(sortRegionByMagnitude(sorter, external, dir.str() + "/scratch", layout, 4096));
    EXPECT_TRUE(dir.read("memory.dat") == dir.read("external.dat"));
  }
}

}  // namespace
}  // namespace mirdal::testing
