// The wizard: "Prepare a catalog Mirdal 1.3".
//
//   mirdal                                   opens the wizard
//   mirdal --render-pages DIR [--font-scale F] [--project FILE]
//                                            writes every page as a PNG to DIR
//                                            (offscreen unless a platform is set)

#include <csignal>
#include <cstdio>
#include <cstdlib>
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

namespace {

struct Options {
  QString renderDirectory;
  QString project;
  double fontScale = 1.0;
  bool ok = true;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    const bool hasValue = i + 1 < argc;
    if (arg == "--render-pages" && hasValue) {
      o.renderDirectory = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--font-scale" && hasValue) {
      o.fontScale = QString::fromLocal8Bit(argv[++i]).toDouble(&o.ok);
      o.ok = o.ok && o.fontScale >= 0.5 && o.fontScale <= 4;
    } else if (arg == "--project" && hasValue) {
      o.project = QString::fromLocal8Bit(argv[++i]);
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
  void openDocument(const QString&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  // Options matter only for page rendering; an ordinary start reads none.
  const Options options = parse(argc, argv);
  const bool render = options.ok && !options.renderDirectory.isEmpty();
  if (render && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  // A build that writes beyond the file-size limit must end with the
  // "File too large" message box, not kill the wizard.
  std::signal(SIGXFSZ, SIG_IGN);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirdal"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/mirdal/icon.png")));
  if (options.fontScale != 1.0) {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * options.fontScale);
    QApplication::setFont(font);
  }

  mirdal::QtPlatformServices desktop;
  BatchServices batch;
  mirdal::PlatformServices& services = render ? static_cast<mirdal::PlatformServices&>(batch) : desktop;
  mirdal::Form1 form(services);
  mirdal::Progress progress(&form);
  form.setProgressWindow(&progress);
  mirdal::Adv adv(&form);
  form.setFormulaDialog(&adv);

  if (render) {
    try {
      if (!options.project.isEmpty()) {
        mirdal::loadProject(mirdal::toPath(options.project), form.definition());
        form.mapDefinitionToControls();
      }
      for (const QString& line : mirdal::renderPages(form, options.renderDirectory))
        std::printf("%s\n", line.toLocal8Bit().constData());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mirdal: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (!options.ok)
    std::fprintf(stderr, "usage: mirdal [--render-pages DIR [--font-scale F] [--project FILE]]\n");

  form.show();
  return app.exec();
}
