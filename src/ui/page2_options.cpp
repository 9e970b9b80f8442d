// Page 2: how positions are written, equinox, epoch and magnitude limit, and
// the defaults of nebulae or of outlines, whichever the catalog holds.

#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "catalog/mapping_tables.h"
#include "ui/widgets.h"
#include "ui/wizard_pages.h"

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

}  // namespace

void Form1::buildPage2(QWidget* page) {
  auto* column = pageColumn(page);
  column->addLayout(buildCoordinateOptions(page));

  // Nebula defaults and outline defaults share one place; at most one shows.
  auto* place = new QGridLayout;
  place->setContentsMargins(0, 0, 0, 0);
  column->addLayout(place);
  column->addStretch(1);
  place->addWidget(buildNebulaDefaults(page), 0, 0);
  place->addWidget(buildOutlineDefaults(page), 0, 0);
  // The place keeps its size whichever group shows, so the window does not
  // change size from one catalog type to another.
  for (QWidget* w : {static_cast<QWidget*>(GroupBox5), static_cast<QWidget*>(GroupBox7)}) {
    keepPlaceWhenHidden(w);
    w->hide();
  }

  connect(RadioGroup2, &RadioGroup::itemClicked, this, &Form1::RadioGroup1Click);
  connect(RadioGroup3, &RadioGroup::itemClicked, this, &Form1::RadioGroup1Click);
  connect(FloatEdit1, &FloatEdit::valueChanged, this, [this](double v) { def_.settings.equinox = v; });
  connect(FloatEdit3, &FloatEdit::valueChanged, this, [this](double v) { def_.settings.epoch = v; });
  connect(FloatEdit2, &FloatEdit::valueChanged, this, [this](double v) { def_.settings.magmax = v; });
  connect(LongEdit1, &QSpinBox::valueChanged, this, [this](int v) { def_.settings.nebsize = v; });
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, &Form1::ComboBox1Change);
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { def_.settings.neblog = on; });
  connect(ComboBox3, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0) def_.settings.nebtype = i;
  });
  connect(RadioGroup6, &RadioGroup::itemClicked, this, [this](int i) { def_.settings.drawingtype = i; });
  connect(CheckBox7, &QCheckBox::toggled, this, [this](bool on) { def_.settings.closedline = on; });
  connect(LongEdit2, &QSpinBox::valueChanged, this, [this](int v) { def_.settings.linewidth = v; });
}

// RA and DEC formats at the left; equinox, epoch and magnitude limit beside.
QGridLayout* Form1::buildCoordinateOptions(QWidget* page) {
  RadioGroup2 = new RadioGroup("RA options",
                               {"Hours, minutes, secondes", "Decimal hours", "Degrees, minutes, secondes",
                                "Decimal degrees"},
                               1, page);
  RadioGroup2->setObjectName("RadioGroup2");
  RadioGroup3 = new RadioGroup(
      "DEC options", {"Degrees, minutes, secondes", "Decimal degrees", "Decimal South Polar Distance"}, 1, page);
  RadioGroup3->setObjectName("RadioGroup3");

  auto floatGroup = [page](const char* boxName, const char* title, const char* editName, FloatEdit*& edit) {
    auto* box = new QGroupBox(title, page);
    box->setObjectName(boxName);
    edit = new FloatEdit(box);
    edit->setObjectName(editName);
    groupColumn(box)->addWidget(edit);
    return box;
  };
  auto* top = new QGridLayout;
  top->setSpacing(3);
  top->addWidget(RadioGroup2, 0, 0, 3, 1);
  top->addWidget(RadioGroup3, 3, 0, 3, 1);
  top->addWidget(floatGroup("GroupBox1", "Coordinates Equinox", "FloatEdit1", FloatEdit1), 0, 1, 2, 1);
  top->addWidget(floatGroup("GroupBox2", "Position Epoch", "FloatEdit3", FloatEdit3), 2, 1, 2, 1);
  top->addWidget(floatGroup("GroupBox4", "Maximum magnitude", "FloatEdit2", FloatEdit2), 4, 1, 2, 1);
  top->setColumnStretch(0, 1);
  return top;
}

