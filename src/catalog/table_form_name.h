#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
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
//
// Everything else about a form (its caption, its header reader, its typed
// opener) is in input/table_forms.h. A form added here takes a row in
// kFormTerms below and one there; both tables check their rows at compile time.
enum class TableForm { Fixed, Csv, Tsv, Psv, Semicolon, Blanks, Ecsv, Mrt, Fits, VoTable, Ipac };

// What a form's rows are made of.
//   Cut        lines of text cut at byte columns
//   Delimited  lines of text split into cells at separators
//   Typed      rows of typed cells (FITS and VOTable), not of text
enum class FormKind { Cut, Delimited, Typed };

// What a project file says with a form: its `format` name and the kind of
// its rows, which decides what the project's `eol`, `table` and slots mean.
struct FormTerms {
  TableForm form;
  std::string_view name;  // in a project file, read in any letter case
  FormKind kind;
  bool describedBytes;    // Cut at byte columns that the file's own header describes
};

// One row per form, in the order of the enum.
inline constexpr auto kFormTerms = std::to_array<FormTerms>({
    {TableForm::Fixed, "fixed", FormKind::Cut, false},
    {TableForm::Csv, "csv", FormKind::Delimited, false},
    {TableForm::Tsv, "tsv", FormKind::Delimited, false},
    {TableForm::Psv, "psv", FormKind::Delimited, false},
    {TableForm::Semicolon, "ssv", FormKind::Delimited, false},
    {TableForm::Blanks, "blanks", FormKind::Delimited, false},
    {TableForm::Ecsv, "ecsv", FormKind::Delimited, false},
    {TableForm::Mrt, "mrt", FormKind::Cut, true},
    {TableForm::Fits, "fits", FormKind::Typed, false},
    {TableForm::VoTable, "votable", FormKind::Typed, false},
    {TableForm::Ipac, "ipac", FormKind::Cut, true},
});

constexpr bool formTermsFollowTheEnum() {
  for (std::size_t i = 0; i < kFormTerms.size(); ++i)
    if (static_cast<std::size_t>(kFormTerms[i].form) != i) return false;
  return true;
}
static_assert(formTermsFollowTheEnum(), "kFormTerms holds one row per form, in the order of the enum");

// A value outside the enum (a cast of a bad number) reads as Fixed.
constexpr const FormTerms& formTerms(TableForm form) {
  const auto i = static_cast<std::size_t>(form);
  return i < kFormTerms.size() ? kFormTerms[i] : kFormTerms[0];
}

// The form's name in a project file.
constexpr std::string_view tableFormName(TableForm form) { return formTerms(form).name; }
// The form a name stands for, in any letter case, blanks around it ignored;
// nothing for an unknown name.
std::optional<TableForm> parseTableForm(std::string_view name);
// The names of every form, in the order of the enum, separated by ", ".
std::string tableFormNameList();

// Rows split into cells at separators.
constexpr bool isDelimited(TableForm form) { return formTerms(form).kind == FormKind::Delimited; }

// Rows of typed cells (FITS and VOTable), not of text.
constexpr bool isTypedForm(TableForm form) { return formTerms(form).kind == FormKind::Typed; }

// Rows are lines of text, so line ends mean something; a project's `eol`
// says nothing of typed tables.
constexpr bool hasLineEnds(TableForm form) { return !isTypedForm(form); }

// Rows cut at byte columns that the file's own header describes.
constexpr bool hasDescribedBytes(TableForm form) { return formTerms(form).describedBytes; }

// Where a field's slot points. Cut rows (Fixed, Mrt and Ipac) are cut at
// byte columns: the slot's first character and length. In every other form
// the slot's first character is the 1-based number of a column (and its
// length only the width a text takes in the record).
constexpr bool slotsNameColumns(TableForm form) { return formTerms(form).kind != FormKind::Cut; }

}  // namespace mirdal
