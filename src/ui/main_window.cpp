#include "ui/main_window.h"

#include <clocale>
#include <exception>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "input/input_reader.h"
#include "import/table_import.h"
#include "catalog/project_file.h"
#include "catalog/project_paths.h"
#include "import/readme_import.h"
#include "output/region_scheme.h"
#include "ui/build_summary_window.h"
#include "ui/field_layout_editor.h"
#include "ui/help.h"
#include "ui/platform_services.h"
#include "ui/progress_window.h"
#include "ui/qt_text.h"
#include "ui/resources.h"
#include "ui/sky_preview_window.h"
#include "ui/widgets.h"
#include "util/error.h"
#include "util/home_directory.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr int kLogoWidth = 114;
constexpr int kButtonBarHeight = 65;

const QStringList kProjectFilters = {QStringLiteral("All files (*)"), QStringLiteral("Project files (*.prj)")};
// Catalogs often come without an extension ("catalog"): all files first.
const QStringList kCatalogFilters = {
    QStringLiteral("All files (*)"),
    QStringLiteral("Catalog files (*.dat *.txt *.csv *.tsv *.ecsv *.mrt *.fits *.vot *.xml *.gz)")};

constexpr int kRecentProjectCount = 8;

// Where the wizard keeps what it remembers between runs (on Linux
// ~/.config/Mirdal/mirdal.conf).
QSettings places() { return QSettings(QStringLiteral("Mirdal"), QStringLiteral("mirdal")); }

// The button bar: Help, Save Project and Load project at the left; Prev, Next
// and the place shared by "Build Catalog" and "Close" at the right. Buttons
// are as wide as their text needs; when one row is too narrow for them, the
// right group moves to a second row.
class ButtonBar : public QFrame {
 public:
  explicit ButtonBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
  }

  void setButtons(std::vector<QPushButton*> left, std::vector<QPushButton*> right, std::vector<QPushButton*> shared) {
    left_ = std::move(left);
    right_ = std::move(right);
    shared_ = std::move(shared);
    updateGeometry();
  }

  QSize sizeHint() const override {
    return {2 * kMargin + groupWidth(left_) + kGap + groupWidth(right_) + kSpacing + sharedWidth(),
            heightForRows(1)};
  }
  QSize minimumSizeHint() const override {
    const int w = 2 * kMargin + std::max(groupWidth(left_), groupWidth(right_) + kSpacing + sharedWidth());
    return {w, heightForRows(2)};
  }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int w) const override { return heightForRows(fitsOneRow(w) ? 1 : 2); }

  // After a button of the bar was shown or hidden.
  void refit() {
    updateGeometry();
    place();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QFrame::resizeEvent(event);
    place();
  }
  bool event(QEvent* event) override {
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange) {
      updateGeometry();
      place();
    }
    return QFrame::event(event);
  }

 private:
  static constexpr int kMargin = 6;
  static constexpr int kSpacing = 4;
  static constexpr int kGap = 8;

  static int buttonWidth(const QPushButton* b) {
    const QFontMetrics fm(b->font());
    // The "&" of a mnemonic is not drawn.
    QString shown = b->text();
    shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return std::max(fm.horizontalAdvance(shown) + fm.averageCharWidth() + 8, 3 * fm.height());
  }
  int buttonHeight() const {
    int h = 25;
    for (auto* group : {&left_, &right_, &shared_})
      for (const QPushButton* b : *group) h = std::max(h, b->sizeHint().height());
    return h;
  }
  // A button hidden on purpose takes no room in its group.
  bool placed(const QPushButton* b) const { return b->isVisibleTo(this); }
  int groupWidth(const std::vector<QPushButton*>& group) const {
    int w = 0;
    int n = 0;
    for (const QPushButton* b : group)
      if (placed(b)) {
        w += (n == 0 ? 0 : kSpacing) + buttonWidth(b);
        ++n;
      }
    return w;
  }
  int sharedWidth() const {
    int w = 0;
    for (const QPushButton* b : shared_) w = std::max(w, buttonWidth(b));
    return w;
  }
  bool fitsOneRow(int w) const { return sizeHint().width() <= w; }
  int heightForRows(int rows) const {
    return std::max(kButtonBarHeight, 2 * kMargin + rows * buttonHeight() + (rows - 1) * kSpacing);
  }

  void place() {
    const int h = buttonHeight();
    const bool oneRow = fitsOneRow(width());
    const int rowsHeight = oneRow ? h : 2 * h + kSpacing;
    const int top = (height() - rowsHeight) / 2;
    int x = kMargin;
    for (QPushButton* b : left_) {
      b->setGeometry(x, top, buttonWidth(b), h);
      x += buttonWidth(b) + kSpacing;
    }
    const int y = oneRow ? top : top + h + kSpacing;
    int right = width() - kMargin;
    const int shared = sharedWidth();
    for (QPushButton* b : shared_) b->setGeometry(right - shared, y, shared, h);
    right -= shared + kSpacing;
    for (auto it = right_.rbegin(); it != right_.rend(); ++it) {
      if (!placed(*it)) continue;
      const int w = buttonWidth(*it);
      (*it)->setGeometry(right - w, y, w, h);
      right -= w + kSpacing;
    }
  }

  std::vector<QPushButton*> left_, right_, shared_;
};

