#pragma once

#include <optional>
#include <string_view>

namespace mirdal {

// How the rows of an input catalog are written.
//
//   Fixed      each field at a byte column of the line (the catalog definition's slots)
//   Csv        comma-separated, cells in double quotes where they hold a comma or a quote
//   Tsv        tab-separated; archives put a row of names, one of units and one of dashes first
//   Psv        `|`-separated
//   Semicolon  `;`-separated
//   Blanks     cells separated by runs of blanks
//   Ecsv       a `# %ECSV 1.0` line and a `# `-prefixed YAML header describing the columns,
//              then a row of names and the rows, separated by blanks (or commas)
//   Mrt        a "Byte-by-byte Description" header, then fixed-column rows in the same file
//   Ipac       `\key = value` lines, up to four `|`-delimited header lines (names, types,
//              units, null markers), then fixed-column rows whose cells lie under the header's cells
//   Fits       a binary table extension of a FITS file
//   VoTable    a TABLE of a VOTable XML document
enum class TableForm { Fixed, Csv, Tsv, Psv, Semicolon, Blanks, Ecsv, Mrt, Fits, VoTable, Ipac };

// The form's name in a project file: "fixed", "csv", "tsv", "psv", "ssv",
// "blanks", "ecsv", "mrt", "fits", "votable", "ipac".
std::string_view tableFormName(TableForm form);
// The form a name stands for, in any letter case, blanks around it ignored;
// nothing for an unknown name.
std::optional<TableForm> parseTableForm(std::string_view name);

// Rows split into cells at separators.
constexpr bool isDelimited(TableForm form) {
  return form != TableForm::Fixed && form != TableForm::Mrt && form != TableForm::Ipac && form != TableForm::Fits &&
         form != TableForm::VoTable;
}

// Rows of typed cells (FITS and VOTable), not of text.
constexpr bool isTypedForm(TableForm form) { return form == TableForm::Fits || form == TableForm::VoTable; }

// Rows are lines of text, so line ends mean something; a project's `eol`
// says nothing of typed tables.
constexpr bool hasLineEnds(TableForm form) { return !isTypedForm(form); }

// Rows cut at byte columns that the file's own header describes.
constexpr bool hasDescribedBytes(TableForm form) { return form == TableForm::Mrt || form == TableForm::Ipac; }

// Where a field's slot points. Fixed, Mrt and Ipac rows are cut at byte columns:
// the slot's first character and length. In every other form the slot's
// first character is the 1-based number of a column (and its length only
// the width a text takes in the record).
constexpr bool slotsNameColumns(TableForm form) { return form != TableForm::Fixed && !hasDescribedBytes(form); }

}  // namespace mirdal
