#include "output/catalog_staging.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <set>
#include <string_view>

#include "output/catalog_header.h"
#include "output/region_scheme.h"
#include "util/error.h"

namespace mirdal {

namespace {

constexpr const char* kCommitFile = "commit";
constexpr const char* kRejectFile = "reject.txt";

bool isZoneScheme(int regions) { return regions == 732 || regions == 9537; }

// What a commit puts where; written to the staging directory before the
// first rename, so that an interrupted commit can be finished.
struct CommitPlan {
  std::string base;
  int regions = 0;
  bool index = false;
  bool rejectLog = false;
  int previousRegions = 0;  // region scheme of the catalog being replaced; 0: none

  std::string encode() const {
    return "base=" + base + "\nregions=" + std::to_string(regions) + "\nindex=" + (index ? "1" : "0") +
           "\nreject=" + (rejectLog ? "1" : "0") + "\nprevious=" + std::to_string(previousRegions) + "\n";
  }

  static std::optional<CommitPlan> decode(std::string_view text) {
    CommitPlan plan;
    int seen = 0;
    auto number = [](std::string_view v, int& out) {
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
      return ec == std::errc() && end == v.data() + v.size();
    };
    while (!text.empty()) {
      const std::size_t eol = text.find('\n');
      if (eol == std::string_view::npos) return std::nullopt;  // cut short
      const std::string_view line = text.substr(0, eol);
      text.remove_prefix(eol + 1);
      const std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) return std::nullopt;
      const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
      int n = 0;
      if (key == "base") {
        plan.base = value;
      } else if (key == "regions" && number(value, n) && RegionScheme::isValid(n)) {
        plan.regions = n;
      } else if (key == "index" && number(value, n)) {
        plan.index = n != 0;
      } else if (key == "reject" && number(value, n)) {
        plan.rejectLog = n != 0;
      } else if (key == "previous" && number(value, n) && (n == 0 || RegionScheme::isValid(n))) {
        plan.previousRegions = n;
      } else {
        return std::nullopt;
      }
      ++seen;
    }
    if (seen != 5 || plan.regions == 0 || !isPlainBaseName(plan.base)) return std::nullopt;
    return plan;
  }
};

std::optional<std::string> readSmallFile(FileSystem& fs, const std::string& path) {
  try {
    auto file = fs.open(path, OpenMode::ReadRegular);
    std::string text(4096, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
      const std::size_t n = file->read(text.data() + got, text.size() - got);
      if (n == 0) break;
      got += n;
    }
    text.resize(got);
    return text;
  } catch (const Error&) {
    return std::nullopt;
  }
}

// Region scheme of the catalog `base` now in `dir`; 0 when it has no
// readable header.
int previousRegionScheme(FileSystem& fs, const std::string& dir, const std::string& base) {
  const std::string header = dir + base + ".hdr";
  if (!fs.exists(header)) return 0;
  try {
    return readCatalogHeader(fs, header).regionCount;
  } catch (const Error&) {
    return 0;
  }
}

// Moves a staged file over its place in the output directory. A file no
// longer staged was moved by an earlier, interrupted attempt.
void moveInPlace(FileSystem& fs, const std::string& from, const std::string& to) {
  const FileOutcome moved = fs.tryRename(from, to);
  if (moved || !fs.exists(from)) return;
  throw Error(fileErrorMessage("replace", to, moved.error));
}

void finishCommit(FileSystem& fs, const std::string& output, const std::string& staging, const CommitPlan& plan) {
  // A zone directory that the output directory does not have yet moves in
  // whole, with all its files in one rename (a first build, or another
  // region scheme than before); into one that exists, file by file.
  std::set<std::string, std::less<>> movedWhole;
  if (isZoneScheme(plan.regions)) {
    for (std::string_view name : kZoneDirectoryNames) {
      const std::string zone(name);
      if (!fs.exists(output + zone) && fs.isDirectory(staging + zone) && fs.tryRename(staging + zone, output + zone)) {
        movedWhole.insert(zone);
      } else {
        fs.createDirectories(output + zone);
      }
    }
  }
  for (int r = 1; r <= plan.regions; ++r) {
    const std::string name = regionFileName(plan.base, plan.regions, r);
    const std::size_t slash = name.find('/');
    if (slash != std::string::npos && movedWhole.count(std::string_view(name).substr(0, slash))) continue;
    moveInPlace(fs, staging + name, output + name);
  }
  if (plan.index) moveInPlace(fs, staging + plan.base + ".idx", output + plan.base + ".idx");
  if (plan.rejectLog) moveInPlace(fs, staging + kRejectFile, output + kRejectFile);
  moveInPlace(fs, staging + plan.base + ".hdr", output + plan.base + ".hdr");

  // The previous catalog's files that the new one does not have.
  if (plan.previousRegions != 0 && plan.previousRegions != plan.regions) {
    for (int r = 1; r <= plan.previousRegions; ++r)
      fs.tryRemove(output + regionFileName(plan.base, plan.previousRegions, r));
    if (isZoneScheme(plan.previousRegions) && !isZoneScheme(plan.regions))
      for (std::string_view zone : kZoneDirectoryNames) fs.tryRemoveDirectory(output + std::string(zone));
  }
  if (!plan.index) fs.tryRemove(output + plan.base + ".idx");
  removeTree(fs, staging);
}

// Finishes the commits and removes the staging directories that builds
// killed earlier left in `output`. The caller holds the directory's lock.
void clearInterruptedBuilds(FileSystem& fs, const std::string& output) {
  const std::string_view prefix = CatalogStaging::kPrefix;
  for (const std::string& name : fs.list(output)) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    // A file or a link under such a name is no build's: it goes, and
    // nothing it points to is looked at.
    if (fs.tryRemove(output + name)) continue;
    const std::string staging = output + name + "/";
    std::optional<CommitPlan> plan;
    if (auto text = readSmallFile(fs, staging + kCommitFile)) plan = CommitPlan::decode(*text);
    if (plan) {
      finishCommit(fs, output, staging, *plan);
    } else {
      removeTree(fs, output + name);
    }
  }
}

}  // namespace

