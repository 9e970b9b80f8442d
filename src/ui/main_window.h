#pragma once

#include <array>
#include <memory>
#include <optional>

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "convert/build_pipeline.h"
#include "catalog/table_form_name.h"
#include "catalog/catalog_definition.h"
#include "catalog/definition_check.h"
#include "ui/wizard_build_ui.h"
#include "util/file_system.h"

class QMenu;
class QPushButton;
class QStackedWidget;

namespace mirdal {

class FormulaDialog;
class BuildSummary;
class ButtonBar;
class CatalogPage;
class CodeTablePage;
class FieldsPage;
class LogoImage;
class OptionsPage;
class OutputPage;
class PlatformServices;
class ProgressWindow;
class SkyPreviewWindow;
class WizardPage;

// Pages of the stack, 0-based: the four wizard steps, then the four tables.
enum WizardPageIndex : int {
  kPageCatalog = 0,
  kPageOptions = 1,
  kPageFields = 2,
  kPageOutput = 3,
  kPageObjectTypes = 4,
  kPageUnits = 5,
  kPageLineOperations = 6,
  kPageColours = 7,
  kPageCount = 8,
};

// The wizard window "Prepare a catalog Mirdal 1.3": the stack of pages, the
// button bar that moves through them, project files and the build. It owns
// the catalog definition for its whole life: every control of a page writes
// its setting into the definition as it changes, and a project load writes
// the controls from it. Each control's objectName says what it is, and each
// handler is a slot named for what the user did. An error raised in any
// handler is shown in a message box and the window carries on.
class WizardWindow : public QWidget {
  Q_OBJECT
 public:
  explicit WizardWindow(PlatformServices& services, FileSystem& fs, QWidget* parent = nullptr);
  ~WizardWindow() override;

  // Created after the main window (start-up order); the build needs it.
  void setProgressWindow(ProgressWindow* progress);
  void setFormulaDialog(FormulaDialog* dialog);
  ProgressWindow* progressWindow() const { return progress_; }

  CatalogDefinition& definition() { return def_; }
  const CatalogDefinition& definition() const { return def_; }
  // Units per degree of the nebula size unit selected in its box on page 2.
  int unitFactor() const { return def_.unitFactor(); }
  // The directory the program started in: relative names are taken from it
  // whatever the process's working directory has become since.
  const QString& programDirectory() const { return programDirectory_; }
  // Where a file dialog (by its title) opens: where it last chose from, else
  // the program directory.
  QString startDirectory(const QString& dialog) const;
  const QString& helpLanguage() const { return helpLanguage_; }
  int currentPage() const;
  bool building() const { return building_; }
  BuildPipeline& pipeline() { return pipeline_; }

  // Page check: may the user leave this page forward? Shows the refusal.
  bool checkPage(int page);
  // Page entry: brings the page just shown up to date; entering the last
  // step offers "Build Catalog".
  void enterPage(int page);
  // Shows a page without entry (page rendering).
  void showPage(int page);
  // Definition -> controls, after a project load.
  void mapDefinitionToControls();
  // Loads a project file into the window, as "Load project" does with the
  // file chosen (the command line's project too); failures are shown.
  void openProject(const QString& path);
  // The project file last loaded or saved; empty before either.
  const QString& projectFile() const { return projectFile_; }
  // Whether the settings differ from those last loaded, saved or started with.
  bool hasUnsavedChanges();
  // The title: the project file's name, marked "*" while the settings differ
  // from those last loaded or saved; "Close" and "Sky preview" go once they
  // differ from those of the build they belong to. Run after every change
  // the window makes, and a few times a second for the rest.
  void followSettings();
  // The summary of the last completed build, while it is open.
  BuildSummary* buildSummary() const;

  // What the pages share.
  PlatformServices& services() const { return services_; }
  FileSystem& fileSystem() const { return fs_; }
  // Shows a check's refusal and puts the focus on its box; true when there is none.
  bool passes(const std::optional<DefinitionProblem>& problem);
  // The build's input names as it opens them: "~" expanded, and a relative
  // name taken from the program directory, or from beside the project file
  // when only that directory holds it.
  CatalogDefinition definitionAsBuilt() const;
  std::string inputNameAsBuilt(const std::string& name) const;

