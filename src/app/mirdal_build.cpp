// mirdal-build: builds a catalog from a project file, without a window; or
// writes a project file from the byte-by-byte description of a ReadMe, or
// from the description a table file carries itself.
//
//   mirdal-build [--output DIR] [--yes] [--allow-pipes] PROJECT.prj
//   mirdal-build --readme README --input FILE --type TYPE --save PROJECT.prj
//                [--output DIR] [--file NAME] [import options]
//   mirdal-build --input FILE --type TYPE --save PROJECT.prj
//                [--output DIR] [--format FORM] [--table NAME|N] [import options]
//   mirdal-build --version

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/build_pipeline.h"
#include "convert/build_progress.h"
#include "input/input_reader.h"
#include "input/table_forms.h"
#include "import/catalog_import.h"
#include "import/table_import.h"
#include "catalog/catalog_definition.h"
#include "convert/magnitude_scan.h"
#include "catalog/definition_check.h"
#include "import/import_options.h"
#include "catalog/project_file.h"
#include "catalog/project_paths.h"
#include "import/readme_import.h"
#include "util/file_system.h"
#include "util/error.h"
#include "util/home_directory.h"
#include "util/interrupt.h"

namespace {

std::atomic<mirdal::BuildPipeline*> g_pipeline{nullptr};
// The stop signal received, 0 for none: a build it ends exits with 128 plus
// its number, as shells report a program that a signal ended (130 for
// Ctrl-C, 143 for SIGTERM).
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

// The exit status of a run that failed: 128 + the signal when one asked it to stop.
int failureStatus() {
  const int signal = g_stopSignal.load(std::memory_order_relaxed);
  return signal != 0 ? 128 + signal : 1;
}

// Ctrl-C and SIGTERM: the build's abort flag, seen at its next checkpoint,
// and the interrupt request, which ends a wait on a pipe (an input that is
// a FIFO without a writer, or one whose writer is silent). Only flags are
// set here: the build then fails as on any error, closing its files.
extern "C" void onStopSignal(int signal) {
  g_stopSignal.store(signal, std::memory_order_relaxed);
  mirdal::requestInterrupt();
  if (mirdal::BuildPipeline* pipeline = g_pipeline.load(std::memory_order_relaxed)) pipeline->requestAbort();
}

// Without SA_RESTART, so that an open or read waiting on a pipe returns
// EINTR rather than waiting on. With SA_RESETHAND, so that a second signal
// ends the program at once should the build not stop. Every signal that
// would end the program stops it the same way, so that it clears what it
// made (a hang-up, a user signal, a pipe whose reader went away, a timer);
// one that was ignored when the program started (nohup) stays ignored.
void installStopHandlers() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  std::vector<int> signals = {SIGINT, SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1, SIGUSR2, SIGPIPE,
                              SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO};
#ifdef SIGPWR
  signals.push_back(SIGPWR);
#endif
  for (int rt = SIGRTMIN; rt <= SIGRTMAX; ++rt) signals.push_back(rt);
  for (int signal : signals) {
    struct sigaction before {};
    if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN && signal != SIGINT &&
        signal != SIGTERM)
      continue;
    ::sigaction(signal, &action, nullptr);
  }
}

constexpr const char* kTypeNames[] = {"stars", "variables", "doubles", "nebulae", "outlines"};

std::optional<mirdal::CatalogType> catalogTypeNamed(const std::string& name) {
  for (int t = 0; t < mirdal::kCatalogTypeCount; ++t)
    if (name == kTypeNames[t]) return static_cast<mirdal::CatalogType>(t);
  return std::nullopt;
}

struct ReadMeRequest {
  std::string readme, save, tableFile, type;
  std::vector<std::string> inputs;
  std::string format, table;  // the import from the input's own description
  mirdal::ImportOptions import;
  std::vector<std::string> names;             // --names
  std::vector<mirdal::ColumnChoice> columns;  // --map
};

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// What an import leaves for the person to decide, decided from the command
// line. Any import path calls it once the columns are mapped. Returns the
// notes to print.
std::vector<std::string> applyImportOptions(const mirdal::ImportOptions& options, bool magnitudeRead,
                                            mirdal::CatalogDefinition& definition) {
  std::vector<std::string> notes;
  mirdal::applyImportOptions(options, definition);
  if (!options.magmax && !magnitudeRead && definition.type() != mirdal::CatalogType::NebulaOutlines)
    notes.push_back("maximum magnitude " + mirdal::formatProjectFloat(definition.settings.magmax) +
                    " (no magnitude read from the input files; --magmax sets it)");
  return notes;
}