QLabel* headingLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

Form1::Form1(PlatformServices& services, FileSystem& fs, QWidget* parent)
    : QWidget(parent),
      services_(services),
      fs_(fs),
      buildUi_(*this, services, [this] { focusDirectoryAfterBuild_ = true; }),
      pipeline_(buildUi_, fs) {
  initResources();
  setObjectName("Form1");
  setWindowTitle(kWindowCaption);

  Image1 = new LogoImage(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(QPixmap(QStringLiteral(":/mirdal/logo.gif")));
  Image1->setFixedWidth(kLogoWidth);
  Image1->setToolTip("About Mirdal");

  PageControl1 = new QStackedWidget(this);
  PageControl1->setObjectName("PageControl1");

  buildButtonBar();

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->addWidget(Image1, 0, 0);
  grid->addWidget(PageControl1, 0, 1);
  grid->addWidget(Panel1, 1, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(1, 1);

  buildPage1(addPage("TabSheet1", "Select the type of object in your catalog"));
  buildPage2(addPage("TabSheet2", "General catalog options"));
  buildPage3(addPage("TabSheet3", "Select the fields to use and their position in the text file"));
  buildPage4(addPage("TabSheet4", "Output catalog options"));
  buildTablePages();

  connect(Button12, &QPushButton::clicked, this, &Form1::Button12Click);
  connect(Button1, &QPushButton::clicked, this, &Form1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &Form1::Button2Click);
  connect(prevbt, &QPushButton::clicked, this, &Form1::prevbtClick);
  connect(nextbt, &QPushButton::clicked, this, &Form1::nextbtClick);
  connect(Endbt, &QPushButton::clicked, this, &Form1::EndbtClick);
  connect(Exitbt, &QPushButton::clicked, this, &Form1::ExitbtClick);
  connect(SkyPreviewButton, &QPushButton::clicked, this, &Form1::SkyPreviewButtonClick);
  connect(Image1, &LogoImage::clicked, this, &Form1::Image1Click);

  FormCreate();
  resize(kDefaultWindowWidth, kDefaultWindowHeight);
  restoreGeometry(places().value(QStringLiteral("window/geometry")).toByteArray());
  watchSettings();
  addShortcuts();
  addToolTips();
  showRecentProjects();
  savedDefinition_ = def_;
}

Form1::~Form1() = default;

void Form1::buildButtonBar() {
  auto* bar = new ButtonBar(this);
  Panel1 = bar;
  Panel1->setObjectName("Panel1");
  auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), Panel1);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  // The underlined letters are the Alt+letter keys of the buttons.
  Button12 = button("Button12", "&Help");
  Button1 = button("Button1", "&Save Project");
  Button2 = button("Button2", "&Load project");
  prevbt = button("prevbt", "<<   &Prev");
  nextbt = button("nextbt", "&Next   >>");
  Endbt = button("Endbt", "&Build Catalog");
  Exitbt = button("Exitbt", "&Close");
  SkyPreviewButton = button("SkyPreviewButton", "S&ky preview");
  SkyPreviewButton->setToolTip("Every record of the catalog just built, on a picture of the whole sky");
  Button12->setToolTip("Open the manual (F1)");
  Button1->setToolTip("Write every setting to a project file (Ctrl+S)");
  Button2->setToolTip("Put the settings of a project file back into the window (Ctrl+O);\n"
                      "right-click for the projects last loaded or saved");
  // The recent projects: the context menu of "Load project" (right-click,
  // or the menu key while it has the focus).
  RecentMenu = new QMenu(Button2);
  RecentMenu->setObjectName("RecentProjectsMenu");
  Button2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Button2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (!RecentMenu->isEmpty()) RecentMenu->popup(Button2->mapToGlobal(at));
  });
  prevbt->setToolTip("Back to the previous page");
  nextbt->setToolTip("Check this page and go to the next one");
  Endbt->setToolTip("Write the catalog into the output directory");
  Exitbt->setToolTip("Close the window");
  bar->setButtons({Button12, Button1, Button2}, {prevbt, nextbt, SkyPreviewButton}, {Endbt, Exitbt});
}

