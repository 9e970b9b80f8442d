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
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/widgets.h"
#include "util/home_directory.h"

namespace mirdal {

namespace {

// The forms offered, in the order of the list, with their captions.
struct OfferedForm {
  TableForm form;
  const char* caption;
};
constexpr OfferedForm kOfferedForms[] = {
    {TableForm::Fixed, "Fixed columns"},
    {TableForm::Csv, "CSV (comma-separated)"},
    {TableForm::Tsv, "TSV (tab-separated)"},
    {TableForm::Psv, "|-separated"},
    {TableForm::Semicolon, ";-separated"},
    {TableForm::Blanks, "Blank-separated"},
    {TableForm::Ecsv, "ECSV"},
    {TableForm::Mrt, "MRT (machine-readable table)"},
    {TableForm::Ipac, "IPAC table"},
    {TableForm::Fits, "FITS binary table"},
    {TableForm::VoTable, "VOTable"},
};

// The user says whether the first row names the columns only where the
// form leaves it open: ECSV and MRT headers always describe them, fixed
// columns never have names.
bool headerRowChosen(TableForm form) { return isDelimited(form) && form != TableForm::Ecsv; }

// Catalogs often come without an extension ("catalog"): all files first.
const QStringList kCatalogFilters = {
    QStringLiteral("All files (*)"),
    QStringLiteral("Catalog files (*.dat *.txt *.csv *.tsv *.ecsv *.mrt *.fits *.vot *.xml *.gz *.bz2 *.xz)")};

}  // namespace

CatalogPage::CatalogPage(Form1& wizard, QWidget* parent)
    : WizardPage(wizard, "TabSheet1", "Select the type of object in your catalog", parent) {
  catalogTypeGroup_ =
      new RadioGroup("Catalog type",
                     {catalogTypeCaption(CatalogType::Stars), catalogTypeCaption(CatalogType::VariableStars),
                      catalogTypeCaption(CatalogType::DoubleStars), catalogTypeCaption(CatalogType::Nebulae),
                      catalogTypeCaption(CatalogType::NebulaOutlines)},
                     1, this);
  catalogTypeGroup_->setObjectName("RadioGroup1");
  column()->addWidget(catalogTypeGroup_);

  buildCatalogNames();

  auto* filesRow = new QHBoxLayout;
  filesRow->addWidget(new QLabel("Input Catalog files", this));
  filesRow->addStretch();
  chooseInputButton_ = new QToolButton(this);
  chooseInputButton_->setObjectName("SpeedButton1");
  chooseInputButton_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  chooseInputButton_->setToolTip("Choose the input catalog files");
  filesRow->addWidget(chooseInputButton_);
  column()->addLayout(filesRow);
  inputFileList_ = new QListWidget(this);
  inputFileList_->setObjectName("ListView1");
  inputFileList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  inputFileList_->setMinimumHeight(3 * inputFileList_->fontMetrics().height() + 8);
  inputFileList_->setToolTip("Filename");
  column()->addWidget(inputFileList_, 1);

  auto* formRow = new QHBoxLayout;
  inputFormBox_ = new QComboBox(this);
  inputFormBox_->setObjectName("FormBox");
  for (const OfferedForm& f : kOfferedForms)
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

  lineEndGroup_ = new RadioGroup(
      "Input Catalog End of Line Format",
      {QStringLiteral("CR  x'0D'"), QStringLiteral("LF   x'0A'"), QStringLiteral("CR+LF  x'0D0A'")}, 3, this);
  lineEndGroup_->setObjectName("RadioGroup5");
  column()->addWidget(lineEndGroup_);

  CatalogDefinition& def = definition();
  connect(shortNameEdit_, &QLineEdit::textChanged, this,
          [&def](const QString& t) { def.settings.shortname = toBytes(t); });
  connect(longNameEdit_, &QLineEdit::textChanged, this,
          [&def](const QString& t) { def.settings.longname = toBytes(t); });
  connect(chooseInputButton_, &QToolButton::clicked, this, &CatalogPage::SpeedButton1Click);
  // A double-click anywhere in the list, rows or empty space: eventFilter.
  inputFileList_->viewport()->installEventFilter(this);
  connect(lineEndGroup_, &RadioGroup::itemClicked, this, [&def](int i) { def.settings.eol = i; });
  connect(inputFormBox_, &QComboBox::activated, this, &CatalogPage::FormBoxChange);
  connect(headerRowBox_, &QCheckBox::clicked, this, &CatalogPage::HeaderRowBoxClick);
}

// The short name, a few characters wide, and the long name below it.
void CatalogPage::buildCatalogNames() {
  auto* names = new QGridLayout;
  names->setHorizontalSpacing(8);
  names->setVerticalSpacing(4);
  shortNameEdit_ = new QLineEdit(this);
  shortNameEdit_->setObjectName("Edit4");
  shortNameEdit_->setMaxLength(kShortNameMaxLength);
  shortNameEdit_->setMaximumWidth(shortNameEdit_->fontMetrics().horizontalAdvance(QStringLiteral("WWWWWW")) + 12);
  longNameEdit_ = new QLineEdit(this);
  longNameEdit_->setObjectName("Edit5");
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

void CatalogPage::SpeedButton1Click() {
  guarded([this] {
    CatalogDefinition& def = definition();
    FileDialogRequest request;
    request.title = QStringLiteral("Input Catalog files");
    request.filters = kCatalogFilters;
    request.selectedFilter = 0;
    request.directory = rememberedDirectory(request.title);
    const QStringList files = services().openFiles(dialogParent(), request);
    if (files.isEmpty()) return;
    rememberDirectory(request.title, files.front());
    def.settings.inputfiles.clear();
    for (const QString& f : files) def.settings.inputfiles.push_back(toPath(f));
    showInputFiles();
    // A file that cannot be read as text stops here, its name in the message.
    proposeTableForm(def.settings.inputfiles.front());
    // FITS and VOTable rows are no lines: their `eol` stays as it is.
    if (!hasLineEnds(def.settings.format)) return;
    const std::optional<int> eol = EolDetector::detectEol(fileSystem(), def.settings.inputfiles.front());
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
    SpeedButton1Click();
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
}

void CatalogPage::proposeTableForm(const std::string& path) {
  const DetectedForm detected = detectTableForm(fileSystem(), expandHome(path));
  definition().settings.format = detected.form;
  definition().settings.headerrow = detected.hasHeaderRow;
  forgetTableOfOtherForms();
  showTableForm();
}

void CatalogPage::FormBoxChange() {
  const QVariant data = inputFormBox_->currentData();
  if (!data.isValid()) return;
  const auto form = static_cast<TableForm>(data.toInt());
  definition().settings.format = form;
  if (!headerRowChosen(form)) definition().settings.headerrow = form != TableForm::Fixed;
  forgetTableOfOtherForms();
  showTableForm();
}

// A table is chosen in FITS and VOTable files only; the build refuses one
// for another form, and no control of the wizard would show it.
void CatalogPage::forgetTableOfOtherForms() {
  if (!isTypedForm(definition().settings.format)) definition().settings.table.clear();
}

void CatalogPage::HeaderRowBoxClick() { definition().settings.headerrow = headerRowBox_->isChecked(); }

}  // namespace mirdal
