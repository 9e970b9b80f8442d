#include "ui/main_window.h"

#include <algorithm>
#include <clocale>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>

#include "catalog/project_file.h"
#include "catalog/project_paths.h"
#include "output/region_scheme.h"
#include "ui/build_summary_window.h"
#include "ui/button_bar.h"
#include "ui/catalog_page.h"
#include "ui/code_table_page.h"
#include "ui/field_layout_editor.h"
#include "ui/fields_page.h"
#include "ui/help.h"
#include "ui/off_thread_read.h"
#include "ui/options_page.h"
#include "ui/output_page.h"
#include "ui/platform_services.h"
#include "ui/progress_window.h"
#include "ui/qt_text.h"
#include "ui/resources.h"
#include "ui/sky_preview_window.h"
#include "ui/widgets.h"
#include "ui/wizard_page.h"
#include "util/home_directory.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr int kLogoWidth = 114;

const QStringList kProjectFilters = {QStringLiteral("All files (*)"), QStringLiteral("Project files (*.prj)")};

constexpr int kRecentProjectCount = 8;

}  // namespace

WizardWindow::WizardWindow(PlatformServices& services, FileSystem& fs, QWidget* parent)
    : QWidget(parent),
      services_(services),
      fs_(fs),
      buildUi_(*this, services, [this] { focusDirectoryAfterBuild_ = true; }),
      pipeline_(buildUi_, fs),
      programDirectory_(QDir::currentPath()) {
  pipeline_.setProgramDirectory(toPath(programDirectory_));
  initResources();
  setObjectName("WizardWindow");
  setWindowTitle(kWindowCaption);

  logo_ = new LogoImage(this);
  logo_->setObjectName("Logo");
  logo_->setPixmap(QPixmap(QStringLiteral(":/mirdal/logo.gif")));
  logo_->setFixedWidth(kLogoWidth);
  logo_->setToolTip("About Mirdal");

  pageStack_ = new QStackedWidget(this);
  pageStack_->setObjectName("PageStack");

  buildButtonBar();

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->addWidget(logo_, 0, 0);
  grid->addWidget(pageStack_, 0, 1);
  grid->addWidget(buttonBar_, 1, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(1, 1);

  buildPages();

  connect(helpButton_, &QPushButton::clicked, this, &WizardWindow::onHelp);
  connect(saveProjectButton_, &QPushButton::clicked, this, &WizardWindow::onSaveProject);
  connect(loadProjectButton_, &QPushButton::clicked, this, &WizardWindow::onLoadProject);
  connect(prevButton_, &QPushButton::clicked, this, &WizardWindow::onPrevious);
  connect(nextButton_, &QPushButton::clicked, this, &WizardWindow::onNext);
  connect(buildButton_, &QPushButton::clicked, this, &WizardWindow::onBuild);
  connect(closeButton_, &QPushButton::clicked, this, &WizardWindow::onClose);
  connect(skyPreviewButton_, &QPushButton::clicked, this, &WizardWindow::onSkyPreview);
  connect(logo_, &LogoImage::clicked, this, &WizardWindow::onAbout);

  setUpInitialSettings();
  // Wide enough that the buttons stand in one row, those of a finished build too.
  resize(std::max(kDefaultWindowWidth, buttonBar_->oneRowWidthOfAll()), kDefaultWindowHeight);
  restoreGeometry(rememberedPlaces().value(QStringLiteral("window/geometry")).toByteArray());
  watchSettings();
  addShortcuts();
  addToolTips();
  showRecentProjects();
  savedDefinition_ = def_;
  // Most settings reach the definition through the controls' own handlers;
  // a look a few times a second catches every other way (a column clicked,
  // a file chosen, an import).
  auto* settingsWatch = new QTimer(this);
  settingsWatch->setInterval(250);
  connect(settingsWatch, &QTimer::timeout, this, &WizardWindow::followSettings);
  settingsWatch->start();
}

void WizardWindow::followSettings() {
  if (building_) return;
  if (closeButton_->isVisibleTo(this) && !(def_ == builtDefinition_)) {
    showBuildFinished(false);
    buildButton_->setEnabled(currentPage() == kPageOutput);
  }
  QString title = QString::fromLatin1(kWindowCaption);
  if (!projectFile_.isEmpty()) title = QFileInfo(projectFile_).fileName() + QStringLiteral(" - ") + title;
  if (!(def_ == savedDefinition_)) title.prepend(QLatin1Char('*'));
  if (title != windowTitle()) setWindowTitle(title);
}

WizardWindow::~WizardWindow() = default;

void WizardWindow::buildButtonBar() {
  buttonBar_ = new ButtonBar(this);
  buttonBar_->setObjectName("ButtonBar");
  auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), buttonBar_);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  // The underlined letters are the Alt+letter keys of the buttons.
  helpButton_ = button("HelpButton", "&Help");
  saveProjectButton_ = button("SaveProjectButton", "&Save Project");
  loadProjectButton_ = button("LoadProjectButton", "&Load project");
  prevButton_ = button("PreviousButton", "<<   &Prev");
  nextButton_ = button("NextButton", "&Next   >>");
  buildButton_ = button("BuildButton", "&Build Catalog");
  closeButton_ = button("CloseButton", "&Close");
  skyPreviewButton_ = button("SkyPreviewButton", "S&ky preview");
  skyPreviewButton_->setToolTip("Every record of the catalog just built, on a picture of the whole sky");
  helpButton_->setToolTip("Open the manual (F1)");
  saveProjectButton_->setToolTip("Write every setting to a project file (Ctrl+S)");
  loadProjectButton_->setToolTip(
      "Put the settings of a project file back into the window (Ctrl+O);\n"
      "right-click for the projects last loaded or saved");
  // The recent projects: the context menu of "Load project" (right-click,
  // or the menu key while it has the focus).
  recentProjectsMenu_ = new QMenu(loadProjectButton_);
  recentProjectsMenu_->setObjectName("RecentProjectsMenu");
  loadProjectButton_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(loadProjectButton_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (!recentProjectsMenu_->isEmpty()) recentProjectsMenu_->popup(loadProjectButton_->mapToGlobal(at));
  });
  // "Save As..." in the context menu of "Save Project", whose click saves
  // into the project's own file once it has one.
  saveProjectMenu_ = new QMenu(saveProjectButton_);
  saveProjectMenu_->setObjectName("SaveProjectMenu");
  QAction* saveAs = saveProjectMenu_->addAction(QStringLiteral("Save &As..."));
  saveAs->setObjectName("SaveAsAction");
  // Shown beside the item; the window's own shortcut (addShortcuts) presses it.
  saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  saveAs->setShortcutContext(Qt::WidgetShortcut);
  connect(saveAs, &QAction::triggered, this, &WizardWindow::onSaveAs);
  saveProjectButton_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(saveProjectButton_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    saveProjectMenu_->popup(saveProjectButton_->mapToGlobal(at));
  });
  prevButton_->setToolTip("Back to the previous page");
  nextButton_->setToolTip("Check this page and go to the next one");
  buildButton_->setToolTip("Write the catalog into the output directory");
  closeButton_->setToolTip("Close the window");
  buttonBar_->setButtons({helpButton_, saveProjectButton_, loadProjectButton_},
                         {prevButton_, nextButton_, skyPreviewButton_}, {buildButton_, closeButton_});
}

