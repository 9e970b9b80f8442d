// The tooltips of the settings: what each one does, its unit and its range.

#include <QWidget>

#include "ui/main_window.h"

namespace mirdal {

namespace {

struct Tip {
  const char* control;  // objectName
  const char* text;
};

constexpr Tip kTips[] = {
    // Page 1
    {"RadioGroup1", "What the catalog holds; it decides the fields offered on page 3"},
    {"Edit4", "Names the output files (<name>.hdr, <name>01.dat ...): 1 to 4 characters,\n"
              "no \"/\", \"\\\", \"..\" or control characters"},
    {"Edit5", "The name the charting program shows for the catalog: 1 to 50 characters"},
    {"ListView1", "Filename: the input catalog files, read in this order.\n"
                  "Double-click or use the button to choose them; relative names are taken from\n"
                  "the directory Mirdal started in, else from the project file's directory"},
    {"HeaderRowBox", "Delimited forms: the first row of each file holds the column names, not an object"},
    {"RadioGroup5", "How the lines of the input files end; chosen from the first file when it is picked"},
    // Page 2
    {"RadioGroup2", "How right ascension is written: the fields offered on page 3 follow it"},
    {"RadioGroup3", "How declination is written: the fields offered on page 3 follow it"},
    {"FloatEdit1", "Equinox of the coordinates, a year (e.g. 2000); outside 1800 to 2100 Next asks first"},
    {"FloatEdit3", "Epoch of the positions, a year (e.g. 2000)"},
    {"FloatEdit2", "Faintest magnitude in the catalog, written into its header (e.g. 12)"},
    {"LongEdit1", "0..3600\nSize of an object whose size field is blank, in the unit beside it"},
    {"ComboBox1", "Unit of the default size and of size fields without a unit: degree, minute or second of arc"},
    {"CheckBox1", "Sizes are on a logarithmic scale (e.g. a flux) rather than an angle"},
    {"ComboBox3", "Object type of a line whose type field matches none of the object-type strings"},
    {"RadioGroup6", "How the outlines are drawn: as lines, splines or filled surfaces"},
    {"CheckBox7", "Each outline's last point joins its first"},
    {"LongEdit2", "0..99\nWidth of the outline lines, in pixels"},
    {"Shape1", "Click to change the color: the outline colour when no colour field gives one"},
    // Page 3
    {"FieldList", "The fields of a record: tick those the catalog has. Entries in [brackets] are\n"
                      "required. Select one to give its label, columns and calibration"},
    {"LabelEdit", "Label of the selected field in the charting program: up to 10 characters"},
    {"FirstCharEdit", "First character of the selected field in a line: a column from 1;\n"
              "or select the columns in the sample below"},
    {"LengthEdit", "Length of the selected field, in characters (0 for none)"},
    {"AlternateNameBox", "The text of this String field also goes to the name index, as another name of the object"},
    {"FormulaButton", "Calibration of the selected numeric field: value = A \xc3\x97 column + B"},
    {"SampleMemo", "The first line of the first input file, with a ruler: select columns to place the field"},
    // Page 4
    {"RadioGroup4", "How many region files the sky is divided into: more for larger catalogs"},
    {"CheckBox3", "Write <name>.idx, the names of the objects sorted for searching"},
    {"CheckBox4", "The String fields marked as alternate names go to the index too"},
    {"CheckBox5", "Alternate names in the index start with their field's label"},
    {"DirectoryEdit1Text", "Directory the catalog is written to; created when missing. A relative\n"
                           "directory is taken from the directory Mirdal started in"},
    {"CheckBox6", "Add the records to the catalog already in the output directory, which\n"
                  "must have the same layout, instead of replacing it"},
};

}  // namespace

void Form1::addToolTips() {
  for (const Tip& tip : kTips)
    if (auto* w = findChild<QWidget*>(QLatin1String(tip.control))) w->setToolTip(QString::fromUtf8(tip.text));
}

}  // namespace mirdal
