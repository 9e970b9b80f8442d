#include "convert/conversion_loop.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

#include "convert/field_value.h"
#include "convert/sky_position.h"
#include "input/table_text.h"
#include "input/typed_rows.h"
#include "util/error.h"
#include "util/coding.h"
#include "util/text.h"
#include "util/threads.h"

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
constexpr std::int64_t kCheckpointLines = 1000;
// A batch is converted at every kBatchCheckpoints-th checkpoint or when it
// holds this many bytes of lines, whichever comes first; it is shared with
// the second thread from this many lines on, in pieces of kShareLines
// lines. Every batch costs the threads two waits for each other: batches of
// 2000 lines converted 1,000,000 star lines in about 0.31 s where batches of
// 1000 took 0.37 s, and larger ones gained nothing more.
constexpr std::int64_t kBatchCheckpoints = 2;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr std::size_t kBatchRecordBytes = 4 << 20;
constexpr std::size_t kSharedBatchLines = 64;
constexpr std::size_t kShareLines = 32;

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
struct ConversionLoop::LineRow {
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

struct ConversionLoop::WholeLine {
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
struct ConversionLoop::TypedRow {
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

ConversionLoop::~ConversionLoop() {
  helper_.reset();  // its last jobs may still flush
  files_.shareFlushes({});
}

ConversionLoop::ConversionLoop(const CatalogDefinition& definition, const RecordLayout& layout, CatalogFiles& files,
                               RejectLog& rejectLog, FileSystem& fs)
    : def_(definition),
      layout_(layout),
      files_(files),
      rejectLog_(rejectLog),
      fs_(fs),
      lookups_(definition.tables.prepareLookupLists()),
      findRegion_(layout.regionCount),
      ratype_(definition.settings.ratype),
      dectype_(definition.settings.dectype),
      raCount_(definition.fields().raCount()),
      nameLength_(static_cast<std::size_t>(layout.indexNameLength)),
      record_(static_cast<std::size_t>(layout.recordLength)),
      form_(definition.settings.format),
      cells_(isDelimited(definition.settings.format)),
      indexRecordLength_(8 + static_cast<std::size_t>(layout.indexNameLength)),
      shareBatches_(std::thread::hardware_concurrency() > 1) {
  const FieldCatalogue& fields = def_.fields();
  const std::size_t recordLength = record_.size();
  for (int position = fields.firstTypePosition(); position < fields.size(); ++position) {
    const int f = fields.recordField(position);
    if (!layout_.present(f)) continue;
    const FieldEntry& e = fields.entry(position);
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
    const auto offset = static_cast<std::size_t>(layout_.position[f] - 1);
    if (offset >= recordLength) continue;  // the stores write nothing outside the record
    const std::size_t width = std::min(static_cast<std::size_t>(layout_.length[f]), recordLength - offset);
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
    fields_.push_back({columnOf(slot), position, &slot, e.kind, slot.calcA, slot.calcB, e.scale, e.missing, offset,
                       width, std::uint64_t{1} << position, tenPower});
    readPositions_.push_back(position);
    textSlots_[static_cast<std::size_t>(position)] = e.kind != ValueKind::Scaled16 && e.kind != ValueKind::Float &&
                                                     e.kind != ValueKind::Byte && e.kind != ValueKind::Coordinate;
  }
  if (layout_.index) {
    for (const IndexSource& src : layout_.indexPlan) {
      const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(src.listPosition)];
      std::string prefix(src.alternate && layout_.prefixAltNames ? trimmed(src.prefix) : std::string_view());
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

ConversionLoop::Column ConversionLoop::columnOf(const FieldSlot& slot) {
  if (slot.length <= 0) return {};
  return {slot.firstChar < 1 ? 0 : static_cast<std::size_t>(slot.firstChar) - 1, static_cast<std::size_t>(slot.length)};
}

void ConversionLoop::prepareFile(const std::string& path, const TableLayout& layout) {
  path_ = path;
  delimiting_ = layout.delimiting;
  lineNumber_ = 0;
  placers_[0].reset();
  placers_[1].reset();
  if (!cells_) return;
  const FileColumns columns = resolveColumns(def_, readPositions_, layout, path);
  const auto masks = positionMasks();
  for (auto& placer : placers_) {
    placer = std::make_unique<CellPlacer>(layout.delimiting, columns, textSlots_);
    placer->refuseMissing(masks.first, masks.second);
  }
}

void ConversionLoop::convertFile(const std::string& path, int eol, const Opened& opened,
                                 const Checkpoint& checkpoint) {
  InputFormat format = InputFormat::of(def_.settings);
  format.eol = eol;
  RowSource rows(fs_, path, format);
  if (rows.typed()) {
    convertTypedFile(rows, opened, checkpoint);
    return;
  }
  prepareFile(path, rows.layout());
  if (opened) opened(rows.size());
  std::int64_t lineCounter = 0;
  // An empty file has no line. Nothing of an earlier file waits to be
  // handed on here, so a failure needs no drain.
  for (;;) {
    if (++lineCounter % kCheckpointLines == 0 && checkpoint) {
      linesRead_ += kCheckpointLines;
      if (lineCounter % (kCheckpointLines * kBatchCheckpoints) == 0) endBatch();
      try {
        checkpoint(rows.position());
      } catch (...) {
        drain();
        throw;
      }
    }
    try {
      std::string_view row;
      if (!rows.nextLine(row, lineNumber_)) break;
      if (batching()) {
        addToBatch(row, lineNumber_);
      } else {
        convertLine(row);
      }
    } catch (...) {
      drain();
      throw;
    }
  }
  drain();
  rows.close();
}

void ConversionLoop::Batch::empty() {
  ends.clear();
  bytes.clear();
  lineNumbers.clear();
  // A batch holds at least one whole line: give back the room of a very
  // long one.
  if (bytes.capacity() > 4 * kBatchBytes) std::string().swap(bytes);
}

void ConversionLoop::addToBatch(std::string_view line, std::int64_t lineNumber) {
  Batch& batch = batches_[current_];
  if (batch.ends.empty()) batch.firstLine = lineNumber;
  batch.bytes.append(line);
  batch.ends.push_back(batch.bytes.size());
  if (form_ != TableForm::Fixed) batch.lineNumbers.push_back(lineNumber);
  // The records of a batch are held until it is handed on: bound them too,
  // for records far longer than their lines (wide fields past short lines).
  const std::size_t recordBytes = batch.ends.size() * (record_.size() + names_.size() * indexRecordLength_);
  if (batch.bytes.size() >= kBatchBytes || recordBytes >= kBatchRecordBytes) endBatch();
}

ConversionLoop::PlacedRow ConversionLoop::placeRow(std::string_view line, CellPlacer* placer,
                                                  FieldSlot* slots) const {
  PlacedRow row;
  row.text = line;
  if (!placer) return row;
  row.refusal = placer->place(line, def_.fieldSlots.data(), slots, row.text);
  row.slots = slots;
  return row;
}

void ConversionLoop::convertLines(Batch& batch, std::size_t from, std::size_t to, CellPlacer* placer) const {
  // A table row's placer points only the slots that read a cell: the others
  // keep these.
  std::array<FieldSlot, kSlotCount> slots;
  if (placer) slots = def_.fieldSlots;
  for (std::size_t i = from; i < to; ++i) {
    const PlacedRow row = placeRow(batch.line(i), placer, slots.data());
    if (row.refusal != RowRefusal::None) {
      batch.regions[i] = 0;
      batch.refusals[i] = row.refusal;
      batch.reasons[i] = reasonOf(row.refusal);
      continue;
    }
    const std::string_view line = row.text;
    if (!row.slots && line.size() >= wholeLineLength_) {
      const WholeLine whole{line.data()};
      convertRow(batch, i, whole, positionOf(whole));
      continue;
    }
    const SkyPosition position =
        computePosition(line, row.slots ? row.slots : def_.fieldSlots.data(), ratype_, dectype_, raCount_);
    convertRow(batch, i, LineRow{line, row.slots}, position);
  }
}

template <typename Row>
void ConversionLoop::convertRow(Batch& batch, std::size_t i, const Row& row, const SkyPosition& position) const {
  if (!position.valid) {
    batch.regions[i] = 0;
    batch.reasons[i] = rejectReasonOf(row, position);
    return;
  }
  batch.regions[i] = findRegion_(position.dec, position.ra);
  batch.cuts[i] = fillRecord(row, batch.records.data() + i * record_.size(), position.ra, position.dec);
  if (names_.empty()) return;
  std::uint8_t where[8];
  putSingle(where, position.ra);
  putSingle(where + 4, position.dec);
  std::uint8_t* out = batch.indexRecords.data() + i * names_.size() * indexRecordLength_;
  std::uint8_t count = 0;
  for (const NameSource& src : names_) {
    if (formIndexRecord(row, src, where, out + count * indexRecordLength_)) ++count;
  }
  batch.names[i] = count;
}

// computePosition on a whole line: the same columns, cut without a check.
SkyPosition ConversionLoop::positionOf(const WholeLine& row) const {
  auto number = [&](int position) {
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
    const std::string_view t = row.text(position, slotColumns_[static_cast<std::size_t>(position)]);
    return detail::columnNumber(t.data(), t.data() + t.size(), slot.calcA, slot.calcB, 0.0,
                                std::numeric_limits<double>::quiet_NaN());
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

// Converts pieces of the batch until none is left; both threads run it.
void ConversionLoop::convertShare(Batch& batch, CellPlacer* placer) {
  const std::size_t n = batch.ends.size();
  for (;;) {
    const std::size_t from = nextLine_.fetch_add(kShareLines, std::memory_order_relaxed);
    if (from >= n) return;
    convertLines(batch, from, std::min(n, from + kShareLines), placer);
  }
}

// The files and the reject log get the lines in input order. The batch is
// emptied however this ends, so that nothing is handed on twice.
void ConversionLoop::handOn(Batch& batch) {
  struct Emptied {
    Batch& batch;
    ~Emptied() { batch.empty(); }
  } emptied{batch};
  const std::size_t recordLength = record_.size();
  const std::size_t indexRoom = names_.size() * indexRecordLength_;
  const std::size_t n = batch.ends.size();
  auto lineNumber = [&batch](std::size_t i) {
    return batch.lineNumbers.empty() ? batch.firstLine + static_cast<std::int64_t>(i) : batch.lineNumbers[i];
  };
  for (std::size_t i = 0; i < n; ++i) {
    ++counters_.lines;
    const int region = batch.regions[i];
    if (region == 0) {
      reject(batch.line(i), batch.reasons[i],
             [&] { return quoted(path_) + " line " + std::to_string(lineNumber(i)); });
      if (!batch.lineNumbers.empty() && batch.refusals[i] != RowRefusal::None)
        note(batch.lineNumbers[i], batch.line(i), batch.refusals[i]);
      continue;
    }
    const std::uint8_t* index = batch.indexRecords.data() + i * indexRoom;
    for (std::uint8_t k = 0; k < batch.names[i]; ++k) {
      files_.writeIndexRecord(index + k * indexRecordLength_);
      ++counters_.indexRecords;
    }
    files_.writeRecord(region, batch.records.data() + i * recordLength);
    ++counters_.records;
    if (batch.cuts[i] != 0)
      countCuts(batch.cuts[i], [&] { return quoted(path_) + " line " + std::to_string(lineNumber(i)); });
  }
}

template <typename Row>
std::uint64_t ConversionLoop::magnitudeBit(const Row& row, const FieldPlan& f, std::int64_t v) const {
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

template <typename Where>
void ConversionLoop::countCuts(std::uint64_t mask, const Where& where) {
  if ((mask & kMagnitudeBits) != 0) {
    if ((mask & kFainterBit) != 0 && counters_.fainter++ == 0) counters_.firstFainter = where();
    for (int k = 0; k < kMagnitudeChangeCount; ++k) {
      const auto i = static_cast<std::size_t>(k);
      if ((mask & (std::uint64_t{1} << (kFirstChangeBit + k))) != 0 && counters_.magnitudesChanged[i]++ == 0)
        counters_.firstMagnitudeChanged[i] = where();
    }
    mask &= ~kMagnitudeBits;
  }
  for (int p = 0; mask != 0; ++p, mask >>= 1) {
    if ((mask & 1) == 0) continue;
    const auto i = static_cast<std::size_t>(p);
    if (counters_.textsCut[i]++ == 0) counters_.firstCut[i] = where();
  }
}

void ConversionLoop::endBatch() {
  Batch& batch = batches_[current_];
  const std::size_t n = batch.ends.size();
  if (n == 0) return;
  const std::size_t recordLength = record_.size();
  const std::size_t indexRoom = names_.size() * indexRecordLength_;
  batch.regions.resize(n);
  batch.names.assign(n, 0);
  batch.refusals.assign(n, RowRefusal::None);
  batch.reasons.resize(n);
  batch.cuts.assign(n, 0);
  if (batch.records.size() < n * recordLength) batch.records.resize(n * recordLength);
  if (batch.indexRecords.size() < n * indexRoom) batch.indexRecords.resize(n * indexRoom);
  nextLine_.store(0, std::memory_order_relaxed);

  if (n >= kSharedBatchLines && !helper_ && shareBatches_) {
    try {
      helper_ = std::make_unique<JobThread>();
      // The helper fills the region buffers; while it writes them out, this
      // thread would only wait for it, so it takes regions to write too.
      files_.shareFlushes([helper = helper_.get()] { helper->nudge(); });
    } catch (const std::system_error&) {
      shareBatches_ = false;  // no second thread: this one does all the work
    }
  }
  if (n < kSharedBatchLines || !helper_) {
    waitForHelper(batch);  // the batches before this one are handed on first
    convertShare(batch, placers_[0].get());
    handOn(batch);
    return;
  }

  // The helper may still be handing on the previous batch; it takes pieces
  // of this one when it is done, and hands this one on while this thread
  // reads the next.
  helper_->post([this, &batch] { convertShare(batch, placers_[1].get()); });
  convertShare(batch, placers_[0].get());  // writes nothing but the batch's own buffers
  waitForHelper(batch);
  helper_->post([this, &batch] { handOn(batch); });
  current_ = 1 - current_;
}

// Waits for the helper's jobs. After a failed write, the lines of `batch`
// are not handed on.
void ConversionLoop::waitForHelper(Batch& batch) {
  if (!helper_) return;
  try {
    helper_->wait([this] { files_.helpFlush(); });
  } catch (...) {
    batch.empty();
    throw;
  }
}

// Converts what is read and hands on every converted line.
void ConversionLoop::drain() {
  endBatch();
  waitForHelper(batches_[current_]);
}

std::pair<std::uint64_t, std::uint64_t> ConversionLoop::positionMasks() const {
  const int decEnd = def_.fields().firstTypePosition();
  // The declination's sign (dectype 0) is a text: "-" is its value there.
  const int decBegin = raCount_ + (dectype_ == 0 ? 1 : 0);
  std::uint64_t ra = 0, dec = 0;
  for (int p = 0; p < raCount_; ++p) ra |= std::uint64_t{1} << p;
  for (int p = decBegin; p < decEnd; ++p) dec |= std::uint64_t{1} << p;
  return {ra, dec};
}

template <typename Row>
RejectReason ConversionLoop::rejectReasonOf(const Row& row, const SkyPosition& position) const {
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

template <typename Where>
void ConversionLoop::reject(std::string_view text, RejectReason reason, const Where& where) {
  rejectLog_.reject(text);
  ++counters_.rejected;
  const auto r = static_cast<std::size_t>(reason);
  if (counters_.rejectedFor[r]++ == 0) counters_.firstRejectedFor[r] = where();
}

void ConversionLoop::note(std::int64_t lineNumber, std::string_view row, RowRefusal refusal, const char* unit) {
  ++counters_.refusedRows;
  if (counters_.notes.size() >= ConversionCounters::kMaxNotes) return;
  int cells = 0;
  int needed = 0;
  if (refusal == RowRefusal::FewerCells && placers_[0]) {
    // Split again here: the count is not kept for every row.
    RowSplitter splitter(delimiting_);
    splitter.split(row);
    cells = static_cast<int>(splitter.size());
    needed = placers_[0]->cellsNeeded();
  }
  counters_.notes.push_back("\"" + path_ + "\" " + unit + " " + std::to_string(lineNumber) + ": " +
                            rowRefusalText(refusal, cells, needed));
}

void ConversionLoop::convertLine(std::string_view input) {
  ++counters_.lines;
  std::array<FieldSlot, kSlotCount> slots;
  if (placers_[0]) slots = def_.fieldSlots;
  const PlacedRow row = placeRow(input, placers_[0].get(), slots.data());
  auto where = [&] { return quoted(path_) + " line " + std::to_string(lineNumber_); };
  if (row.refusal != RowRefusal::None) {
    reject(input, reasonOf(row.refusal), where);
    note(lineNumber_, input, row.refusal);
    return;
  }
  const std::string_view line = row.text;
  const SkyPosition position =
      computePosition(line, row.slots ? row.slots : def_.fieldSlots.data(), ratype_, dectype_, raCount_);
  if (!position.valid) {
    reject(input, rejectReasonOf(LineRow{line, row.slots}, position), where);
    return;
  }
  const double ra = position.ra;
  const double dec = position.dec;
  const int region = findRegion_(dec, ra);

  // The record is complete before its index records are written, and is
  // appended after them: a failure while writing those leaves it out.
  std::uint8_t* record = wholeRecord_ ? files_.recordSpace(region) : record_.data();
  const LineRow cells{line, row.slots};
  const std::uint64_t cuts = fillRecord(cells, record, ra, dec);
  if (cuts != 0) countCuts(cuts, [&] { return quoted(path_) + " line " + std::to_string(lineNumber_); });
  if (!names_.empty()) writeIndexRecords(cells, ra, dec);
  if (wholeRecord_) {
    files_.commitRecord(region);
  } else {
    files_.writeRecord(region, record_.data());
  }
  ++counters_.records;
}

template <typename Row>
std::uint64_t ConversionLoop::fillRecord(const Row& row, std::uint8_t* record, double ra, double dec) const {
  put32(record, static_cast<std::uint32_t>(roundToInt32(ra * kMasPerDegree)));
  put32(record + 4, static_cast<std::uint32_t>(roundToInt32((dec + 90) * kMasPerDegree)));

  const std::span<std::uint8_t> whole(record, record_.size());
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
bool ConversionLoop::formIndexRecord(const Row& row, const NameSource& src, const std::uint8_t position[8],
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

template <typename Row>
void ConversionLoop::writeIndexRecords(const Row& row, double ra, double dec) {
  std::uint8_t position[8];
  putSingle(position, ra);
  putSingle(position + 4, dec);
  for (const NameSource& src : names_) {
    // The room of a blank name is taken again by the next name.
    if (!formIndexRecord(row, src, position, files_.indexRecordSpace())) continue;
    files_.commitIndexRecord();
    ++counters_.indexRecords;
  }
}

void ConversionLoop::convertTypedFile(RowSource& rows, const Opened& opened, const Checkpoint& checkpoint) {
  const std::string& path = rows.path();
  path_ = path;
  TypedRowSource* const source = &rows.typedRows();
  if (opened) opened(source->size());
  const TableLayout& layout = source->layout();
  const FileColumns columns = resolveColumns(def_, readPositions_, layout, path);
  // Each column once, however many slots read it.
  std::vector<int> numbers;
  typedCell_.fill(-1);
  for (int p = 0; p < kSlotCount; ++p) {
    const int c = columns.cell[static_cast<std::size_t>(p)];
    if (c < 0) continue;
    const auto at = std::find(numbers.begin(), numbers.end(), c + 1);
    typedCell_[static_cast<std::size_t>(p)] = static_cast<int>(at - numbers.begin());
    if (at == numbers.end()) numbers.push_back(c + 1);
  }
  source->selectColumns(numbers);
  const std::size_t width = numbers.size();

  // A refused row goes to the reject log as text: its number, then each
  // column read with its value.
  auto rowText = [&](const TableCell* cells, std::int64_t rowNumber) {
    std::string text = "row " + std::to_string(rowNumber);
    for (std::size_t k = 0; k < width; ++k) {
      const auto& column = layout.columns[static_cast<std::size_t>(numbers[k] - 1)];
      text += '\t';
      text += column.name.empty() ? std::to_string(column.number) : column.name;
      text += '=';
      text += cellText(cells[k]);
    }
    return text;
  };
  // Why a row whose position is refused has none: a right ascension or
  // declination cell that holds no value; None for a value out of range.
  const auto masks = positionMasks();
  auto missingPosition = [&masks](const TypedRow& row) {
    for (int p = 0; p < 64; ++p) {
      const std::uint64_t bit = std::uint64_t{1} << p;
      if (((masks.first | masks.second) & bit) == 0) continue;
      const TableCell* c = row.cell(p);
      if (c && !(c->kind == TableCell::Kind::Missing ||
                 (c->kind == TableCell::Kind::Real && std::isnan(c->real)) ||
                 (c->kind == TableCell::Kind::Text && isMissingNumber(c->text))))
        continue;
      return (masks.first & bit) != 0 ? RowRefusal::MissingRa : RowRefusal::MissingDec;
    }
    return RowRefusal::None;
  };
  std::vector<TableCell> cells;
  std::int64_t rowNumber = 0;
  for (;;) {
    if (checkpoint) checkpoint(source->position());
    const std::size_t n = source->readRows(cells, static_cast<std::size_t>(kCheckpointLines));
    if (n == 0) break;
    linesRead_ += static_cast<std::int64_t>(n);
    for (std::size_t i = 0; i < n; ++i) {
      ++rowNumber;
      ++counters_.lines;
      const TypedRow row{cells.data() + i * width, typedCell_.data(), {}};
      // A missing component is no position: the row is refused rather than
      // put at 0.
      auto number = [&](int position) {
        const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
        return row.value(position, slot.calcA, slot.calcB, std::numeric_limits<double>::quiet_NaN());
      };
      auto isMinus = [&](int position) { return row.text(position, {}) == "-"; };
      auto angle = [&](int position, SexagesimalAxis axis) {
        const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
        return sexagesimalNumber(row.text(position, {}), axis, slot.calcA, slot.calcB);
      };
      const SkyPosition position = positionFrom(number, isMinus, angle, ratype_, dectype_, raCount_);
      if (!position.valid) {
        const RowRefusal missing = missingPosition(row);
        reject(rowText(row.cells, rowNumber), missing != RowRefusal::None ? reasonOf(missing) : reasonOf(position),
               [&] { return quoted(path) + " row " + std::to_string(rowNumber); });
        if (missing != RowRefusal::None) note(rowNumber, {}, missing, "row");
        continue;
      }
      const int region = findRegion_(position.dec, position.ra);
      std::uint8_t* record = wholeRecord_ ? files_.recordSpace(region) : record_.data();
      const std::uint64_t cuts = fillRecord(row, record, position.ra, position.dec);
      if (cuts != 0) countCuts(cuts, [&] { return quoted(path) + " row " + std::to_string(rowNumber); });
      if (!names_.empty()) writeIndexRecords(row, position.ra, position.dec);
      if (wholeRecord_) {
        files_.commitRecord(region);
      } else {
        files_.writeRecord(region, record_.data());
      }
      ++counters_.records;
    }
  }
}

}  // namespace mirdal