void WizardWindow::setUpInitialSettings() {
  // Numbers are read and written with a point whatever the user's locale.
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, "C");
  helpLanguage_ = readHelpLanguage();

  showPage(kPageCatalog);
  nextButton_->setEnabled(true);
  prevButton_->setEnabled(false);
  buildButton_->show();
  buildButton_->setEnabled(false);
  closeButton_->hide();
  skyPreviewButton_->hide();

  def_.rebuildFieldList();
  def_.settings.nebunit = 1;
  def_.settings.nebtype = 14;
  def_.resetSlots();
  def_.tables.reset();
  mapDefinitionToControls();
}

void WizardWindow::setProgressWindow(ProgressWindow* progress) {
  progress_ = progress;
  buildUi_.setProgressWindow(progress);
  if (progress) connect(progress, &ProgressWindow::abortRequested, this, [this] { pipeline_.requestAbort(); });
}

void WizardWindow::setFormulaDialog(FormulaDialog* dialog) {
  fieldsPage_->editor()->setFormulaDialog(dialog);
}

void WizardWindow::buildPages() {
  catalogPage_ = new CatalogPage(*this, pageStack_);
  optionsPage_ = new OptionsPage(*this, pageStack_);
  fieldsPage_ = new FieldsPage(*this, pageStack_);
  outputPage_ = new OutputPage(*this, pageStack_);
  auto* objectTypes = new CodeTablePage(*this, CodeTable::ObjectTypes, pageStack_);
  auto* sizeUnits = new CodeTablePage(*this, CodeTable::SizeUnits, pageStack_);
  auto* lineOperations = new CodeTablePage(*this, CodeTable::LineOperations, pageStack_);
  colourPage_ = new CodeTablePage(*this, CodeTable::Colours, pageStack_);
  pages_ = {catalogPage_, optionsPage_, fieldsPage_, outputPage_, objectTypes, sizeUnits, lineOperations, colourPage_};
  for (WizardPage* page : pages_) pageStack_->addWidget(page);

  connect(catalogPage_->catalogTypeGroup(), &RadioGroup::itemClicked, this, &WizardWindow::onCatalogTypeOrFormatChosen);
  connect(optionsPage_->raFormatGroup(), &RadioGroup::itemClicked, this, &WizardWindow::onCatalogTypeOrFormatChosen);
  connect(optionsPage_->decFormatGroup(), &RadioGroup::itemClicked, this, &WizardWindow::onCatalogTypeOrFormatChosen);
  connect(optionsPage_->objectTypesButton(), &QPushButton::clicked, this, &WizardWindow::onObjectTypesTable);
  connect(optionsPage_->sizeUnitsButton(), &QPushButton::clicked, this, &WizardWindow::onSizeUnitsTable);
  connect(optionsPage_->lineOperationsButton(), &QPushButton::clicked, this, &WizardWindow::onLineOperationsTable);
  connect(optionsPage_->coloursButton(), &QPushButton::clicked, this, &WizardWindow::onColoursTable);
  for (CodeTablePage* table : {objectTypes, sizeUnits, lineOperations, colourPage_})
    connect(table->returnButton(), &QPushButton::clicked, this, &WizardWindow::onReturnFromTable);
  connect(optionsPage_->lineColourSwatch(), &ColourSwatch::mouseReleased, this, &WizardWindow::onColourSwatchClicked);
  for (ColourSwatch* swatch : colourPage_->swatches())
    connect(swatch, &ColourSwatch::mouseReleased, this, &WizardWindow::onColourSwatchClicked);
}

