#include "input/row_source.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "input/table_text.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

// Whether `line` holds an even number of `"`; most rows hold none or two,
// so the search jumps from quote to quote.
bool quoteCountIsEven(std::string_view line) {
  const char* p = line.data();
  const char* const end = p + line.size();
  bool even = true;
  while ((p = static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)))) != nullptr) {
    even = !even;
    ++p;
  }
  return even;
}

}  // namespace

RowSource::RowSource(FileSystem& fs, const std::string& path, const InputFormat& format)
    : path_(path), reader_(fs), cells_(isDelimited(format.form)) {
  if (isTypedForm(format.form)) {
    typed_ = openTypedTable(format.form, path, format.table, fs);
    return;
  }
  reader_.open(path, format.eol);
  if (format.form == TableForm::Fixed) return;
  layout_ = readTableLayout(fs, path, format.form, format.headerRow);
  headerLines_ = layout_.dataLine - 1;
  byteOrderMark_ = layout_.byteOrderMark && layout_.dataLine == 1;
  joinSplitter_.setDelimiting(layout_.delimiting);
  if (format.form != TableForm::Ipac) return;
  for (const TableColumn& c : layout_.columns)
    if (!c.nullValue.empty() && asciiLowered(c.nullValue) != "null" && c.firstByte >= 1 && c.lastByte >= c.firstByte)
      nullMarkers_.push_back({static_cast<std::size_t>(c.firstByte - 1),
                              static_cast<std::size_t>(c.lastByte - c.firstByte + 1), c.nullValue});
}

RowSource::~RowSource() = default;

std::string_view RowSource::withNullsMarked(std::string_view line) {
  bool copied = false;
  for (const NullMarker& m : nullMarkers_) {
    if (m.offset >= line.size() || trimmed(line.substr(m.offset, m.width)) != m.marker) continue;
    if (!copied) markedLine_.assign(line);
    copied = true;
    const std::size_t width = std::min(m.width, line.size() - m.offset);
    constexpr std::string_view kNull = "null";
    for (std::size_t i = 0; i < width; ++i) markedLine_[m.offset + i] = i < kNull.size() ? kNull[i] : ' ';
  }
  return copied ? std::string_view(markedLine_) : line;
}

TableLayout readInputLayout(FileSystem& fs, const std::string& path, const InputFormat& format) {
  if (isTypedForm(format.form)) return readTypedLayout(format.form, path, format.table, fs);
  if (format.form == TableForm::Fixed) return {};
  return readTableLayout(fs, path, format.form, format.headerRow);
}

std::int64_t RowSource::position() const { return typed_ ? typed_->position() : reader_.position(); }
std::int64_t RowSource::size() const { return typed_ ? typed_->size() : reader_.size(); }

void RowSource::close() {
  if (typed_) typed_.reset();
  reader_.close();
}

// Lines read again after a quote that never closed come first.
bool RowSource::take(std::string_view& line, std::int64_t& number) {
  if (replayNext_ < replay_.size()) {
    number = replay_[replayNext_].first;
    replayLine_ = std::move(replay_[replayNext_].second);
    if (++replayNext_ == replay_.size()) {
      replay_.clear();
      replayNext_ = 0;
    }
    line = replayLine_;
    return true;
  }
  if (reader_.endOfInput()) return false;
  line = reader_.readLine();
  number = ++physicalLine_;
  return true;
}

