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

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QTableWidgetItem;

namespace mirdal {

class Adv;
class BuildSummary;
class ColourSwatch;
class DirectoryEdit;
class FieldLayoutEditor;
class FloatEdit;
class LogoImage;
class PlatformServices;
class Progress;
class RadioGroup;
class SkyPreviewWindow;

// Pages of the stack, 0-based: the four wizard steps, then the four tables.
enum WizardPage : int {
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

// The wizard window "Prepare a catalog Mirdal 1.3". It owns the catalog
// definition for its whole life: every control writes its setting into the
// definition as it changes, and a project load writes the controls from it.
// Controls carry their component names as objectName and the handlers their
// names as slots. An error raised in any handler is shown in a message box
// and the window carries on.
class Form1 : public QWidget {
  Q_OBJECT
 public:
  explicit Form1(PlatformServices& services, FileSystem& fs = FileSystem::real(), QWidget* parent = nullptr);
  ~Form1() override;

  // Created after the main window (start-up order); the build needs it.
  void setProgressWindow(Progress* progress);
  void setFormulaDialog(Adv* adv);
  Progress* progressWindow() const { return progress_; }

  CatalogDefinition& definition() { return def_; }
  const CatalogDefinition& definition() const { return def_; }
  // Units per degree of the nebula size unit selected in ComboBox1.
  int unitFactor() const { return def_.unitFactor(); }
  const QString& programDirectory() const { return programDirectory_; }
  const QString& helpLanguage() const { return helpLanguage_; }
  int currentPage() const;
  bool building() const { return building_; }
  BuildPipeline& pipeline() { return pipeline_; }

  // Page check: may the user leave this page forward? Shows the refusal.
  bool checkPage(int page);
  // Page entry: brings the page just shown up to date.
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
  // The summary of the last completed build, while it is open.
  BuildSummary* buildSummary() const;

 public slots:
  void nextbtClick();
  void prevbtClick();
  void RadioGroup1Click();
  void SpeedButton1Click();
  void ComboBox1Change();
  void Button3Click();
  void Button6Click();
  void Button9Click();
  void Button11Click();
  void Button4Click();
  void Shape1MouseUp();
  void Image1Click();
  void ExitbtClick();
  void DirectoryEdit1AfterDialog();
  void Button12Click();
  void Button1Click();
  void Button2Click();
  void EndbtClick();
  // Page 1: the input form chosen, the header row ticked.
  void FormBoxChange();
  void HeaderRowBoxClick();
  // Page 3: fills the field list from a ReadMe's byte-by-byte description,
  // or from the input file's own description where its form carries one.
  void ImportReadMeButtonClick();
  // Beside "Close" after a completed build: the sky picture of that catalog.
  void SkyPreviewButtonClick();
  // A recent project of "Load project"'s menu: loads the project of the action's data.
  void RecentProjectClick();