WizardPage* WizardWindow::pageAt(int index) const {
  return index >= 0 && index < kPageCount ? pages_[static_cast<std::size_t>(index)] : nullptr;
}

// ---------------------------------------------------------------------------
// Definition <-> controls

void WizardWindow::mapDefinitionToControls() {
  for (WizardPage* page : pages_) page->showDefinition();
}

void WizardWindow::commitEdits() {
  for (WizardPage* page : pages_) page->commitEdits();
}

// ---------------------------------------------------------------------------
// Pages and navigation

int WizardWindow::currentPage() const { return pageStack_->currentIndex(); }

void WizardWindow::showPage(int page) { pageStack_->setCurrentIndex(page); }

bool WizardWindow::checkPage(int index) {
  WizardPage* p = pageAt(index);
  return !p || p->validatePage();
}

bool WizardWindow::passes(const std::optional<DefinitionProblem>& problem) {
  if (!problem) return true;
  QString text = fromBytes(problem->message);
  // A field problem names its entry, which page 3 makes the current field.
  if (problem->field >= 0 && problem->field < def_.fields().size()) {
    text += QLatin1Char(' ') + fromBytes(std::string(def_.fields().entry(problem->field).text));
    fieldsPage_->editor()->selectField(problem->field);
  }
  services_.message(this, text);
  catalogPage_->focusItem(problem->item);
  return false;
}

