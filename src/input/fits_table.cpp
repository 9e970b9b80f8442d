// Binary-table extensions of FITS files, read through cfitsio.
//
// cfitsio finds the extension, reads its header and hands over the raw
// bytes of the rows, a chunk of its optimal size at a time; the cells of
// the selected columns are decoded here from their big-endian form, which
// is several times faster than letting cfitsio convert column by column.
//
// cfitsio gets the bytes through a driver of ours over an InputSource, so
// that a compressed file is inflated in pieces as the rows are read (its own
// drivers inflate it whole into memory), a stop request is seen between
// pieces, and no byte past the data the headers declare is ever asked for.

#include <fitsio.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "input/input_source.h"
#include "input/kept_reads.h"
#include "input/typed_rows.h"
#include "util/coding.h"
#include "util/error.h"
#include "util/interrupt.h"
#include "util/text.h"

// cfitsio's own declaration (fitsio2.h) is not marked as C for a C++ reader.
extern "C" int fits_register_driver(
    char* prefix, int (*init)(void), int (*fitsshutdown)(void), int (*setoptions)(int option),
    int (*getoptions)(int* options), int (*getversion)(int* version),
    int (*checkfile)(char* urltype, char* infile, char* outfile),
    int (*fitsopen)(char* filename, int rwmode, int* driverhandle), int (*fitscreate)(char* filename, int* driverhandle),
    int (*fitstruncate)(int driverhandle, LONGLONG filesize), int (*fitsclose)(int driverhandle),
    int (*fremove)(char* filename), int (*size)(int driverhandle, LONGLONG* sizex), int (*flush)(int driverhandle),
    int (*seek)(int driverhandle, LONGLONG offset), int (*fitsread)(int driverhandle, void* buffer, long nbytes),
    int (*fitswrite)(int driverhandle, void* buffer, long nbytes));

namespace mirdal {
namespace {

namespace be = big_endian;

// The FITS library copies some header values into buffers of a fixed size
// without a bound (an unquoted value that fills its card overflows the
// column name's), and reads header bytes the standard does not allow. So
// every header of the file is looked at first, as the library would reach
// it: its cards must be ASCII text, and no value other than a quoted text
// may be longer than any real one. Returns the reason a header is refused;
// empty when none is, or when the file ends (the library then says why).
// The file is read through `fs`, which names it in any failure to read.
//
// Also the bytes the library may read: up to the end of the last data the
// headers declare (in whole blocks), or to the end of the text if it comes
// first.
std::string headerProblem(InputSource& source, std::int64_t& at);

struct HeaderWalk {
  std::string problem;
  std::int64_t size = 0;
};

// The text read through it, the first `most` bytes of it kept in `head`.
class HeadKeepingSource final : public InputSource {
 public:
  HeadKeepingSource(InputSource& source, std::string& head, std::size_t most)
      : source_(source), head_(head), most_(most) {}
  std::size_t read(char* buffer, std::size_t n, bool& atEnd) override {
    const std::size_t got = source_.read(buffer, n, atEnd);
    head_.append(buffer, std::min(got, most_ - std::min(most_, head_.size())));
    return got;
  }
  void skip(std::int64_t n) override {
    most_ = head_.size();  // what follows a gap is no longer the head
    source_.skip(n);
  }
  std::int64_t fileBytesRead() const override { return source_.fileBytesRead(); }
  std::int64_t fileSize() override { return source_.fileSize(); }
  void close() override { source_.close(); }
  const std::string& path() const override { return source_.path(); }
  bool compressed() const override { return source_.compressed(); }