  // The sky preview window last opened, if it is still open.
  SkyPreviewWindow* skyPreviewWindow() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  // The bar of buttons below the pages.
  void buildButtonBar();
  // A page of the stack with its heading; the page's builder adds the rest.
  QWidget* addPage(const QString& name, const QString& heading);
  // Each page's controls, each bound to its part of the definition.
  void buildPage1(QWidget* page);
  QGridLayout* buildCatalogNames(QWidget* page);
  void buildPage2(QWidget* page);
  QGridLayout* buildCoordinateOptions(QWidget* page);
  QGroupBox* buildNebulaDefaults(QWidget* page);
  QGroupBox* buildOutlineDefaults(QWidget* page);
  void buildPage3(QWidget* page);
  void buildPage4(QWidget* page);
  void buildTablePages();
  void addTablePage(const char* sheet, const char* heading, const char* returnName, QTableWidget* grid,
                    QWidget* beside = nullptr);
  void buildColourPage();
  void openTablePage(int page);
  void showInputFiles();
  // Page 1: detects the form of `path` and sets the definition and the boxes to it.
  void proposeTableForm(const std::string& path);
  void showTableForm();
  // "Import ReadMe..." for an input whose form describes its columns.
  void importInputDescription();
  void mapTablesToGrids();
  void tableCellChanged(QTableWidgetItem* item);
  void commitEdits();
  void updateOutlineVisibility();
  // Shows a check's refusal and puts the focus on its box; true when there is none.
  bool passes(const std::optional<DefinitionProblem>& problem);
  void makeProgramDirectoryCurrent();
  template <typename F>
  void guarded(F&& handler);
  // "Close" and "Sky preview" replace "Build Catalog" after a completed build.
  void showBuildFinished(bool finished);
  // Any change to a setting after a build brings "Build Catalog" back.
  void watchSettings();
  void settingEdited();
  // Keyboard: F1, Ctrl+S, Ctrl+O; tooltips of the settings.
  void addShortcuts();
  void addToolTips();
  // Save Project's dialog and write; false when cancelled.
  bool saveProjectAs();
  // Remembered places: the last directory of a file dialog (by its title),
  // the recent projects and the window's place.
  QString rememberedDirectory(const QString& dialog) const;
  void rememberDirectory(const QString& dialog, const QString& chosenFile);
  void rememberProject(const QString& path);
  void showRecentProjects();
  // The build's input names as it opens them: "~" expanded, and a relative
  // name that the program directory lacks found beside the project file.
  CatalogDefinition definitionAsBuilt() const;
  std::string inputNameAsBuilt(const std::string& name) const;

  PlatformServices& services_;
  FileSystem& fs_;
  CatalogDefinition def_;
  WizardBuildUi buildUi_;
  BuildPipeline pipeline_;
  Progress* progress_ = nullptr;
  Adv* adv_ = nullptr;
  QString programDirectory_;
  QString helpLanguage_ = QStringLiteral("UK");
  QString lastProjectName_;
  QString projectFile_;
  CatalogDefinition savedDefinition_;
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
  LogoImage* Image1 = nullptr;
  QStackedWidget* PageControl1 = nullptr;
  QWidget* Panel1 = nullptr;
  QPushButton* Button12 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* prevbt = nullptr;
  QPushButton* nextbt = nullptr;
  QPushButton* Endbt = nullptr;
  QPushButton* Exitbt = nullptr;
  QPushButton* SkyPreviewButton = nullptr;
  QMenu* RecentMenu = nullptr;
  // Page 1
  RadioGroup* RadioGroup1 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QLineEdit* Edit5 = nullptr;
  QListWidget* ListView1 = nullptr;
  QWidget* SpeedButton1 = nullptr;
  RadioGroup* RadioGroup5 = nullptr;
  QComboBox* FormBox = nullptr;
  QCheckBox* HeaderRowBox = nullptr;
  // Page 2
  RadioGroup* RadioGroup2 = nullptr;
  RadioGroup* RadioGroup3 = nullptr;
  FloatEdit* FloatEdit1 = nullptr;
  FloatEdit* FloatEdit2 = nullptr;
  FloatEdit* FloatEdit3 = nullptr;
  QGroupBox* GroupBox5 = nullptr;
  QSpinBox* LongEdit1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QGroupBox* GroupBox7 = nullptr;
  RadioGroup* RadioGroup6 = nullptr;
  QCheckBox* CheckBox7 = nullptr;
  QSpinBox* LongEdit2 = nullptr;
  ColourSwatch* Shape1 = nullptr;
  // Page 3
  FieldLayoutEditor* editor_ = nullptr;
  // Page 4
  RadioGroup* RadioGroup4 = nullptr;
  QGroupBox* GroupBox6 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  DirectoryEdit* DirectoryEdit1 = nullptr;
  QCheckBox* CheckBox6 = nullptr;
  // Pages 5 to 8
  QTableWidget* StringGrid1 = nullptr;
  QTableWidget* StringGrid2 = nullptr;
  QTableWidget* StringGrid3 = nullptr;
  QTableWidget* StringGrid4 = nullptr;
  std::array<ColourSwatch*, kColourRows> colourShapes_{};  // Shape2 .. Shape11
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