void Form1::FormCreate() {
  // Numbers are read and written with a point whatever the user's locale.
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, "C");
  programDirectory_ = QDir::currentPath();
  helpLanguage_ = readHelpLanguage();

  showPage(kPageCatalog);
  nextbt->setEnabled(true);
  prevbt->setEnabled(false);
  Endbt->show();
  Endbt->setEnabled(false);
  Exitbt->hide();
  SkyPreviewButton->hide();

  def_.rebuildFieldList();
  def_.settings.nebunit = 1;
  def_.settings.nebtype = 14;
  def_.resetSlots();
  def_.tables.reset();
  mapDefinitionToControls();
}

void Form1::setProgressWindow(Progress* progress) {
  progress_ = progress;
  buildUi_.setProgressWindow(progress);
  if (progress) connect(progress, &Progress::abortRequested, this, [this] { pipeline_.requestAbort(); });
}

void Form1::setFormulaDialog(Adv* adv) {
  adv_ = adv;
  editor_->setFormulaDialog(adv);
}

QWidget* Form1::addPage(const QString& name, const QString& heading) {
  auto* page = new QWidget(PageControl1);
  page->setObjectName(name);
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(4, 4, 2, 4);
  column->setSpacing(4);
  column->addWidget(headingLabel(heading, page));
  PageControl1->addWidget(page);
  return page;
}

// ---------------------------------------------------------------------------
// Definition <-> controls

void Form1::mapDefinitionToControls() {
  const BuildSettings& s = def_.settings;
  const QList<QObject*> bound = {RadioGroup1, Edit4,     Edit5,     RadioGroup5, RadioGroup2, RadioGroup3,
                                 FloatEdit1,  FloatEdit2, FloatEdit3, LongEdit1,  ComboBox1,   CheckBox1,
                                 ComboBox3,   RadioGroup6, CheckBox7, LongEdit2,  RadioGroup4, CheckBox3,
                                 CheckBox4,   CheckBox5,  DirectoryEdit1, CheckBox6};
  std::vector<std::unique_ptr<QSignalBlocker>> blocks;
  for (QObject* o : bound) blocks.push_back(std::make_unique<QSignalBlocker>(o));

  RadioGroup1->setItemIndex(s.type);
  Edit4->setText(fromBytes(s.shortname));
  Edit5->setText(fromBytes(s.longname));
  showInputFiles();
  showTableForm();
  RadioGroup5->setItemIndex(s.eol);
  RadioGroup2->setItemIndex(s.ratype);
  RadioGroup3->setItemIndex(s.dectype);
  FloatEdit1->setValue(s.equinox);
  FloatEdit3->setValue(s.epoch);
  FloatEdit2->setValue(s.magmax);
  LongEdit1->setValue(s.nebsize);
  ComboBox1->setCurrentIndex(s.nebunit);
  CheckBox1->setChecked(s.neblog);
  ComboBox3->setCurrentIndex(s.nebtype);
  RadioGroup6->setItemIndex(s.drawingtype);
  CheckBox7->setChecked(s.closedline);
  LongEdit2->setValue(s.linewidth);
  Shape1->setColour(s.linecolor);
  RadioGroup4->setItemIndex(s.numfile);
  CheckBox3->setChecked(s.index);
  CheckBox4->setChecked(s.altindex);
  CheckBox5->setChecked(s.prefalt);
  DirectoryEdit1->setText(fromPath(s.ouputdir));
  CheckBox6->setChecked(s.append);
  mapTablesToGrids();
  editor_->showFieldList();
}