 private:
  InputSource& source_;
  std::string& head_;
  std::size_t most_;
};

// Walks the headers of `path`, of `fileSize` bytes. A compressed file's
// whole text is inflated for it: while an import keeps what it reads, what
// the walk found and the head of the text are kept, and a later open of
// the file walks nothing and reads its head from them.
HeaderWalk walkHeaders(FileSystem& fs, const std::string& path, std::int64_t fileSize,
                       std::shared_ptr<const std::string>& keptHead) {
  HeaderWalk walk;
  KeptReads* const kept = KeptReads::current();
  if (const KeptReads::FitsText* text = kept ? kept->fitsText(path, fileSize) : nullptr) {
    keptHead = text->head;
    return {text->problem, text->textSize};
  }
  const std::unique_ptr<InputSource> f = openInputSourceByContent(fs, path);
  if (!kept || !kept->keeping() || !f->compressed()) {
    walk.problem = headerProblem(*f, walk.size);
    if (!f->compressed()) walk.size = std::min(walk.size, f->fileSize());
    return walk;
  }
  // Room taken at once: pages never written take no memory, and the head
  // is not copied as it grows.
  auto head = std::make_shared<std::string>();
  head->reserve(kept->room());
  HeadKeepingSource keeping(*f, *head, kept->room());
  walk.problem = headerProblem(keeping, walk.size);
  keptHead = head;
  kept->keepFitsText(path, fileSize, {walk.problem, walk.size, head});
  return walk;
}

std::string headerProblem(InputSource& source, std::int64_t& at) {
  constexpr int kBlock = 2880;
  constexpr int kCard = 80;
  constexpr std::size_t kLongestValue = 68;
  constexpr long long kMaxCards = 1'000'000;
  InputSource* const f = &source;
  char block[kBlock];
  bool atEnd = false;
  for (int hdu = 0; hdu < 100000; ++hdu) {
    const std::string where = hdu == 0 ? "the primary header" : "the header of extension " + std::to_string(hdu);
    long long bitpix = 0, naxis = 0, pcount = 0, gcount = 1, tfields = 0, tforms = 0;
    std::vector<long long> axes;
    long long cards = 0;
    bool end = false;
    while (!end) {
      // A block cut short is still read by the library: its cards are
      // checked as far as they go.
      const int got = atEnd ? 0 : static_cast<int>(f->read(block, kBlock, atEnd));
      at += got;
      if (got <= 0) return {};
      for (int c = 0; c < got / kCard && !end; ++c) {
        const std::string_view card(block + c * kCard, kCard);
        if (++cards > kMaxCards) return where + " has no END in its first " + std::to_string(kMaxCards) + " cards";
        for (char ch : card)
          if (ch < 32 || ch > 126)
            return where + ", card " + std::to_string(cards) + ": a byte that is not ASCII text (" +
                   std::to_string(static_cast<unsigned char>(ch)) +
                   "), where a header holds only text cards and ends with END";
        std::string_view key = card.substr(0, 8);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        if (key == "END") {
          end = true;
          break;
        }
        if (card.substr(8, 2) != "= ") continue;
        if (key.starts_with("TFORM") && key.size() > 5 &&
            key.find_first_not_of("0123456789", 5) == std::string_view::npos)
          ++tforms;
        std::string_view value = card.substr(10);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        if (!value.empty() && value.front() == '\'') continue;
        value = value.substr(0, value.find('/'));
        while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
        if (value.size() > kLongestValue)
          return where + ", card " + std::to_string(cards) + ": the value of " + std::string(key) + " is " +
                 std::to_string(value.size()) + " characters long and not a text in quotes";
        long long v = 0;
        if (std::from_chars(value.data(), value.data() + value.size(), v).ec != std::errc()) continue;
        if (key == "BITPIX") bitpix = v;
        else if (key == "NAXIS") naxis = v;
        else if (key == "PCOUNT") pcount = v;
        else if (key == "GCOUNT") gcount = v;
        else if (key == "TFIELDS") tfields = v;
        else if (key.starts_with("NAXIS") && axes.size() < 999) axes.push_back(v);
      }
      if (end) break;
      for (int i = got / kCard * kCard; i < got; ++i)
        if (block[i] < 32 || block[i] > 126)
          return where + ", card " + std::to_string(cards + 1) + ": a byte that is not ASCII text (" +
                 std::to_string(static_cast<unsigned char>(block[i])) +
                 "), where a header holds only text cards and ends with END";
    }
    if (!end) return {};
    // The library makes room for every column TFIELDS declares before it
    // reads their cards: a huge count in a small file takes gigabytes.
    if (tfields > 999)
      return where + " declares " + std::to_string(tfields) + " columns (TFIELDS), more than the 999 a FITS table may have";
    if (tfields > tforms)
      return where + " declares " + std::to_string(tfields) + " columns (TFIELDS) but describes " +
             std::to_string(tforms) + " (TFORMn cards)";
    // Past the data to the next header; the library judges data sizes.
    if (naxis < 0 || naxis > 999 || static_cast<long long>(axes.size()) < naxis || pcount < 0 || gcount < 0)
      return {};
    long long elements = naxis == 0 ? 0 : 1;
    for (long long k = 0; k < naxis; ++k) {
      const long long n = axes[static_cast<std::size_t>(k)];
      if (hdu == 0 && k == 0 && n == 0 && naxis > 1) continue;  // random groups
      if (n < 0 || (n > 0 && elements > (std::numeric_limits<long long>::max() >> 2) / n)) return {};
      elements *= n;
    }
    const long long width = std::abs(bitpix) / 8;
    if (pcount > (std::numeric_limits<long long>::max() >> 2) - elements || width == 0 || width > 8) return {};
    const long long words = elements + pcount;
    if (words > 0 && gcount > (std::numeric_limits<long long>::max() >> 4) / words) return {};
    long long bytes = width * gcount * words;
    bytes = (bytes + kBlock - 1) / kBlock * kBlock;
    if (bytes <= 0) continue;
    if (!f->compressed()) {
      if (bytes >= f->fileSize() - at) {  // the file ends inside the data
        at = f->fileSize();
        return {};
      }
      f->skip(bytes);  // a seek
      at += bytes;
      continue;
    }
    // Inflated and counted, to learn where the text ends.
    while (bytes > 0 && !atEnd) {
      stopIfInterrupted();
      const std::size_t got = f->read(block, static_cast<std::size_t>(std::min<long long>(bytes, kBlock)), atEnd);
      at += static_cast<std::int64_t>(got);
      bytes -= static_cast<long long>(got);
    }
    if (atEnd) return {};
  }
  return {};
}


// --- the driver cfitsio reads through ---------------------------------------

// One file open through the driver: the library names it by a number of its
// own ("mirdalinput://7"), which the driver's calls get back as their handle.
// A failure inside a call (a read error, corrupt compressed data, a stop
// request) cannot pass through the library as an exception: the call
// returns an error status and the exception waits here, for the reader to
// throw once the library has returned.
class DriverFile {
 public:
  static constexpr const char* kPrefix = "mirdalinput://";

