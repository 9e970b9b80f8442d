#include "convert/record_builder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <type_traits>
#include <utility>

#include "convert/field_value.h"
#include "input/table_text.h"
#include "input/typed_rows.h"
#include "util/coding.h"
#include "util/text.h"

namespace mirdal {

const char* rejectReasonText(RejectReason reason) {
  switch (reason) {
    case RejectReason::OutOfRange: return "position out of range";
    case RejectReason::NotANumber: return "position not a number";
    case RejectReason::MissingPosition: return "no position";
    case RejectReason::OpenQuote: return "quoted cell never closed";
    case RejectReason::TextAfterQuote: return "text after a closing quote";
    case RejectReason::TooManyCells: return "too many cells";
    case RejectReason::TooLong: return "line too long";
    case RejectReason::FewerCells: return "fewer cells than the fields read";
  }
  return "";
}

namespace {

// What a number's text holds, trimmed.
enum class ValueSource { Blank, Number, Other };

ValueSource sourceOf(std::string_view text) {
  const char* first = text.data();
  const char* end = first + text.size();
  detail::trimBlanks(first, end);
  if (first == end) return ValueSource::Blank;
  return parseDecimal(std::string_view(first, static_cast<std::size_t>(end - first))) ? ValueSource::Number
                                                                                      : ValueSource::Other;
}

// Why a position the build refuses is refused (see SkyPosition::valid).
RejectReason reasonOf(const SkyPosition& p) {
  if (std::isnan(p.ra) || std::isnan(p.dec)) return RejectReason::NotANumber;
  if (p.ra == 0 && p.dec == 0) return RejectReason::MissingPosition;
  return RejectReason::OutOfRange;
}

RejectReason reasonOf(RowRefusal refusal) {
  switch (refusal) {
    case RowRefusal::OpenQuote: return RejectReason::OpenQuote;
    case RowRefusal::TextAfterQuote: return RejectReason::TextAfterQuote;
    case RowRefusal::TooManyCells: return RejectReason::TooManyCells;
    case RowRefusal::TooLong: return RejectReason::TooLong;
    case RowRefusal::FewerCells: return RejectReason::FewerCells;
    case RowRefusal::MissingRa:
    case RowRefusal::MissingDec:
    case RowRefusal::None: break;
  }
  return RejectReason::MissingPosition;
}
constexpr double kMasPerDegree = 3'600'000.0;

void putSingle(std::uint8_t* p, double v) { put32(p, std::bit_cast<std::uint32_t>(toSingle(v))); }

// Copies of at most 16 bytes without a call: two overlapping words, or
// single bytes below four.
void copySmall(std::uint8_t* to, const char* from, std::size_t n) {
  if (n >= 8) {
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + n - 8, 8);
    std::memcpy(to, &a, 8);
    std::memcpy(to + n - 8, &b, 8);
  } else if (n >= 4) {
    std::uint32_t a;
    std::uint32_t b;
    std::memcpy(&a, from, 4);
    std::memcpy(&b, from + n - 4, 4);
    std::memcpy(to, &a, 4);
    std::memcpy(to + n - 4, &b, 4);
  } else if (n > 0) {
    to[0] = static_cast<std::uint8_t>(from[0]);
    to[n / 2] = static_cast<std::uint8_t>(from[n / 2]);
    to[n - 1] = static_cast<std::uint8_t>(from[n - 1]);
  }
}

void spacesSmall(std::uint8_t* to, std::size_t n) {
  constexpr std::uint64_t kSpaces = 0x2020202020202020;
  if (n >= 8) {
    std::memcpy(to, &kSpaces, 8);
    std::memcpy(to + n - 8, &kSpaces, 8);
  } else if (n >= 4) {
    std::memcpy(to, &kSpaces, 4);
    std::memcpy(to + n - 4, &kSpaces, 4);
  } else if (n > 0) {
    to[0] = ' ';
    to[n / 2] = ' ';
    to[n - 1] = ' ';
  }
}

}  // namespace

