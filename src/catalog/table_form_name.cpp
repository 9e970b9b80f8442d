#include "catalog/table_form_name.h"

#include "util/text.h"

namespace mirdal {

std::optional<TableForm> parseTableForm(std::string_view name) {
  name = trimmed(name);
  for (const FormTerms& f : kFormTerms)
    if (equalNoCase(name, f.name)) return f.form;
  return std::nullopt;
}

std::string tableFormNameList() {
  std::string list;
  for (const FormTerms& f : kFormTerms) {
    if (!list.empty()) list += ", ";
    list += f.name;
  }
  return list;
}

}  // namespace mirdal