bool RowSource::nextLine(std::string_view& row, std::int64_t& lineNumber) {
  if (typed_) throw Error(quoted(path_) + ": a " + std::string(tableFormName(form())) + " table has no rows of text");
  for (;;) {
    std::string_view line;
    // Lines are taken from the reader here, and through take() only while
    // lines wait to be read again.
    if (replay_.empty()) {
      if (reader_.endOfInput()) return false;
      line = reader_.readLine();
      lineNumber = ++physicalLine_;
    } else if (!take(line, lineNumber)) {
      return false;
    }
    if (lineNumber <= headerLines_) continue;
    if (lineNumber == 1 && byteOrderMark_) line = withoutByteOrderMark(line);
    if (!cells_) {
      row = nullMarkers_.empty() ? line : withNullsMarked(line);
      return true;
    }
    if (isCommentOrBlank(line) || (layout_.delimiting.enclosed && isRuleLine(line, layout_.delimiting))) continue;
    // An even count of quotes cannot leave one open; an odd count is
    // split to be sure (a quote inside an unquoted cell is a plain byte).
    if (quoteCountIsEven(line) || joinSplitter_.split(line) != RowStatus::OpenQuote) {
      row = line;
      return true;
    }
    joined_.assign(line);
    std::vector<std::pair<std::int64_t, std::string>> taken;
    bool closed = false;
    while (static_cast<int>(taken.size()) < kMaxJoinedLines && joined_.size() < kMaxJoinedBytes) {
      std::string_view next;
      std::int64_t number;
      if (!take(next, number)) break;
      taken.emplace_back(number, std::string(next));
      joined_ += '\n';
      joined_.append(next);
      if (!joinSplitter_.quoteStaysOpen(next)) {
        // Closed; but another quote may open further on.
        closed = joinSplitter_.split(joined_) != RowStatus::OpenQuote;
        if (closed) break;
      }
    }
    if (closed) {
      row = joined_;
      return true;
    }
    // The quote never closed: the first line alone is the refused row, and
    // the lines after it are rows of their own.
    joined_.assign(line);
    taken.insert(taken.end(), std::make_move_iterator(replay_.begin() + static_cast<std::ptrdiff_t>(replayNext_)),
                 std::make_move_iterator(replay_.end()));
    replay_ = std::move(taken);
    replayNext_ = 0;
    row = joined_;
    return true;
  }
}

bool RowSource::next(SourceRow& row) {
  if (!typed_) {
    row.cells = nullptr;
    row.cellOfSlot = nullptr;
    return nextLine(row.text, row.number);
  }
  if (typedRowNext_ == typedRowsHeld_) {
    constexpr std::int64_t kChunkRows = 1000;
    std::int64_t want = kChunkRows;
    if (rowLimit_ > 0) want = std::min(want, rowLimit_ - rowNumber_);
    typedRowNext_ = 0;
    if (want <= 0) {
      typedRowsHeld_ = 0;
      return false;
    }
    typedRowsHeld_ = typed_->readRows(typedCells_, static_cast<std::size_t>(want));
    if (typedRowsHeld_ == 0) return false;
  }
  // A row of no column selected is a row all the same.
  static const TableCell kNoCell;
  row.text = {};
  const std::size_t width = selected_.size();
  row.cells = width == 0 ? &kNoCell : typedCells_.data() + typedRowNext_ * width;
  ++typedRowNext_;
  row.cellOfSlot = cellOfSlot_.data();
  row.number = ++rowNumber_;
  return true;
}

bool RowSource::rowsLeft() {
  if (!typed_ || rowLimit_ <= 0 || rowNumber_ < rowLimit_ || typedRowNext_ < typedRowsHeld_) return false;
  // At the limit: whether a row follows it.
  if (!peeked_) rowsLeft_ = typed_->readRows(typedCells_, 1) > 0;
  peeked_ = true;
  return rowsLeft_;
}

void RowSource::selectSlots(const FileColumns& columns) {
  if (!typed_) return;
  selected_.clear();
  cellOfSlot_.fill(-1);
  for (std::size_t p = 0; p < columns.cell.size(); ++p) {
    const int c = columns.cell[p];
    if (c < 0) continue;
    const auto at = std::find(selected_.begin(), selected_.end(), c + 1);
    cellOfSlot_[p] = static_cast<int>(at - selected_.begin());
    if (at == selected_.end()) selected_.push_back(c + 1);
  }
  typed_->selectColumns(selected_);
}

void RowSource::selectColumns(std::vector<int> numbers) {
  if (!typed_) return;
  selected_ = std::move(numbers);
  cellOfSlot_.fill(-1);
  typed_->selectColumns(selected_);
}