// A text line: a field's text is the bytes its column cuts; numbers are
// read from them.
struct RecordBuilder::LineRow {
  std::string_view line;
  const FieldSlot* slots;  // placed on a table row's cells; nullptr: the fixed columns

  std::string_view text(int position, Column fixed) const {
    return cut(line, slots ? columnOf(slots[position]) : fixed);
  }
  double number(const FieldPlan& f) const {
    const std::string_view t = text(f.position, f.column);
    return detail::columnNumber(t.data(), t.data() + t.size(), f.calcA, f.calcB, f.missing);
  }
  std::int64_t scaled(const FieldPlan& f) const {
    const std::string_view t = text(f.position, f.column);
    return detail::scaledColumn(t.data(), t.data() + t.size(), f.calcA, f.calcB, f.missing, f.scale, f.tenPower);
  }
  ValueSource source(const FieldPlan& f) const { return sourceOf(text(f.position, f.column)); }
};

struct RecordBuilder::WholeLine {
  const char* line;

  std::string_view text(int, Column fixed) const { return {line + fixed.start, fixed.length}; }
  double number(const FieldPlan& f) const {
    const char* const first = line + f.column.start;
    return detail::columnNumber(first, first + f.column.length, f.calcA, f.calcB, f.missing);
  }
  std::int64_t scaled(const FieldPlan& f) const {
    const char* const first = line + f.column.start;
    return detail::scaledColumn(first, first + f.column.length, f.calcA, f.calcB, f.missing, f.scale, f.tenPower);
  }
  ValueSource source(const FieldPlan& f) const { return sourceOf(text(f.position, f.column)); }
};

// A row of typed cells: numbers go into the record from the type the file
// stores them in, without a text between; a number read as text (an
// identifier) takes its shortest exact decimal form.
struct RecordBuilder::TypedRow {
  const TableCell* cells;
  const int* cellOfSlot;
  mutable char buffer[32];

  const TableCell* cell(int position) const {
    const int c = cellOfSlot[position];
    return c < 0 ? nullptr : &cells[c];
  }
  std::string_view text(int position, Column) const {
    const TableCell* c = cell(position);
    if (!c) return {};
    switch (c->kind) {
      case TableCell::Kind::Text: return c->text;
      case TableCell::Kind::Integer: {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, c->integer);
        return {buffer, static_cast<std::size_t>(r.ptr - buffer)};
      }
      case TableCell::Kind::Real: {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, c->real);
        return {buffer, static_cast<std::size_t>(r.ptr - buffer)};
      }
      case TableCell::Kind::Missing: break;
    }
    return {};
  }
  // The calibrated value; `missing` for a missing cell or a text that is
  // no number.
  double value(int position, double calcA, double calcB, double missing) const {
    const TableCell* c = cell(position);
    if (!c) return missing;
    switch (c->kind) {
      case TableCell::Kind::Real: return std::isnan(c->real) ? missing : calcA * c->real + calcB;
      case TableCell::Kind::Integer: return calcA * static_cast<double>(c->integer) + calcB;
      case TableCell::Kind::Text:
        return detail::columnNumber(c->text.data(), c->text.data() + c->text.size(), calcA, calcB, missing);
      case TableCell::Kind::Missing: break;
    }
    return missing;
  }
  double number(const FieldPlan& f) const { return value(f.position, f.calcA, f.calcB, f.missing); }
  std::int64_t scaled(const FieldPlan& f) const { return roundToInt64(number(f) * f.scale); }
  // A missing cell and a NaN (the null of a floating-point column) are blank.
  ValueSource source(const FieldPlan& f) const {
    const TableCell* c = cell(f.position);
    if (!c) return ValueSource::Blank;
    switch (c->kind) {
      case TableCell::Kind::Real: return std::isnan(c->real) ? ValueSource::Blank : ValueSource::Number;
      case TableCell::Kind::Integer: return ValueSource::Number;
      case TableCell::Kind::Text: return sourceOf(c->text);
      case TableCell::Kind::Missing: break;
    }
    return ValueSource::Blank;
  }
};