void Form1::showInputFiles() {
  ListView1->clear();
  for (const std::string& path : def_.settings.inputfiles) ListView1->addItem(fromPath(path));
}

void Form1::commitEdits() {
  for (FloatEdit* e : {FloatEdit1, FloatEdit2, FloatEdit3}) e->commit();
  LongEdit1->interpretText();
  LongEdit2->interpretText();
}

// ---------------------------------------------------------------------------
// Pages and navigation

int Form1::currentPage() const { return PageControl1->currentIndex(); }

void Form1::showPage(int page) { PageControl1->setCurrentIndex(page); }

bool Form1::checkPage(int page) {
  const BuildSettings& s = def_.settings;
  switch (page) {
    case kPageCatalog:
      return passes(checkCatalogPage(definitionAsBuilt(), fs_));
    case kPageOptions:
      if (s.equinox < 1800 || s.equinox > 2100)
        return services_.askOkCancel(this, QString::fromLatin1(kEquinoxQuestionPrefix) + FloatEdit1->text() + " ?");
      return true;
    case kPageFields:
      return passes(checkFieldsPage(def_));
    default:
      return true;
  }
}

bool Form1::passes(const std::optional<DefinitionProblem>& problem) {
  if (!problem) return true;
  services_.message(this, fromBytes(problem->message));
  if (problem->item == DefinitionItem::ShortName) Edit4->setFocus();
  if (problem->item == DefinitionItem::LongName) Edit5->setFocus();
  return false;
}

void Form1::enterPage(int page) {
  switch (page) {
    case kPageOptions:
      updateOutlineVisibility();
      break;
    case kPageFields:
      editor_->enterPage();
      break;
    case kPageOutput:
      showBuildFinished(false);
      Endbt->setEnabled(true);
      updateOutlineVisibility();
      break;
    default:
      break;
  }
}

// The default groups of page 2 and the region and index choices of page 4
// follow the catalog type: outlines have one region file and no index.
void Form1::updateOutlineVisibility() {
  const CatalogType type = def_.type();
  GroupBox5->setVisible(type == CatalogType::Nebulae);
  GroupBox7->setVisible(type == CatalogType::NebulaOutlines);
  RadioGroup4->setVisible(def_.regionChoiceOffered());
  GroupBox6->setVisible(def_.indexChoiceOffered());
}

void Form1::makeProgramDirectoryCurrent() { QDir::setCurrent(programDirectory_); }

template <typename F>
void Form1::guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    services_.message(this, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    services_.message(this, QStringLiteral("Unexpected error"));
  }
}

void Form1::nextbtClick() {
  guarded([this] {
    makeProgramDirectoryCurrent();
    commitEdits();
    const int page = currentPage();
    if (page >= kPageObjectTypes || !checkPage(page)) return;
    Endbt->setEnabled(false);
    int target = page + 1;
    if (target >= kPageOutput) {
      target = kPageOutput;
      nextbt->setEnabled(false);
      Endbt->show();
      Endbt->setEnabled(true);
    }
    showPage(target);
    prevbt->setEnabled(true);
    enterPage(target);
  });
}

void Form1::prevbtClick() {
  guarded([this] {
    makeProgramDirectoryCurrent();
    commitEdits();
    const int page = currentPage();
    if (page >= kPageObjectTypes) return;
    int target = page - 1;
    Endbt->setEnabled(false);
    if (target <= kPageCatalog) {
      target = kPageCatalog;
      prevbt->setEnabled(false);
    }
    showPage(target);
    nextbt->setEnabled(true);
    enterPage(target);
  });
}

void Form1::RadioGroup1Click() {
  guarded([this] {
    bool rebuilt = def_.setType(RadioGroup1->itemIndex());
    rebuilt = def_.setRaType(RadioGroup2->itemIndex()) || rebuilt;
    rebuilt = def_.setDecType(RadioGroup3->itemIndex()) || rebuilt;
    if (rebuilt) editor_->showFieldList();
  });
}