 public slots:
  void onNext();
  void onPrevious();
  // The catalog type (page 1) or a coordinate format (page 2) chosen.
  void onCatalogTypeOrFormatChosen();
  // Page 2's buttons to the code tables, and their pages' "Return".
  void onObjectTypesTable();
  void onSizeUnitsTable();
  void onLineOperationsTable();
  void onColoursTable();
  void onReturnFromTable();
  // A colour swatch clicked: the outline colour of page 2 or a row of page 8.
  void onColourSwatchClicked();
  void onAbout();
  void onClose();
  void onHelp();
  void onSaveProject();
  void onLoadProject();
  void onBuild();
  // Beside "Close" after a completed build: the sky picture of that catalog.
  void onSkyPreview();
  // A recent project of "Load project"'s menu: loads the project of the action's data.
  void onRecentProject();
  // "Save As...": the context menu of "Save Project" and Ctrl+Shift+S; asks
  // for the file even when the project has one.
  void onSaveAs();

  // The sky preview window last opened, if it is still open.
  SkyPreviewWindow* skyPreviewWindow() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void setUpInitialSettings();
  // The bar of buttons below the pages.
  void buildButtonBar();
  // The pages of the stack, each bound to its part of the definition.
  void buildPages();
  // The page of the stack at `index`; null outside it.
  WizardPage* pageAt(int index) const;
  void openTablePage(int page);
  void commitEdits();
  template <typename F>
  void guarded(F&& handler);
  // "Close" and "Sky preview" replace "Build Catalog" after a completed build.
  void showBuildFinished(bool finished);
  // Any change to a setting after a build brings "Build Catalog" back.
  void watchSettings();
  void settingEdited();
  // Keyboard: F1, Ctrl+S, Ctrl+Shift+S, Ctrl+O; tooltips of the settings.
  void addShortcuts();
  void addToolTips();
  // "Save": writes the project file without a question when the window has
  // one (saveTarget_), else as saveProjectAs; false when cancelled.
  bool saveProjectInPlace();
  // Save Project's dialog and write; false when cancelled.
  bool saveProjectAs();
  // Writes the settings to `path`, which becomes the project file.
  void writeProjectFile(const QString& path);
  // Before the settings are closed or replaced: when they have changed since
  // last loaded or saved, asks Save / Discard / Cancel. True when the caller
  // may go on (nothing to save, discarded, or saved); false on Cancel or a
  // save that was cancelled or failed (the failure is shown).
  bool settleUnsavedChanges();
  // The recent projects, remembered with the window's place and the last
  // directory of each file dialog.
  void rememberProject(const QString& path);
  void showRecentProjects();

  PlatformServices& services_;
  FileSystem& fs_;
  CatalogDefinition def_;
  WizardBuildUi buildUi_;
  BuildPipeline pipeline_;
  ProgressWindow* progress_ = nullptr;
  const QString programDirectory_;
  QString helpLanguage_ = QStringLiteral("UK");
  QString lastProjectName_;
  QString projectFile_;
  // The file "Save" writes without asking: the project last loaded or saved
  // whole; empty before either and after a load that failed halfway, whose
  // mixture of settings must not replace a project unasked.
  QString saveTarget_;
  CatalogDefinition savedDefinition_;
  // The settings of the last completed build, while "Close" stands for it.
  CatalogDefinition builtDefinition_;
  QPointer<BuildSummary> summary_;
  QColor lastDialogColour_ = Qt::black;
  bool building_ = false;
  bool closeAfterBuild_ = false;
  bool focusDirectoryAfterBuild_ = false;
  // The catalog of the last completed build: absolute directory, base name.
  std::string builtDirectory_;
  std::string builtBaseName_;
  QPointer<SkyPreviewWindow> skyWindow_;

  // Window frame
  LogoImage* logo_ = nullptr;
  QStackedWidget* pageStack_ = nullptr;
  ButtonBar* buttonBar_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QPushButton* saveProjectButton_ = nullptr;
  QPushButton* loadProjectButton_ = nullptr;
  QPushButton* prevButton_ = nullptr;
  QPushButton* nextButton_ = nullptr;
  QPushButton* buildButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* skyPreviewButton_ = nullptr;
  QMenu* recentProjectsMenu_ = nullptr;
  QMenu* saveProjectMenu_ = nullptr;
  // The pages, in the order of the stack.
  CatalogPage* catalogPage_ = nullptr;
  OptionsPage* optionsPage_ = nullptr;
  FieldsPage* fieldsPage_ = nullptr;
  OutputPage* outputPage_ = nullptr;
  CodeTablePage* colourPage_ = nullptr;
  std::array<WizardPage*, kPageCount> pages_{};
};

// The window's size when it opens, larger only where its layout cannot shrink
// that far.
inline constexpr int kDefaultWindowWidth = 499;
inline constexpr int kDefaultWindowHeight = 473;

// Texts of the window.
inline constexpr const char* kWindowCaption = "Prepare a catalog Mirdal 1.3";
// The page checks' own texts are the core's (catalog/definition_check.h).
inline constexpr const char* kEquinoxQuestionPrefix = "Is coordinates epoch really ";

}  // namespace mirdal
