// A bounded sample of rows: whole where the budget allows, else whole lines
// from the head, evenly spaced places and the end of a plain file, and the
// head alone of a compressed one.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "input/kept_reads.h"
#include "input/spread_sample.h"
#include "support/counting_file_system.h"
#include "support/gzip.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

using testing::TempDir;

// "id,v" and `rows` rows "<n>,<n>" ended by `eol`.
std::string numberedRows(int rows, const std::string& eol) {
  std::string text = "id,v" + eol;
  for (int n = 0; n < rows; ++n) text += std::to_string(n) + "," + std::to_string(n) + eol;
  return text;
}

TEST(SpreadSample, TakesWholeRowsFromTheHeadPlacesAndEnd) {
  struct Case {
    const char* what;
    std::string name, text;
    int eol;
    SampleBudget budget;
    bool whole, sawLast;
    std::size_t rows;  // 0: at most the budget's
  };
  const std::vector<Case> cases = {
      {"within the budget", "a.csv", numberedRows(100, "\n"), kEolLf, {1000, 1 << 20}, true, true, 100},
      {"CR LF beyond it", "b.csv", numberedRows(50000, "\r\n"), kEolCrLf, {1000, 1 << 20}, false, true, 0},
      {"CR alone beyond it", "c.csv", numberedRows(50000, "\r"), kEolCr, {1000, 1 << 20}, false, true, 0},
      {"beyond the bytes", "d.csv", numberedRows(50000, "\n"), kEolLf, {100000, 4096}, false, true, 0},
      {"compressed: the head", "e.csv.gz", testing::gzipped(numberedRows(50000, "\n")), kEolLf, {1000, 1 << 20}, false, false,
       1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.write(c.name, c.text);
    std::set<int> seen;
    const SampleExtent e = sampleRows(FileSystem::real(), {path}, {TableForm::Csv, c.eol, true, {}}, c.budget,
                                      [&](std::string_view row) {
                                        // Every row whole: "n,n".
                                        const std::size_t comma = row.find(',');
                                        ASSERT_NE(comma, std::string_view::npos) << row;
                                        ASSERT_EQ(row.substr(0, comma), row.substr(comma + 1)) << row;
                                        seen.insert(std::stoi(std::string(row.substr(0, comma))));
                                      });
    EXPECT_EQ(e.whole, c.whole);
    EXPECT_EQ(e.rows, seen.size());
    if (c.rows > 0) {
      EXPECT_EQ(e.rows, c.rows);
    }
    EXPECT_LE(e.rows, c.budget.rows + 8);  // a window may take a row more than its share
    EXPECT_EQ(seen.count(c.whole ? 99 : 49999), c.sawLast ? 1u : 0u);
  }
}

TEST(SpreadSample, SpreadsOverTheParts) {
  EXPECT_EQ(sampledParts(3, 16), (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(sampledParts(100, 4), (std::vector<std::size_t>{0, 33, 66, 99}));
  TempDir dir;
  std::vector<std::string> parts;
  for (int k = 0; k < 20; ++k) parts.push_back(dir.write("p" + std::to_string(k) + ".csv", numberedRows(10, "\n")));
  const SampleExtent e = sampleRows(FileSystem::real(), parts, {TableForm::Csv, kEolLf, true, {}}, {1000, 1 << 20},
                                    [](std::string_view) {});
  EXPECT_EQ(e.partsRead, kSampledPartsMost);
  EXPECT_EQ(e.rows, 10 * kSampledPartsMost);
  EXPECT_FALSE(e.whole);
  EXPECT_EQ(e.describe().substr(0, 39), "160 rows spread over 16 of 20 files (0.");
}

// Samples of a compressed file one after the other, longer and shorter:
// each is the file's first rows, and within the budget of what is kept the
// file is opened for the first alone.
TEST(SpreadSample, KeptRowsServeTheNextSampleOfACompressedFile) {
  struct Case {
    const char* what;
    std::size_t keptBytes;
    bool reopened;
  };
  const std::vector<Case> cases = {{"within the budget", KeptReads::kDefaultBudget, false}, {"beyond it", 64, true}};
  TempDir dir;
  const std::string path = dir.write("kept.csv.gz", testing::gzipped(numberedRows(20000, "\n")));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ReadCountingFileSystem fs(path);
    KeptReads kept(c.keptBytes);
    const KeptReads::Scope scope(kept);
    int firstOpens = -1;
    for (const std::size_t rows : {2000, 6000, 500, 20001}) {
      std::vector<std::string> got;
      sampleRows(fs, {path}, {TableForm::Csv, kEolLf, true, {}}, {rows, std::size_t{1} << 30},
                 [&](std::string_view row) { got.emplace_back(row); });
      ASSERT_EQ(got.size(), std::min<std::size_t>(rows, 20000));
      for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], std::to_string(i) + "," + std::to_string(i));
      if (firstOpens < 0) firstOpens = fs.opens();
    }
    EXPECT_EQ(fs.opens() > firstOpens, c.reopened);
  }
}

}  // namespace
}  // namespace mirdal
