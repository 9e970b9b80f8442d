#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/file_system.h"

namespace mirdal {

// A build writes its catalog into a staging directory inside the output
// directory (so on the same file system) and puts the files in place only
// when every stage has succeeded. Until then the previous catalog is not
// touched: a failure, an abort or a killed process leaves it as it was.
//
// Staging directories are named ".mirdal-build." + six characters. Putting
// the files in place is a series of renames; before the first one the
// staging directory receives a file "commit" saying what goes where, so
// that a build killed among the renames is finished by the next build of
// that directory (or of its catalogs), and a staging directory without it
// is simply removed. Nothing else in the output directory is touched but
// the files of the catalog being replaced.
//
// One build per output directory at a time: the object holds an exclusive
// lock on the output directory for its whole life.
class CatalogStaging {
 public:
  static constexpr const char* kPrefix = ".mirdal-build.";

  // Takes the output directory's lock (throws Error when another build holds
  // it), finishes or clears what interrupted builds left there and creates
  // the staging directory. `outputDirectory` ends with "/" and exists.
  CatalogStaging(FileSystem& fs, std::string outputDirectory);
  // Removes the staging directory, with whatever it holds, unless the
  // catalog was committed.
  ~CatalogStaging();
  CatalogStaging(const CatalogStaging&) = delete;
  CatalogStaging& operator=(const CatalogStaging&) = delete;

  // The staging directory, ending with "/".
  const std::string& directory() const { return staging_; }
  const std::string& outputDirectory() const { return output_; }

  // Puts the staged catalog of base name `base` in place of the previous
  // one: its header, its `regionCount` region files, its index when
  // `index`, and "reject.txt" when the build wrote one. Region files of
  // the previous catalog's other region scheme, and its index when the new
  // catalog has none, are removed.
  void commit(const std::string& base, int regionCount, bool index, bool rejectLog);

 private:
  FileSystem& fs_;
  std::string output_;
  std::unique_ptr<DirectoryLock> lock_;
  std::string staging_;
  bool committed_ = false;
};

// A base name that names files in the output directory only, and none that
// is hidden: not empty, no "/", "\", control character or leading ".".
bool isPlainBaseName(std::string_view base);

// The message of a directory that another build is writing.
std::string busyDirectoryMessage(const std::string& outputDirectory);

// True when an interrupted build left a staged catalog half put in place in
// `outputDirectory` (readers then see a mixture of two catalogs).
bool hasUnfinishedCommit(FileSystem& fs, const std::string& outputDirectory);

// Throws Error, before anything is created, when one of `inputs` is a file
// that a build of catalog `base` into `outputDirectory` would replace or
// remove: its header, index, region files (of `regionCount` and of the
// previous catalog's region scheme) or "reject.txt".
void refuseInputsThatAreOutputs(FileSystem& fs, const std::vector<std::string>& inputs,
                                const std::string& outputDirectory, const std::string& base, int regionCount);

}  // namespace mirdal
