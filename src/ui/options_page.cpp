#include "ui/options_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "catalog/mapping_tables.h"
#include "ui/main_window.h"
#include "ui/widgets.h"

namespace mirdal {

namespace {

// The grid inside a group of default parameters.
QGridLayout* groupGrid(QGroupBox* box) {
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(6, 2, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  return grid;
}

// The last item of a group of options one to a row goes beside the short
// item `beside`, the others spanning both columns, so that a new option
// does not make the page taller.
void putLastBeside(RadioGroup* group, int beside) {
  auto* grid = qobject_cast<QGridLayout*>(group->layout());
  if (!grid) return;
  const int last = group->count() - 1;
  for (int i = 0; i <= last; ++i) grid->removeWidget(group->button(i));
  for (int i = 0; i < last; ++i) grid->addWidget(group->button(i), i, 0, 1, i == beside ? 1 : 2);
  grid->addWidget(group->button(last), beside, 1);
  grid->setHorizontalSpacing(2);
}

}  // namespace

OptionsPage::OptionsPage(WizardWindow& wizard, QWidget* parent)
    : WizardPage(wizard, "OptionsPage", "General catalog options", parent) {
  column()->addLayout(buildCoordinateOptions());

  // Nebula defaults and outline defaults share one place; at most one shows.
  auto* place = new QGridLayout;
  place->setContentsMargins(0, 0, 0, 0);
  column()->addLayout(place);
  column()->addStretch(1);
  place->addWidget(buildNebulaDefaults(), 0, 0);
  place->addWidget(buildOutlineDefaults(), 0, 0);
  // The place keeps its size whichever group shows, so the window does not
  // change size from one catalog type to another.
  for (QWidget* w : {static_cast<QWidget*>(nebulaDefaultsBox_), static_cast<QWidget*>(outlineDefaultsBox_)}) {
    keepPlaceWhenHidden(w);
    w->hide();
  }

  BuildSettings& s = definition().settings;
  connect(equinoxEdit_, &FloatEdit::valueChanged, this, [&s](double v) { s.equinox = v; });
  connect(epochEdit_, &FloatEdit::valueChanged, this, [&s](double v) { s.epoch = v; });
  connect(magnitudeLimitEdit_, &FloatEdit::valueChanged, this, [&s](double v) { s.magmax = v; });
  connect(nebulaSizeEdit_, &QSpinBox::valueChanged, this, [&s](int v) { s.nebsize = v; });
  connect(nebulaSizeUnitBox_, &QComboBox::currentIndexChanged, this, &OptionsPage::onNebulaSizeUnitChosen);
  connect(logarithmicSizeBox_, &QCheckBox::toggled, this, [&s](bool on) { s.neblog = on; });
  connect(nebulaTypeBox_, &QComboBox::currentIndexChanged, this, [&s](int i) {
    if (i >= 0) s.nebtype = i;
  });
  connect(drawingTypeGroup_, &RadioGroup::itemClicked, this, [&s](int i) { s.drawingtype = i; });
  connect(closedContourBox_, &QCheckBox::toggled, this, [&s](bool on) { s.closedline = on; });
  connect(lineWidthEdit_, &QSpinBox::valueChanged, this, [&s](int v) { s.linewidth = v; });
}

// Outlines have no nebula defaults, and the other types neither.
void OptionsPage::initializePage() {
  const CatalogType type = definition().type();
  nebulaDefaultsBox_->setVisible(type == CatalogType::Nebulae);
  outlineDefaultsBox_->setVisible(type == CatalogType::NebulaOutlines);
}

bool OptionsPage::validatePage() {
  const double equinox = definition().settings.equinox;
  if (equinox < 1800 || equinox > 2100)
    return services().askOkCancel(dialogParent(),
                                  QString::fromLatin1(kEquinoxQuestionPrefix) + equinoxEdit_->text() + " ?");
  return true;
}

void OptionsPage::showDefinition() {
  const BuildSettings& s = definition().settings;
  const QList<QObject*> bound = {raFormatGroup_, decFormatGroup_,   equinoxEdit_,       magnitudeLimitEdit_,
                                 epochEdit_,     nebulaSizeEdit_,   nebulaSizeUnitBox_, logarithmicSizeBox_,
                                 nebulaTypeBox_, drawingTypeGroup_, closedContourBox_,  lineWidthEdit_};
  std::vector<std::unique_ptr<QSignalBlocker>> blocks;
  for (QObject* o : bound) blocks.push_back(std::make_unique<QSignalBlocker>(o));
  raFormatGroup_->setItemIndex(s.ratype);
  decFormatGroup_->setItemIndex(s.dectype);
  equinoxEdit_->setValue(s.equinox);
  epochEdit_->setValue(s.epoch);
  magnitudeLimitEdit_->setValue(s.magmax);
  nebulaSizeEdit_->setValue(s.nebsize);
  nebulaSizeUnitBox_->setCurrentIndex(s.nebunit);
  logarithmicSizeBox_->setChecked(s.neblog);
  nebulaTypeBox_->setCurrentIndex(s.nebtype);
  drawingTypeGroup_->setItemIndex(s.drawingtype);
  closedContourBox_->setChecked(s.closedline);
  lineWidthEdit_->setValue(s.linewidth);
  lineColourSwatch_->setColour(s.linecolor);
}

void OptionsPage::commitEdits() {
  for (FloatEdit* e : {equinoxEdit_, magnitudeLimitEdit_, epochEdit_}) e->commit();
  nebulaSizeEdit_->interpretText();
  lineWidthEdit_->interpretText();
}

void OptionsPage::onNebulaSizeUnitChosen() {
  guarded([this] {
    const int unit = nebulaSizeUnitBox_->currentIndex();
    if (unit >= 0) definition().settings.nebunit = unit;
  });
}

// RA and DEC formats at the left; equinox, epoch and magnitude limit beside.
QGridLayout* OptionsPage::buildCoordinateOptions() {
  // The last of each: the whole position in one cell ("17:45:40.09", "-29 00 22.1").
  raFormatGroup_ = new RadioGroup("RA options",
                                  {"Hours, minutes, secondes", "Decimal hours", "Degrees, minutes, secondes",
                                   "Decimal degrees", "One cell"},
                                  1, this);
  raFormatGroup_->setObjectName("RaFormatGroup");
  decFormatGroup_ = new RadioGroup(
      "DEC options", {"Degrees, minutes, secondes", "Decimal degrees", "Decimal South Polar Distance", "One cell"}, 1,
      this);
  decFormatGroup_->setObjectName("DecFormatGroup");
  putLastBeside(raFormatGroup_, 1);
  putLastBeside(decFormatGroup_, 1);
  raFormatGroup_->button(4)->setToolTip("Hours, minutes and seconds in one cell: 17 45 40.09, 17:45:40.09, 17h45m40.09s");
  decFormatGroup_->button(3)->setToolTip(
      "Degrees, minutes and seconds in one cell, with their sign: -29 00 22.1, -29:00:22.1, -29d00m22.1s");

  auto floatGroup = [this](const char* boxName, const char* title, const char* editName, FloatEdit*& edit) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(boxName);
    edit = new FloatEdit(box);
    edit->setObjectName(editName);
    groupColumn(box)->addWidget(edit);
    return box;
  };
  auto* top = new QGridLayout;
  top->setSpacing(3);
  top->addWidget(raFormatGroup_, 0, 0, 3, 1);
  top->addWidget(decFormatGroup_, 3, 0, 3, 1);
  top->addWidget(floatGroup("EquinoxGroup", "Coordinates Equinox", "EquinoxEdit", equinoxEdit_), 0, 1, 2, 1);
  top->addWidget(floatGroup("EpochGroup", "Position Epoch", "EpochEdit", epochEdit_), 2, 1, 2, 1);
  top->addWidget(floatGroup("MagnitudeLimitGroup", "Maximum magnitude", "MagnitudeLimitEdit", magnitudeLimitEdit_), 4,
                 1, 2, 1);
  top->setColumnStretch(0, 1);
  return top;
}

// Size and unit, scale and object type given to every nebula, and the way to
// the tables that recognise units and object types in the file.
QGroupBox* OptionsPage::buildNebulaDefaults() {
  nebulaDefaultsBox_ = new QGroupBox("Default Nebulae parameters", this);
  nebulaDefaultsBox_->setObjectName("NebulaDefaultsBox");
  auto* g = groupGrid(nebulaDefaultsBox_);
  nebulaSizeEdit_ = new QSpinBox(nebulaDefaultsBox_);
  nebulaSizeEdit_->setObjectName("NebulaSizeEdit");
  nebulaSizeEdit_->setRange(0, kNebSizeMax);
  nebulaSizeEdit_->setToolTip("0..3600");
  nebulaSizeUnitBox_ = new QComboBox(nebulaDefaultsBox_);
  nebulaSizeUnitBox_->setObjectName("NebulaSizeUnitBox");
  nebulaSizeUnitBox_->addItems({"Degree", "Minute", "Second"});
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(nebulaSizeEdit_);
  sizeRow->addWidget(nebulaSizeUnitBox_);
  sizeRow->addStretch();
  g->addWidget(new QLabel("Dimension and Units", nebulaDefaultsBox_), 0, 0);
  g->addLayout(sizeRow, 0, 1);
  logarithmicSizeBox_ = new QCheckBox("Use a logarithmic scale", nebulaDefaultsBox_);
  logarithmicSizeBox_->setObjectName("LogarithmicSizeBox");
  g->addWidget(logarithmicSizeBox_, 1, 0, 1, 2);
  auto* note = new QLabel("(useful if the size scale represent a flux)", nebulaDefaultsBox_);
  note->setIndent(20);
  g->addWidget(note, 2, 0, 1, 2);
  nebulaTypeBox_ = new QComboBox(nebulaDefaultsBox_);
  nebulaTypeBox_->setObjectName("NebulaTypeBox");
  for (const DefaultObjectType& t : kDefaultObjectTypes) nebulaTypeBox_->addItem(bytesOf(t.name));
  nebulaTypeBox_->setMaxVisibleItems(kDefaultObjectTypeCount);
  g->addWidget(new QLabel("Object type", nebulaDefaultsBox_), 3, 0);
  g->addWidget(nebulaTypeBox_, 3, 1, Qt::AlignLeft);
  auto* editRow = new QHBoxLayout;
  auto* recognize = new QLabel("Recognize Units or\nObject type from the file", nebulaDefaultsBox_);
  objectTypesButton_ = new QPushButton("Edit Object Types", nebulaDefaultsBox_);
  objectTypesButton_->setObjectName("ObjectTypesButton");
  sizeUnitsButton_ = new QPushButton("Edit Units", nebulaDefaultsBox_);
  sizeUnitsButton_->setObjectName("SizeUnitsButton");
  editRow->addWidget(recognize);
  editRow->addStretch();
  editRow->addWidget(objectTypesButton_);
  editRow->addWidget(sizeUnitsButton_);
  g->addLayout(editRow, 4, 0, 1, 2);
  g->setColumnStretch(1, 1);
  return nebulaDefaultsBox_;
}

// How every outline is drawn: line, spline or surface, closed or not, its
// width and colour, and the way to the line-operation and colour tables.
QGroupBox* OptionsPage::buildOutlineDefaults() {
  outlineDefaultsBox_ = new QGroupBox("Default Outline parameters", this);
  outlineDefaultsBox_->setObjectName("OutlineDefaultsBox");
  auto* g = groupGrid(outlineDefaultsBox_);
  drawingTypeGroup_ = new RadioGroup("Drawing Type", {"Line", "Spline", "Surface"}, 3, outlineDefaultsBox_);
  drawingTypeGroup_->setObjectName("DrawingTypeGroup");
  g->addWidget(drawingTypeGroup_, 0, 0, 1, 4);
  closedContourBox_ = new QCheckBox("Closed contour", outlineDefaultsBox_);
  closedContourBox_->setObjectName("ClosedContourBox");
  g->addWidget(closedContourBox_, 1, 0, 1, 4);
  lineWidthEdit_ = new QSpinBox(outlineDefaultsBox_);
  lineWidthEdit_->setObjectName("LineWidthEdit");
  lineWidthEdit_->setRange(0, kLineWidthMax);
  lineWidthEdit_->setToolTip("0..99");
  lineColourSwatch_ = new ColourSwatch(outlineDefaultsBox_);
  lineColourSwatch_->setObjectName("LineColourSwatch");
  lineColourSwatch_->setFixedSize(22, 22);
  auto* widthRow = new QHBoxLayout;
  widthRow->addWidget(new QLabel("Line width ", outlineDefaultsBox_));
  widthRow->addWidget(lineWidthEdit_);
  widthRow->addSpacing(24);
  widthRow->addWidget(new QLabel("Color ", outlineDefaultsBox_));
  widthRow->addWidget(lineColourSwatch_);
  widthRow->addStretch(1);
  g->addLayout(widthRow, 2, 0, 1, 4);
  auto* editRow = new QHBoxLayout;
  lineOperationsButton_ = new QPushButton("Edit Line operation", outlineDefaultsBox_);
  lineOperationsButton_->setObjectName("LineOperationsButton");
  coloursButton_ = new QPushButton("Edit Color", outlineDefaultsBox_);
  coloursButton_->setObjectName("ColoursButton");
  editRow->addStretch();
  editRow->addWidget(lineOperationsButton_);
  editRow->addWidget(coloursButton_);
  g->addLayout(editRow, 3, 0, 1, 4);
  g->setColumnStretch(1, 1);
  return outlineDefaultsBox_;
}

}  // namespace mirdal