// What a written project holds, and where the catalog will go.
void printProject(const std::string& path, const mirdal::CatalogDefinition& definition,
                  const std::vector<std::string>& notes) {
  const mirdal::BuildSettings& s = definition.settings;
  std::printf("Project written to %s\n", path.c_str());
  std::printf("  catalog           %s, \"%s\", %s\n", s.shortname.c_str(), s.longname.c_str(),
              mirdal::catalogTypeCaption(definition.type()));
  std::printf("  output directory  %s\n", s.ouputdir.c_str());
  if (definition.regionChoiceOffered())
    std::printf("  region files      %d, index %s%s\n", mirdal::regionCountOfNumfile(s.numfile),
                s.index ? "yes" : "no", s.index && s.altindex ? " with alternate names" : "");
  for (const std::string& n : notes) std::printf("  %s\n", n.c_str());
}

// What both imports do once the columns are mapped: the input names (kept
// relative below the project's directory, so that the project and its
// catalog move together), line ends, names, output directory and the import
// options; then the project is saved and printed. A project that lacks a
// required column is written all the same, for the wizard to complete, but
// the exit status 1 says it cannot be built as it is.
int saveImportedProject(const ReadMeRequest& request, const std::optional<std::string>& output,
                        mirdal::ImportOutcome& imported, mirdal::CatalogDefinition& definition) {
  const mirdal::ReadMe& readMe = imported.readMe;
  std::vector<std::string>& notes = imported.notes;
  const bool checkRequired = imported.mapped;
  const std::vector<std::string>& candidates = imported.positionCandidates;
  const std::string& positionProblem = imported.positionProblem;
  mirdal::BuildSettings& s = definition.settings;
  const std::string& input = request.inputs.front();
  for (const std::string& in : request.inputs) s.inputfiles.push_back(mirdal::nameInProject(in, request.save));
  // FITS and VOTable rows are no lines: their `eol` stays as it is.
  if (mirdal::hasLineEnds(s.format)) {
    if (std::optional<int> eol = mirdal::EolDetector::detectEol(mirdal::FileSystem::real(), input))
      s.eol = *eol;
    else
      notes.push_back(std::string(mirdal::kUnrecognizedEolWarning) + " Line ends: CR LF");
  }
  s.shortname = mirdal::proposedShortName(readMe, input);
  s.longname = mirdal::proposedLongName(readMe, input);
  if (output) s.ouputdir = absolutePath(mirdal::expandHome(*output));
  for (std::string& note : applyImportOptions(request.import, imported.magnitudeRead, definition))
    notes.push_back(std::move(note));
  // What the build of the project would refuse in these settings is refused
  // now, before a project is written; the checks are the build's own.
  if (const char* why = mirdal::shortNameProblem(s.shortname)) {
    const std::string text = std::string(why) + ": \"" + s.shortname + "\"";
    if (request.import.shortName) throw mirdal::UsageError(text);
    throw mirdal::Error(text + "; give another with --short-name");
  }
  if (std::optional<std::string> why = mirdal::tableChoiceProblem(s.format, request.table))
    throw mirdal::UsageError("--table \"" + request.table + "\": " + *why);
  mirdal::saveProject(request.save, definition, mirdal::FileSystem::real());
  printProject(request.save, definition, notes);
  const std::vector<std::string> missing = mirdal::missingRequiredEntries(definition);
  if (!checkRequired || missing.empty()) return 0;
  std::string list;
  for (const std::string& m : missing) list += (list.empty() ? "" : ", ") + m;
  std::cerr << "mirdal-build: no column found for " << list;
  if (!positionProblem.empty()) {
    std::cerr << "; \"" << input << "\": " << positionProblem;
  } else if (!definition.ticked(0) || !definition.ticked(definition.fields().raCount())) {
    std::cerr << "; looked for " << mirdal::kPositionsLookedFor << "; ";
    if (candidates.empty()) {
      std::cerr << "no column holds numbers";
    } else {
      std::cerr << "the columns left that hold numbers: ";
      for (std::size_t i = 0; i < candidates.size(); ++i) std::cerr << (i ? ", " : "") << candidates[i];
    }
  }
  std::cerr << "; give " << (list.find(',') == std::string::npos ? "its column" : "their columns")
            << " with --map FIELD=COLUMN, or complete the project in the wizard (mirdal " << request.save << ")\n";
  return 1;
}

