#include "convert/conversion_loop.h"

#include <system_error>
#include <thread>
#include <utility>

#include "util/error.h"
#include "util/text.h"
#include "util/threads.h"

namespace mirdal {

namespace {

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

}  // namespace

ConversionLoop::~ConversionLoop() {
  helper_.reset();  // its last jobs may still flush
  files_.shareFlushes({});
}

ConversionLoop::ConversionLoop(const CatalogDefinition& definition, const RecordLayout& layout, CatalogFiles& files,
                               RejectLog& rejectLog, FileSystem& fs)
    : def_(definition),
      builder_(definition, layout),
      files_(files),
      rejectLog_(rejectLog),
      fs_(fs),
      record_(builder_.recordLength()),
      indexRecords_(builder_.indexRoom()),
      shareBatches_(std::thread::hardware_concurrency() > 1) {}

void ConversionLoop::convertFile(const std::string& path, int eol, const Opened& opened,
                                 const Checkpoint& checkpoint) {
  InputFormat format = InputFormat::of(def_.settings);
  format.eol = eol;
  RowSource rows(fs_, path, format);
  path_ = path;
  lineNumber_ = 0;
  rows.selectSlots(builder_.startFile(path, rows.layout()));
  if (opened) opened(rows.size());
  // Rows refused in convertRow are named through the source, while it lives.
  source_ = &rows;
  struct Forget {
    RowSource*& source;
    ~Forget() { source = nullptr; }
  } forget{source_};
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
      SourceRow row;
      if (!rows.next(row)) break;
      lineNumber_ = row.number;
      // Typed cells live only until the next chunk of rows: they are
      // converted as they come.
      if (batching() && !row.cells) {
        addToBatch(row.text, row.number);
      } else {
        convertRow(row);
      }
    } catch (...) {
      drain();
      throw;
    }
  }
  drain();
  rows.close();
}

void ConversionLoop::convertLine(std::string_view line) {
  SourceRow row;
  row.text = line;
  row.number = lineNumber_;
  convertRow(row);
}

void ConversionLoop::convertRow(const SourceRow& row) {
  const BuiltRow built = builder_.build(row, 0, record_.data(), indexRecords_.data());
  const char* const unit = source_ ? source_->rowUnit() : "line";
  auto where = [&] { return quoted(path_) + " " + unit + " " + std::to_string(row.number); };
  const std::string_view rejected = built.region == 0 && source_ ? source_->rejectText(row) : row.text;
  if (!handOnRow(built, record_.data(), indexRecords_.data(), rejected, where) && built.refusal != RowRefusal::None)
    note(row.number, row.text, built.refusal, unit);
}

// The record is complete before its index records are written, and is
// appended after them: a failure while writing those leaves it out. False
// for a refused row, which goes to the reject log as `rejected`.
template <typename Where>
bool ConversionLoop::handOnRow(const BuiltRow& built, const std::uint8_t* record, const std::uint8_t* index,
                               std::string_view rejected, const Where& where) {
  ++counters_.lines;
  if (built.region == 0) {
    reject(rejected, built.reason, where);
    return false;
  }
  for (std::uint8_t k = 0; k < built.names; ++k) {
    files_.writeIndexRecord(index + k * builder_.indexRecordLength());
    ++counters_.indexRecords;
  }
  files_.writeRecord(built.region, record);
  ++counters_.records;
  if (built.cuts != 0) countCuts(built.cuts, where);
  return true;
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
  if (def_.settings.format != TableForm::Fixed) batch.lineNumbers.push_back(lineNumber);
  // The records of a batch are held until it is handed on: bound them too,
  // for records far longer than their lines (wide fields past short lines).
  const std::size_t recordBytes = batch.ends.size() * (builder_.recordLength() + builder_.indexRoom());
  if (batch.bytes.size() >= kBatchBytes || recordBytes >= kBatchRecordBytes) endBatch();
}


void ConversionLoop::convertLines(Batch& batch, std::size_t from, std::size_t to, int reader) {
  const std::size_t recordLength = builder_.recordLength();
  const std::size_t indexRoom = builder_.indexRoom();
  SourceRow row;
  for (std::size_t i = from; i < to; ++i) {
    row.text = batch.line(i);
    batch.built[i] =
        builder_.build(row, reader, batch.records.data() + i * recordLength, batch.indexRecords.data() + i * indexRoom);
  }
}

// Converts pieces of the batch until none is left; both threads run it.
void ConversionLoop::convertShare(Batch& batch, int reader) {
  const std::size_t n = batch.ends.size();
  for (;;) {
    const std::size_t from = nextLine_.fetch_add(kShareLines, std::memory_order_relaxed);
    if (from >= n) return;
    convertLines(batch, from, std::min(n, from + kShareLines), reader);
  }
}

// The files and the reject log get the lines in input order. The batch is
// emptied however this ends, so that nothing is handed on twice.
void ConversionLoop::handOn(Batch& batch) {
  struct Emptied {
    Batch& batch;
    ~Emptied() { batch.empty(); }
  } emptied{batch};
  const std::size_t recordLength = builder_.recordLength();
  const std::size_t indexRoom = builder_.indexRoom();
  const std::size_t n = batch.ends.size();
  auto lineNumber = [&batch](std::size_t i) {
    return batch.lineNumbers.empty() ? batch.firstLine + static_cast<std::int64_t>(i) : batch.lineNumbers[i];
  };
  for (std::size_t i = 0; i < n; ++i) {
    const BuiltRow& built = batch.built[i];
    if (!handOnRow(built, batch.records.data() + i * recordLength, batch.indexRecords.data() + i * indexRoom,
                   batch.line(i), [&] { return quoted(path_) + " line " + std::to_string(lineNumber(i)); }) &&
        !batch.lineNumbers.empty() && built.refusal != RowRefusal::None)
      note(batch.lineNumbers[i], batch.line(i), built.refusal);
  }
}

template <typename Where>
void ConversionLoop::countCuts(std::uint64_t mask, const Where& where) {
  if ((mask & RecordBuilder::kMagnitudeBits) != 0) {
    if ((mask & RecordBuilder::kFainterBit) != 0 && counters_.fainter++ == 0) counters_.firstFainter = where();
    for (int k = 0; k < kMagnitudeChangeCount; ++k) {
      const auto i = static_cast<std::size_t>(k);
      const std::uint64_t bit = std::uint64_t{1} << (RecordBuilder::kFirstChangeBit + k);
      if ((mask & bit) != 0 && counters_.magnitudesChanged[i]++ == 0)
        counters_.firstMagnitudeChanged[i] = where();
    }
    mask &= ~RecordBuilder::kMagnitudeBits;
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
  const std::size_t recordLength = builder_.recordLength();
  const std::size_t indexRoom = builder_.indexRoom();
  batch.built.resize(n);
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
    convertShare(batch, 0);
    handOn(batch);
    return;
  }

  // The helper may still be handing on the previous batch; it takes pieces
  // of this one when it is done, and hands this one on while this thread
  // reads the next.
  helper_->post([this, &batch] { convertShare(batch, 1); });
  convertShare(batch, 0);  // writes nothing but the batch's own buffers
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
  counters_.notes.push_back("\"" + path_ + "\" " + unit + " " + std::to_string(lineNumber) + ": " +
                            builder_.refusalText(row, refusal));
}

}  // namespace mirdal
