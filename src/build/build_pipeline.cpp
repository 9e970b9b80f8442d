#include "build/build_pipeline.h"

#include <chrono>
#include <optional>
#include <vector>

#include "build/conversion_loop.h"
#include "build/reject_log.h"
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

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

BuildPipeline::BuildPipeline(BuildUi& ui, FileSystem& fs)
    : ui_(ui), fs_(fs), regionOneRunLimit_(kRegionOneRunBytes) {}

std::string BuildPipeline::inputPath(const std::string& name) const {
  if (programDirectory_.empty() || name.empty() || name.front() == '/') return name;
  return programDirectory_ + (programDirectory_.back() == '/' ? "" : "/") + name;
}

std::string BuildPipeline::normaliseDirectory(const std::string& text) {
  std::string dir(trimmed(text));
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
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
  const int regions = layout.regionCount;
  if (!isPlainBaseName(base))
    throw Error("The catalog short name \"" + s.shortname + "\" cannot name its files: it must not start with \".\"" +
                " nor hold \"/\", \"\\\" or control characters");
  refuseInputsThatAreOutputs(fs_, inputs, dir, base, regions);

  if (!fs_.isDirectory(dir)) fs_.createDirectories(dir);
  // The new catalog is built in a staging directory and put in place only
  // when every stage has succeeded; until then the previous one stays whole.
  CatalogStaging staging(fs_, dir);
  if (s.append) checkAppendCompatible(fs_, dir, base, layout);
  const std::string work = staging.directory();

  std::optional<CatalogFiles> files;
  RejectLog rejectLog(fs_, work + "reject.txt");
  auto checkAbort = [this] {
    if (abortRequested()) throw AbortError();
  };

  try {
    // 1. Header.
    auto t = Clock::now();
    ui_.setStageCaption("Create header");
    ui_.setOverallMaximum(4);
    ui_.setOverallPosition(0);
    ui_.setStageMaximum(1);
    ui_.setStagePosition(0);
    ui_.setItemCaption("");
    ui_.showProgress();
    ui_.repaint();
    ui_.processEvents();
    ui_.setStagePosition(1);
    result.seconds.header = secondsSince(t);

    // 2. Files.
    t = Clock::now();
    ui_.setStageCaption("Create files");
    ui_.setOverallPosition(1);
    ui_.setStageMaximum(regions);
    ui_.setStagePosition(0);
    ui_.setItemCaption("");
    ui_.repaint();
    ui_.processEvents();
    files.emplace(fs_, work, layout, s.append);
    if (s.append) files->copyFrom(dir);
    files->create([&](int r) {
      checkAbort();
      ui_.setStagePosition(r);
      ui_.setItemCaption(std::to_string(r));
      ui_.repaint();
    });
    result.seconds.files = secondsSince(t);

    // 3. Conversion.
    t = Clock::now();
    ui_.setStageCaption("Convert catalog files");
    ui_.setOverallPosition(2);
    ui_.setStageMaximum(1);
    ui_.setStagePosition(0);
    ui_.setItemCaption("");
    ui_.repaint();
    ui_.processEvents();
    {
      ConversionLoop loop(def, layout, *files, rejectLog, fs_);
      ui_.setOverallMaximum(static_cast<std::int64_t>(s.inputfiles.size()));
      int f = 0;
      for (const std::string& path : inputs) {
        ++f;
        ui_.setStageCaption("Convert catalog file " + path);
        ui_.setOverallPosition(f);
        ui_.repaint();
        loop.convertFile(
            path, s.eol, [&](std::int64_t size) { ui_.setStageMaximum(size); },
            [&](std::int64_t position) {
              checkAbort();
              ui_.setStagePosition(position);
              ui_.repaint();
              ui_.processEvents();
            });
      }
      result.linesRead = loop.counters().lines;
      result.recordsWritten = loop.counters().records;
      result.indexRecordsWritten = loop.counters().indexRecords;
      result.linesRejected = loop.counters().rejected;
    }
    result.seconds.conversion = secondsSince(t);

    // 4. Closing: no window messages run here.
    t = Clock::now();
    ui_.setStageCaption("Close files");
    ui_.setOverallMaximum(4);
    ui_.setOverallPosition(3);
    ui_.setStageMaximum(regions);
    ui_.setStagePosition(0);
    ui_.setItemCaption("");
    ui_.repaint();
    ui_.processEvents();
    files->close([&](int r) {
      ui_.setStagePosition(r);
      ui_.setItemCaption(std::to_string(r));
      ui_.repaint();
    });
    result.seconds.closing = secondsSince(t);

    // 5. Magnitude sort.
    const std::string scratch = work + "sort.out";
    {
      InPlaceSorter sorter(fs_, work + "SorTemp.mkw");
      if (def.type() != CatalogType::NebulaOutlines) {
        t = Clock::now();
        ui_.setStageCaption("Sorting files by magnitude");
        ui_.setOverallPosition(4);
        ui_.setStageMaximum(regions);
        ui_.setStagePosition(0);
        ui_.setItemCaption("");
        ui_.repaint();
        ui_.processEvents();
        for (int r = 1; r <= regions; ++r) {
          checkAbort();
          ui_.setStagePosition(r);
          ui_.setItemCaption(std::to_string(r));
          ui_.repaint();
          sortRegionByMagnitude(sorter, files->regionPath(r), scratch, layout, regionOneRunLimit_);
        }
        result.seconds.magnitudeSort = secondsSince(t);
      }

      // 6. Index sort.
      if (layout.index) {
        t = Clock::now();
        ui_.setStageMaximum(2);
        ui_.setStagePosition(1);
        ui_.setStageCaption("Sorting the index file ");
        ui_.setItemCaption("");
        ui_.processEvents();
        sortIndexByName(sorter, files->indexPath(), scratch, layout);
        ui_.setStagePosition(2);
        ui_.processEvents();
        result.seconds.indexSort = secondsSince(t);
      }
    }

    const bool rejected = rejectLog.isOpen();
    rejectLog.close();
    files.reset();
    staging.commit(base, regions, layout.index, rejected);

    result.completed = true;
    result.totalSeconds = secondsSince(start);
    if (rejected) {
      result.rejectLogPath = dir + "reject.txt";
      ui_.message(std::string(kRejectedMessagePrefix) + dir + kRejectedMessageSuffix);
    }
  } catch (const AbortError&) {
    if (files) files->abandon();
    rejectLog.abandon();
    ui_.hideProgress();
    throw;
  } catch (const Error& e) {
    if (files) files->abandon();
    rejectLog.abandon();
    ui_.hideProgress();
    // The staging directory is ours, not the user's: a message names the
    // file by the place it would have had in the output directory.
    std::string message = e.what();
    for (std::size_t at; (at = message.find(work)) != std::string::npos;) message.replace(at, work.size(), dir);
    throw Error(message);
  } catch (...) {
    if (files) files->abandon();
    rejectLog.abandon();
    ui_.hideProgress();
    throw;
  }

  ui_.hideProgress();
  return result;
}

}  // namespace mirdal