// What both imports ask of the import, from the command line.
mirdal::ImportRequest importRequestOf(const ReadMeRequest& request, mirdal::CatalogType type) {
  mirdal::ImportRequest r;
  r.inputs = request.inputs;
  r.type = type;
  r.raUnit = request.import.raUnit;
  r.names = request.names;
  r.columns = request.columns;
  r.magnitudeFromData = !request.import.magmax;
  return r;
}

// Before any import work: a save target that a save would wrongly replace.
// A pipe, a device or a socket is refused by the save itself; one of the
// files read (or a name the save writes beside it) would be overwritten by
// the project, which would then name itself as its input.
void refuseSaveTarget(const ReadMeRequest& request) {
  mirdal::FileSystem& fs = mirdal::FileSystem::real();
  mirdal::refuseSpecialSaveTarget(request.save, fs);
  std::vector<std::string> read = request.inputs;
  if (!request.readme.empty()) read.push_back(request.readme);
  for (const std::string& written : {request.save, request.save + ".old", request.save + ".saving"}) {
    const std::optional<mirdal::FileIdentity> target = fs.identity(written);
    if (!target) continue;
    for (const std::string& in : read)
      if (fs.identity(in) == target)
        throw mirdal::UsageError("--save \"" + request.save + "\": the project would replace the input file \"" +
                                 in + "\"; give the project another name");
  }
}

// A right ascension in hours or degrees that nothing in the file tells:
// nothing is written, and the message names the column and the option.
int refuseOpenRaUnit(const std::string& input, const mirdal::OpenRaUnit& open) {
  std::cerr << "mirdal-build: \"" << input << "\": the right ascension " << open.column << " has " << open.reason
            << ", so it may be in hours or in degrees; give --ra-unit hours or --ra-unit degrees\n";
  return 1;
}

// Writes the project that the ReadMe proposes; the notes go to stdout. A
// project that lacks a required column is written all the same, for the
// wizard to complete, but the exit status says it cannot be built as it is.
int writeProjectFromReadMe(ReadMeRequest request, const std::optional<std::string>& output) {
  // "--input=~/x" and the like reach us unexpanded: read them as the shell would.
  request.readme = mirdal::expandHome(request.readme);
  request.save = mirdal::expandHome(request.save);
  for (std::string& input : request.inputs) input = mirdal::expandHome(input);
  const std::optional<mirdal::CatalogType> type = catalogTypeNamed(request.type);
  if (!type) {
    std::cerr << "mirdal-build: unknown catalog type \"" << request.type
              << "\"; give stars, variables, doubles, nebulae or outlines\n";
    return 2;
  }
  refuseSaveTarget(request);
  mirdal::CatalogDefinition definition;
  // The data is sampled with the line ends the project will have (see
  // saveImportedProject); a file that cannot be read is named by the import.
  if (!request.inputs.empty()) {
    try {
      const std::string& input = request.inputs.front();
      if (std::optional<int> eol = mirdal::EolDetector::detectEol(mirdal::FileSystem::real(), input))
        definition.settings.eol = *eol;
    } catch (const mirdal::Error&) {
    }
  }
  mirdal::ImportRequest import = importRequestOf(request, *type);
  import.readme = request.readme;
  import.readmeTable = request.tableFile;
  mirdal::ImportOutcome imported = mirdal::importCatalog(mirdal::FileSystem::real(), import, definition);
  if (imported.openRaUnit) return refuseOpenRaUnit(request.inputs.front(), *imported.openRaUnit);
  return saveImportedProject(request, output, imported, definition);
}

// The values --format names, in the order its messages give them: the text
// forms that describe their columns, then (with `withUndescribed`) those
// that do not, fixed columns, which it refuses with a reason of their own;
// then the typed tables.
std::string formatValues(bool withUndescribed) {
  std::vector<mirdal::TableForm> forms;
  for (int group = 0; group < 3; ++group)
    for (const mirdal::TableFormRow& row : mirdal::tableForms()) {
      const int rowGroup = row.kind() == mirdal::FormKind::Typed ? 2 : row.describesColumns() ? 0 : 1;
      if (rowGroup == group && (withUndescribed || row.describesColumns())) forms.push_back(row.form);
    }
  return mirdal::listedFormNames(forms);
}