void Form1::SpeedButton1Click() {
  guarded([this] {
    FileDialogRequest request;
    request.title = QStringLiteral("Input Catalog files");
    request.filters = kCatalogFilters;
    request.selectedFilter = 0;
    request.directory = rememberedDirectory(request.title);
    const QStringList files = services_.openFiles(this, request);
    if (files.isEmpty()) return;
    rememberDirectory(request.title, files.front());
    def_.settings.inputfiles.clear();
    for (const QString& f : files) def_.settings.inputfiles.push_back(toPath(f));
    showInputFiles();
    // A file that cannot be read as text stops here, its name in the message.
    proposeTableForm(def_.settings.inputfiles.front());
    const std::optional<int> eol = EolDetector::detectEol(fs_, def_.settings.inputfiles.front());
    if (!eol) {
      services_.message(this, kUnrecognizedEolWarning);
      return;
    }
    def_.settings.eol = *eol;
    const QSignalBlocker block(RadioGroup5);
    RadioGroup5->setItemIndex(*eol);
  });
}

void Form1::ComboBox1Change() {
  guarded([this] {
    const int unit = ComboBox1->currentIndex();
    if (unit >= 0) def_.settings.nebunit = unit;
  });
}

void Form1::openTablePage(int page) {
  Panel1->setEnabled(false);
  showPage(page);
}

void Form1::Button3Click() { openTablePage(kPageObjectTypes); }
void Form1::Button6Click() { openTablePage(kPageUnits); }
void Form1::Button9Click() { openTablePage(kPageLineOperations); }
void Form1::Button11Click() { openTablePage(kPageColours); }

void Form1::Button4Click() {
  Panel1->setEnabled(true);
  showPage(kPageOptions);
}

void Form1::Shape1MouseUp() {
  guarded([this] {
    auto* swatch = qobject_cast<ColourSwatch*>(sender());
    if (!swatch) return;
    const std::optional<QColor> chosen = services_.colour(this, lastDialogColour_);
    if (!chosen || !chosen->isValid()) return;
    lastDialogColour_ = *chosen;
    const Colour c = fromQColor(*chosen);
    swatch->setColour(c);
    settingEdited();
    if (swatch == Shape1) {
      def_.settings.linecolor = c;
      return;
    }
    for (std::size_t r = 0; r < colourShapes_.size(); ++r)
      if (colourShapes_[r] == swatch) def_.tables.colours[r] = c;
  });
}

void Form1::Image1Click() {
  services_.message(this, QStringLiteral("Mirdal\n"
                                         "Prepare a catalog for the sky-charting program\n"
                                         "Version 1.3, 2002/09/22\n\n"
                                         "Written by the Mirdal developers for everyone who maps the night sky."));
}

void Form1::ExitbtClick() { close(); }

void Form1::DirectoryEdit1AfterDialog() { makeProgramDirectoryCurrent(); }

void Form1::Button12Click() {
  guarded([this] {
    makeProgramDirectoryCurrent();
    services_.openDocument(helpDocumentPath(programDirectory_, helpLanguage_, installedManualDirectories()));
  });
}

void Form1::Button1Click() {
  guarded([this] { saveProjectAs(); });
}

bool Form1::saveProjectAs() {
  makeProgramDirectoryCurrent();
  const auto restore = qScopeGuard([this] { makeProgramDirectoryCurrent(); });
  commitEdits();
  FileDialogRequest request;
  request.title = QStringLiteral("Save Project");
  request.filters = kProjectFilters;
  request.selectedFilter = 1;
  request.defaultSuffix = QStringLiteral("prj");
  request.fileName = lastProjectName_;
  if (lastProjectName_.isEmpty()) request.directory = rememberedDirectory(QStringLiteral("Project"));
  const QString path = services_.saveFile(this, request);
  if (path.isEmpty()) return false;
  lastProjectName_ = path;
  saveProject(toPath(path), def_, fs_);
  savedDefinition_ = def_;
  projectFile_ = QFileInfo(path).absoluteFilePath();
  rememberDirectory(QStringLiteral("Project"), path);
  rememberProject(projectFile_);
  return true;
}