void WizardWindow::enterPage(int index) {
  WizardPage* p = pageAt(index);
  if (!p) return;
  if (p->isFinalPage()) {
    showBuildFinished(false);
    buildButton_->setEnabled(true);
  }
  p->initializePage();
}

template <typename F>
void WizardWindow::guarded(F&& handler) {
  mirdal::guarded(services_, this, std::forward<F>(handler));
}

void WizardWindow::onNext() {
  guarded([this] {
    commitEdits();
    const int page = currentPage();
    if (page >= kPageObjectTypes || !checkPage(page)) return;
    buildButton_->setEnabled(false);
    int target = page + 1;
    if (target >= kPageOutput) {
      target = kPageOutput;
      nextButton_->setEnabled(false);
      buildButton_->show();
      buildButton_->setEnabled(true);
    }
    showPage(target);
    prevButton_->setEnabled(true);
    enterPage(target);
  });
}

void WizardWindow::onPrevious() {
  guarded([this] {
    commitEdits();
    const int page = currentPage();
    if (page >= kPageObjectTypes) return;
    int target = page - 1;
    buildButton_->setEnabled(false);
    if (target <= kPageCatalog) {
      target = kPageCatalog;
      prevButton_->setEnabled(false);
    }
    showPage(target);
    nextButton_->setEnabled(true);
    enterPage(target);
  });
}

void WizardWindow::onCatalogTypeOrFormatChosen() {
  guarded([this] {
    bool rebuilt = def_.setType(catalogPage_->catalogTypeGroup()->itemIndex());
    rebuilt = def_.setRaType(optionsPage_->raFormatGroup()->itemIndex()) || rebuilt;
    rebuilt = def_.setDecType(optionsPage_->decFormatGroup()->itemIndex()) || rebuilt;
    if (rebuilt) fieldsPage_->showDefinition();
  });
}

void WizardWindow::openTablePage(int page) {
  buttonBar_->setEnabled(false);
  showPage(page);
}

void WizardWindow::onObjectTypesTable() { openTablePage(kPageObjectTypes); }
void WizardWindow::onSizeUnitsTable() { openTablePage(kPageUnits); }
void WizardWindow::onLineOperationsTable() { openTablePage(kPageLineOperations); }
void WizardWindow::onColoursTable() { openTablePage(kPageColours); }

void WizardWindow::onReturnFromTable() {
  buttonBar_->setEnabled(true);
  showPage(kPageOptions);
}

void WizardWindow::onColourSwatchClicked() {
  guarded([this] {
    auto* swatch = qobject_cast<ColourSwatch*>(sender());
    if (!swatch) return;
    const std::optional<QColor> chosen = services_.colour(this, lastDialogColour_);
    if (!chosen || !chosen->isValid()) return;
    lastDialogColour_ = *chosen;
    const Colour c = fromQColor(*chosen);
    swatch->setColour(c);
    settingEdited();
    if (swatch == optionsPage_->lineColourSwatch()) {
      def_.settings.linecolor = c;
      return;
    }
    const std::vector<ColourSwatch*>& rows = colourPage_->swatches();
    for (std::size_t r = 0; r < rows.size(); ++r)
      if (rows[r] == swatch) def_.tables.colours[r] = c;
  });
}

void WizardWindow::onAbout() {
  services_.message(this, QStringLiteral("Mirdal\n"
                                         "Prepare a catalog for the sky-charting program\n"
                                         "Version 1.3, 2002/09/22\n\n"
                                         "Written by the Mirdal developers for everyone who maps the night sky."));
}

void WizardWindow::onClose() { close(); }