  // `head`, when given, holds the first bytes of the text, read from it.
  DriverFile(FileSystem& fs, std::string path, std::int64_t size, std::shared_ptr<const std::string> head)
      : fs_(fs), path_(std::move(path)), size_(size), head_(std::move(head)) {
    registerDriver();
    const std::lock_guard<std::mutex> lock(mutex());
    handle_ = ++lastHandle();
    open()[handle_] = this;
  }
  ~DriverFile() {
    const std::lock_guard<std::mutex> lock(mutex());
    open().erase(handle_);
  }
  DriverFile(const DriverFile&) = delete;
  DriverFile& operator=(const DriverFile&) = delete;

  std::string url() const { return kPrefix + std::to_string(handle_); }
  // Throws what a driver call failed with, if one did.
  void rethrow() {
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::map<int, DriverFile*>& open() {
    static std::map<int, DriverFile*> files;
    return files;
  }
  static int& lastHandle() {
    static int n = 0;
    return n;
  }
  static DriverFile* of(int handle) {
    const std::lock_guard<std::mutex> lock(mutex());
    const auto it = open().find(handle);
    return it == open().end() ? nullptr : it->second;
  }

  static void registerDriver() {
    static std::once_flag once;
    std::call_once(once, [] {
      char prefix[] = "mirdalinput://";
      if (fits_register_driver(prefix, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &driverOpen, nullptr,
                               nullptr, &driverClose, nullptr, &driverSize, &driverFlush, &driverSeek, &driverRead,
                               &driverWrite) != 0)
        throw Error("the FITS library refuses the reader's driver");
    });
  }

  static int driverOpen(char* name, int mode, int* handle) {
    int n = 0;
    const auto [end, ec] = std::from_chars(name, name + std::strlen(name), n);
    if (ec != std::errc() || *end != '\0' || mode != READONLY || !of(n)) return FILE_NOT_OPENED;
    *handle = n;
    return 0;
  }
  static int driverClose(int) { return 0; }
  static int driverFlush(int) { return 0; }
  static int driverWrite(int, void*, long) { return WRITE_ERROR; }
  static int driverSize(int handle, LONGLONG* size) {
    DriverFile* f = of(handle);
    if (!f) return FILE_NOT_OPENED;
    *size = f->size_;
    return 0;
  }
  static int driverSeek(int handle, LONGLONG offset) {
    DriverFile* f = of(handle);
    if (!f || offset < 0 || offset > f->size_) return SEEK_ERROR;
    f->want_ = offset;
    return 0;
  }
  static int driverRead(int handle, void* buffer, long n) {
    DriverFile* f = of(handle);
    if (!f) return READ_ERROR;
    try {
      f->read(static_cast<char*>(buffer), n);
      return 0;
    } catch (...) {
      f->error_ = std::current_exception();
      return READ_ERROR;
    }
  }

  // `n` bytes from want_. The library steps back a little before most
  // reads (to the start of the block that holds the next row): those bytes
  // come from the ones kept behind the source. Farther forward is skipped;
  // farther back is a seek in a plain file and a new inflation of a
  // compressed one from its start.
  void read(char* buffer, long n) {
    stopIfInterrupted();
    if (n < 0 || want_ + n > size_) {
      // A FITS file is whole blocks of 2880 bytes: one that ends inside a
      // block is cut short, or its writer left out the last block's padding.
      if (n >= 0 && size_ % 2880 != 0)
        throw Error(quoted(path_) + ": the file ends at byte " + std::to_string(size_) +
                    ", inside a 2880-byte block: its data is cut short or lacks the padding of its last block");
      throw Error(quoted(path_) + ": a read past the data its headers declare");
    }
    std::size_t done = 0;
    const std::size_t count = static_cast<std::size_t>(n);
    if (head_ && want_ + n <= static_cast<std::int64_t>(head_->size())) {
      std::memcpy(buffer, head_->data() + want_, count);
      want_ += n;
      return;
    }
    if (source_ && want_ < at_ && at_ - want_ <= static_cast<std::int64_t>(behind_.size())) {
      const std::size_t back = static_cast<std::size_t>(at_ - want_);
      done = std::min(count, back);
      std::memcpy(buffer, behind_.data() + (behind_.size() - back), done);
      want_ += static_cast<std::int64_t>(done);
      if (done == count) return;
    }
    if (!source_ || (want_ < at_ && source_->compressed())) {
      source_ = openInputSourceByContent(fs_, path_);
      at_ = 0;
      behind_.clear();
    }
    if (want_ != at_) {
      source_->skip(want_ - at_);
      behind_.clear();
    }
    at_ = want_;
    bool atEnd = false;
    const std::size_t got = source_->read(buffer + done, count - done, atEnd);
    at_ += static_cast<std::int64_t>(got);
    want_ = at_;
    if (got >= kBehind) {
      behind_.assign(buffer + done + got - kBehind, kBehind);
    } else {
      behind_.append(buffer + done, got);
      if (behind_.size() > kBehind) behind_.erase(0, behind_.size() - kBehind);
    }
    if (done + got < count)
      throw Error(quoted(path_) + ": the file ends at byte " + std::to_string(at_) + ", inside the data its headers declare");
  }

  // Steps back stay within the block before (2880 bytes); a few blocks are kept.
  static constexpr std::size_t kBehind = std::size_t{16} << 10;

  FileSystem& fs_;
  std::string path_;
  std::int64_t size_;
  std::shared_ptr<const std::string> head_;
  int handle_ = 0;
  std::unique_ptr<InputSource> source_;
  std::int64_t at_ = 0, want_ = 0;  // where the source is; where the next read starts
  std::string behind_;              // the last bytes read before at_, up to kBehind
  std::exception_ptr error_;
};

// cfitsio's reason for `status`, and the first lines of its message stack
// (which say what it was doing), cleared afterwards.
std::string fitsReason(int status) {
  char text[FLEN_STATUS] = {};
  fits_get_errstatus(status, text);
  std::string reason = text;
  char line[FLEN_ERRMSG];
  int kept = 0;
  while (fits_read_errmsg(line) != 0) {
    std::string_view l = trimmedBlanksAndNulsAtEnd(line);
    if (kept < 3 && !l.empty() && l != reason) {
      reason += kept == 0 ? ": " : "; ";
      reason += l;
      ++kept;
    }
  }
  return reason;
}

// The storage of one column, from its TFORM.
struct ColumnForm {
  char code = 0;           // L X B I J K A E D C M P Q
  std::int64_t repeat = 1;
  std::int64_t bytes = 0;  // in a row
};

bool parseTform(std::string_view tform, ColumnForm& out) {
  std::size_t i = 0;
  while (i < tform.size() && tform[i] == ' ') ++i;
  std::int64_t repeat = 1;
  if (i < tform.size() && std::isdigit(static_cast<unsigned char>(tform[i]))) {
    auto [end, ec] = std::from_chars(tform.data() + i, tform.data() + tform.size(), repeat);
    if (ec != std::errc() || repeat < 0 || repeat > (std::int64_t{1} << 40)) return false;
    i = static_cast<std::size_t>(end - tform.data());
  }
  if (i >= tform.size()) return false;
  const char code = static_cast<char>(std::toupper(static_cast<unsigned char>(tform[i])));
  std::int64_t width = 0;
  switch (code) {
    case 'L': case 'B': case 'A': width = 1; break;
    case 'I': width = 2; break;
    case 'J': case 'E': width = 4; break;
    case 'K': case 'D': case 'C': width = 8; break;
    case 'M': width = 16; break;
    case 'P': width = 8; break;
    case 'Q': width = 16; break;
    case 'X': width = 0; break;
    default: return false;
  }
  out.code = code;
  out.repeat = repeat;
  if (code == 'X') out.bytes = (repeat + 7) / 8;
  else if (code == 'P' || code == 'Q') out.bytes = repeat > 0 ? width : 0;  // a descriptor into the heap
  else out.bytes = repeat * width;
  return true;
}

// How one column's cell is decoded.
struct ColumnCodec {
  ColumnForm form;
  std::int64_t offset = 0;  // of the cell in the row
  bool hasNull = false;
  std::int64_t null = 0;    // TNULL, as stored
  double scale = 1, zero = 0;
  bool integerResult = true;  // an integer column whose scaling keeps integers
  std::int64_t integerZero = 0;
};

bool selectable(const ColumnForm& f) {
  if (f.code == 'A') return true;
  if (f.code == 'X' || f.code == 'C' || f.code == 'M' || f.code == 'P' || f.code == 'Q') return false;
  return f.repeat == 1;
}

class FitsTable final : public TypedRowSource {
 public:
  FitsTable(FileSystem& fs, const std::string& path, const std::string& table) : path_(path) {
    open(fs, table);
    readColumns();
  }