RecordBuilder::RecordBuilder(const CatalogDefinition& definition, const RecordLayout& layout)
    : def_(definition),
      lookups_(definition.tables.prepareLookupLists()),
      findRegion_(layout.regionCount),
      ratype_(definition.settings.ratype),
      dectype_(definition.settings.dectype),
      raCount_(definition.fields().raCount()),
      form_(definition.settings.format),
      cells_(isDelimited(definition.settings.format)),
      recordLength_(static_cast<std::size_t>(layout.recordLength)),
      nameLength_(static_cast<std::size_t>(layout.indexNameLength)),
      indexRecordLength_(8 + static_cast<std::size_t>(layout.indexNameLength)) {
  const FieldCatalogue& fields = def_.fields();
  const std::size_t recordLength = recordLength_;
  for (int position = fields.firstTypePosition(); position < fields.size(); ++position) {
    const int f = fields.recordField(position);
    if (!layout.present(f)) continue;
    const FieldEntry& e = fields.entry(position);
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
    const auto offset = static_cast<std::size_t>(layout.position[f] - 1);
    if (offset >= recordLength) continue;  // the stores write nothing outside the record
    const std::size_t width = std::min(static_cast<std::size_t>(layout.length[f]), recordLength - offset);
    int tenPower = -1;
    if (e.kind == ValueKind::Scaled16 && slot.calcA == 1.0 && slot.calcB == 0.0) {
      for (int p = 0; p < static_cast<int>(std::size(detail::kIntPowersOfTen)); ++p)
        if (e.scale == static_cast<double>(detail::kIntPowersOfTen[p])) tenPower = p;
    }
    static_assert(kSlotCount <= kFirstChangeBit, "a cut mask holds a bit per slot position, and the magnitude bits");
    if (f == magnitudeFieldOf(def_.type()) && e.kind == ValueKind::Scaled16) {
      magnitudePosition_ = position;
      faintestStored_ = std::min<std::int64_t>(roundToInt64(def_.settings.magmax * e.scale), 32766);
    }
    fields_.push_back({columnOf(slot), position, e.kind, slot.calcA, slot.calcB, e.scale, e.missing, offset, width,
                       std::uint64_t{1} << position, tenPower});
    readPositions_.push_back(position);
    textSlots_[static_cast<std::size_t>(position)] = e.kind != ValueKind::Scaled16 && e.kind != ValueKind::Float &&
                                                     e.kind != ValueKind::Byte && e.kind != ValueKind::Coordinate;
  }
  if (layout.index) {
    for (const IndexSource& src : layout.indexPlan) {
      const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(src.listPosition)];
      std::string prefix(src.alternate && layout.prefixAltNames ? trimmed(src.prefix) : std::string_view());
      if (prefix.size() > nameLength_) prefix.resize(nameLength_);
      names_.push_back({columnOf(slot), src.listPosition, std::move(prefix)});
      readPositions_.push_back(src.listPosition);
      textSlots_[static_cast<std::size_t>(src.listPosition)] = true;
    }
  }

  for (int position = 0; position < fields.firstTypePosition(); ++position) readPositions_.push_back(position);
  for (std::size_t position = 0; position < static_cast<std::size_t>(kSlotCount); ++position)
    slotColumns_[position] = columnOf(def_.fieldSlots[position]);
  for (int position : readPositions_) {
    const Column c = slotColumns_[static_cast<std::size_t>(position)];
    if (c.length > 0) wholeLineLength_ = std::max(wholeLineLength_, c.start + c.length);
  }

  // RA and DEC take the first eight bytes; every other byte must belong to a
  // field that writes its whole width on every line.
  std::vector<bool> written(recordLength, false);
  for (std::size_t i = 0; i < std::min<std::size_t>(8, recordLength); ++i) written[i] = true;
  for (const FieldPlan& f : fields_) {
    if (f.kind == ValueKind::Coordinate) continue;
    for (std::size_t i = f.offset; i < f.offset + f.width; ++i) written[i] = true;
  }
  wholeRecord_ = recordLength >= 8 && std::find(written.begin(), written.end(), false) == written.end();
}

