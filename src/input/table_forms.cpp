#include "input/table_forms.h"

#include <array>

#include "input/delimited_header.h"
#include "input/ecsv_header.h"
#include "input/header_lines.h"
#include "input/ipac_header.h"
#include "input/mrt_header.h"

namespace mirdal {

// In fits_table.cpp and votable.cpp.
bool fitsColumnSelectable(const std::string& tform);
bool voTableColumnSelectable(const std::string& datatype);

namespace {

void readSeparatedHeader(detail::HeaderLines& lines, TableLayout& layout, bool hasHeaderRow) {
  detail::readDelimitedHeader(lines, layout, hasHeaderRow);
}
void readEcsv(detail::HeaderLines& lines, TableLayout& layout, bool) { detail::readEcsvHeader(lines, layout); }
void readMrt(detail::HeaderLines& lines, TableLayout& layout, bool) { detail::readMrtHeader(lines, layout); }
void readIpac(detail::HeaderLines& lines, TableLayout& layout, bool) { detail::readIpacHeader(lines, layout); }

constexpr Delimiting kCommas{',', false};
constexpr Delimiting kBlankRuns{' ', true};

constexpr std::array<TableFormRow, kFormTerms.size()> kTableForms{{
    {TableForm::Fixed, "Fixed columns", kCommas, nullptr, nullptr, nullptr, nullptr},
    {TableForm::Csv, "CSV (comma-separated)", kCommas, readSeparatedHeader, nullptr, nullptr, nullptr},
    {TableForm::Tsv, "TSV (tab-separated)", {'\t', false}, readSeparatedHeader, nullptr, nullptr, nullptr},
    {TableForm::Psv, "|-separated", {'|', false}, readSeparatedHeader, nullptr, nullptr, nullptr},
    {TableForm::Semicolon, ";-separated", {';', false}, readSeparatedHeader, nullptr, nullptr, nullptr},
    {TableForm::Blanks, "Blank-separated", kBlankRuns, readSeparatedHeader, nullptr, nullptr, nullptr},
    {TableForm::Ecsv, "ECSV", kBlankRuns, readEcsv, nullptr, nullptr, nullptr},
    {TableForm::Mrt, "MRT (machine-readable table)", kCommas, readMrt, nullptr, nullptr, nullptr},
    {TableForm::Ipac, "IPAC table", kCommas, readIpac, nullptr, nullptr, nullptr},
    {TableForm::Fits, "FITS binary table", kCommas, nullptr, openFitsTable, readFitsLayout, fitsColumnSelectable},
    {TableForm::VoTable, "VOTable", kCommas, nullptr, openVoTable, readVoTableLayout, voTableColumnSelectable},
}};

// Each form has one row, with the readers its kind needs: delimited text
// and text cut where its own header says need a header reader, typed rows
// an opener and nothing else.
constexpr bool rowsSuitTheirForms() {
  std::array<bool, kFormTerms.size()> seen{};
  for (const TableFormRow& row : kTableForms) {
    const auto i = static_cast<std::size_t>(row.form);
    if (i >= seen.size() || seen[i]) return false;
    seen[i] = true;
    const FormTerms& terms = kFormTerms[i];
    const bool typed = terms.kind == FormKind::Typed;
    if (typed != (row.openTyped != nullptr) || typed != (row.readTypedLayout != nullptr) ||
        typed != (row.columnSelectable != nullptr))
      return false;
    if (!typed && row.readHeader == nullptr && (terms.kind == FormKind::Delimited || terms.describedBytes))
      return false;
    if (typed && row.readHeader != nullptr) return false;
  }
  return true;
}
// Under AddressSanitizer GCC does not take the address of a function of
// another file as a constant; the table's test checks the same rows there.
#if !defined(__SANITIZE_ADDRESS__)
static_assert(rowsSuitTheirForms(), "kTableForms holds one row per form, with the readers its kind needs");
#endif

}  // namespace

std::span<const TableFormRow> tableForms() { return kTableForms; }

const TableFormRow& tableFormRow(TableForm form) {
  for (const TableFormRow& row : kTableForms)
    if (row.form == form) return row;
  return kTableForms.front();
}

std::string listedFormNames(std::span<const TableForm> forms) {
  std::string list;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    if (i > 0) list += i + 1 == forms.size() ? " or " : ", ";
    list += tableFormName(forms[i]);
  }
  return list;
}

}  // namespace mirdal