void WizardWindow::onHelp() {
  guarded([this] {
    openDocumentOrSay(services_, this, QStringLiteral("the manual"),
                      helpDocumentPath(programDirectory_, helpLanguage_, installedManualDirectories()));
  });
}

void WizardWindow::onSaveProject() {
  guarded([this] { saveProjectInPlace(); });
}

void WizardWindow::onSaveAs() {
  guarded([this] { saveProjectAs(); });
}

bool WizardWindow::saveProjectInPlace() {
  if (saveTarget_.isEmpty()) return saveProjectAs();
  commitEdits();
  writeProjectFile(saveTarget_);
  return true;
}

bool WizardWindow::saveProjectAs() {
  commitEdits();
  FileDialogRequest request;
  request.title = QStringLiteral("Save Project");
  request.filters = kProjectFilters;
  request.selectedFilter = 1;
  request.defaultSuffix = QStringLiteral("prj");
  request.fileName = lastProjectName_;
  if (lastProjectName_.isEmpty()) request.directory = startDirectory(QStringLiteral("Project"));
  const QString path = services_.saveFile(this, request);
  if (path.isEmpty()) return false;
  lastProjectName_ = path;
  writeProjectFile(path);
  return true;
}

void WizardWindow::writeProjectFile(const QString& path) {
  saveProject(toPath(path), def_, fs_);
  savedDefinition_ = def_;
  projectFile_ = QFileInfo(path).absoluteFilePath();
  saveTarget_ = projectFile_;
  rememberDirectory(QStringLiteral("Project"), path);
  rememberProject(projectFile_);
  followSettings();
}

void WizardWindow::onLoadProject() {
  guarded([this] {
    // The settings a load would replace are saved or given up first.
    if (!settleUnsavedChanges()) return;
    FileDialogRequest request;
    request.title = QStringLiteral("Load project");
    request.filters = kProjectFilters;
    request.selectedFilter = 1;
    request.defaultSuffix = QStringLiteral("prj");
    request.directory = startDirectory(QStringLiteral("Project"));
    for (QAction* recent : recentProjectsMenu_->actions())
      request.history << QFileInfo(recent->data().toString()).absolutePath();
    request.history.removeDuplicates();
    const QString path = services_.openFile(this, request);
    if (path.isEmpty()) return;
    openProject(path);
  });
}

void WizardWindow::openProject(const QString& name) {
  // A relative name (the command line's) is the program directory's.
  const QString path = QDir(programDirectory_).absoluteFilePath(name);
  guarded([this, path] {
    // Whatever part of the file was applied before a read failure is shown,
    // and the next build is of what the window now holds.
    const auto show = qScopeGuard([this] {
      mapDefinitionToControls();
      // The project's type decides what pages 2 and 4 show.
      if (currentPage() == kPageOptions || currentPage() == kPageOutput) pageAt(currentPage())->initializePage();
      showBuildFinished(false);
      buildButton_->setEnabled(currentPage() == kPageOutput);
      followSettings();
    });
    saveTarget_.clear();
    loadProject(toPath(path), def_, fs_);
    savedDefinition_ = def_;
    projectFile_ = QFileInfo(path).absoluteFilePath();
    saveTarget_ = projectFile_;
    lastProjectName_ = projectFile_;
    rememberDirectory(QStringLiteral("Project"), path);
    rememberProject(projectFile_);
  });
}

void WizardWindow::onRecentProject() {
  auto* action = qobject_cast<QAction*>(sender());
  if (!action || building_ || !buttonBar_->isEnabled()) return;
  // Saving first rebuilds the menu: the action is gone after it.
  const QString path = action->data().toString();
  bool settled = false;
  guarded([&] { settled = settleUnsavedChanges(); });
  if (settled) openProject(path);
}

void WizardWindow::rememberProject(const QString& path) {
  QSettings settings = rememberedPlaces();
  QStringList recent = settings.value(QStringLiteral("recent/projects")).toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentProjectCount) recent.removeLast();
  settings.setValue(QStringLiteral("recent/projects"), recent);
  showRecentProjects();
}