// Size and unit, scale and object type given to every nebula, and the way to
// the tables that recognise units and object types in the file.
QGroupBox* Form1::buildNebulaDefaults(QWidget* page) {
  GroupBox5 = new QGroupBox("Default Nebulae parameters", page);
  GroupBox5->setObjectName("GroupBox5");
  auto* g = groupGrid(GroupBox5);
  LongEdit1 = new QSpinBox(GroupBox5);
  LongEdit1->setObjectName("LongEdit1");
  LongEdit1->setRange(0, kNebSizeMax);
  LongEdit1->setToolTip("0..3600");
  ComboBox1 = new QComboBox(GroupBox5);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->addItems({"Degree", "Minute", "Second"});
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(LongEdit1);
  sizeRow->addWidget(ComboBox1);
  sizeRow->addStretch();
  g->addWidget(new QLabel("Dimension and Units", GroupBox5), 0, 0);
  g->addLayout(sizeRow, 0, 1);
  CheckBox1 = new QCheckBox("Use a logarithmic scale", GroupBox5);
  CheckBox1->setObjectName("CheckBox1");
  g->addWidget(CheckBox1, 1, 0, 1, 2);
  auto* note = new QLabel("(useful if the size scale represent a flux)", GroupBox5);
  note->setIndent(20);
  g->addWidget(note, 2, 0, 1, 2);
  ComboBox3 = new QComboBox(GroupBox5);
  ComboBox3->setObjectName("ComboBox3");
  for (const DefaultObjectType& t : kDefaultObjectTypes) ComboBox3->addItem(bytesOf(t.name));
  ComboBox3->setMaxVisibleItems(kDefaultObjectTypeCount);
  g->addWidget(new QLabel("Object type", GroupBox5), 3, 0);
  g->addWidget(ComboBox3, 3, 1, Qt::AlignLeft);
  auto* editRow = new QHBoxLayout;
  auto* recognize = new QLabel("Recognize Units or\nObject type from the file", GroupBox5);
  auto* button3 = new QPushButton("Edit Object Types", GroupBox5);
  button3->setObjectName("Button3");
  auto* button6 = new QPushButton("Edit Units", GroupBox5);
  button6->setObjectName("Button6");
  editRow->addWidget(recognize);
  editRow->addStretch();
  editRow->addWidget(button3);
  editRow->addWidget(button6);
  g->addLayout(editRow, 4, 0, 1, 2);
  g->setColumnStretch(1, 1);
  connect(button3, &QPushButton::clicked, this, &Form1::Button3Click);
  connect(button6, &QPushButton::clicked, this, &Form1::Button6Click);
  return GroupBox5;
}

// How every outline is drawn: line, spline or surface, closed or not, its
// width and colour, and the way to the line-operation and colour tables.
QGroupBox* Form1::buildOutlineDefaults(QWidget* page) {
  GroupBox7 = new QGroupBox("Default Outline parameters", page);
  GroupBox7->setObjectName("GroupBox7");
  auto* g = groupGrid(GroupBox7);
  RadioGroup6 = new RadioGroup("Drawing Type", {"Line", "Spline", "Surface"}, 3, GroupBox7);
  RadioGroup6->setObjectName("RadioGroup6");
  g->addWidget(RadioGroup6, 0, 0, 1, 4);
  CheckBox7 = new QCheckBox("Closed contour", GroupBox7);
  CheckBox7->setObjectName("CheckBox7");
  g->addWidget(CheckBox7, 1, 0, 1, 4);
  LongEdit2 = new QSpinBox(GroupBox7);
  LongEdit2->setObjectName("LongEdit2");
  LongEdit2->setRange(0, kLineWidthMax);
  LongEdit2->setToolTip("0..99");
  Shape1 = new ColourSwatch(GroupBox7);
  Shape1->setObjectName("Shape1");
  Shape1->setFixedSize(22, 22);
  auto* widthRow = new QHBoxLayout;
  widthRow->addWidget(new QLabel("Line width ", GroupBox7));
  widthRow->addWidget(LongEdit2);
  widthRow->addSpacing(24);
  widthRow->addWidget(new QLabel("Color ", GroupBox7));
  widthRow->addWidget(Shape1);
  widthRow->addStretch(1);
  g->addLayout(widthRow, 2, 0, 1, 4);
  auto* editRow = new QHBoxLayout;
  auto* button9 = new QPushButton("Edit Line operation", GroupBox7);
  button9->setObjectName("Button9");
  auto* button11 = new QPushButton("Edit Color", GroupBox7);
  button11->setObjectName("Button11");
  editRow->addStretch();
  editRow->addWidget(button9);
  editRow->addWidget(button11);
  g->addLayout(editRow, 3, 0, 1, 4);
  g->setColumnStretch(1, 1);
  connect(button9, &QPushButton::clicked, this, &Form1::Button9Click);
  connect(button11, &QPushButton::clicked, this, &Form1::Button11Click);
  connect(Shape1, &ColourSwatch::mouseReleased, this, &Form1::Shape1MouseUp);
  return GroupBox7;
}

}  // namespace mirdal