void Form1::Button2Click() {
  guarded([this] {
    makeProgramDirectoryCurrent();
    const auto restore = qScopeGuard([this] { makeProgramDirectoryCurrent(); });
    FileDialogRequest request;
    request.title = QStringLiteral("Load project");
    request.filters = kProjectFilters;
    request.selectedFilter = 1;
    request.defaultSuffix = QStringLiteral("prj");
    request.directory = rememberedDirectory(QStringLiteral("Project"));
    for (QAction* recent : RecentMenu->actions()) request.history << QFileInfo(recent->data().toString()).absolutePath();
    request.history.removeDuplicates();
    const QString path = services_.openFile(this, request);
    if (path.isEmpty()) return;
    openProject(path);
  });
}

void Form1::openProject(const QString& path) {
  guarded([this, path] {
    makeProgramDirectoryCurrent();
    // Whatever part of the file was applied before a read failure is shown,
    // and the next build is of what the window now holds.
    const auto show = qScopeGuard([this] {
      mapDefinitionToControls();
      if (currentPage() == kPageOptions || currentPage() == kPageOutput) updateOutlineVisibility();
      showBuildFinished(false);
      Endbt->setEnabled(currentPage() == kPageOutput);
    });
    loadProject(toPath(path), def_, fs_);
    savedDefinition_ = def_;
    projectFile_ = QFileInfo(path).absoluteFilePath();
    lastProjectName_ = projectFile_;
    rememberDirectory(QStringLiteral("Project"), path);
    rememberProject(projectFile_);
  });
}

void Form1::RecentProjectClick() {
  auto* action = qobject_cast<QAction*>(sender());
  if (!action || building_ || !Panel1->isEnabled()) return;
  openProject(action->data().toString());
}

QString Form1::rememberedDirectory(const QString& dialog) const {
  const QString dir = places().value(QStringLiteral("places/") + dialog).toString();
  return QFileInfo(dir).isDir() ? dir : QString();
}

void Form1::rememberDirectory(const QString& dialog, const QString& chosenFile) {
  places().setValue(QStringLiteral("places/") + dialog, QFileInfo(chosenFile).absolutePath());
}

void Form1::rememberProject(const QString& path) {
  QSettings settings = places();
  QStringList recent = settings.value(QStringLiteral("recent/projects")).toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentProjectCount) recent.removeLast();
  settings.setValue(QStringLiteral("recent/projects"), recent);
  showRecentProjects();
}

void Form1::showRecentProjects() {
  QMenu* menu = RecentMenu;
  menu->clear();
  const QStringList recent = places().value(QStringLiteral("recent/projects")).toStringList();
  for (const QString& path : recent) {
    if (!QFileInfo(path).isFile()) continue;
    QAction* action = menu->addAction(QFileInfo(path).fileName() + QStringLiteral("  (") +
                                      QDir::toNativeSeparators(QFileInfo(path).absolutePath()) + QLatin1Char(')'));
    action->setData(path);
    connect(action, &QAction::triggered, this, &Form1::RecentProjectClick);
  }
}

CatalogDefinition Form1::definitionAsBuilt() const {
  CatalogDefinition definition = def_;
  expandHomeInPaths(definition.settings);
  for (std::string& name : definition.settings.inputfiles) name = inputNameAsBuilt(name);
  return definition;
}

std::string Form1::inputNameAsBuilt(const std::string& name) const {
  // The program directory (the current one) first, as ever; then beside the
  // project, where an imported or moved project keeps its catalog.
  const std::string expanded = expandHome(name);
  if (projectFile_.isEmpty()) return expanded;
  return resolveInputName(expanded, {}, toPath(QFileInfo(projectFile_).absolutePath()), fs_);
}

bool Form1::hasUnsavedChanges() {
  commitEdits();
  return !(def_ == savedDefinition_);
}

BuildSummary* Form1::buildSummary() const { return summary_.data(); }