// The --help lines of --format, wrapped at 80 columns.
const char* formatOptionHelp() {
  static const std::string text = [] {
    constexpr std::size_t kWidth = 80;
    const std::string indent(17, ' ');
    std::string help, line = "  --format FORM  without --readme: how the input is written,";
    const std::string rest = formatValues(false) + "; detected by default";
    for (std::size_t start = 0; start < rest.size();) {
      std::size_t end = rest.find(' ', start);
      if (end == std::string::npos) end = rest.size();
      const std::string_view word = std::string_view(rest).substr(start, end - start);
      if (line.size() + 1 + word.size() > kWidth) {
        help += line + "\n";
        line = indent;
      } else {
        line += ' ';
      }
      line += word;
      start = end + 1;
    }
    return help + line + "\n";
  }();
  return text.c_str();
}

// Writes the project that the input file's own description proposes (no
// --readme); the notes go to stdout. As from a ReadMe, a project that lacks
// a required column is written and the exit status is 1. A file whose
// columns have no names is written with its form only, exit status 1, and
// says that the columns are to be mapped in the wizard.
int writeProjectFromTable(ReadMeRequest request, const std::optional<std::string>& output) {
  request.save = mirdal::expandHome(request.save);
  for (std::string& input : request.inputs) input = mirdal::expandHome(input);
  const std::optional<mirdal::CatalogType> type = catalogTypeNamed(request.type);
  if (!type) {
    std::cerr << "mirdal-build: unknown catalog type \"" << request.type
              << "\"; give stars, variables, doubles, nebulae or outlines\n";
    return 2;
  }
  std::optional<mirdal::TableForm> form;
  if (!request.format.empty()) {
    form = mirdal::parseTableForm(request.format);
    if (!form) {
      std::cerr << "mirdal-build: unknown form \"" << request.format << "\"; give " << formatValues(true) << "\n";
      return 2;
    }
    if (*form == mirdal::TableForm::Fixed) {
      std::cerr << "mirdal-build: a fixed-column file carries no description of its columns; "
                   "give the catalog's ReadMe with --readme\n";
      return 2;
    }
  }
  if (std::optional<std::string> why = mirdal::tableChoiceProblem(form, request.table)) {
    std::cerr << "mirdal-build: --table \"" << request.table << "\": " << *why << "\n";
    return 2;
  }
  refuseSaveTarget(request);
  mirdal::FileSystem& fs = mirdal::FileSystem::real();
  const std::string& input = request.inputs.front();
  mirdal::CatalogDefinition definition;
  definition.settings.table = request.table;
  mirdal::ImportRequest import = importRequestOf(request, *type);
  import.form = form;
  mirdal::ImportOutcome imported = mirdal::importCatalog(fs, import, definition);
  if (imported.openRaUnit) return refuseOpenRaUnit(input, *imported.openRaUnit);
  const bool mapped = imported.mapped;
  const int status = saveImportedProject(request, output, imported, definition);
  if (mapped) return status;
  std::cerr << "mirdal-build: the columns of \"" << input
            << "\" have no names, so none is mapped; name them in order with --names LIST, or map them in the "
               "wizard (mirdal " << request.save << ")\n";
  return 1;
}

// Progress on one live line of stderr when it is a terminal; questions on
// the terminal, or answered by --yes.
class TerminalUi : public mirdal::BuildUi {
 public:
  TerminalUi(bool assumeYes) : assumeYes_(assumeYes), live_(::isatty(STDERR_FILENO) != 0) {}

