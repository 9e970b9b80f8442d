#include "output/catalog_staging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "output/region_scheme.h"
#include "support/build_state.h"
#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

using Contents = std::map<std::string, std::string>;

// The files of a catalog "cat" of one region with an index and a reject
// log, each file's bytes naming the catalog and the file.
Contents catalogFiles(const std::string& which) {
  return {{"cat.hdr", which + " header"},
          {"cat.idx", which + " index"},
          {"reject.txt", which + " rejects"},
          {regionFileName("cat", 1, 1), which + " region"}};
}

void writeFiles(const std::string& dir, const Contents& files) {
  for (const auto& [name, bytes] : files) std::ofstream(dir + name, std::ios::binary) << bytes;
}

// A commit stopped after each of its renames (the plan's, then one per
// file). Until the last file is in place the header is the previous one, so
// that a reader never finds a new header over old region files; the next
// build of the directory finishes the commit, or finds nothing to finish
// when the plan never got there.
TEST(CatalogStaging, CommitStoppedAfterAnyRenameIsFinishedByTheNextBuild) {
  testing::TempDir dir;
  const std::string out = dir.str() + "/out/";
  const Contents before = catalogFiles("old"), after = catalogFiles("new");
  const long renames = 1 + static_cast<long>(after.size());
  for (long done = 0; done <= renames; ++done) {
    SCOPED_TRACE("renames done: " + std::to_string(done));
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    writeFiles(out, before);
    testing::FaultyFileSystem faulty;
    faulty.failRenamesAfter(done);
    {
      CatalogStaging staging(faulty, out);
      writeFiles(staging.directory(), after);
      const std::string error = testing::errorOf([&] { staging.commit("cat", 1, true, true); });
      EXPECT_EQ(error == "no error", done == renames) << error;
    }
    const Contents stopped = testing::directoryContents(out);
    if (done < renames) {
      EXPECT_EQ(stopped.at("cat.hdr"), "old header");
    }
    EXPECT_EQ(hasUnfinishedCommit(FileSystem::real(), out), done > 0 && done < renames);

    { CatalogStaging next(FileSystem::real(), out); }
    EXPECT_TRUE(testing::directoryContents(out) == (done == 0 ? before : after));
  }
  // A catalog without an index takes the previous one's away.
  Contents withoutIndex = after;
  withoutIndex.erase("cat.idx");
  CatalogStaging staging(FileSystem::real(), out);
  writeFiles(staging.directory(), withoutIndex);
  staging.commit("cat", 1, false, true);
  EXPECT_TRUE(testing::directoryContents(out) == withoutIndex);
}

}  // namespace
}  // namespace mirdal