void Form1::EndbtClick() {
  if (building_) return;
  guarded([this] {
    makeProgramDirectoryCurrent();
    commitEdits();
    // The names as the build opens them: "~/cats" is the home directory's.
    CatalogDefinition definition = definitionAsBuilt();
    // A project loaded on this page has passed no page check.
    if (!passes(findDefinitionProblem(definition, fs_))) return;
    building_ = true;
    Panel1->setEnabled(false);
    PageControl1->setEnabled(false);
    focusDirectoryAfterBuild_ = false;
    const auto restore = qScopeGuard([this] {
      if (progress_) progress_->hide();
      Panel1->setEnabled(true);
      PageControl1->setEnabled(true);
      building_ = false;
      // Only an enabled box can take the focus the refusal asked for.
      if (focusDirectoryAfterBuild_) DirectoryEdit1->setFocus();
    });
    pipeline_.setProgramDirectory(toPath(programDirectory_));
    // The picture of the last build shows a catalog this build may rewrite.
    if (skyWindow_) skyWindow_->close();
    const std::string base = baseName(definition.settings.shortname);
    if (summary_) summary_->close();
    const BuildResult result = pipeline_.run(definition);
    if (result.completed) {
      // The build made the program directory current: a relative output
      // directory is taken from there.
      builtDirectory_ = toPath(QDir(programDirectory_).absoluteFilePath(fromPath(result.outputDirectory)));
      builtBaseName_ = base;
      showBuildFinished(true);
      auto* summary = new BuildSummary(result, QDir::cleanPath(fromPath(builtDirectory_)), services_, this);
      summary->setWindowFlag(Qt::Window);
      connect(summary, &BuildSummary::skyPreviewRequested, this, &Form1::SkyPreviewButtonClick);
      summary_ = summary;
      summary->show();
    }
  });
  if (closeAfterBuild_) close();
}

void Form1::showBuildFinished(bool finished) {
  if (finished) {
    Endbt->hide();
    Exitbt->show();
    SkyPreviewButton->show();
  } else {
    Exitbt->hide();
    SkyPreviewButton->hide();
    Endbt->show();
  }
  static_cast<ButtonBar*>(Panel1)->refit();
}

void Form1::ImportReadMeButtonClick() {
  guarded([this] {
    makeProgramDirectoryCurrent();
    if (def_.settings.format != TableForm::Fixed && !def_.settings.inputfiles.empty()) {
      importInputDescription();
      return;
    }
    const auto restore = qScopeGuard([this] { makeProgramDirectoryCurrent(); });
    FileDialogRequest request;
    request.title = QStringLiteral("Import ReadMe");
    request.filters = {QStringLiteral("All files (*)"), QStringLiteral("ReadMe files (ReadMe* README* *.readme)")};
    request.selectedFilter = 0;
    // The ReadMe comes with the catalog: beside its first file.
    const CatalogDefinition built = definitionAsBuilt();
    if (!built.settings.inputfiles.empty())
      request.directory = QFileInfo(fromPath(built.settings.inputfiles.front())).absolutePath();
    const QString chosen = services_.openFile(this, request);
    if (chosen.isEmpty()) return;
    const std::string path = toPath(chosen);
    const std::string input = built.settings.inputfiles.empty() ? std::string() : built.settings.inputfiles.front();

    // Reading and choosing the table come before any change: a failure there
    // leaves the page as it was.
    ReadMe readMe;
    const ReadMeTable* table = nullptr;
    std::vector<std::string> notes;
    try {
      ReadMeImport imported = importReadMe(path, input, {}, def_.type(), def_, fs_);
      readMe = std::move(imported.readMe);
      notes = std::move(imported.notes);
    } catch (const Error&) {
      // Several tables, none for a file named like the input: the user picks.
      readMe = readReadMe(path, fs_);
      if (readMe.tables.size() < 2) throw;
      QStringList items;
      for (const ReadMeTable& t : readMe.tables) {
        QStringList names;
        for (const std::string& n : t.fileNames) names << fromBytes(n);
        items << QStringLiteral("%1 (%2 columns)").arg(names.join(QStringLiteral(", "))).arg(t.columns.size());
      }
      const QString name = QFileInfo(fromPath(input)).fileName();
      const std::optional<int> index = services_.chooseItem(
          this, QStringLiteral("Import ReadMe"),
          QStringLiteral("The ReadMe describes several files, none named like \"%1\".\nWhich one do the input "
                         "files follow?")
              .arg(name),
          items);
      if (!index || *index < 0 || *index >= static_cast<int>(readMe.tables.size())) return;
      table = &readMe.tables[static_cast<std::size_t>(*index)];
      notes = applyReadMeTable(*table, def_.type(), def_);
    }
    // Page 2's coordinate formats, equinox and epoch, page 3's list, ticks,
    // slots and labels.
    mapDefinitionToControls();

    QString text = QStringLiteral("Imported from \"%1\"").arg(chosen);
    if (!readMe.title.empty()) text += QStringLiteral(", %1").arg(fromBytes(readMe.title));
    text += QStringLiteral(".\nReview the ticks, columns and labels before building.\n");
    for (const std::string& note : notes) text += QLatin1Char('\n') + fromBytes(note);
    services_.showText(this, QStringLiteral("Import ReadMe"), text);
  });
}