void WizardWindow::showRecentProjects() {
  QMenu* menu = recentProjectsMenu_;
  // Rebuilt from within an action's own trigger (a recent project loaded or
  // saved): the old actions are deleted once that signal has returned.
  for (QAction* old : menu->actions()) {
    menu->removeAction(old);
    old->deleteLater();
  }
  const QStringList recent = rememberedPlaces().value(QStringLiteral("recent/projects")).toStringList();
  for (const QString& path : recent) {
    if (!QFileInfo(path).isFile()) continue;
    QAction* action = menu->addAction(QFileInfo(path).fileName() + QStringLiteral("  (") +
                                      QDir::toNativeSeparators(QFileInfo(path).absolutePath()) + QLatin1Char(')'));
    action->setData(path);
    connect(action, &QAction::triggered, this, &WizardWindow::onRecentProject);
  }
}

CatalogDefinition WizardWindow::definitionAsBuilt() const {
  CatalogDefinition definition = def_;
  expandHomeInPaths(definition.settings);
  for (std::string& name : definition.settings.inputfiles) name = inputNameAsBuilt(name);
  return definition;
}

std::string WizardWindow::inputNameAsBuilt(const std::string& name) const {
  // The program directory first, as ever; then beside the project, where an
  // imported or moved project keeps its catalog.
  const std::string projectDirectory =
      projectFile_.isEmpty() ? std::string() : toPath(QFileInfo(projectFile_).absolutePath());
  return resolveInputName(expandHome(name), toPath(programDirectory_), projectDirectory, fs_);
}

QString WizardWindow::startDirectory(const QString& dialog) const {
  const QString remembered = rememberedDirectory(dialog);
  return remembered.isEmpty() ? programDirectory_ : remembered;
}

bool WizardWindow::hasUnsavedChanges() {
  commitEdits();
  return !(def_ == savedDefinition_);
}

BuildSummary* WizardWindow::buildSummary() const { return summary_.data(); }

void WizardWindow::onBuild() {
  if (building_) return;
  guarded([this] {
    commitEdits();
    // The names as the build opens them: "~/cats" is the home directory's.
    CatalogDefinition definition = definitionAsBuilt();
    // A project loaded on this page has passed no page check.
    if (!passes(findDefinitionProblem(definition, fs_))) return;
    building_ = true;
    buttonBar_->setEnabled(false);
    pageStack_->setEnabled(false);
    focusDirectoryAfterBuild_ = false;
    const auto restore = qScopeGuard([this] {
      if (progress_) progress_->hide();
      buttonBar_->setEnabled(true);
      pageStack_->setEnabled(true);
      building_ = false;
      // Only an enabled box can take the focus the refusal asked for.
      if (focusDirectoryAfterBuild_) outputPage_->focusOutputDirectory();
    });
    // The picture of the last build shows a catalog this build may rewrite.
    if (skyWindow_) skyWindow_->close();
    const std::string base = baseName(definition.settings.shortname);
    if (summary_) summary_->close();
    const BuildResult result = pipeline_.run(definition);
    if (result.completed) {
      builtDirectory_ = result.outputDirectory;
      builtBaseName_ = base;
      builtDefinition_ = def_;
      showBuildFinished(true);
      auto* summary = new BuildSummary(result, QDir::cleanPath(fromPath(builtDirectory_)), services_, this);
      summary->setWindowFlag(Qt::Window);
      connect(summary, &BuildSummary::skyPreviewRequested, this, &WizardWindow::onSkyPreview);
      summary_ = summary;
      summary->show();
    }
  });
  if (closeAfterBuild_) close();
}

void WizardWindow::showBuildFinished(bool finished) {
  if (finished) {
    buildButton_->hide();
    closeButton_->show();
    skyPreviewButton_->show();
  } else {
    closeButton_->hide();
    skyPreviewButton_->hide();
    buildButton_->show();
  }
  buttonBar_->refit();
}