  void setStageCaption(const std::string& text) override {
    stage_ = text;
    progress_.stageCaption(text);
    draw(true);
  }
  void setOverallMaximum(std::int64_t max) override { progress_.overallMaximum(max); }
  void setStageMaximum(std::int64_t max) override { progress_.stageMaximum(max); }
  void setStagePosition(std::int64_t pos) override {
    progress_.stagePosition(pos);
    draw(false);
  }
  void linesConverted(std::int64_t lines) override { progress_.linesConverted(lines); }
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
    if (line.size() > 48) line = "..." + line.substr(line.size() - 45);
    std::cerr << "\r\033[K" << line << "  " << progress_.summary(now) << std::flush;
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
  mirdal::BuildProgress progress_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// The command line, read.
struct Options {
  std::string project, output;
  bool yes = false, haveOutput = false, readmeMode = false, importOptions = false, allowPipes = false;
  ReadMeRequest request;
};

const std::string& usage();

// One option of the command line. An option that takes a value takes it from
// the next argument, or after "=" in the same one under its long name
// ("--input=FILE"); an alias ("-o") takes no "=", nor does an option without
// a value.
struct OptionRow {
  const char* name;     // "--output"
  const char* alias;    // "-o", or nullptr
  const char* needs;    // what it takes, for "--output needs a directory"; nullptr: no value
  const char* help;     // its lines of --help, or nullptr
  bool importOption;    // listed under "Import options" in --help
  // Takes the value (empty without one); an exit status when the program ends here.
  std::optional<int> (*take)(const OptionRow& row, std::string value, Options& o);
};

constexpr std::optional<int> kGoOn = std::nullopt;

// The import options: the import reads the value, and refuses a value the
// option does not take with the option and the reason.
std::optional<int> takeImportOption(const OptionRow& row, std::string value, Options& o) {
  try {
    mirdal::readImportOption(row.name, value, o.request.import);
  } catch (const std::exception& e) {
    std::cerr << "mirdal-build: " << e.what() << "\n";
    return 2;
  }
  o.importOptions = true;
  return kGoOn;
}

constexpr const char* kValue = "a value";

// Every option, in the order of --help.
const OptionRow kOptionRows[] = {
    {"--output", "-o", "a directory",
     "  --output DIR   write the catalog to DIR instead of the project's output directory;\n"
     "                 with --readme, the output directory written into the project\n",
     false,
     [](const OptionRow&, std::string v, Options& o) {
       o.output = std::move(v);
       o.haveOutput = true;
       return kGoOn;
     }},
    {"--yes", "-y", nullptr, "  --yes          answer Yes to the append confirmation (needed when not on a terminal)\n",
     false,
     [](const OptionRow&, std::string, Options& o) {
       o.yes = true;
       return kGoOn;
     }},
    {"--allow-pipes", nullptr, nullptr,
     "  --allow-pipes  read a project's input files that are pipes (FIFOs), waiting for\n"
     "                 their writers; without it they are refused\n",
     false,
     [](const OptionRow&, std::string, Options& o) {
       o.allowPipes = true;
       return kGoOn;
     }},
    {"--readme", nullptr, kValue, "  --readme FILE  the ReadMe that describes the catalog's columns\n", false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.readme = std::move(v);
       o.readmeMode = true;
       return kGoOn;
     }},
    {"--input", nullptr, kValue, "  --input FILE   the catalog file; repeat it for a catalog in several files\n", false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.inputs.push_back(std::move(v));
       return kGoOn;
     }},
    {"--type", nullptr, kValue, "  --type TYPE    stars, variables, doubles, nebulae or outlines\n", false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.type = std::move(v);
       return kGoOn;
     }},
    {"--save", nullptr, kValue,
     "  --save FILE    the project file to write (an existing one is kept as FILE.old)\n", false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.save = std::move(v);
       return kGoOn;
     }},
    {"--file", nullptr, kValue,
     "  --file NAME    the file of the ReadMe whose description to use; by default the\n"
     "                 one named like the first input file, or the only one\n",
     false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.tableFile = std::move(v);
       return kGoOn;
     }},
    {"--format", nullptr, kValue, formatOptionHelp(), false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.format = std::move(v);
       return kGoOn;
     }},
    {"--table", nullptr, kValue, "  --table T      FITS and VOTable: the table to read, by name or number\n", false,
     [](const OptionRow&, std::string v, Options& o) {
       o.request.table = std::move(v);
       return kGoOn;
     }},
    {"--version", nullptr, nullptr, "  --version      print the program's name and version\n", false,
     [](const OptionRow&, std::string, Options&) -> std::optional<int> {
       std::cout << "mirdal-build " MIRDAL_VERSION "\n";
       return 0;
     }},
    {"--help", "-h", nullptr, nullptr, false,
     [](const OptionRow&, std::string, Options&) -> std::optional<int> {
       std::cout << usage();
       return 0;
     }},

    {"--short-name", nullptr, kValue,
     "  --short-name NAME  the catalog short name (at most 4 characters; names the files)\n", true, takeImportOption},
    {"--long-name", nullptr, kValue, "  --long-name TEXT   the catalog long name (at most 50 characters)\n", true,
     takeImportOption},
    {"--regions", nullptr, kValue, "  --regions N        region files: 50, 184, 732 or 9537\n", true, takeImportOption},
    {"--index", nullptr, nullptr, "  --index, --no-index  write a name index, or none\n", true,
     [](const OptionRow&, std::string, Options& o) {
       o.request.import.index = true;
       o.importOptions = true;
       return kGoOn;
     }},
    {"--no-index", nullptr, nullptr, nullptr, true,
     [](const OptionRow&, std::string, Options& o) {
       o.request.import.index = false;
       o.importOptions = true;
       return kGoOn;
     }},
    {"--alt-names", nullptr, kValue,
     "  --alt-names LIST   the String fields whose texts also go to the index, by\n"
     "                     number (1-10) or label, separated by commas; \"none\" for none\n",
     true, takeImportOption},
    {"--magmax", nullptr, kValue,
     "  --magmax M         the maximum magnitude; by default the faintest magnitude of\n"
     "                     the input files, rounded up to the next tenth\n",
     true, takeImportOption},
    {"--equinox", nullptr, kValue, "  --equinox YEAR     the equinox of the coordinates\n", true, takeImportOption},
    {"--ra-unit", nullptr, kValue,
     "  --ra-unit hours|degrees  the unit of a right ascension written as one number,\n"
     "                     where neither its unit, its name nor its values tell\n",
     true, takeImportOption},
    {"--map", nullptr, kValue,
     "  --map FIELD=COLUMN[,FIELD=COLUMN...]  the column of a field, instead of the one\n"
     "                     proposed: FIELD as the summary names it, in any letter case\n"
     "                     (Magnitude, \"Catalog ID\", RA, DEC, \"String 1\"), COLUMN a\n"
     "                     column's name or number; may be given more than once\n",
     true,
     [](const OptionRow&, std::string v, Options& o) -> std::optional<int> {
       try {
         for (mirdal::ColumnChoice& c : mirdal::parseColumnChoices(v)) o.request.columns.push_back(std::move(c));
       } catch (const std::exception& e) {
         std::cerr << "mirdal-build: --map: " << e.what() << "\n";
         return 2;
       }
       o.importOptions = true;
       return kGoOn;
     }},
    {"--names", nullptr, kValue,
     "  --names LIST       names for the columns of a file without a header row, in\n"
     "                     order, separated by commas; the columns are then mapped by them\n",
     true,
     [](const OptionRow&, std::string v, Options& o) -> std::optional<int> {
       try {
         o.request.names = mirdal::parseColumnNames(v);
       } catch (const std::exception& e) {
         std::cerr << "mirdal-build: --names: " << e.what() << "\n";
         return 2;
       }
       o.importOptions = true;
       return kGoOn;
     }},
};

