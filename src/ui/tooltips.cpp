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
    {"CatalogTypeGroup", "What the catalog holds; it decides the fields offered on page 3"},
    {"ShortNameEdit", "Names the output files (<name>.hdr, <name>01.dat ...): 1 to 4 characters,\n"
              "no \"/\", \"\\\", \"..\" or control characters"},
    {"LongNameEdit", "The name the charting program shows for the catalog: 1 to 50 characters"},
    {"InputFileList", "Filename: the input catalog files, read in this order.\n"
                  "Double-click or use the button to choose them; relative names are taken from\n"
                  "the directory Mirdal started in, else from the project file's directory"},
    {"HeaderRowBox", "Delimited forms: the first row of each file holds the column names, not an object"},
    {"LineEndGroup", "How the lines of the input files end; chosen from the first file when it is picked"},
    // Page 2
    {"RaFormatGroup", "How right ascension is written: the fields offered on page 3 follow it"},
    {"DecFormatGroup", "How declination is written: the fields offered on page 3 follow it"},
    {"EquinoxEdit", "Equinox of the coordinates, a year (e.g. 2000); outside 1800 to 2100 Next asks first"},
    {"EpochEdit", "Epoch of the positions, a year (e.g. 2000)"},
    {"MagnitudeLimitEdit", "Faintest magnitude in the catalog, written into its header (e.g. 12)"},
    {"NebulaSizeEdit", "0..3600\nSize of an object whose size field is blank, in the unit beside it"},
    {"NebulaSizeUnitBox",
     "Unit of the default size and of size fields without a unit: degree, minute or second of arc"},
    {"LogarithmicSizeBox", "Sizes are on a logarithmic scale (e.g. a flux) rather than an angle"},
    {"NebulaTypeBox", "Object type of a line whose type field matches none of the object-type strings"},
    {"DrawingTypeGroup", "How the outlines are drawn: as lines, splines or filled surfaces"},
    {"ClosedContourBox", "Each outline's last point joins its first"},
    {"LineWidthEdit", "0..99\nWidth of the outline lines, in pixels"},
    {"LineColourSwatch", "Click to change the color: the outline colour when no colour field gives one"},
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
    {"RegionCountGroup", "How many region files the sky is divided into: more for larger catalogs"},
    {"CreateIndexBox", "Write <name>.idx, the names of the objects sorted for searching"},
    {"AlternateNamesBox", "The String fields marked as alternate names go to the index too"},
    {"PrefixAlternateNamesBox", "Alternate names in the index start with their field's label"},
    {"DirectoryText", "Directory the catalog is written to; created when missing. A relative\n"
                           "directory is taken from the directory Mirdal started in"},
    {"AppendBox", "Add the records to the catalog already in the output directory, which\n"
                  "must have the same layout, instead of replacing it"},
};

}  // namespace

void WizardWindow::addToolTips() {
  for (const Tip& tip : kTips)
    if (auto* w = findChild<QWidget*>(QLatin1String(tip.control))) w->setToolTip(QString::fromUtf8(tip.text));
}

}  // namespace mirdal