void WizardWindow::onSkyPreview() {
  guarded([this] {
    if (builtDirectory_.empty()) return;
    if (skyWindow_) skyWindow_->close();
    auto* window = new SkyPreviewWindow(builtDirectory_, builtBaseName_, fs_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Sky preview - %1").arg(fromBytes(def_.settings.longname)));
    skyWindow_ = window;
    window->show();
  });
}

SkyPreviewWindow* WizardWindow::skyPreviewWindow() const { return skyWindow_.data(); }

void WizardWindow::closeEvent(QCloseEvent* event) {
  // A file is being read for a page: the page still needs the window.
  if (offThreadReadRunning()) {
    event->ignore();
    return;
  }
  // Closing while a build runs asks it to stop; the window closes when it has.
  if (building_) {
    closeAfterBuild_ = true;
    pipeline_.requestAbort();
    event->ignore();
    return;
  }
  bool settled = false;
  guarded([&] { settled = settleUnsavedChanges(); });
  if (!settled) {
    event->ignore();
    return;
  }
  rememberedPlaces().setValue(QStringLiteral("window/geometry"), saveGeometry());
  if (progress_) progress_->hide();
  event->accept();
}

bool WizardWindow::settleUnsavedChanges() {
  if (!hasUnsavedChanges()) return true;
  switch (services_.askSaveChanges(this, QStringLiteral("The settings have changed since they were last saved.\n"
                                                        "Save them to a project file?"))) {
    case SaveChoice::Save: {
      // A failed write is shown, and the settings stay.
      bool saved = false;
      guarded([&] { saved = saveProjectInPlace(); });
      return saved;
    }
    case SaveChoice::Discard:
      return true;
    case SaveChoice::Cancel:
      break;
  }
  return false;
}

void WizardWindow::watchSettings() {
  // Connected after each page's own handlers, so the definition has taken
  // the change when settingEdited runs.
  for (QWidget* w : pageStack_->findChildren<QWidget*>()) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) connect(e, &QLineEdit::textEdited, this, &WizardWindow::settingEdited);
    else if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable())
      connect(b, &QAbstractButton::toggled, this, &WizardWindow::settingEdited);
    else if (auto* c = qobject_cast<QComboBox*>(w))
      connect(c, &QComboBox::currentIndexChanged, this, &WizardWindow::settingEdited);
    else if (auto* n = qobject_cast<QSpinBox*>(w))
      connect(n, &QSpinBox::valueChanged, this, &WizardWindow::settingEdited);
    else if (auto* t = qobject_cast<QTableWidget*>(w))
      connect(t, &QTableWidget::itemChanged, this, &WizardWindow::settingEdited);
    else if (auto* l = qobject_cast<QListWidget*>(w))
      connect(l, &QListWidget::itemChanged, this, &WizardWindow::settingEdited);
  }
}

void WizardWindow::settingEdited() {
  followSettings();
  if (building_ || !closeButton_->isVisibleTo(this)) return;
  showBuildFinished(false);
  buildButton_->setEnabled(currentPage() == kPageOutput);
}

void WizardWindow::addShortcuts() {
  // A shortcut clicks its button, so it does nothing while the button bar is
  // disabled (pages 5 to 8, a build).
  const std::pair<QKeySequence, QPushButton*> keys[] = {
      {QKeySequence(Qt::Key_F1), helpButton_},
      {QKeySequence(Qt::CTRL | Qt::Key_S), saveProjectButton_},
      {QKeySequence(Qt::CTRL | Qt::Key_O), loadProjectButton_},
  };
  for (const auto& [key, button] : keys) {
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
  }
  // Save As belongs to "Save Project" and is as disabled as it is.
  auto* saveAs = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this);
  saveAs->setContext(Qt::WindowShortcut);
  connect(saveAs, &QShortcut::activated, this, [this] {
    if (saveProjectButton_->isEnabled()) onSaveAs();
  });
}

}  // namespace mirdal