RecordBuilder::~RecordBuilder() = default;

RecordBuilder::Column RecordBuilder::columnOf(const FieldSlot& slot) {
  if (slot.length <= 0) return {};
  return {slot.firstChar < 1 ? 0 : static_cast<std::size_t>(slot.firstChar) - 1, static_cast<std::size_t>(slot.length)};
}

const FileColumns& RecordBuilder::startFile(const std::string& path, const TableLayout& layout) {
  delimiting_ = layout.delimiting;
  columns_ = FileColumns();
  for (Placing& p : placing_) p.placer.reset();
  if (!cells_ && !isTypedForm(layout.form)) return columns_;
  columns_ = resolveColumns(def_, readPositions_, layout, path);
  if (!cells_) return columns_;
  const auto masks = positionMasks();
  for (Placing& p : placing_) {
    p.placer = std::make_unique<CellPlacer>(layout.delimiting, columns_, textSlots_);
    p.placer->refuseMissing(masks.first, masks.second);
    // The placer points only the slots that read a cell: the others keep these.
    p.slots = def_.fieldSlots;
  }
  return columns_;
}

BuiltRow RecordBuilder::build(const SourceRow& row, int reader, std::uint8_t* record, std::uint8_t* index) {
  if (row.cells) {
    const TypedRow typed{row.cells, row.cellOfSlot, {}};
    const SkyPosition position = positionOf(typed);
    if (!position.valid) {
      BuiltRow refused;
      refused.refusal = missingCell(typed);
      refused.reason = refused.refusal != RowRefusal::None ? reasonOf(refused.refusal) : reasonOf(position);
      return refused;
    }
    return buildFrom(typed, position, record, index);
  }
  Placing& placing = placing_[reader];
  if (placing.placer) {
    BuiltRow refused;
    std::string_view text;
    refused.refusal = placing.placer->place(row.text, def_.fieldSlots.data(), placing.slots.data(), text);
    if (refused.refusal != RowRefusal::None) {
      refused.reason = reasonOf(refused.refusal);
      return refused;
    }
    const LineRow placed{text, placing.slots.data()};
    return buildFrom(placed, computePosition(text, placing.slots.data(), ratype_, dectype_, raCount_), record, index);
  }
  if (row.text.size() >= wholeLineLength_) {
    const WholeLine whole{row.text.data()};
    return buildFrom(whole, positionOf(whole), record, index);
  }
  const LineRow line{row.text, nullptr};
  return buildFrom(line, computePosition(row.text, def_.fieldSlots.data(), ratype_, dectype_, raCount_), record,
                   index);
}

template <typename Row>
BuiltRow RecordBuilder::buildFrom(const Row& row, const SkyPosition& position, std::uint8_t* record,
                                  std::uint8_t* index) const {
  BuiltRow built;
  if (!position.valid) {
    built.reason = rejectReasonOf(row, position);
    return built;
  }
  built.region = findRegion_(position.dec, position.ra);
  built.cuts = fillRecord(row, record, position.ra, position.dec);
  if (names_.empty()) return built;
  std::uint8_t where[8];
  putSingle(where, position.ra);
  putSingle(where + 4, position.dec);
  for (const NameSource& src : names_) {
    if (formIndexRecord(row, src, where, index + built.names * indexRecordLength_)) ++built.names;
  }
  return built;
}