std::string_view RowSource::rejectText(const SourceRow& row) {
  if (!row.cells) return row.text;
  rejectText_ = "row " + std::to_string(row.number);
  for (std::size_t k = 0; k < selected_.size(); ++k) {
    const TableColumn& column = layout().columns[static_cast<std::size_t>(selected_[k] - 1)];
    rejectText_ += '\t';
    rejectText_ += column.name.empty() ? std::to_string(column.number) : column.name;
    rejectText_ += '=';
    rejectText_ += cellText(row.cells[k]);
  }
  return rejectText_;
}

bool RowSource::cellTexts(const SourceRow& row, std::vector<std::string>& cells) {
  const std::vector<TableColumn>& columns = layout().columns;
  if (form() == TableForm::Fixed) {
    cells.assign(1, std::string(row.text));
    return true;
  }
  cells.assign(columns.size(), std::string());
  if (row.cells) {
    for (std::size_t k = 0; k < selected_.size(); ++k)
      cells[static_cast<std::size_t>(selected_[k] - 1)] = cellText(row.cells[k]);
    return true;
  }
  if (isDelimited(form())) {
    if (!cellSplitter_) cellSplitter_ = std::make_unique<RowSplitter>(layout().delimiting);
    if (cellSplitter_->split(row.text) != RowStatus::Ok) return false;
    for (std::size_t c = 0; c < cellSplitter_->size() && c < columns.size(); ++c) cells[c] = cellSplitter_->cell(c);
    return true;
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const TableColumn& column = columns[c];
    if (column.firstByte >= 1 && static_cast<std::size_t>(column.firstByte) <= row.text.size())
      cells[c] = row.text.substr(static_cast<std::size_t>(column.firstByte - 1),
                                 static_cast<std::size_t>(column.lastByte - column.firstByte + 1));
  }
  return true;
}

RowSample readRowSample(FileSystem& fs, const std::string& path, const InputFormat& format, std::size_t maxRows,
                        std::size_t maxLineLength) {
  RowSource source(fs, path, format);
  RowSample sample;
  sample.layout = source.layout();
  if (source.typed()) {
    // The first row, each cell as its shortest exact text.
    sample.cells = sampleRow(source.typedRows());
    if (sample.cells.empty()) throw Error(quoted(path) + " has no row of data");
    std::string row;
    for (std::size_t c = 0; c < sample.cells.size(); ++c) {
      sample.widths.push_back(static_cast<int>(sample.cells[c].size()));
      if (c > 0) row += ',';
      row += '"';
      for (char ch : sample.cells[c]) row += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      row += '"';
    }
    sample.rows.push_back(std::move(row));
    sample.layout.delimiting = delimitingOf(TableForm::Csv);
    return sample;
  }
  source.setMaxLineLength(maxLineLength);
  std::string_view row;
  std::int64_t lineNumber = 0;
  while (sample.rows.size() < maxRows && source.nextLine(row, lineNumber)) sample.rows.emplace_back(row);
  source.close();
  if (format.form == TableForm::Fixed) return sample;
  if (sample.rows.empty()) throw Error(quoted(path) + " has no row of data after its header");

  const std::vector<TableColumn>& columns = sample.layout.columns;
  sample.cells.resize(columns.size());
  sample.widths.assign(columns.size(), 0);
  if (isDelimited(format.form)) {
    RowSplitter splitter(sample.layout.delimiting);
    for (std::size_t r = 0; r < sample.rows.size(); ++r) {
      if (splitter.split(sample.rows[r]) != RowStatus::Ok) continue;
      for (std::size_t c = 0; c < splitter.size() && c < columns.size(); ++c) {
        const std::string_view cell = splitter.cell(c);
        if (r == 0) sample.cells[c] = cell;
        sample.widths[c] = std::max(sample.widths[c], static_cast<int>(trimmed(cell).size()));
      }
    }
  } else {
    // MRT: the bytes of each column in the first row.
    const std::string& first = sample.rows.front();
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const TableColumn& column = columns[c];
      if (column.firstByte >= 1 && static_cast<std::size_t>(column.firstByte) <= first.size())
        sample.cells[c] = first.substr(static_cast<std::size_t>(column.firstByte - 1),
                                       static_cast<std::size_t>(column.lastByte - column.firstByte + 1));
    }
  }
  return sample;
}

}  // namespace mirdal