  const TableLayout& layout() const override { return layout_; }

  void selectColumns(std::vector<int> numbers) override {
    for (int n : numbers) {
      if (n < 1 || n > static_cast<int>(codecs_.size()))
        throw Error(quoted(path_) + ": the table has no column " + std::to_string(n) + " (it has " +
                    std::to_string(codecs_.size()) + ")");
      const ColumnForm& f = codecs_[static_cast<std::size_t>(n - 1)].form;
      if (!selectable(f))
        throw Error(quoted(path_) + ": column " + std::to_string(n) + " (" + columnName(n) + ") holds " +
                    (f.repeat == 1 ? "a value of type " + std::string(1, f.code) + " (TFORM " + layout_.columns[n - 1].datatype + ")"
                                   : std::to_string(f.repeat) + " values per row (TFORM " + layout_.columns[n - 1].datatype + ")") +
                    "; only columns of one number or of text can be read");
    }
    selected_ = std::move(numbers);
  }

  std::size_t readRows(std::vector<TableCell>& cells, std::size_t maxRows) override {
    const std::size_t nsel = selected_.size();
    std::size_t done = 0;
    // Texts delivered by the last call may now go.
    for (auto& b : retired_) spare_.push_back(std::move(b));
    retired_.clear();
    cells.resize(maxRows * nsel);
    while (done < maxRows) {
      if (chunkNext_ >= chunkRows_) {
        if (!fillChunk(done > 0)) break;
      }
      const std::size_t take = std::min<std::size_t>(maxRows - done, chunkRows_ - chunkNext_);
      for (std::size_t r = 0; r < take; ++r) {
        const unsigned char* row = chunk_.data() + (chunkNext_ + r) * static_cast<std::size_t>(rowBytes_);
        TableCell* out = cells.data() + (done + r) * nsel;
        for (std::size_t c = 0; c < nsel; ++c)
          decode(codecs_[static_cast<std::size_t>(selected_[c] - 1)], row, out[c]);
      }
      chunkNext_ += take;
      done += take;
      rowsRead_ += static_cast<std::int64_t>(take);
    }
    cells.resize(done * nsel);
    return done;
  }