const std::string& usage() {
  static const std::string text = [] {
    std::string t =
        "Usage: mirdal-build [--output DIR] [--yes] [--allow-pipes] PROJECT.prj\n"
        "       mirdal-build --readme README --input FILE --type TYPE --save PROJECT.prj\n"
        "                    [--output DIR] [--file NAME] [import options]\n"
        "       mirdal-build --input FILE --type TYPE --save PROJECT.prj\n"
        "                    [--output DIR] [--format FORM] [--table NAME|N] [import options]\n"
        "       mirdal-build --help | --version\n"
        "Builds the catalog that the project file describes. Relative input names and a\n"
        "relative output directory in the project are taken from the project file's\n"
        "directory. With --readme, writes a project file instead, from the byte-by-byte\n"
        "description of the catalog's ReadMe, prints what went where, and builds nothing.\n"
        "With --input and no --readme, the same from the description the file carries\n"
        "itself: the names, units and descriptions of a CSV, TSV, ECSV, MRT or IPAC\n"
        "table, the columns of a FITS binary table or of a VOTable; compressed or not.\n";
    for (bool import : {false, true}) {
      if (import) t += "Import options (with --readme, or --input alone):\n";
      for (const OptionRow& row : kOptionRows)
        if (row.importOption == import && row.help) t += row.help;
    }
    return t;
  }();
  return text;
}

// The option an argument names, and whether it holds its value after "=".
const OptionRow* optionNamed(const std::string& a, bool& valueAfterEquals) {
  const std::size_t equals = a.find('=');
  for (const OptionRow& row : kOptionRows) {
    valueAfterEquals = row.needs && equals != std::string::npos && a.compare(0, equals, row.name) == 0;
    if (valueAfterEquals || a == row.name || (row.alias && a == row.alias)) return &row;
  }
  return nullptr;
}

// Reads the arguments into `o`. Returns an exit status when the program
// ends here (help, or a usage error already printed).
std::optional<int> readOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    bool valueAfterEquals = false;
    if (const OptionRow* row = optionNamed(a, valueAfterEquals)) {
      std::string value;
      if (valueAfterEquals) {
        value = a.substr(a.find('=') + 1);
      } else if (row->needs) {
        if (i + 1 >= argc) {
          std::cerr << "mirdal-build: " << row->name << " needs " << row->needs << "\n" << usage();
          return 2;
        }
        value = argv[++i];
      }
      if (std::optional<int> status = row->take(*row, std::move(value), o)) return status;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "mirdal-build: unknown option " << a << "\n" << usage();
      return 2;
    } else if (o.project.empty()) {
      o.project = a;
    } else {
      std::cerr << "mirdal-build: one project file only\n" << usage();
      return 2;
    }
  }
  return std::nullopt;
}

