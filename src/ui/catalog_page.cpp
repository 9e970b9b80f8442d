#include "ui/catalog_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "input/input_reader.h"
#include "input/table_form.h"
#include "input/table_forms.h"
#include "input/typed_rows.h"
#include "ui/off_thread_read.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/widgets.h"
#include "util/error.h"

namespace mirdal {

namespace {

// The user says whether the first row names the columns only where the
// form leaves it open: ECSV and MRT headers always describe them, fixed
// columns never have names.
bool headerRowChosen(TableForm form) { return isDelimited(form) && form != TableForm::Ecsv; }

// Catalogs often come without an extension ("catalog"): all files first.
const QStringList kCatalogFilters = {
    QStringLiteral("All files (*)"),
    QStringLiteral("Catalog files (*.dat *.txt *.csv *.tsv *.ecsv *.mrt *.fits *.vot *.xml *.gz *.bz2 *.xz *.zst)")};

// A FITS or VOTable file of more tables than this offers the first ones;
// the project's `table` reaches any other.
constexpr int kMaxTablesListed = 32;

// The tables of a FITS or VOTable file by number, each with its caption.
std::vector<std::pair<std::string, QString>> tablesOfFile(FileSystem& fs, TableForm form, const std::string& path) {
  std::vector<std::pair<std::string, QString>> tables;
  for (int n = 1; n <= kMaxTablesListed; ++n) {
    const std::string number = std::to_string(n);
    try {
      const TableLayout layout = readTypedLayout(form, path, number, fs);
      tables.emplace_back(number, QStringLiteral("Table %1 (%2 columns)").arg(n).arg(layout.columns.size()));
    } catch (const Error& e) {
      // A FITS extension that holds no binary table (an image) is passed
      // over; past the last table the list ends.
      if (form == TableForm::Fits && std::string_view(e.what()).find("is not a binary table") != std::string_view::npos)
        continue;
      break;
    }
  }
  return tables;
}

}  // namespace

CatalogPage::CatalogPage(WizardWindow& wizard, QWidget* parent)
    : WizardPage(wizard, "CatalogPage", "Select the type of object in your catalog", parent) {
  catalogTypeGroup_ =
      new RadioGroup("Catalog type",
                     {catalogTypeCaption(CatalogType::Stars), catalogTypeCaption(CatalogType::VariableStars),
                      catalogTypeCaption(CatalogType::DoubleStars), catalogTypeCaption(CatalogType::Nebulae),
                      catalogTypeCaption(CatalogType::NebulaOutlines)},
                     1, this);
  catalogTypeGroup_->setObjectName("CatalogTypeGroup");
  column()->addWidget(catalogTypeGroup_);

  buildCatalogNames();

  auto* filesRow = new QHBoxLayout;
  filesRow->addWidget(new QLabel("Input Catalog files", this));
  filesRow->addStretch();
  chooseInputButton_ = new QToolButton(this);
  chooseInputButton_->setObjectName("ChooseInputButton");
  chooseInputButton_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  chooseInputButton_->setToolTip("Choose the input catalog files");
  filesRow->addWidget(chooseInputButton_);
  column()->addLayout(filesRow);
  inputFileList_ = new QListWidget(this);
  inputFileList_->setObjectName("InputFileList");
  inputFileList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  inputFileList_->setMinimumHeight(3 * inputFileList_->fontMetrics().height() + 8);
  inputFileList_->setToolTip("Filename");
  column()->addWidget(inputFileList_, 1);

  auto* formRow = new QHBoxLayout;
  inputFormBox_ = new QComboBox(this);
  inputFormBox_->setObjectName("FormBox");
  for (const TableFormRow& f : tableForms())
    inputFormBox_->addItem(QString::fromLatin1(f.caption), static_cast<int>(f.form));
  inputFormBox_->setToolTip("How the rows of the input files are written; proposed from the first file");
  // Long captions are elided rather than widening the page.
  inputFormBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  inputFormBox_->setMinimumContentsLength(14);
  auto* formLabel = new QLabel("Input form", this);
  formLabel->setBuddy(inputFormBox_);
  headerRowBox_ = new QCheckBox("First row names the columns", this);
  headerRowBox_->setObjectName("HeaderRowBox");
  formRow->addWidget(formLabel);
  formRow->addWidget(inputFormBox_, 1);
  column()->addLayout(formRow);
  column()->addWidget(headerRowBox_);

  // Below the form, for the files that hold tables: one row, shown whole or
  // not at all.
  tableRow_ = new QWidget(this);
  auto* tableRow = new QHBoxLayout(tableRow_);
  tableRow->setContentsMargins(0, 0, 0, 0);
  tableBox_ = new QComboBox(tableRow_);
  tableBox_->setObjectName("TableBox");
  tableBox_->setToolTip("The table of the input file to read: the file holds more than one");
  tableLabel_ = new QLabel("Table", tableRow_);
  tableLabel_->setBuddy(tableBox_);
  tableBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  tableBox_->setMinimumContentsLength(14);
  tableRow->addWidget(tableLabel_);
  tableRow->addWidget(tableBox_, 1);
  column()->addWidget(tableRow_);
  tableRow_->hide();

  lineEndGroup_ = new RadioGroup(
      "Input Catalog End of Line Format",
      {QStringLiteral("CR  x'0D'"), QStringLiteral("LF   x'0A'"), QStringLiteral("CR+LF  x'0D0A'")}, 3, this);
  lineEndGroup_->setObjectName("LineEndGroup");
  column()->addWidget(lineEndGroup_);

  CatalogDefinition& def = definition();
  connect(shortNameEdit_, &QLineEdit::textChanged, this,
          [&def](const QString& t) { def.settings.shortname = toBytes(t); });
  connect(longNameEdit_, &QLineEdit::textChanged, this,
          [&def](const QString& t) { def.settings.longname = toBytes(t); });
  connect(chooseInputButton_, &QToolButton::clicked, this, &CatalogPage::onChooseInputFiles);
  // A double-click anywhere in the list, rows or empty space: eventFilter.
  inputFileList_->viewport()->installEventFilter(this);
  connect(lineEndGroup_, &RadioGroup::itemClicked, this, [&def](int i) { def.settings.eol = i; });
  connect(inputFormBox_, &QComboBox::activated, this, &CatalogPage::onFormChosen);
  connect(headerRowBox_, &QCheckBox::clicked, this, &CatalogPage::onHeaderRowToggled);
  connect(tableBox_, &QComboBox::activated, this, &CatalogPage::tableChosen);
}

// The short name, a few characters wide, and the long name below it.
void CatalogPage::buildCatalogNames() {
  auto* names = new QGridLayout;
  names->setHorizontalSpacing(8);
  names->setVerticalSpacing(4);
  shortNameEdit_ = new QLineEdit(this);
  shortNameEdit_->setObjectName("ShortNameEdit");
  shortNameEdit_->setMaxLength(kShortNameMaxLength);
  shortNameEdit_->setMaximumWidth(shortNameEdit_->fontMetrics().horizontalAdvance(QStringLiteral("WWWWWW")) + 12);
  longNameEdit_ = new QLineEdit(this);
  longNameEdit_->setObjectName("LongNameEdit");
  longNameEdit_->setMaxLength(kLongNameMaxLength);
  auto* shortLabel = new QLabel("Catalog short name", this);
  shortLabel->setBuddy(shortNameEdit_);
  auto* longLabel = new QLabel("Catalog long name", this);
  longLabel->setBuddy(longNameEdit_);
  names->addWidget(shortLabel, 0, 0);
  names->addWidget(shortNameEdit_, 0, 1, Qt::AlignLeft);
  names->addWidget(longLabel, 1, 0);
  names->addWidget(longNameEdit_, 1, 1);
  names->setColumnStretch(1, 1);
  column()->addLayout(names);
}

bool CatalogPage::validatePage() {
  return wizard().passes(checkCatalogPage(wizard().definitionAsBuilt(), fileSystem()));
}

void CatalogPage::focusItem(DefinitionItem item) {
  if (item == DefinitionItem::ShortName) shortNameEdit_->setFocus();
  if (item == DefinitionItem::LongName) longNameEdit_->setFocus();
}

void CatalogPage::showDefinition() {
  const BuildSettings& s = definition().settings;
  const QSignalBlocker blockType(catalogTypeGroup_);
  const QSignalBlocker blockShortName(shortNameEdit_);
  const QSignalBlocker blockLongName(longNameEdit_);
  const QSignalBlocker blockLineEnd(lineEndGroup_);
  catalogTypeGroup_->setItemIndex(s.type);
  shortNameEdit_->setText(fromBytes(s.shortname));
  longNameEdit_->setText(fromBytes(s.longname));
  showInputFiles();
  showTableForm();
  lineEndGroup_->setItemIndex(s.eol);
}

void CatalogPage::showInputFiles() {
  inputFileList_->clear();
  for (const std::string& path : definition().settings.inputfiles) inputFileList_->addItem(fromPath(path));
}

void CatalogPage::onChooseInputFiles() {
  guarded([this] {
    CatalogDefinition& def = definition();
    FileDialogRequest request;
    request.title = QStringLiteral("Input Catalog files");
    request.filters = kCatalogFilters;
    request.selectedFilter = 0;
    request.directory = wizard().startDirectory(request.title);
    const QStringList files = services().openFiles(dialogParent(), request);
    if (files.isEmpty()) return;
    rememberDirectory(request.title, files.front());
    def.settings.inputfiles.clear();
    for (const QString& f : files) def.settings.inputfiles.push_back(toPath(f));
    showInputFiles();
    tables_.clear();
    // The form is read from the first file only when it is a regular one:
    // opening a FIFO would wait for a writer, and a device may never end.
    // The build still reads what the list names, as the command line does.
    const std::string first = wizard().inputNameAsBuilt(def.settings.inputfiles.front());
    if (const FileKind kind = fileSystem().kind(first); kind != FileKind::Regular && kind != FileKind::Missing) {
      showTableForm();
      services().message(dialogParent(), fromPath(notAFileMessage(first, kind)) +
                                             QStringLiteral(".\nIts form cannot be read from it: choose it below."));
      return;
    }
    // A file that cannot be read as text stops here, its name in the message.
    proposeTableForm(first);
    // FITS and VOTable rows are no lines: their `eol` stays as it is.
    if (!hasLineEnds(def.settings.format)) return;
    FileSystem& fs = fileSystem();
    const std::optional<int> eol = readOffWindowThread([&fs, &first] { return EolDetector::detectEol(fs, first); });
    if (!eol) {
      services().message(dialogParent(), kUnrecognizedEolWarning);
      return;
    }
    def.settings.eol = *eol;
    const QSignalBlocker block(lineEndGroup_);
    lineEndGroup_->setItemIndex(*eol);
  });
}

bool CatalogPage::eventFilter(QObject* watched, QEvent* event) {
  // A double-click anywhere in the file list, on a row or below the last
  // one, chooses the input files.
  if (watched == inputFileList_->viewport() && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    onChooseInputFiles();
    return true;
  }
  return WizardPage::eventFilter(watched, event);
}

void CatalogPage::showTableForm() {
  const QSignalBlocker blockForm(inputFormBox_);
  const QSignalBlocker blockHeader(headerRowBox_);
  const TableForm form = definition().settings.format;
  int index = inputFormBox_->findData(static_cast<int>(form));
  if (index < 0) {
    // A project of a form this list does not offer keeps it, under its name.
    inputFormBox_->addItem(bytesOf(tableFormName(form)), static_cast<int>(form));
    index = inputFormBox_->count() - 1;
  }
  inputFormBox_->setCurrentIndex(index);
  headerRowBox_->setChecked(definition().settings.headerrow);
  headerRowBox_->setEnabled(headerRowChosen(form));
  lineEndGroup_->setEnabled(hasLineEnds(form));
  showTableChoice();
}

void CatalogPage::showTableChoice() {
  const std::string& chosen = definition().settings.table;
  // A project loaded since names other files.
  const std::vector<std::string>& files = definition().settings.inputfiles;
  if (files.empty() || wizard().inputNameAsBuilt(files.front()) != tablesPath_) tables_.clear();
  const bool offered = isTypedForm(definition().settings.format) && (tables_.size() > 1 || !chosen.empty());
  tableRow_->setVisible(offered);
  if (!offered) return;
  const QSignalBlocker block(tableBox_);
  tableBox_->clear();
  // The first table is the one read when none is named.
  for (std::size_t k = 0; k < tables_.size(); ++k)
    tableBox_->addItem(tables_[k].second, k == 0 ? QString() : fromBytes(tables_[k].first));
  int index = tableBox_->findData(fromBytes(chosen));
  if (index < 0) {
    // A project's table that the list does not hold keeps its name.
    tableBox_->addItem(QStringLiteral("Table %1").arg(fromBytes(chosen)), fromBytes(chosen));
    index = tableBox_->count() - 1;
  }
  tableBox_->setCurrentIndex(index);
}

void CatalogPage::tableChosen() {
  definition().settings.table = toBytes(tableBox_->currentData().toString());
}

void CatalogPage::listTables(const std::string& path) {
  tables_.clear();
  const TableForm form = definition().settings.format;
  if (!isTypedForm(form)) return;
  FileSystem& fs = fileSystem();
  tables_ = readOffWindowThread([&fs, form, &path] { return tablesOfFile(fs, form, path); });
  tablesPath_ = path;
}

void CatalogPage::proposeTableForm(const std::string& path) {
  FileSystem& fs = fileSystem();
  const DetectedForm detected = readOffWindowThread([&fs, &path] { return detectTableForm(fs, path); });
  definition().settings.format = detected.form;
  definition().settings.headerrow = detected.hasHeaderRow;
  // A new file's tables are not the old one's.
  definition().settings.table.clear();
  listTables(path);
  forgetTableOfOtherForms();
  showTableForm();
}

void CatalogPage::onFormChosen() {
  const QVariant data = inputFormBox_->currentData();
  if (!data.isValid()) return;
  const auto form = static_cast<TableForm>(data.toInt());
  definition().settings.format = form;
  if (!headerRowChosen(form)) definition().settings.headerrow = form != TableForm::Fixed;
  forgetTableOfOtherForms();
  if (isTypedForm(form) && tables_.empty() && !definition().settings.inputfiles.empty()) {
    // Chosen by hand: the file's tables are read now, if it is a regular file.
    const std::string first = wizard().inputNameAsBuilt(definition().settings.inputfiles.front());
    if (fileSystem().kind(first) == FileKind::Regular) {
      try {
        listTables(first);
      } catch (const std::exception&) {
        tables_.clear();  // not a file of this form: the build says why
      }
    }
  }
  showTableForm();
}

// A table is chosen in FITS and VOTable files only; the build refuses one
// for another form, and no control of the wizard would show it.
void CatalogPage::forgetTableOfOtherForms() {
  if (isTypedForm(definition().settings.format)) return;
  definition().settings.table.clear();
  tables_.clear();
}

void CatalogPage::onHeaderRowToggled() { definition().settings.headerrow = headerRowBox_->isChecked(); }

}  // namespace mirdal
