// The wizard: "Prepare a catalog Mirdal 1.3".
//
//   mirdal [PROJECT.prj]                     opens the wizard, with the project loaded
//   mirdal --render-pages DIR [--font-scale F] [--project FILE]
//                                            writes every page as a PNG to DIR
//                                            (offscreen unless a platform is set)
//   mirdal --help | --version

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStringList>

#include "catalog/project_file.h"
#include "ui/formula_dialog.h"
#include "ui/main_window.h"
#include "ui/page_renderer.h"
#include "ui/platform_services.h"
#include "ui/progress_window.h"
#include "ui/qt_text.h"
#include "util/file_system.h"

namespace {

struct Options {
  QString renderDirectory;
  QString project;
  double fontScale = 1.0;
  bool ok = true;
};

const char* kUsage =
    "Usage: mirdal [PROJECT.prj]\n"
    "       mirdal --render-pages DIR [--font-scale F] [--project PROJECT.prj]\n"
    "       mirdal --help | --version\n"
    "Opens the wizard that prepares a catalog, with PROJECT.prj loaded when it is given.\n"
    "  --render-pages DIR  write a picture of every page into DIR and end\n"
    "  --font-scale F      with --render-pages: the font size times F (0.5 to 4)\n"
    "  --project FILE      the project loaded (as PROJECT.prj)\n"
    "  --help              print this text and end\n"
    "  --version           print the program's name and version and end\n";

// Reads the arguments that Qt has left (its own, such as -platform, are gone).
Options parse(const QStringList& args) {
  Options o;
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--render-pages" && hasValue) {
      o.renderDirectory = args[++i];
    } else if (arg == "--font-scale" && hasValue) {
      o.fontScale = args[++i].toDouble(&o.ok);
      o.ok = o.ok && o.fontScale >= 0.5 && o.fontScale <= 4;
    } else if (arg == "--project" && hasValue && o.project.isEmpty()) {
      o.project = args[++i];
    } else if (!arg.startsWith('-') && o.project.isEmpty()) {
      o.project = arg;
    } else {
      o.ok = false;
    }
  }
  return o;
}

// Rendering runs without a person: messages go to stderr, dialogs and
// questions are cancelled.
class BatchServices : public mirdal::PlatformServices {
 public:
  QStringList openFiles(QWidget*, const mirdal::FileDialogRequest&) override { return {}; }
  QString openFile(QWidget*, const mirdal::FileDialogRequest&) override { return {}; }
  QString saveFile(QWidget*, const mirdal::FileDialogRequest&) override { return {}; }
  QString existingDirectory(QWidget*, const QString&) override { return {}; }
  std::optional<QColor> colour(QWidget*, const QColor&) override { return std::nullopt; }
  void message(QWidget*, const QString& text) override {
    std::fprintf(stderr, "mirdal: %s\n", text.toLocal8Bit().constData());
  }
  bool askOkCancel(QWidget* parent, const QString& text) override {
    message(parent, text);
    return false;
  }
  bool askYesNo(QWidget* parent, const QString& text) override {
    message(parent, text);
    return false;
  }
  bool openDocument(const QString&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  mirdal::raiseOpenFileLimit();  // region files stay open while a build writes them
  // Answered before any window system is asked for: these work without a display.
  bool render = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("mirdal " MIRDAL_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--render-pages") == 0) render = true;
  }
  if (render && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a display Qt would abort with a message of its own: say what is
  // missing and what works without one. A platform named in QT_QPA_PLATFORM
  // (offscreen, vnc, ...) is Qt's to judge.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fputs("mirdal: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the wizard needs a graphical "
               "session. mirdal-build imports and builds catalogs without one (see mirdal-build --help).\n",
               stderr);
    return 1;
  }

  // A build that writes beyond the file-size limit must end with the
  // "File too large" message box, not kill the wizard.
  std::signal(SIGXFSZ, SIG_IGN);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirdal"));
  QApplication::setApplicationVersion(QStringLiteral(MIRDAL_VERSION));
  const Options options = parse(QApplication::arguments());
  if (!options.ok) {
    std::fprintf(stderr, "mirdal: unexpected arguments\n%s", kUsage);
    return 2;
  }
  render = !options.renderDirectory.isEmpty();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/mirdal/icon.png")));
  if (options.fontScale != 1.0) {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * options.fontScale);
    QApplication::setFont(font);
  }

  mirdal::QtPlatformServices desktop;
  BatchServices batch;
  mirdal::PlatformServices& services = render ? static_cast<mirdal::PlatformServices&>(batch) : desktop;
  mirdal::WizardWindow wizard(services, mirdal::FileSystem::real());
  mirdal::ProgressWindow progress(&wizard);
  wizard.setProgressWindow(&progress);
  mirdal::FormulaDialog formulaDialog(&wizard);
  wizard.setFormulaDialog(&formulaDialog);

  if (render) {
    try {
      if (!options.project.isEmpty()) {
        mirdal::loadProject(mirdal::toPath(options.project), wizard.definition(), mirdal::FileSystem::real());
        wizard.mapDefinitionToControls();
      }
      for (const QString& line : mirdal::renderPages(wizard, options.renderDirectory))
        std::printf("%s\n", line.toLocal8Bit().constData());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mirdal: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  wizard.show();
  // A project that cannot be read is reported in the window, which stays open.
  if (!options.project.isEmpty()) wizard.openProject(options.project);
  return app.exec();
}
