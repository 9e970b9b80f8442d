#include "input/cell_columns.h"

#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

// A cell that starts as numbers do ("12", "-0.5", "+.3") holds no missing
// marker: most position cells are told so without a compare.
bool startsLikeANumber(std::string_view cell) {
  std::size_t i = 0;
  if (i < cell.size() && (cell[i] == '-' || cell[i] == '+')) ++i;
  if (i < cell.size() && cell[i] == '.') ++i;
  return i < cell.size() && isAsciiDigit(cell[i]);
}

// The 1-based number of the column named `name`, 0 when none is.
int columnNamed(const TableLayout& layout, std::string_view name) {
  for (const TableColumn& c : layout.columns)
    if (c.name == name) return c.number;
  for (const TableColumn& c : layout.columns)
    if (equalNoCase(c.name, name)) return c.number;
  return 0;
}

bool hasNames(const TableLayout& layout) {
  for (const TableColumn& c : layout.columns)
    if (!c.name.empty()) return true;
  return false;
}

std::string fieldLabel(const CatalogDefinition& definition, int position) {
  const std::string& label = definition.labelOfPosition(position);
  if (!label.empty()) return "\"" + label + "\"";
  return "\"" + std::string(trimmed(definition.fields().entry(position).text)) + "\"";
}

}  // namespace

FileColumns resolveColumns(const CatalogDefinition& definition, const std::vector<int>& positions,
                           const TableLayout& layout, const std::string& path) {
  FileColumns out;
  const bool named = hasNames(layout);
  const int columnCount = static_cast<int>(layout.columns.size());
  for (int p : positions) {
    if (p < 0 || p >= kSlotCount) continue;
    const FieldSlot& slot = definition.fieldSlots[static_cast<std::size_t>(p)];
    if (slot.firstChar < 1 || slot.length < 1) continue;
    int number = slot.firstChar;
    const std::string& name = definition.fieldNames[static_cast<std::size_t>(p)];
    if (named && !name.empty()) {
      number = columnNamed(layout, name);
      if (number == 0)
        throw Error("\"" + path + "\" has no column named \"" + name + "\", which the field " +
                    fieldLabel(definition, p) + " reads");
    } else if (columnCount > 0 && number > columnCount) {
      throw Error("The field " + fieldLabel(definition, p) + " reads column " + std::to_string(number) + ", but \"" +
                  path + "\" has " + std::to_string(columnCount) + " columns");
    }
    out.cell[static_cast<std::size_t>(p)] = number - 1;
    out.cellsNeeded = std::max(out.cellsNeeded, number);
  }
  return out;
}

std::string rowRefusalText(RowRefusal refusal, int cells, int cellsNeeded) {
  switch (refusal) {
    case RowRefusal::None:
      return "";
    case RowRefusal::OpenQuote:
      return std::string(rowStatusText(RowStatus::OpenQuote));
    case RowRefusal::TextAfterQuote:
      return std::string(rowStatusText(RowStatus::TextAfterQuote));
    case RowRefusal::TooManyCells:
      return std::string(rowStatusText(RowStatus::TooManyCells));
    case RowRefusal::TooLong:
      return std::string(rowStatusText(RowStatus::TooLong));
    case RowRefusal::FewerCells:
      return "it has " + std::to_string(cells) + (cells == 1 ? " cell" : " cells") +
             " where the fields read up to column " + std::to_string(cellsNeeded);
    case RowRefusal::MissingRa:
      return "the right ascension is missing";
    case RowRefusal::MissingDec:
      return "the declination is missing";
  }
  return "";
}

CellPlacer::CellPlacer(Delimiting delimiting, const FileColumns& columns,
                       const std::array<bool, kSlotCount>& textSlots)
    : splitter_(delimiting), columns_(columns), textSlots_(textSlots) {
  splitter_.setCellLimit(static_cast<std::size_t>(columns_.cellsNeeded));
  for (int p = 0; p < kSlotCount; ++p)
    if (columns_.cell[static_cast<std::size_t>(p)] >= 0) reading_.push_back(p);
}

void CellPlacer::refuseMissing(std::uint64_t raSlots, std::uint64_t decSlots) {
  positionCells_.clear();
  for (int p : reading_) {
    const std::uint64_t bit = std::uint64_t{1} << p;
    if ((raSlots | decSlots) & bit) positionCells_.emplace_back(p, (raSlots & bit) != 0);
  }
}

RowRefusal CellPlacer::place(std::string_view line, const FieldSlot* base, FieldSlot* slots, std::string_view& text) {
  switch (splitter_.split(line)) {
    case RowStatus::Ok: break;
    case RowStatus::OpenQuote: return RowRefusal::OpenQuote;
    case RowStatus::TextAfterQuote: return RowRefusal::TextAfterQuote;
    case RowStatus::TooManyCells: return RowRefusal::TooManyCells;
    case RowStatus::TooLong: return RowRefusal::TooLong;
  }
  if (static_cast<int>(splitter_.size()) < columns_.cellsNeeded) return RowRefusal::FewerCells;
  for (const auto& [p, ra] : positionCells_) {
    const std::string_view cell = splitter_.cell(static_cast<std::size_t>(columns_.cell[static_cast<std::size_t>(p)]));
    if (!startsLikeANumber(cell) && isMissingNumber(cell)) return ra ? RowRefusal::MissingRa : RowRefusal::MissingDec;
  }
  text = line;
  bool copied = false;
  for (int p : reading_) {
    FieldSlot& slot = slots[p];
    slot = base[p];
    const int c = columns_.cell[static_cast<std::size_t>(p)];
    const CellSpan& span = splitter_.spans()[static_cast<std::size_t>(c)];
    std::size_t offset = span.offset;
    const std::string_view cell = splitter_.cell(static_cast<std::size_t>(c));
    if (textSlots_[static_cast<std::size_t>(p)] && !span.quoted && isMissingCell(cell)) {
      slot.length = 0;
      continue;
    }
    if (span.unescaped) {
      // Rare: the cell's text is not in the line as it is.
      if (!copied) {
        copy_.assign(line);
        copied = true;
      }
      offset = copy_.size();
      copy_.append(cell);
    }
    slot.firstChar = static_cast<std::int32_t>(offset + 1);
    slot.length = static_cast<std::int32_t>(cell.size());
  }
  if (copied) text = copy_;
  return RowRefusal::None;
}

}  // namespace mirdal