// The position from a row's components. A fixed-column or table row reads
// a blank component as 0 (a blank line is no position); a missing typed
// cell is no number, so that a row missing one is refused rather than put
// at 0.
template <typename Row>
SkyPosition RecordBuilder::positionOf(const Row& row) const {
  auto number = [&](int position) {
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
    if constexpr (std::is_same_v<Row, TypedRow>) {
      return row.value(position, slot.calcA, slot.calcB, std::numeric_limits<double>::quiet_NaN());
    } else {
      const std::string_view t = row.text(position, slotColumns_[static_cast<std::size_t>(position)]);
      return detail::columnNumber(t.data(), t.data() + t.size(), slot.calcA, slot.calcB, 0.0,
                                  std::numeric_limits<double>::quiet_NaN());
    }
  };
  auto isMinus = [&](int position) {
    return row.text(position, slotColumns_[static_cast<std::size_t>(position)]) == "-";
  };
  auto angle = [&](int position, SexagesimalAxis axis) {
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
    return sexagesimalNumber(row.text(position, slotColumns_[static_cast<std::size_t>(position)]), axis, slot.calcA,
                             slot.calcB);
  };
  return positionFrom(number, isMinus, angle, ratype_, dectype_, raCount_);
}

RowRefusal RecordBuilder::missingCell(const TypedRow& row) const {
  const auto masks = positionMasks();
  for (int p = 0; p < 64; ++p) {
    const std::uint64_t bit = std::uint64_t{1} << p;
    if (((masks.first | masks.second) & bit) == 0) continue;
    const TableCell* c = row.cell(p);
    if (c && !(c->kind == TableCell::Kind::Missing || (c->kind == TableCell::Kind::Real && std::isnan(c->real)) ||
               (c->kind == TableCell::Kind::Text && isMissingNumber(c->text))))
      continue;
    return (masks.first & bit) != 0 ? RowRefusal::MissingRa : RowRefusal::MissingDec;
  }
  return RowRefusal::None;
}

std::pair<std::uint64_t, std::uint64_t> RecordBuilder::positionMasks() const {
  const int decEnd = def_.fields().firstTypePosition();
  // The declination's sign (dectype 0) is a text: "-" is its value there.
  const int decBegin = raCount_ + (dectype_ == 0 ? 1 : 0);
  std::uint64_t ra = 0, dec = 0;
  for (int p = 0; p < raCount_; ++p) ra |= std::uint64_t{1} << p;
  for (int p = decBegin; p < decEnd; ++p) dec |= std::uint64_t{1} << p;
  return {ra, dec};
}

template <typename Row>
RejectReason RecordBuilder::rejectReasonOf(const Row& row, const SkyPosition& position) const {
  if (form_ == TableForm::Ipac && (std::isnan(position.ra) || std::isnan(position.dec))) {
    // An IPAC column's null ("null", or the marker its header declares,
    // which the rows hand on as "null") is a missing value.
    const auto [ra, dec] = positionMasks();
    for (int p = 0; p < def_.fields().firstTypePosition(); ++p)
      if (((ra | dec) & (std::uint64_t{1} << p)) != 0 &&
          asciiLowered(trimmed(row.text(p, slotColumns_[static_cast<std::size_t>(p)]))) == "null")
        return RejectReason::MissingPosition;
  }
  return reasonOf(position);
}

std::string RecordBuilder::refusalText(std::string_view row, RowRefusal refusal) const {
  int cells = 0;
  int needed = 0;
  if (refusal == RowRefusal::FewerCells && placing_[0].placer) {
    // Split again here: the count is not kept for every row.
    RowSplitter splitter(delimiting_);
    splitter.split(row);
    cells = static_cast<int>(splitter.size());
    needed = placing_[0].placer->cellsNeeded();
  }
  return rowRefusalText(refusal, cells, needed);
}

double RecordBuilder::slotNumber(const SourceRow& row, const FieldSlot* slots, int position, double missing) {
  const FieldSlot& slot = slots[position];
  if (row.cells) return TypedRow{row.cells, row.cellOfSlot, {}}.value(position, slot.calcA, slot.calcB, missing);
  const std::string_view t = rawText(row.text, slot);
  return detail::columnNumber(t.data(), t.data() + t.size(), slot.calcA, slot.calcB, missing);
}