  std::int64_t rowsRead() const override { return rowsRead_; }
  std::int64_t position() const override {
    if (rowsRead_ >= rows_) return fileSize_;  // the rest is padding and other extensions
    const double consumed = static_cast<double>(dataStart_) + static_cast<double>(rowsRead_) * static_cast<double>(rowBytes_);
    if (logicalSize_ <= 0) return 0;
    return static_cast<std::int64_t>(std::min(1.0, consumed / static_cast<double>(logicalSize_)) * static_cast<double>(fileSize_));
  }
  std::int64_t size() const override { return fileSize_; }

 private:
  [[noreturn]] void fail(const std::string& reason) const { throw Error(quoted(path_) + ": " + reason); }
  void check(int status, const std::string& doing) {
    if (status != 0) fail(doing + ": " + reason(status));
  }
  // The library's reason for `status`, unless the driver failed under it:
  // then what it failed with.
  std::string reason(int status) {
    if (driver_) driver_->rethrow();
    return fitsReason(status);
  }

  std::string columnName(int n) const {
    const std::string& name = layout_.columns[static_cast<std::size_t>(n - 1)].name;
    return name.empty() ? "no name" : name;
  }

  // A keyword's value as text, or empty when the header lacks it.
  std::string stringKey(const std::string& key) {
    char value[FLEN_VALUE] = {};
    int status = 0;
    fits_write_errmark();
    if (fits_read_key(fits_, TSTRING, key.c_str(), value, nullptr, &status) != 0) {
      driver_->rethrow();
      fits_clear_errmark();
      return {};
    }
    return std::string(trimmedBlanksAndNulsAtEnd(value));
  }
  template <typename T>
  bool numberKey(const std::string& key, int type, T& value) {
    int status = 0;
    fits_write_errmark();
    if (fits_read_key(fits_, type, key.c_str(), &value, nullptr, &status) != 0) {
      driver_->rethrow();
      fits_clear_errmark();
      if (status == KEY_NO_EXIST) return false;
      fail("the header's " + key + " is not a number");
    }
    return true;
  }