// What the two ways of writing a project share: the option still missing,
// no project file to build, and the writing with its errors.
template <class Write>
int writeProjectOnly(const Options& o, const char* from, const char* option, const char* missing, Write&& write) {
  if (missing) {
    std::cerr << "mirdal-build: writing a project from " << from << " needs " << missing << "\n" << usage();
    return 2;
  }
  if (!o.project.empty()) {
    std::cerr << "mirdal-build: " << option << " writes a project and builds nothing; " << o.project
              << " is not expected\n"
              << usage();
    return 2;
  }
  // A long import (a large header, a table read to its end) stops on
  // Ctrl-C like a build, before the project is written.
  installStopHandlers();
  try {
    return write(o.haveOutput ? std::optional<std::string>(o.output) : std::nullopt);
  } catch (const mirdal::UsageError& e) {
    std::cerr << "mirdal-build: " << e.what() << "\n";
    return 2;
  } catch (const std::bad_alloc&) {
    // Which allocation failed is not known here: the files are named.
    std::string files;
    for (const std::string& in : o.request.inputs) files += (files.empty() ? "\"" : ", \"") + in + "\"";
    if (!o.request.readme.empty()) files += ", the ReadMe \"" + o.request.readme + "\"";
    std::cerr << "mirdal-build: not enough memory to import " << files
              << ": a header, a line or a table of it is larger than the memory this process may take\n";
    return failureStatus();
  } catch (const std::exception& e) {
    std::cerr << "mirdal-build: " << e.what() << "\n";
    return failureStatus();
  }
}

// --input without --readme: the project from the file's own description.
int tableMode(const Options& o) {
  const ReadMeRequest& request = o.request;
  const char* missing = request.type.empty() ? "--type" : request.save.empty() ? "--save" : nullptr;
  return writeProjectOnly(o, "a table's description", "--input", missing, [&](std::optional<std::string> output) {
    if (!request.tableFile.empty()) {
      std::cerr << "mirdal-build: --file names a table of a ReadMe; without --readme, give --table\n" << usage();
      return 2;
    }
    return writeProjectFromTable(request, output);
  });
}

// --readme and its companions (or --input alone): writes a project, builds nothing.
int readmeMode(const Options& o) {
  const ReadMeRequest& request = o.request;
  if (!o.readmeMode && !request.inputs.empty()) return tableMode(o);
  if (o.readmeMode && !request.format.empty() && request.format != "fixed") {
    std::cerr << "mirdal-build: --readme describes fixed columns; --format " << request.format
              << " goes without --readme\n";
    return 2;
  }
  if (o.readmeMode && !request.table.empty()) {
    std::cerr << "mirdal-build: --table \"" << request.table << "\": "
              << *mirdal::tableChoiceProblem(mirdal::TableForm::Fixed, request.table) << "\n";
    return 2;
  }
  const char* missing = !o.readmeMode             ? "--readme"
                        : request.inputs.empty() ? "--input"
                        : request.type.empty()   ? "--type"
                        : request.save.empty()   ? "--save"
                                                 : nullptr;
  return writeProjectOnly(o, "a ReadMe", "--readme", missing,
                          [&](std::optional<std::string> output) { return writeProjectFromReadMe(request, output); });
}