template <typename Row>
std::uint64_t RecordBuilder::magnitudeBit(const Row& row, const FieldPlan& f, std::int64_t v) const {
  auto changed = [](MagnitudeChange c) { return std::uint64_t{1} << (kFirstChangeBit + static_cast<int>(c)); };
  if (v < -32768) return changed(MagnitudeChange::BelowField);
  // 32767 and above are no magnitude: missing, or beyond what the field holds.
  if (v < 32767) return kFainterBit;
  switch (row.source(f)) {
    case ValueSource::Blank: return 0;
    case ValueSource::Number: return changed(MagnitudeChange::AboveField);
    case ValueSource::Other: break;
  }
  return changed(MagnitudeChange::NotANumber);
}


template <typename Row>
std::uint64_t RecordBuilder::fillRecord(const Row& row, std::uint8_t* record, double ra, double dec) const {
  put32(record, static_cast<std::uint32_t>(roundToInt32(ra * kMasPerDegree)));
  put32(record + 4, static_cast<std::uint32_t>(roundToInt32((dec + 90) * kMasPerDegree)));

  const std::span<std::uint8_t> whole(record, recordLength_);
  auto text = [&](const FieldPlan& f) { return row.text(f.position, f.column); };
  auto number = [&](const FieldPlan& f) { return row.number(f); };
  std::uint64_t cuts = 0;
  for (const FieldPlan& f : fields_) {
    std::uint8_t* p = record + f.offset;
    switch (f.kind) {
      case ValueKind::Text: {
        std::string_view t = text(f);
        if (t.size() > f.width) cuts |= f.cutBit;
        const std::size_t n = std::min(f.width, t.size());
        if (f.width <= 16) {
          copySmall(p, t.data(), n);
          spacesSmall(p + n, f.width - n);
        } else {
          if (n > 0) std::memcpy(p, t.data(), n);
          std::memset(p + n, ' ', f.width - n);
        }
        break;
      }
      case ValueKind::Scaled16: {
        const std::int64_t v = row.scaled(f);
        if (f.position == magnitudePosition_ && (v > faintestStored_ || v < -32768)) cuts |= magnitudeBit(row, f, v);
        if (f.width == 2) {
          put16(p, static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, -32768, 32767)));
        } else {
          storeInt16(whole, f.offset, f.width, v);
        }
        break;
      }
      case ValueKind::Float:
        if (f.width == 4) {
          putSingle(p, number(f));
        } else {
          storeFloat(whole, f.offset, f.width, number(f));
        }
        break;
      case ValueKind::Byte: storeByte(whole, f.offset, f.width, roundToInt64(number(f))); break;
      case ValueKind::ObjectType:
        storeByte(whole, f.offset, f.width, objectTypeCode(text(f), lookups_));
        break;
      case ValueKind::SizeUnit: storeInt16(whole, f.offset, f.width, sizeUnitFactor(text(f), lookups_)); break;
      case ValueKind::LineOperation:
        storeByte(whole, f.offset, f.width, lineOperationCode(text(f), lookups_));
        break;
      case ValueKind::Colour:
        storeInt32(whole, f.offset, f.width, static_cast<std::int32_t>(colourCode(text(f), lookups_)));
        break;
      case ValueKind::Coordinate: break;
    }
  }
  return cuts;
}

template <typename Row>
bool RecordBuilder::formIndexRecord(const Row& row, const NameSource& src, const std::uint8_t position[8],
                                     std::uint8_t* out) const {
  const std::string_view column = row.text(src.position, src.column);
  std::memcpy(out, position, 8);
  char* name = reinterpret_cast<char*>(out + 8);
  char* const end = name + nameLength_;
  if (!src.prefix.empty()) name = std::copy(src.prefix.begin(), src.prefix.end(), name);
  // A column of spaces only gives no name, however long the prefix.
  bool any = false;
  for (char c : column) {
    if (c == ' ') continue;
    any = true;
    if (name == end) break;
    *name++ = asciiUpper(c);
  }
  if (!any) return false;
  std::memset(name, ' ', static_cast<std::size_t>(end - name));
  return true;
}

}  // namespace mirdal
