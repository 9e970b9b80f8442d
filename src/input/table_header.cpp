#include "input/table_header.h"

#include <map>
#include <string_view>

#include "input/header_lines.h"
#include "input/table_forms.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

TableLayout readTableLayout(FileSystem& fs, const std::string& path, TableForm form, bool hasHeaderRow) {
  TableLayout layout;
  layout.form = form;
  const TableFormRow& row = tableFormRow(form);
  layout.delimiting = row.delimiting;
  if (row.openTyped != nullptr)
    throw Error(quoted(path) + ": a " + std::string(row.name()) + " table has no header of text");
  if (row.readHeader == nullptr) return layout;
  detail::HeaderLines lines(fs, path);
  row.readHeader(lines, layout, hasHeaderRow);
  layout.byteOrderMark = lines.byteOrderMark();
  // A name given twice cannot tell its columns apart.
  std::map<std::string_view, int> firstWithName;
  for (const TableColumn& column : layout.columns) {
    if (column.name.empty()) continue;
    const auto [it, isNew] = firstWithName.emplace(column.name, column.number);
    if (!isNew)
      layout.notes.push_back("columns " + std::to_string(it->second) + " and " + std::to_string(column.number) +
                             " are both named \"" + column.name + "\"");
  }
  return layout;
}

}  // namespace mirdal