bool isPlainBaseName(std::string_view base) {
  if (base.empty() || base.size() > 255 || base.front() == '.') return false;
  for (char c : base)
    if (static_cast<unsigned char>(c) < 32 || c == '/' || c == '\\') return false;
  return true;
}

std::string busyDirectoryMessage(const std::string& outputDirectory) {
  return "Another build is writing the catalog in \"" + outputDirectory +
         "\": wait until it ends, or choose another output directory";
}

CatalogStaging::CatalogStaging(FileSystem& fs, std::string outputDirectory)
    : fs_(fs), output_(std::move(outputDirectory)) {
  if (output_.empty() || output_.back() != '/') output_ += '/';
  lock_ = fs_.tryLockDirectory(output_);
  if (!lock_) throw Error(busyDirectoryMessage(output_));
  clearInterruptedBuilds(fs_, output_);
  staging_ = fs_.createUniqueDirectory(output_, kPrefix);
}

CatalogStaging::~CatalogStaging() {
  if (!committed_ && !staging_.empty()) {
    // A staging directory that holds its commit plan is left for the next
    // build to finish: its files are partly in place already.
    if (!fs_.exists(staging_ + kCommitFile)) removeTree(fs_, staging_);
  }
}

void CatalogStaging::commit(const std::string& base, int regionCount, bool index, bool rejectLog) {
  if (!isPlainBaseName(base)) throw Error("Invalid catalog name \"" + base + "\"");
  CommitPlan plan{base, regionCount, index, rejectLog, previousRegionScheme(fs_, output_, base)};

  // What could stop a rename is looked for before the first one: something
  // else than a directory where a zone directory goes, a directory where a
  // file goes. Zone directories not there yet are moved in whole.
  auto mustBeFileOrNothing = [&](const std::string& path) {
    if (auto id = fs_.identity(path); id && !id->regular && fs_.isDirectory(path))
      throw Error(fileErrorMessage("replace", path, EISDIR));
  };
  if (isZoneScheme(regionCount)) {
    std::set<std::string, std::less<>> present;
    for (std::string_view name : kZoneDirectoryNames) {
      const std::string zone = output_ + std::string(name);
      if (fs_.isDirectory(zone)) {
        present.emplace(name);
      } else if (fs_.exists(zone)) {
        throw Error("Cannot create directory \"" + zone + "\": " + std::strerror(ENOTDIR));
      }
    }
    for (int r = 1; r <= regionCount; ++r) {
      const std::string name = regionFileName(base, regionCount, r);
      if (present.count(std::string_view(name).substr(0, name.find('/')))) mustBeFileOrNothing(output_ + name);
    }
  } else {
    for (int r = 1; r <= regionCount; ++r) mustBeFileOrNothing(output_ + regionFileName(base, regionCount, r));
  }
  mustBeFileOrNothing(output_ + base + ".hdr");
  if (index) mustBeFileOrNothing(output_ + base + ".idx");
  if (rejectLog) mustBeFileOrNothing(output_ + kRejectFile);

  // The plan is complete on disk before the first file moves.
  const std::string text = plan.encode();
  const std::string part = staging_ + kCommitFile + ".part";
  {
    auto file = fs_.open(part, OpenMode::CreateNew);
    file->write(text.data(), text.size());
    file->close();
  }
  if (const FileOutcome planned = fs_.tryRename(part, staging_ + kCommitFile); !planned)
    throw Error(fileErrorMessage("create", staging_ + kCommitFile, planned.error));

  finishCommit(fs_, output_, staging_, plan);
  committed_ = true;
}

bool hasUnfinishedCommit(FileSystem& fs, const std::string& outputDirectory) {
  std::string output = outputDirectory;
  if (!output.empty() && output.back() != '/') output += '/';
  const std::string_view prefix = CatalogStaging::kPrefix;
  std::vector<std::string> names;
  try {
    names = fs.list(output);
  } catch (const Error&) {
    return false;
  }
  for (const std::string& name : names)
    if (name.compare(0, prefix.size(), prefix) == 0 && fs.exists(output + name + "/" + kCommitFile)) return true;
  return false;
}

void refuseInputsThatAreOutputs(FileSystem& fs, const std::vector<std::string>& inputs,
                                const std::string& outputDirectory, const std::string& base, int regionCount) {
  std::vector<std::pair<FileIdentity, const std::string*>> ids;
  for (const std::string& input : inputs)
    if (auto id = fs.identity(input)) ids.emplace_back(*id, &input);
  if (ids.empty() || !fs.isDirectory(outputDirectory)) return;

  auto check = [&](const std::string& path) {
    const auto id = fs.identity(path);
    if (!id) return;
    for (const auto& [inputId, input] : ids)
      if (inputId == *id)
        throw Error("The input file \"" + *input + "\" is " + (*input == path ? "" : "\"" + path + "\", ") +
                    "a file of the catalog being built: choose another input file or output directory");
  };
  check(outputDirectory + base + ".hdr");
  check(outputDirectory + base + ".idx");
  check(outputDirectory + kRejectFile);
  const int previous = previousRegionScheme(fs, outputDirectory, base);
  for (int r = 1; r <= regionCount; ++r) check(outputDirectory + regionFileName(base, regionCount, r));
  if (previous != 0 && previous != regionCount)
    for (int r = 1; r <= previous; ++r) check(outputDirectory + regionFileName(base, previous, r));
}

}  // namespace mirdal