  void open(FileSystem& fs, const std::string& table) {
    if (const auto id = fs.identity(path_); id && !id->regular) fail("not a file");
    fileSize_ = fs.fileSize(path_);
    std::shared_ptr<const std::string> head;
    const HeaderWalk walk = walkHeaders(fs, path_, fileSize_, head);
    if (!walk.problem.empty()) fail(walk.problem);
    driver_ = std::make_unique<DriverFile>(fs, path_, walk.size, std::move(head));
    int status = 0;
    fits_clear_errmsg();
    if (fits_open_file(&fits_, driver_->url().c_str(), READONLY, &status) != 0) {
      fits_ = nullptr;
      fail("cannot be read as a FITS file: " + reason(status));
    }
    logicalSize_ = fits_->Fptr->logfilesize;
    int hdus = 0;
    check(fits_get_num_hdus(fits_, &hdus, &status), "cannot count its extensions");
    int type = 0;
    if (table.empty()) {
      // The first binary table; moving on reads each header, so a broken
      // one on the way is reported as such.
      for (int h = 2;; ++h) {
        status = 0;
        if (fits_movabs_hdu(fits_, h, &type, &status) != 0) {
          driver_->rethrow();
          if (status == END_OF_FILE) {
            fits_clear_errmsg();
            fail("holds no binary table extension");
          }
          check(status, "cannot read extension " + std::to_string(h - 1));
        }
        if (type == BINARY_TBL) break;
      }
    } else if (std::all_of(table.begin(), table.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      int n = 0;
      std::from_chars(table.data(), table.data() + table.size(), n);
      if (n < 1 || table.size() > 6) fail("no extension " + table + " (extensions are numbered from 1)");
      if (fits_movabs_hdu(fits_, n + 1, &type, &status) != 0) {
        driver_->rethrow();
        if (status == END_OF_FILE) {
          fits_clear_errmsg();
          fail("has no extension " + table);
        }
        check(status, "cannot read extension " + table);
      }
      if (type != BINARY_TBL) fail("extension " + table + " is not a binary table");
    } else {
      std::string name = table;
      if (fits_movnam_hdu(fits_, ANY_HDU, name.data(), 0, &status) != 0) {
        driver_->rethrow();
        if (status == BAD_HDU_NUM) {
          fits_clear_errmsg();
          fail("has no extension named \"" + table + "\"");
        }
        check(status, "cannot find the extension named \"" + table + "\"");
      }
      fits_get_hdu_type(fits_, &type, &status);
      if (type != BINARY_TBL) fail("extension \"" + table + "\" is not a binary table");
    }
    int hdu = 0;
    fits_get_hdu_num(fits_, &hdu);
    where_ = table.empty() ? "" : " (extension " + std::to_string(hdu - 1) + ")";
  }

  void readColumns() {
    int status = 0;
    layout_.form = TableForm::Fits;
    long long naxis1 = 0, naxis2 = 0;
    if (!numberKey("NAXIS1", TLONGLONG, naxis1) || !numberKey("NAXIS2", TLONGLONG, naxis2) || naxis1 < 0 || naxis2 < 0)
      fail("the binary table" + where_ + " has no valid NAXIS1 and NAXIS2");
    // Rows of no bytes would be counted forever without a byte of the file
    // read for them.
    if (naxis1 == 0 && naxis2 > 0)
      fail("the binary table" + where_ + " declares " + std::to_string(naxis2) +
           " rows of no bytes (NAXIS1 = 0): a row holds no value");
    rowBytes_ = naxis1;
    rows_ = naxis2;
    int ncols = 0;
    check(fits_get_num_cols(fits_, &ncols, &status), "cannot read the table's columns" + where_);
    LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
    check(fits_get_hduaddrll(fits_, &headStart, &dataStart, &dataEnd, &status), "cannot locate the table's rows");
    dataStart_ = dataStart;
    // A row count beyond the file's end is refused before any row is read:
    // a wrong NAXIS2, or a file cut short.
    if (naxis1 > 0 && naxis2 > (logicalSize_ - dataStart) / naxis1) {
      const std::int64_t have = std::max<std::int64_t>(0, logicalSize_ - dataStart);
      fail("the table" + where_ + " declares " + std::to_string(naxis2) + " rows of " + std::to_string(naxis1) +
           " bytes, but the file holds " + std::to_string(have) + " bytes of rows (" + std::to_string(have / naxis1) +
           " rows): it is cut short or its NAXIS2 is wrong");
    }
    std::int64_t offset = 0;
    for (int c = 1; c <= ncols; ++c) {
      const std::string n = std::to_string(c);
      TableColumn col;
      col.number = c;
      col.name = stringKey("TTYPE" + n);
      col.unit = stringKey("TUNIT" + n);
      col.ucd = stringKey("TUCD" + n);
      col.description = stringKey("TCOMM" + n);
      col.datatype = stringKey("TFORM" + n);
      ColumnCodec codec;
      if (!parseTform(col.datatype, codec.form))
        fail("column " + n + " has a TFORM that is not a binary table's: \"" + col.datatype + "\"");
      codec.offset = offset;
      offset += codec.form.bytes;
      long long tnull = 0;
      const bool integerColumn = std::strchr("BIJK", codec.form.code) != nullptr;
      if (integerColumn && numberKey("TNULL" + n, TLONGLONG, tnull)) {
        codec.hasNull = true;
        codec.null = tnull;
        col.nullValue = std::to_string(tnull);
      }
      numberKey("TSCAL" + n, TDOUBLE, codec.scale);
      numberKey("TZERO" + n, TDOUBLE, codec.zero);
      // Integers stay integers when only shifted by a whole number that
      // keeps them in range (TZERO 128, 32768, 2147483648: the standard's
      // unsigned forms); other scaled integers become reals.
      codec.integerResult = codec.scale == 1 && codec.zero == std::floor(codec.zero) &&
                            std::fabs(codec.zero) <= 4294967296.0;
      if (codec.integerResult) codec.integerZero = static_cast<std::int64_t>(codec.zero);
      if (codec.form.code == 'K' && codec.zero != 0) codec.integerResult = false;
      if (col.name.empty()) layout_.notes.push_back("column " + n + " has no TTYPE");
      layout_.columns.push_back(std::move(col));
      codecs_.push_back(codec);
    }
    if (offset > naxis1)
      fail("the columns' TFORMs take " + std::to_string(offset) + " bytes, more than a row's " + std::to_string(naxis1) +
           " (NAXIS1)");
    for (std::size_t i = 0; i < layout_.columns.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (!layout_.columns[i].name.empty() && layout_.columns[i].name == layout_.columns[j].name) {
          layout_.notes.push_back("columns " + std::to_string(j + 1) + " and " + std::to_string(i + 1) +
                                  " are both named \"" + layout_.columns[i].name + "\"");
          break;
        }
    long chunk = 0;
    check(fits_get_rowsize(fits_, &chunk, &status), "cannot size the read buffer");
    chunkCapacity_ = static_cast<std::size_t>(std::max(1L, chunk));
    // Very wide rows: at least one, at most ~8 MB of them.
    const std::size_t maxRows = std::max<std::size_t>(1, (std::size_t{8} << 20) / static_cast<std::size_t>(std::max<long long>(1, naxis1)));
    chunkCapacity_ = std::min(chunkCapacity_, maxRows);
  }

  // The next chunk of rows; with `keepOld`, the texts of the current one are
  // still in use and its buffer is kept until the next readRows.
  bool fillChunk(bool keepOld) {
    if (keepOld && !chunk_.empty()) {
      retired_.push_back(std::move(chunk_));
      chunk_.clear();
      if (!spare_.empty()) {
        chunk_ = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    if (rowsRead_ >= rows_ || rowBytes_ == 0) return false;
    const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(chunkCapacity_), rows_ - rowsRead_);
    chunk_.resize(static_cast<std::size_t>(n * rowBytes_));
    int status = 0;
    if (fits_read_tblbytes(fits_, rowsRead_ + 1, 1, n * rowBytes_, chunk_.data(), &status) != 0)
      fail("cannot read rows " + std::to_string(rowsRead_ + 1) + " to " + std::to_string(rowsRead_ + n) + ": " +
           reason(status));
    chunkRows_ = static_cast<std::size_t>(n);
    chunkNext_ = 0;
    return true;
  }

  static void integerCell(const ColumnCodec& c, std::int64_t raw, TableCell& out) {
    if (c.hasNull && raw == c.null) {
      out.kind = TableCell::Kind::Missing;
    } else if (c.integerResult) {
      out.kind = TableCell::Kind::Integer;
      out.integer = raw + c.integerZero;
    } else {
      out.kind = TableCell::Kind::Real;
      out.real = static_cast<double>(raw) * c.scale + c.zero;
    }
  }
  static void realCell(const ColumnCodec& c, double v, TableCell& out) {
    if (std::isnan(v)) {
      out.kind = TableCell::Kind::Missing;
    } else {
      out.kind = TableCell::Kind::Real;
      out.real = c.scale == 1 && c.zero == 0 ? v : v * c.scale + c.zero;
    }
  }

  static void decode(const ColumnCodec& c, const unsigned char* row, TableCell& out) {
    const unsigned char* p = row + c.offset;
    switch (c.form.code) {
      case 'D': realCell(c, be::load<double>(p), out); return;
      case 'E': realCell(c, be::load<float>(p), out); return;
      case 'K': integerCell(c, be::load<std::int64_t>(p), out); return;
      case 'J': integerCell(c, be::load<std::int32_t>(p), out); return;
      case 'I': integerCell(c, be::load<std::int16_t>(p), out); return;
      case 'B': integerCell(c, *p, out); return;
      case 'L':
        if (*p == 'T' || *p == 'F') {
          out.kind = TableCell::Kind::Integer;
          out.integer = *p == 'T';
        } else {
          out.kind = TableCell::Kind::Missing;
        }
        return;
      case 'A': {
        // The text ends at its first NUL, then its trailing blanks go.
        const char* s = reinterpret_cast<const char*>(p);
        const std::size_t len = static_cast<std::size_t>(c.form.repeat);
        const void* nul = std::memchr(s, 0, len);
        std::string_view t = trimmedBlanksAndNulsAtEnd(std::string_view(s, nul ? static_cast<const char*>(nul) - s : len));
        if (t.empty()) {
          out.kind = TableCell::Kind::Missing;
        } else {
          out.kind = TableCell::Kind::Text;
          out.text = t;
        }
        return;
      }
      default: out.kind = TableCell::Kind::Missing; return;
    }
  }

  std::string path_;
  std::string where_;
  // Outlives the library's hold on the file (fits_ is closed first).
  std::unique_ptr<DriverFile> driver_;
  // Closed also when the constructor throws.
  struct Closer {
    fitsfile*& file;
    ~Closer() {
      int status = 0;
      if (file) fits_close_file(file, &status);
    }
  };
  fitsfile* fits_ = nullptr;
  Closer closer_{fits_};
  TableLayout layout_;
  std::vector<ColumnCodec> codecs_;
  std::vector<int> selected_;
  std::int64_t rowBytes_ = 0, rows_ = 0, rowsRead_ = 0;
  std::int64_t dataStart_ = 0, logicalSize_ = 0, fileSize_ = 0;
  std::vector<unsigned char> chunk_;
  std::vector<std::vector<unsigned char>> retired_, spare_;
  std::size_t chunkCapacity_ = 1, chunkRows_ = 0, chunkNext_ = 0;
};

}  // namespace

std::unique_ptr<TypedRowSource> openFitsTable(const std::string& path, const std::string& table, FileSystem& fs) {
  return std::make_unique<FitsTable>(fs, path, table);
}

TableLayout readFitsLayout(const std::string& path, const std::string& table, FileSystem& fs) {
  return FitsTable(fs, path, table).layout();
}

bool fitsColumnSelectable(const std::string& tform) {
  ColumnForm f;
  return parseTform(tform, f) && selectable(f);
}

}  // namespace mirdal