void printSummary(const mirdal::BuildResult& r) {
  std::printf("Catalog written to %s\n", r.outputDirectory.c_str());
  std::printf("  lines read        %lld\n", static_cast<long long>(r.linesRead));
  std::printf("  records written   %lld\n", static_cast<long long>(r.recordsWritten));
  std::printf("  index records     %lld\n", static_cast<long long>(r.indexRecordsWritten));
  std::printf("  lines rejected    %lld%s%s\n", static_cast<long long>(r.linesRejected),
              r.rejectLogPath.empty() ? "" : ", see ", r.rejectLogPath.c_str());
  for (const mirdal::RejectCount& c : r.rejectReasons) std::printf("    %s\n", c.note().c_str());
  if (r.rowsRefused > 0) {
    std::printf("  rows refused      %lld of the lines rejected, for these reasons:\n",
                static_cast<long long>(r.rowsRefused));
    for (const std::string& note : r.rowNotes) std::printf("    %s\n", note.c_str());
    if (r.rowsRefused > static_cast<std::int64_t>(r.rowNotes.size()))
      std::printf("    and %lld more\n", static_cast<long long>(r.rowsRefused) - static_cast<long long>(r.rowNotes.size()));
  }
  if (!r.textsCut.empty()) {
    std::int64_t texts = 0;
    for (const mirdal::TextCut& c : r.textsCut) texts += c.count;
    std::printf("  texts cut         %lld longer than their field, cut to its length:\n",
                static_cast<long long>(texts));
    for (const mirdal::TextCut& c : r.textsCut) std::printf("    %s\n", c.note().c_str());
  }
  if (r.fainterThanMaximum > 0) std::printf("  fainter stars     %s\n", r.fainterNote().c_str());
  if (!r.magnitudesChanged.empty()) {
    std::printf("  magnitudes changed, not stored as they stand:\n");
    for (const mirdal::RejectCount& c : r.magnitudesChanged) std::printf("    %s\n", c.note().c_str());
  }
  std::printf("  time              %.3f s (header %.3f, files %.3f, conversion %.3f, closing %.3f, "
              "magnitude sort %.3f, index sort %.3f)\n",
              r.totalSeconds, r.seconds.header, r.seconds.files, r.seconds.conversion, r.seconds.closing,
              r.seconds.magnitudeSort, r.seconds.indexSort);
  if (r.seconds.conversion > 0)
    std::printf("  conversion speed  %.0f lines/s\n", static_cast<double>(r.linesRead) / r.seconds.conversion);
}

// Builds the catalog of the project file.
int buildProject(const Options& o) {
  installStopHandlers();
  mirdal::allowPipeInputs(o.allowPipes);
  try {
    mirdal::FileSystem& fs = mirdal::FileSystem::real();
    mirdal::CatalogDefinition definition;
    mirdal::loadProject(o.project, definition, fs);
    // "~/cats" is the home directory's cats, as in the wizard, whether the
    // project or "--output=~/cats" (which no shell expands) says so.
    mirdal::expandHomeInPaths(definition.settings);
    // The project's relative names are beside it, wherever mirdal-build runs;
    // a relative --output is the caller's, from the working directory.
    mirdal::takeRelativeNamesFrom(definition.settings, mirdal::projectDirectory(o.project));
    if (o.haveOutput) definition.settings.ouputdir = mirdal::expandHome(o.output);
    // Refused before the pipeline creates anything: a project the wizard's
    // pages would not let through must not empty an existing catalog.
    if (std::optional<mirdal::DefinitionProblem> problem = mirdal::findDefinitionProblem(definition, fs)) {
      std::cerr << "mirdal-build: \"" << o.project << "\": " << problem->text() << "\n";
      return 1;
    }

    TerminalUi ui(o.yes);
    mirdal::BuildPipeline pipeline(ui, fs);
    g_pipeline.store(&pipeline);
    struct Forget {
      ~Forget() { g_pipeline.store(nullptr); }
    } forget;
    const mirdal::BuildResult r = pipeline.run(definition);
    if (!r.started) {
      // Ctrl-C at the append question leaves it unanswered: say why nothing was built.
      if (mirdal::interruptRequested()) std::cerr << "mirdal-build: " << mirdal::AbortError().what() << "\n";
      return failureStatus();
    }
    printSummary(r);
    return 0;
  } catch (const std::bad_alloc&) {
    std::cerr << "mirdal-build: not enough memory to build \"" << o.project
              << "\": a line, a header or a record of its input files is larger than the memory this process may take\n";
    return failureStatus();
  } catch (const std::exception& e) {
    std::cerr << "mirdal-build: " << e.what() << "\n";
    if (!o.allowPipes && std::string_view(e.what()).ends_with("a build that asks for pipes"))
      std::cerr << "mirdal-build: --allow-pipes asks for them\n";
    return failureStatus();
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A write beyond the file-size limit must fail with "File too large",
  // naming the file, rather than kill the program half-way: a build's, and a
  // project's save, which then keeps the previous project.
  std::signal(SIGXFSZ, SIG_IGN);
  Options o;
  mirdal::raiseOpenFileLimit();  // region files stay open while a build writes them
  if (std::optional<int> status = readOptions(argc, argv, o)) return *status;
  const ReadMeRequest& r = o.request;
  if (o.readmeMode || o.importOptions || !r.inputs.empty() || !r.type.empty() || !r.save.empty() ||
      !r.tableFile.empty() || !r.format.empty() || !r.table.empty())
    return readmeMode(o);
  if (o.project.empty()) {
    std::cerr << usage();
    return 2;
  }
  return buildProject(o);
}
