// mirdal-build: builds a catalog from a project file, without a window.
//
//   mirdal-build [--output DIR] [--yes] PROJECT.prj

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "build/build_pipeline.h"
#include "catalog/catalog_definition.h"
#include "catalog/error.h"
#include "catalog/project_file.h"

namespace {

mirdal::BuildPipeline* g_pipeline = nullptr;

extern "C" void onInterrupt(int) {
  if (g_pipeline) g_pipeline->requestAbort();
}

const char* kUsage =
    "Usage: mirdal-build [--output DIR] [--yes] PROJECT.prj\n"
    "Builds the catalog that the project file describes.\n"
    "  --output DIR  write the catalog to DIR instead of the project's output directory\n"
    "  --yes         answer Yes to the append confirmation (needed when not on a terminal)\n";

// Progress on one live line of stderr when it is a terminal; questions on
// the terminal, or answered by --yes.
class TerminalUi : public mirdal::BuildUi {
 public:
  TerminalUi(bool assumeYes) : assumeYes_(assumeYes), live_(::isatty(STDERR_FILENO) != 0) {}

  void setStageCaption(const std::string& text) override {
    stage_ = text;
    draw(true);
  }
  void setStageMaximum(std::int64_t max) override { max_ = max; }
  void setStagePosition(std::int64_t pos) override {
    pos_ = pos;
    draw(false);
  }
  void linesConverted(std::int64_t lines) override { lines_ = lines; }
  void hideProgress() override { endLine(); }

  bool confirm(const std::string& text) override {
    endLine();
    if (assumeYes_) return true;
    if (!::isatty(STDIN_FILENO)) {
      std::cerr << "mirdal-build: the project appends to an existing catalog; run with --yes to confirm\n";
      return false;
    }
    std::cerr << printable(text) << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
  }

  void message(const std::string& text) override {
    endLine();
    std::cerr << printable(text) << "\n";
  }

 private:
  static std::string printable(const std::string& text) {
    std::string out;
    for (char c : text)
      if (c != '\r') out += c;
    return out;
  }

  void draw(bool force) {
    if (!live_) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    std::string line = stage_;
    if (line.size() > 60) line = "..." + line.substr(line.size() - 57);
    char tail[96];
    int percent = max_ > 0 ? static_cast<int>(100.0 * static_cast<double>(pos_) / static_cast<double>(max_)) : 0;
    double elapsed = std::chrono::duration<double>(now - start_).count();
    if (lines_ > 0 && elapsed > 0)
      std::snprintf(tail, sizeof tail, "  %3d%%  %.0f lines/s", percent, static_cast<double>(lines_) / elapsed);
    else
      std::snprintf(tail, sizeof tail, "  %3d%%", percent);
    std::cerr << "\r\033[K" << line << tail << std::flush;
    drawn_ = true;
  }

  void endLine() {
    if (drawn_) std::cerr << "\r\033[K" << std::flush;
    drawn_ = false;
  }

  bool assumeYes_;
  bool live_;
  bool drawn_ = false;
  std::string stage_;
  std::int64_t max_ = 0, pos_ = 0, lines_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace

int main(int argc, char** argv) {
  std::string project, output;
  bool yes = false, haveOutput = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--yes" || a == "-y") {
      yes = true;
    } else if (a == "--output" || a == "-o") {
      if (i + 1 >= argc) {
        std::cerr << "mirdal-build: --output needs a directory\n" << kUsage;
        return 2;
      }
      output = argv[++i];
      haveOutput = true;
    } else if (a.rfind("--output=", 0) == 0) {
      output = a.substr(9);
      haveOutput = true;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "mirdal-build: unknown option " << a << "\n" << kUsage;
      return 2;
    } else if (project.empty()) {
      project = a;
    } else {
      std::cerr << "mirdal-build: one project file only\n" << kUsage;
      return 2;
    }
  }
  if (project.empty()) {
    std::cerr << kUsage;
    return 2;
  }

  try {
    mirdal::CatalogDefinition definition;
    mirdal::loadProject(project, definition);
    if (haveOutput) definition.settings.ouputdir = output;

    TerminalUi ui(yes);
    mirdal::BuildPipeline pipeline(ui);
    g_pipeline = &pipeline;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    mirdal::BuildResult r = pipeline.run(definition);
    g_pipeline = nullptr;
    if (!r.started) return 1;

    std::printf("Catalog written to %s\n", r.outputDirectory.c_str());
    std::printf("  lines read        %lld\n", static_cast<long long>(r.linesRead));
    std::printf("  records written   %lld\n", static_cast<long long>(r.recordsWritten));
    std::printf("  index records     %lld\n", static_cast<long long>(r.indexRecordsWritten));
    std::printf("  lines rejected    %lld%s%s\n", static_cast<long long>(r.linesRejected),
                r.rejectLogPath.empty() ? "" : ", see ", r.rejectLogPath.c_str());
    std::printf("  time              %.3f s (header %.3f, files %.3f, conversion %.3f, closing %.3f, "
                "magnitude sort %.3f, index sort %.3f)\n",
                r.totalSeconds, r.seconds.header, r.seconds.files, r.seconds.conversion, r.seconds.closing,
                r.seconds.magnitudeSort, r.seconds.indexSort);
    if (r.seconds.conversion > 0)
      std::printf("  conversion speed  %.0f lines/s\n", static_cast<double>(r.linesRead) / r.seconds.conversion);
    return 0;
  } catch (const std::exception& e) {
    g_pipeline = nullptr;
    std::cerr << "mirdal-build: " << e.what() << "\n";
    return 1;
  }
}
