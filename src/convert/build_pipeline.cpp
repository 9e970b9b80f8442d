#include "convert/build_pipeline.h"

#include "catalog/project_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "convert/conversion_loop.h"
#include "convert/reject_log.h"
#include "input/input_source.h"
#include "convert/region_sort.h"
#include "output/append_check.h"
#include "output/catalog_files.h"
#include "output/catalog_staging.h"
#include "output/post_build_sort.h"
#include "output/record_layout.h"
#include "output/region_scheme.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

// A text input that is compressed in a way its name does not tell, an
// archive, or binary data would build garbage from what its lines seem to
// be: refused, by its first bytes, naming the file and what it holds.
// Binary is a program (its magic bytes) or a start where control bytes
// (NUL and the like, not tabs and line ends) are more than one byte in 20:
// text with a stray NUL is read line by line, and the lines that hold one
// are rejected with their reason. A pipe is read as it comes.
void refuseUnreadableText(FileSystem& fs, const std::string& path) {
  if (fs.kind(path) != FileKind::Regular) return;
  constexpr std::size_t kHead = 4096;
  std::string head(kHead, '\0');
  const std::unique_ptr<InputSource> source = openInputSource(fs, path);
  bool atEnd = false;
  head.resize(source->read(head.data(), kHead, atEnd));
  source->close();
  refuseUnreadCompression(head, path);
  const std::string text = source->compressed() ? " of its decompressed text" : "";
  if (head.starts_with("\x7F" "ELF"))
    throw Error(quoted(path) + " is a program (its first bytes" + text + " are an ELF header), not text");
  std::size_t controls = 0;
  for (char c : head)
    if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') ++controls;
  if (controls * 20 > head.size())
    throw Error(quoted(path) + " holds binary data, not text: " + std::to_string(controls) + " of its first " +
                std::to_string(head.size()) + " bytes" + text + " are control bytes (NUL and the like)");
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

BuildPipeline::BuildPipeline(BuildUi& ui, FileSystem& fs)
    : ui_(ui), fs_(fs), regionOneRunLimit_(kRegionOneRunBytes), indexRunBytes_(kIndexRunBytes) {}

std::string BuildPipeline::inputPath(const std::string& name) const {
  if (programDirectory_.empty() || name.empty() || name.front() == '/') return name;
  return programDirectory_ + (programDirectory_.back() == '/' ? "" : "/") + name;
}

std::string BuildPipeline::normaliseDirectory(const std::string& text) {
  std::string dir(trimmed(text));
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// One build: what its stages share, and the stages themselves.
class BuildPipeline::Run {
 public:
  Run(BuildPipeline& pipeline, const CatalogDefinition& def, const RecordLayout& layout, std::string dir,
      std::vector<std::string> inputs, CatalogStaging& staging, BuildResult& result)
      : p_(pipeline),
        ui_(pipeline.ui_),
        fs_(pipeline.fs_),
        def_(def),
        layout_(layout),
        dir_(std::move(dir)),
        work_(staging.directory()),
        inputs_(std::move(inputs)),
        staging_(staging),
        result_(result),
        rejectLog_(fs_, work_ + "reject.txt") {}

  // Runs the stages in order, then puts the catalog in place.
  void all();
  // After a failure: drops what is buffered and closes every file.
  void abandon() noexcept {
    if (files_) files_->abandon();
    rejectLog_.abandon();
  }
  // A message that names files by their places in the output directory
  // rather than in the staging directory.
  std::string inOutputDirectory(std::string message) const {
    for (std::size_t at; (at = message.find(work_)) != std::string::npos;) message.replace(at, work_.size(), dir_);
    return message;
  }

 private:
  struct Stage {
    const char* caption;
    int overallMaximum;   // 0: left as it is
    int overallPosition;
    bool perRegion;       // the stage's bar counts region files, else 1
    bool (Run::*runs)() const;
    void (Run::*work)();
    double StageTimes::*seconds;
  };
  static const Stage kStages[];

  bool always() const { return true; }
  bool sortsByMagnitude() const { return def_.type() != CatalogType::NebulaOutlines; }
  bool hasIndex() const { return layout_.index; }

  void begin(const Stage& stage);
  void header() { ui_.setStagePosition(1); }
  void createFiles();
  void convert();
  void closeFiles();
  void sortByMagnitude();
  void sortIndex();
  std::function<void()> indexBeside();
  void finishIndex(InPlaceSorter& sorter, const std::string& scratch);
  void checkAbort() const {
    if (p_.abortRequested()) throw AbortError();
  }
  void showItem(int r) {
    ui_.setStagePosition(r);
    ui_.setItemCaption(std::to_string(r));
    ui_.repaint();
  }

  BuildPipeline& p_;
  BuildUi& ui_;
  FileSystem& fs_;
  const CatalogDefinition& def_;
  const RecordLayout& layout_;
  const std::string dir_;
  const std::string work_;
  const std::vector<std::string> inputs_;
  CatalogStaging& staging_;
  BuildResult& result_;
  std::optional<CatalogFiles> files_;
  RejectLog rejectLog_;
  std::optional<InPlaceSorter> sorter_;
  bool indexDone_ = false;  // by the magnitude sort's second thread; read after its join
};

// Before each stage its captions and bars are set, the progress window
// repainted and pending window messages run (when a click on Abort is
// seen). The index sort sets its own.
const BuildPipeline::Run::Stage BuildPipeline::Run::kStages[] = {
    {stage_caption::kCreateHeader, 4, 0, false, &Run::always, &Run::header, &StageTimes::header},
    {stage_caption::kCreateFiles, 0, 1, true, &Run::always, &Run::createFiles, &StageTimes::files},
    {stage_caption::kConvertFiles, 0, 2, false, &Run::always, &Run::convert, &StageTimes::conversion},
    {stage_caption::kCloseFiles, 4, 3, true, &Run::always, &Run::closeFiles, &StageTimes::closing},
    {stage_caption::kMagnitudeSort, 0, 4, true, &Run::sortsByMagnitude, &Run::sortByMagnitude,
     &StageTimes::magnitudeSort},
    {nullptr, 0, 0, false, &Run::hasIndex, &Run::sortIndex, &StageTimes::indexSort},
};

void BuildPipeline::Run::begin(const Stage& stage) {
  ui_.setStageCaption(stage.caption);
  if (stage.overallMaximum != 0) ui_.setOverallMaximum(stage.overallMaximum);
  ui_.setOverallPosition(stage.overallPosition);
  ui_.setStageMaximum(stage.perRegion ? layout_.regionCount : 1);
  ui_.setStagePosition(0);
  ui_.setItemCaption("");
  if (&stage == &kStages[0]) ui_.showProgress();
  ui_.repaint();
  ui_.processEvents();
}

void BuildPipeline::Run::all() {
  for (const Stage& stage : kStages) {
    if (!(this->*stage.runs)()) continue;
    const auto t = Clock::now();
    if (stage.caption != nullptr) begin(stage);
    (this->*stage.work)();
    result_.seconds.*stage.seconds = secondsSince(t);
  }
  files_->closeIndex();  // when no stage sorts it
  sorter_.reset();  // removes its run file
  const bool rejected = rejectLog_.isOpen();
  rejectLog_.close();
  files_.reset();
  staging_.commit(baseName(layout_.header.shortName), layout_.regionCount, layout_.index, rejected);
  if (rejected) result_.rejectLogPath = dir_ + "reject.txt";
}

void BuildPipeline::Run::createFiles() {
  files_.emplace(fs_, work_, layout_, def_.settings.append);
  if (layout_.index) files_->sortIndexRuns(p_.indexRunBytes_, indexNameOrder(layout_));
  if (def_.settings.append) files_->copyFrom(dir_);
  files_->create([&](int r) {
    checkAbort();
    showItem(r);
  });
}

void BuildPipeline::Run::convert() {
  ConversionLoop loop(def_, layout_, *files_, rejectLog_, fs_);
  ui_.setOverallMaximum(static_cast<std::int64_t>(inputs_.size()));
  int f = 0;
  for (const std::string& path : inputs_) {
    ui_.setStageCaption(stage_caption::kConvertFile + path);
    ui_.setOverallPosition(++f);
    ui_.repaint();
    loop.convertFile(
        path, def_.settings.eol, [&](std::int64_t size) { ui_.setStageMaximum(size); },
        [&](std::int64_t position) {
          checkAbort();
          ui_.linesConverted(loop.linesRead());
          ui_.setStagePosition(position);
          ui_.repaint();
          ui_.processEvents();
        });
  }
  result_.linesRead = loop.counters().lines;
  result_.recordsWritten = loop.counters().records;
  result_.indexRecordsWritten = loop.counters().indexRecords;
  result_.linesRejected = loop.counters().rejected;
  result_.rowNotes = loop.counters().notes;
  result_.rowsRefused = loop.counters().refusedRows;
  const ConversionCounters& counters = loop.counters();
  for (int r = 0; r < kRejectReasonCount; ++r) {
    const auto i = static_cast<std::size_t>(r);
    if (counters.rejectedFor[i] != 0)
      result_.rejectReasons.push_back({rejectReasonText(static_cast<RejectReason>(r)), counters.rejectedFor[i],
                                       counters.firstRejectedFor[i]});
  }
  result_.fainterThanMaximum = counters.fainter;
  result_.firstFainter = counters.firstFainter;
  result_.maximumMagnitude = def_.settings.magmax;
  for (int k = 0; k < kMagnitudeChangeCount; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (counters.magnitudesChanged[i] == 0) continue;
    // Every magnitude field has the scale 1000.
    const char* reason = "";
    switch (static_cast<MagnitudeChange>(k)) {
      case MagnitudeChange::BelowField: reason = "magnitude below -32.768, stored as -32.768"; break;
      case MagnitudeChange::AboveField: reason = "magnitude above 32.766, stored as no magnitude"; break;
      case MagnitudeChange::NotANumber: reason = "magnitude not a number, stored as no magnitude"; break;
    }
    result_.magnitudesChanged.push_back({reason, counters.magnitudesChanged[i], counters.firstMagnitudeChanged[i],
                                         "record"});
  }
  for (int p = 0; p < kSlotCount; ++p) {
    const auto i = static_cast<std::size_t>(p);
    if (counters.textsCut[i] == 0) continue;
    // As page 3 lists it, with the label it is given.
    std::string field(trimmed(def_.fields().entry(p).text));
    if (const std::string& label = def_.labelOfPosition(p); !label.empty() && label != field)
      field += " (" + label + ")";
    result_.textsCut.push_back({std::move(field), def_.fieldSlots[i].length, counters.textsCut[i],
                                counters.firstCut[i]});
  }
}

std::string RejectCount::note() const {
  return reason + ": " + std::to_string(count) + " " + unit + (count == 1 ? ", at " : "s, the first at ") + first;
}

std::string BuildResult::fainterNote() const {
  if (fainterThanMaximum == 0) return {};
  return std::to_string(fainterThanMaximum) + (fainterThanMaximum == 1 ? " record is" : " records are") +
         " fainter than the maximum magnitude " + formatProjectFloat(maximumMagnitude) + " of the header, the first at " +
         firstFainter + "; a chart may not show them: raise the maximum magnitude and build again";
}

std::string TextCut::note() const {
  return first + ": a text of \"" + field + "\" is longer than its " + std::to_string(length) +
         (length == 1 ? " byte" : " bytes") + " and is cut (" + std::to_string(count) +
         (count == 1 ? " text" : " texts") + " cut in all)";
}

// No window messages run while the files close.
void BuildPipeline::Run::closeFiles() {
  files_->closeRegions([&](int r) { showItem(r); });
}

// On two threads where it can (see sortRegionFilesByMagnitude); the bar and
// the abort flag are looked at on this one only.
void BuildPipeline::Run::sortByMagnitude() {
  if (!sorter_) sorter_.emplace(fs_, work_ + "SorTemp.mkw");
  std::vector<std::string> regionFiles;
  for (int r = 1; r <= layout_.regionCount; ++r) regionFiles.push_back(files_->regionPath(r));
  sortRegionFilesByMagnitude(
      *sorter_, work_ + "sort.out", regionFiles, work_, layout_, p_.regionOneRunLimit_,
      [&](int r) {
        checkAbort();
        showItem(r);
      },
      [&] { return p_.abortRequested(); }, indexBeside());
}

// An index written as sorted runs needs their merge at most, and nothing of
// the region files: the magnitude sort's second thread finishes it first,
// with a run file and scratch file of its own.
std::function<void()> BuildPipeline::Run::indexBeside() {
  if (!hasIndex() || !files_->indexRunsSorted()) return {};
  return [this] {
    InPlaceSorter own(fs_, work_ + "SorTemp3.mkw");
    finishIndex(own, work_ + "sort3.out");
  };
}

// The index finished: its last run written and the runs merged, or, written
// in input order, sorted whole.
void BuildPipeline::Run::finishIndex(InPlaceSorter& sorter, const std::string& scratch) {
  files_->closeIndex();
  if (files_->indexRunsSorted()) {
    mergeIndexRuns(sorter, files_->indexPath(), files_->indexRuns(), scratch, layout_);
  } else {
    sortIndexByName(sorter, files_->indexPath(), scratch, layout_);
  }
  indexDone_ = true;
}

void BuildPipeline::Run::sortIndex() {
  if (!sorter_) sorter_.emplace(fs_, work_ + "SorTemp.mkw");
  ui_.setStageMaximum(2);
  ui_.setStagePosition(1);
  ui_.setStageCaption(stage_caption::kIndexSort);
  ui_.setItemCaption("");
  ui_.processEvents();
  if (!indexDone_) finishIndex(*sorter_, work_ + "sort.out");
  ui_.setStagePosition(2);
  ui_.processEvents();
}

BuildResult BuildPipeline::run(const CatalogDefinition& definition) {
  const auto start = Clock::now();
  abort_.store(false, std::memory_order_relaxed);

  // One snapshot for the whole build.
  const CatalogDefinition def = definition;
  const BuildSettings& s = def.settings;
  BuildResult result;

  // A directory text of blanks only would name the root directory: refuse it
  // as an empty one.
  if (trimmed(s.ouputdir).empty()) {
    ui_.message(kEmptyDirectoryMessage);
    ui_.focusOutputDirectory();
    return result;
  }
  if (s.append && !ui_.confirm(kAppendQuestion)) return result;

  // A relative output directory is taken from the program directory too.
  const std::string dir = inputPath(normaliseDirectory(s.ouputdir));
  result.started = true;
  result.outputDirectory = dir;

  std::vector<std::string> inputs;
  for (const std::string& path : s.inputfiles) inputs.push_back(inputPath(path));

  // Everything that can refuse the build without touching a file comes first.
  const RecordLayout layout = buildRecordLayout(def);
  const std::string base = baseName(layout.header.shortName);
  if (!isPlainBaseName(base))
    throw Error("The catalog short name \"" + s.shortname + "\" cannot name its files: it must not start with \".\"" +
                " nor hold \"/\", \"\\\" or control characters");
  refuseInputsThatAreOutputs(fs_, inputs, dir, base, layout.regionCount);
  // A missing input would fail the conversion after a new output directory
  // was made: name it before anything is created.
  for (const std::string& input : inputs) {
    if (!fs_.exists(input)) throw Error("Cannot open file \"" + input + "\": " + std::strerror(ENOENT));
    if (hasLineEnds(s.format)) refuseUnreadableText(fs_, input);
  }

  if (!fs_.isDirectory(dir)) fs_.createDirectories(dir);
  // The new catalog is built in a staging directory and put in place only
  // when every stage has succeeded; until then the previous one stays whole.
  CatalogStaging staging(fs_, dir);
  if (s.append) checkAppendCompatible(fs_, dir, base, layout);

  Run build(*this, def, layout, dir, std::move(inputs), staging, result);
  try {
    build.all();
  } catch (...) {
    build.abandon();
    ui_.hideProgress();
    try {
      throw;
    } catch (const AbortError&) {
      throw;
    } catch (const Error& e) {
      throw Error(build.inOutputDirectory(e.what()));
    }
  }
  result.completed = true;
  result.regionCount = layout.regionCount;
  result.totalSeconds = secondsSince(start);
  // The window says "Sorting the index file " no more once the build is over.
  ui_.hideProgress();
  if (!result.rejectLogPath.empty()) ui_.message(std::string(kRejectedMessagePrefix) + dir + kRejectedMessageSuffix);
  return result;
}

}  // namespace mirdal
