#include "catalog/table_form_name.h"

#include <array>

#include "util/text.h"

namespace mirdal {

namespace {

struct FormName {
  TableForm form;
  std::string_view name;
};

constexpr std::array<FormName, 11> kFormNames{{
    {TableForm::Fixed, "fixed"},
    {TableForm::Csv, "csv"},
    {TableForm::Tsv, "tsv"},
    {TableForm::Psv, "psv"},
    {TableForm::Semicolon, "ssv"},
    {TableForm::Blanks, "blanks"},
    {TableForm::Ecsv, "ecsv"},
    {TableForm::Mrt, "mrt"},
    {TableForm::Fits, "fits"},
    {TableForm::VoTable, "votable"},
    {TableForm::Ipac, "ipac"},
}};

}  // namespace

std::string_view tableFormName(TableForm form) {
  for (const FormName& f : kFormNames)
    if (f.form == form) return f.name;
  return "fixed";
}

std::optional<TableForm> parseTableForm(std::string_view name) {
  name = trimmed(name);
  for (const FormName& f : kFormNames)
    if (name.size() == f.name.size() && startsWithNoCase(name, f.name)) return f.form;
  return std::nullopt;
}

}  // namespace mirdal
