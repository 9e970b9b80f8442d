#include "input/typed_rows.h"

#include <charconv>

#include "util/error.h"
#include "util/text.h"

namespace mirdal {

// In fits_table.cpp and votable.cpp.
bool fitsColumnSelectable(const std::string& tform);
bool voTableColumnSelectable(const std::string& datatype);

namespace {

[[noreturn]] void noTypedCells(TableForm form, const std::string& path) {
  throw Error(quoted(path) + ": the " + std::string(tableFormName(form)) + " form has no typed cells");
}

}  // namespace

std::unique_ptr<TypedRowSource> openTypedTable(TableForm form, const std::string& path, const std::string& table,
                                               FileSystem& fs) {
  if (form == TableForm::Fits) return openFitsTable(path, table, fs);
  if (form == TableForm::VoTable) return openVoTable(path, table, fs);
  noTypedCells(form, path);
}

TableLayout readTypedLayout(TableForm form, const std::string& path, const std::string& table, FileSystem& fs) {
  if (form == TableForm::Fits) return readFitsLayout(path, table, fs);
  if (form == TableForm::VoTable) return readVoTableLayout(path, table, fs);
  noTypedCells(form, path);
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
  if (form == TableForm::Fits) return fitsColumnSelectable(column.datatype);
  if (form == TableForm::VoTable) return voTableColumnSelectable(column.datatype);
  return true;
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
