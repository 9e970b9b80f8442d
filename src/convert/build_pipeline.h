#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/build_ui.h"
#include "catalog/catalog_definition.h"
#include "util/file_system.h"

namespace mirdal {

// Texts of the build.
inline constexpr const char* kEmptyDirectoryMessage = "Please indicate the directory where the catalog must to be build";
inline constexpr const char* kAppendQuestion =
    "WARNING !\r\nYou have choose to append the data to an existing catalog.\r\n"
    "The existing catalog and index must be exactly the same format, otherwise it will be corrupted.\r\n"
    "It is a good idea to backup the actual files before this operation.\r\nDo you want to continue ?";
inline constexpr const char* kRejectedMessagePrefix = "Some records where rejected, see file ";
inline constexpr const char* kRejectedMessageSuffix = "reject.txt for details";

struct StageTimes {
  double header = 0, files = 0, conversion = 0, closing = 0, magnitudeSort = 0, indexSort = 0;
};

// The texts of one field that were longer than its length and cut to it.
struct TextCut {
  std::string field;      // its entry on page 3 and its label: "Catalog ID (Id)"
  int length = 0;         // its length in the record
  std::int64_t count = 0;
  std::string first;      // where the first stands: "\"a.csv\" line 12", "\"b.fits\" row 3"
  // As the notes of refused rows read: where, then what.
  std::string note() const;
};

// The lines refused for one reason.
struct RejectCount {
  std::string reason;  // "position out of range"
  std::int64_t count = 0;
  std::string first;   // where the first stands: "\"a.csv\" line 12", "\"b.fits\" row 3"
  std::string unit = "line";  // what was counted: "line", "record"
  // "position out of range: 7 lines, the first at "a.csv" line 12"
  std::string note() const;
};

struct BuildResult {
  bool started = false;     // false: refused (empty directory) or append not confirmed
  bool completed = false;   // all stages ran
  std::string outputDirectory;
  std::int64_t linesRead = 0;
  std::int64_t recordsWritten = 0;
  std::int64_t indexRecordsWritten = 0;
  std::int64_t linesRejected = 0;
  int regionCount = 0;        // region files of the catalog
  std::string rejectLogPath;  // empty when no line was rejected
  // The rejected lines by reason, for the reasons that occurred; their
  // counts add up to linesRejected.
  std::vector<RejectCount> rejectReasons;
  // Rows of a table refused because they could not be read (a quote left
  // open, too few cells), not for their position: how many, and the first
  // of them with their file and line.
  std::int64_t rowsRefused = 0;
  std::vector<std::string> rowNotes;
  // Per field whose texts were cut, in the order of the field list.
  std::vector<TextCut> textsCut;
  // Records whose magnitude is fainter than the header's maximum magnitude
  // (which the import may have taken from a sample of the data), and where
  // the first stands.
  std::int64_t fainterThanMaximum = 0;
  std::string firstFainter;
  double maximumMagnitude = 0;
  // "12 records are fainter than the maximum magnitude 9.5, the first at ...".
  std::string fainterNote() const;
  // Magnitudes that did not go into the field as they stand, per reason
  // (a number outside what it holds, a text that is no number), in the
  // order of MagnitudeChange; a blank magnitude is none of them. Notes as
  // RejectCount::note gives them: "magnitude not a number, stored as no
  // magnitude: 3 records, the first at "a.csv" line 7".
  std::vector<RejectCount> magnitudesChanged;
  StageTimes seconds;
  double totalSeconds = 0;
};

// The staged build: "Create header", "Create files", "Convert catalog files",
// "Close files", "Sorting files by magnitude", "Sorting the index file ".
// It works from a copy of the definition taken when run() starts, so the
// window may change afterwards without affecting the build.
class BuildPipeline {
 public:
  explicit BuildPipeline(BuildUi& ui, FileSystem& fs);

  // Runs a whole build. Returns normally on success and when the build was
  // refused before it began (see BuildResult::started); throws Error on any
  // failure and AbortError ("Aborted by user") on abort. The catalog is
  // built in a staging directory inside the output directory and replaces
  // the previous one only when every stage has succeeded: after a failure
  // or an abort the output directory holds what it held before. Another
  // build of the same output directory is refused at once. Every file opened
  // by the build is closed on every path.
  BuildResult run(const CatalogDefinition& definition);

  // Sets the abort flag; safe to call from any thread. The build tests it
  // before each region file is created, every 1000th input line and before
  // each region file is sorted.
  void requestAbort() { abort_.store(true, std::memory_order_relaxed); }
  bool abortRequested() const { return abort_.load(std::memory_order_relaxed); }

  // Directory that relative input file names and a relative output
  // directory are taken from. Empty: the
  // current directory. The build never changes the current directory.
  void setProgramDirectory(std::string dir) { programDirectory_ = std::move(dir); }

  // Region files up to this many bytes are sorted by magnitude in one run;
  // larger ones, and all of them when 0, in the runs of the sort's size bands.
  void setRegionOneRunLimit(std::int64_t bytes) { regionOneRunLimit_ = bytes; }
  // Index records are sorted in memory in runs of this many bytes (see
  // CatalogFiles::sortIndexRuns) and the runs merged.
  void setIndexRunBytes(std::size_t bytes) { indexRunBytes_ = bytes; }

  // "  x/y  " -> "x/y/": blanks removed at both ends, one separator added.
  static std::string normaliseDirectory(const std::string& text);

 private:
  class Run;
  std::string inputPath(const std::string& name) const;

  BuildUi& ui_;
  FileSystem& fs_;
  std::atomic<bool> abort_{false};
  std::string programDirectory_;
  std::int64_t regionOneRunLimit_;
  std::size_t indexRunBytes_;
};

}  // namespace mirdal
