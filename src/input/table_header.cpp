#include "input/table_header.h"

#include <map>
#include <string_view>

#include "input/delimited_header.h"
#include "input/ecsv_header.h"
#include "input/header_lines.h"
#include "input/ipac_header.h"
#include "input/mrt_header.h"

namespace mirdal {

TableLayout readTableLayout(FileSystem& fs, const std::string& path, TableForm form, bool hasHeaderRow) {
  TableLayout layout;
  layout.form = form;
  layout.delimiting = delimitingOf(form);
  if (form == TableForm::Fixed) return layout;
  detail::HeaderLines lines(fs, path);
  switch (form) {
    case TableForm::Ecsv:
      detail::readEcsvHeader(lines, layout);
      break;
    case TableForm::Mrt:
      detail::readMrtHeader(lines, layout);
      break;
    case TableForm::Ipac:
      detail::readIpacHeader(lines, layout);
      break;
    default:
      detail::readDelimitedHeader(lines, layout, hasHeaderRow);
      break;
  }
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