// Every form but fixed columns describes its columns in the file itself:
// the import reads the first input file instead of a ReadMe.
void Form1::importInputDescription() {
  const std::string input = def_.settings.inputfiles.front();
  // Into a copy, so that a file refused halfway leaves the page as it was.
  CatalogDefinition imported = def_;
  const TableImport result =
      importTableDescription(fs_, inputNameAsBuilt(input), def_.settings.format, def_.type(), imported);
  def_ = std::move(imported);
  mapDefinitionToControls();
  editor_->enterPage();

  QString text = QStringLiteral("Imported from the columns \"%1\" describes.\n").arg(fromPath(input));
  text += result.mapped ? QStringLiteral("Review the ticks, columns and labels before building.\n")
                        : QStringLiteral("Its columns have no names: pick each field's column in the list.\n");
  for (const std::string& note : result.notes) text += QLatin1Char('\n') + fromBytes(note);
  services_.showText(this, QStringLiteral("Import ReadMe"), text);
}

void Form1::SkyPreviewButtonClick() {
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

SkyPreviewWindow* Form1::skyPreviewWindow() const { return skyWindow_.data(); }

void Form1::closeEvent(QCloseEvent* event) {
  // Closing while a build runs asks it to stop; the window closes when it has.
  if (building_) {
    closeAfterBuild_ = true;
    pipeline_.requestAbort();
    event->ignore();
    return;
  }
  if (hasUnsavedChanges()) {
    switch (services_.askSaveChanges(this, QStringLiteral("The settings have changed since they were last saved.\n"
                                                          "Save them to a project file?"))) {
      case SaveChoice::Save: {
        bool saved = false;
        guarded([&] { saved = saveProjectAs(); });
        if (!saved) {
          event->ignore();
          return;
        }
        break;
      }
      case SaveChoice::Discard:
        break;
      case SaveChoice::Cancel:
        event->ignore();
        return;
    }
  }
  places().setValue(QStringLiteral("window/geometry"), saveGeometry());
  if (progress_) progress_->hide();
  event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  // A double-click anywhere in page 1's file list, on a row or below the
  // last one, chooses the input files.
  if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    SpeedButton1Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::watchSettings() {
  // Connected after each page's own handlers, so the definition has taken
  // the change when settingEdited runs.
  for (QWidget* w : PageControl1->findChildren<QWidget*>()) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) connect(e, &QLineEdit::textEdited, this, &Form1::settingEdited);
    else if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable())
      connect(b, &QAbstractButton::toggled, this, &Form1::settingEdited);
    else if (auto* c = qobject_cast<QComboBox*>(w))
      connect(c, &QComboBox::currentIndexChanged, this, &Form1::settingEdited);
    else if (auto* n = qobject_cast<QSpinBox*>(w))
      connect(n, &QSpinBox::valueChanged, this, &Form1::settingEdited);
    else if (auto* t = qobject_cast<QTableWidget*>(w))
      connect(t, &QTableWidget::itemChanged, this, &Form1::settingEdited);
    else if (auto* l = qobject_cast<QListWidget*>(w))
      connect(l, &QListWidget::itemChanged, this, &Form1::settingEdited);
  }
}

void Form1::settingEdited() {
  if (building_ || !Exitbt->isVisibleTo(this)) return;
  showBuildFinished(false);
  Endbt->setEnabled(currentPage() == kPageOutput);
}

void Form1::addShortcuts() {
  // A shortcut clicks its button, so it does nothing while the button bar is
  // disabled (pages 5 to 8, a build).
  const std::pair<QKeySequence, QPushButton*> keys[] = {
      {QKeySequence(Qt::Key_F1), Button12},
      {QKeySequence(Qt::CTRL | Qt::Key_S), Button1},
      {QKeySequence(Qt::CTRL | Qt::Key_O), Button2},
  };
  for (const auto& [key, button] : keys) {
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
  }
}

}  // namespace mirdal
