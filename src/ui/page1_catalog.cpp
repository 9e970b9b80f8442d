// Page 1: the catalog's type and names, its input files, their form and
// their line end.

#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "input/table_form.h"
#include "ui/qt_text.h"
#include "ui/widgets.h"
#include "ui/wizard_pages.h"
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
    {TableForm::Fits, "FITS binary table"},
    {TableForm::VoTable, "VOTable"},
};

// The user says whether the first row names the columns only where the
// form leaves it open: ECSV and MRT headers always describe them, fixed
// columns never have names.
bool headerRowChosen(TableForm form) { return isDelimited(form) && form != TableForm::Ecsv; }

}  // namespace

void Form1::buildPage1(QWidget* page) {
  auto* column = pageColumn(page);

  RadioGroup1 = new RadioGroup("Catalog type",
                               {catalogTypeCaption(CatalogType::Stars), catalogTypeCaption(CatalogType::VariableStars),
                                catalogTypeCaption(CatalogType::DoubleStars), catalogTypeCaption(CatalogType::Nebulae),
                                catalogTypeCaption(CatalogType::NebulaOutlines)},
                               1, page);
  RadioGroup1->setObjectName("RadioGroup1");
  column->addWidget(RadioGroup1);

  column->addLayout(buildCatalogNames(page));

  auto* filesRow = new QHBoxLayout;
  filesRow->addWidget(new QLabel("Input Catalog files", page));
  filesRow->addStretch();
  auto* choose = new QToolButton(page);
  choose->setObjectName("SpeedButton1");
  choose->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  choose->setToolTip("Choose the input catalog files");
  SpeedButton1 = choose;
  filesRow->addWidget(choose);
  column->addLayout(filesRow);
  ListView1 = new QListWidget(page);
  ListView1->setObjectName("ListView1");
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setMinimumHeight(3 * ListView1->fontMetrics().height() + 8);
  ListView1->setToolTip("Filename");
  column->addWidget(ListView1, 1);

  auto* formRow = new QHBoxLayout;
  FormBox = new QComboBox(page);
  FormBox->setObjectName("FormBox");
  for (const OfferedForm& f : kOfferedForms) FormBox->addItem(QString::fromLatin1(f.caption), static_cast<int>(f.form));
  FormBox->setToolTip("How the rows of the input files are written; proposed from the first file");
  // Long captions are elided rather than widening the page.
  FormBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  FormBox->setMinimumContentsLength(14);
  auto* formLabel = new QLabel("Input form", page);
  formLabel->setBuddy(FormBox);
  HeaderRowBox = new QCheckBox("First row names the columns", page);
  HeaderRowBox->setObjectName("HeaderRowBox");
  formRow->addWidget(formLabel);
  formRow->addWidget(FormBox, 1);
  column->addLayout(formRow);
  column->addWidget(HeaderRowBox);

  RadioGroup5 = new RadioGroup("Input Catalog End of Line Format",
                               {QStringLiteral("CR  x'0D'"), QStringLiteral("LF   x'0A'"),
                                QStringLiteral("CR+LF  x'0D0A'")},
                               3, page);
  RadioGroup5->setObjectName("RadioGroup5");
  column->addWidget(RadioGroup5);

  connect(RadioGroup1, &RadioGroup::itemClicked, this, &Form1::RadioGroup1Click);
  connect(Edit4, &QLineEdit::textChanged, this, [this](const QString& t) { def_.settings.shortname = toBytes(t); });
  connect(Edit5, &QLineEdit::textChanged, this, [this](const QString& t) { def_.settings.longname = toBytes(t); });
  connect(choose, &QToolButton::clicked, this, &Form1::SpeedButton1Click);
  // A double-click anywhere in the list, rows or empty space: eventFilter.
  ListView1->viewport()->installEventFilter(this);
  connect(RadioGroup5, &RadioGroup::itemClicked, this, [this](int i) { def_.settings.eol = i; });
  connect(FormBox, &QComboBox::activated, this, &Form1::FormBoxChange);
  connect(HeaderRowBox, &QCheckBox::clicked, this, &Form1::HeaderRowBoxClick);
}

void Form1::showTableForm() {
  const QSignalBlocker blockForm(FormBox);
  const QSignalBlocker blockHeader(HeaderRowBox);
  const TableForm form = def_.settings.format;
  int index = FormBox->findData(static_cast<int>(form));
  if (index < 0) {
    // A project of a form this list does not offer keeps it, under its name.
    FormBox->addItem(bytesOf(tableFormName(form)), static_cast<int>(form));
    index = FormBox->count() - 1;
  }
  FormBox->setCurrentIndex(index);
  HeaderRowBox->setChecked(def_.settings.headerrow);
  HeaderRowBox->setEnabled(headerRowChosen(form));
}

void Form1::proposeTableForm(const std::string& path) {
  const DetectedForm detected = detectTableForm(fs_, expandHome(path));
  def_.settings.format = detected.form;
  def_.settings.headerrow = detected.hasHeaderRow;
  showTableForm();
}

void Form1::FormBoxChange() {
  const QVariant data = FormBox->currentData();
  if (!data.isValid()) return;
  const auto form = static_cast<TableForm>(data.toInt());
  def_.settings.format = form;
  if (!headerRowChosen(form)) def_.settings.headerrow = form != TableForm::Fixed;
  showTableForm();
}

void Form1::HeaderRowBoxClick() { def_.settings.headerrow = HeaderRowBox->isChecked(); }

// The short name, a few characters wide, and the long name below it.
QGridLayout* Form1::buildCatalogNames(QWidget* page) {
  auto* names = new QGridLayout;
  names->setHorizontalSpacing(8);
  names->setVerticalSpacing(4);
  Edit4 = new QLineEdit(page);
  Edit4->setObjectName("Edit4");
  Edit4->setMaxLength(kShortNameMaxLength);
  Edit4->setMaximumWidth(Edit4->fontMetrics().horizontalAdvance(QStringLiteral("WWWWWW")) + 12);
  Edit5 = new QLineEdit(page);
  Edit5->setObjectName("Edit5");
  Edit5->setMaxLength(kLongNameMaxLength);
  auto* shortLabel = new QLabel("Catalog short name", page);
  shortLabel->setBuddy(Edit4);
  auto* longLabel = new QLabel("Catalog long name", page);
  longLabel->setBuddy(Edit5);
  names->addWidget(shortLabel, 0, 0);
  names->addWidget(Edit4, 0, 1, Qt::AlignLeft);
  names->addWidget(longLabel, 1, 0);
  names->addWidget(Edit5, 1, 1);
  names->setColumnStretch(1, 1);
  return names;
}

}  // namespace mirdal
