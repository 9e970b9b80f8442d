#include "input/typed_rows.h"

#include <charconv>

#include "input/table_forms.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

[[noreturn]] void noTypedCells(TableForm form, const std::string& path) {
  throw Error(quoted(path) + ": the " + std::string(tableFormName(form)) + " form has no typed cells");
}

}  // namespace

std::unique_ptr<TypedRowSource> openTypedTable(TableForm form, const std::string& path, const std::string& table,
                                               FileSystem& fs) {
  const TableFormRow& row = tableFormRow(form);
  if (row.openTyped == nullptr) noTypedCells(form, path);
  return row.openTyped(path, table, fs);
}

TableLayout readTypedLayout(TableForm form, const std::string& path, const std::string& table, FileSystem& fs) {
  const TableFormRow& row = tableFormRow(form);
  if (row.readTypedLayout == nullptr) noTypedCells(form, path);
  return row.readTypedLayout(path, table, fs);
}

std::string cellText(const TableCell& cell) {
  char buf[32];
  switch (cell.kind) {
    case TableCell::Kind::Real: {
      auto r = std::to_chars(buf, buf + sizeof buf, cell.real);
      return std::string(buf, r.ptr);
    }
    case TableCell::Kind::Integer: {
      auto r = std::to_chars(buf, buf + sizeof buf, cell.integer);
      return std::string(buf, r.ptr);
    }
    case TableCell::Kind::Text: return std::string(cell.text);
    case TableCell::Kind::Missing: break;
  }
  return {};
}

bool isSelectableColumn(const TableColumn& column, TableForm form) {
  const TableFormRow& row = tableFormRow(form);
  return row.columnSelectable == nullptr || row.columnSelectable(column.datatype);
}

std::vector<std::string> sampleRow(TypedRowSource& source) {
  const auto& columns = source.layout().columns;
  std::vector<int> numbers;
  for (const auto& c : columns)
    if (isSelectableColumn(c, source.layout().form)) numbers.push_back(c.number);
  source.selectColumns(numbers);
  std::vector<TableCell> cells;
  if (source.readRows(cells, 1) == 0) return {};
  std::vector<std::string> out(columns.size());
  for (std::size_t i = 0; i < numbers.size(); ++i) out[static_cast<std::size_t>(numbers[i] - 1)] = cellText(cells[i]);
  return out;
}

}  // namespace mirdal
