#include "input/input_source.h"

#ifndef MIRDAL_HAVE_ISAL
#define MIRDAL_HAVE_ISAL 0
#endif

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>
#if MIRDAL_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>
#include <vector>

#include "input/read_ahead.h"
#include "util/error.h"
#include "util/interrupt.h"
#include "util/text.h"

namespace mirdal {

namespace {

// "Input file "x.csv" changed while it was read (size 1234 -> 0)"; `after`
// is nothing when the file is no longer a regular one.
std::string changedWhileReadMessage(const std::string& path, const FileState& before,
                                    const std::optional<FileState>& after) {
  std::string why;
  if (!after)
    why = "it is no longer a regular file";
  else if (after->size != before.size)
    why = "size " + std::to_string(before.size) + " -> " + std::to_string(after->size);
  else
    why = "its modification time changed, its size of " + std::to_string(before.size) + " bytes did not";
  return "Input file " + quoted(path) + " changed while it was read (" + why + ")";
}

// A regular file's state at its open, compared again where its text ends: a
// file cut short, grown or rewritten meanwhile would otherwise end as if it
// were complete, or hand out parts of two texts. Pipes have no state and are
// read as they come.
class ChangeCheck {
 public:
  explicit ChangeCheck(File& file) : before_(file.state()) {}
  void atEnd(File& file) const {
    if (!before_) return;
    const std::optional<FileState> now = file.state();
    if (now != before_) throw Error(changedWhileReadMessage(file.path(), *before_, now));
  }

 private:
  std::optional<FileState> before_;
};

class PlainSource final : public InputSource {
 public:
  explicit PlainSource(std::unique_ptr<File> file) : file_(std::move(file)), check_(*file_) {}

  // Reads until `n` bytes are in or the file has no more: a pipe may hand out
  // less than asked without being at its end. A stop request that ends the
  // wait for more still gives the bytes received; the next read throws it, as
  // does every read after the request (a regular file never waits, so this
  // is where a long run over its lines sees it).
  std::size_t read(char* buffer, std::size_t n, bool& atEnd) override {
    stopIfInterrupted();
    std::size_t got = 0;
    while (got < n) {
      std::size_t r;
      try {
        r = file_->read(buffer + got, n - got);
      } catch (const AbortError&) {
        if (got == 0) throw;
        break;
      }
      if (r == 0) {
        check_.atEnd(*file_);
        atEnd = true;
        break;
      }
      got += r;
    }
    read_ += static_cast<std::int64_t>(got);
    return got;
  }
  std::int64_t fileBytesRead() const override { return read_; }
  std::int64_t fileSize() override { return file_->size(); }
  void skip(std::int64_t n) override {
    read_ += n;
    file_->seek(read_);
  }
  void close() override { file_->close(); }
  const std::string& path() const override { return file_->path(); }
  bool compressed() const override { return false; }

 private:
  std::unique_ptr<File> file_;
  ChangeCheck check_;
  std::int64_t read_ = 0;
};

// What the compressed sources share: the compressed bytes read ahead, and
// the text handed out as InputSource::read asks.
class StreamSource : public InputSource {
 public:
  static constexpr std::size_t kInputSize = 128 * 1024;

  explicit StreamSource(std::unique_ptr<File> file) : file_(std::move(file)), check_(*file_), in_(kInputSize) {}

  std::size_t read(char* buffer, std::size_t n, bool& atEnd) override {
    if (deferred_) std::rethrow_exception(deferred_);
    stopIfInterrupted();
    std::size_t produced = 0;
    try {
      while (produced < n && !done_) {
        if (!failure_.empty()) fail(failure_);
        if (pending_ == 0 && !fileEnd_) refill();
        produced += decompress(buffer + produced, n - produced);
      }
    } catch (const AbortError&) {
      if (produced == 0) throw;
    } catch (const Error&) {
      if (produced == 0 || !textBeforeErrors_) throw;
      deferred_ = std::current_exception();
    }
    if (done_) atEnd = true;
    return produced;
  }
  std::int64_t fileBytesRead() const override { return fileRead_ - static_cast<std::int64_t>(pending_); }
  std::int64_t fileSize() override { return file_->size(); }
  void close() override { file_->close(); }
  const std::string& path() const override { return file_->path(); }
  bool compressed() const override { return true; }

  // A read that fails after some text was made hands that text out, and
  // the next read throws the failure: the reader beside the decompression
  // (readAhead) then knows exactly how far the text goes.
  void keepTextBeforeErrors() { textBeforeErrors_ = true; }

 protected:
  // Decompresses from next_ / pending_ into `out`; sets done_ at the end of
  // the text. Returns the bytes of text made.
  virtual std::size_t decompress(char* out, std::size_t n) = 0;

  [[noreturn]] void fail(const std::string& reason) const {
    throw Error("Cannot read file \"" + file_->path() + "\": " + reason);
  }

  // The failure `reason` found by a call of decompress that made `made`
  // bytes of text: thrown at once when it made none, else after that text,
  // by the next call. The text before a fault is then the same however
  // large the reads are.
  std::size_t failAfter(std::size_t made, std::string reason) {
    if (made == 0) fail(reason);
    failure_ = std::move(reason);
    return made;
  }

  // After the end of a stream: true when another one starts with `magic`
  // (after zero bytes where `padded`), false at the end of the file, which
  // ends the text.
  bool nextStream(std::string_view magic, bool padded) {
    for (;;) {
      while (padded && pending_ > 0 && *next_ == '\0') ++next_, --pending_;
      if (pending_ >= magic.size() || fileEnd_) break;
      refill();
    }
    if (pending_ == 0) {
      done_ = true;
      return false;
    }
    if (std::string_view(next_, std::min(pending_, magic.size())) != magic)
      fail("unexpected data after the end of the compressed data");
    return true;
  }

  // At the start of a gzip file or after one of its `members` ended: false
  // at the end of the text (never before the first member); otherwise
  // checks that another member begins here. Both gzip decoders start their
  // members through it.
  bool gzipMemberFollows(long members) {
    while (pending_ < 2 && !fileEnd_) refill();
    if (pending_ == 0 && members > 0) {
      done_ = true;
      return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(next_);
    const bool magic = (pending_ < 1 || p[0] == 0x1F) && (pending_ < 2 || p[1] == 0x8B);
    if (!magic) fail(members == 0 ? "not a gzip file" : "unexpected data after the end of the compressed data");
    if (pending_ < 2) fail("unexpected end of compressed data");
    return true;
  }

  // More compressed bytes after the `pending_` not yet used.
  // When the read throws, next_ already points at the bytes kept. A stop
  // request is seen here too: members or blocks that make no text (a file
  // of empty members) would otherwise keep one read() call busy.
  void refill() {
    if (pending_ > 0) std::memmove(in_.data(), next_, pending_);
    next_ = in_.data();
    stopIfInterrupted();
    const std::size_t got = file_->read(in_.data() + pending_, in_.size() - pending_);
    if (got == 0) {
      check_.atEnd(*file_);
      fileEnd_ = true;
    }
    fileRead_ += static_cast<std::int64_t>(got);
    pending_ += got;
  }

  std::unique_ptr<File> file_;
  ChangeCheck check_;
  std::vector<char> in_;
  char* next_ = nullptr;     // the first compressed byte not used
  std::size_t pending_ = 0;  // compressed bytes from next_ not used
  std::int64_t fileRead_ = 0;
  bool fileEnd_ = false;
  bool done_ = false;
  bool textBeforeErrors_ = false;
  std::exception_ptr deferred_;  // the failure after the text handed out
  std::string failure_;          // the failure after the text of the last decompress
};

// The reason zlib gives for an inflate() that returned the error `rc`;
// `inputEnded` when all of the file was given to it.
std::string zlibFailure(int rc, const z_stream& zs, bool inputEnded) {
  if (rc == Z_BUF_ERROR)  // no progress was possible with output room left: the input is used up
    return inputEnded ? "unexpected end of compressed data" : "corrupt compressed data";
  return std::string("corrupt compressed data (") + (zs.msg != nullptr ? zs.msg : "inflate error") + ")";
}

// Inflates gzip members one after the other until the file ends. Whatever
// follows a member must be another member: trailing bytes of any other kind
// are refused rather than skipped, as they mean a damaged or mislabelled file.
class GzipSource final : public StreamSource {
 public:
  explicit GzipSource(std::unique_ptr<File> file) : StreamSource(std::move(file)) {
    // 16 + window bits: a gzip wrapper only, zlib or raw streams are errors.
    int rc = inflateInit2(&zs_, 16 + MAX_WBITS);
    if (rc != Z_OK) fail(rc == Z_MEM_ERROR ? "out of memory" : "cannot start decompression");
  }
  ~GzipSource() override { inflateEnd(&zs_); }
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

 private:
  std::size_t decompress(char* out, std::size_t n) override {
    if (atMemberStart_ && !startMember()) return 0;
    zs_.next_in = reinterpret_cast<Bytef*>(next_);
    zs_.avail_in = static_cast<uInt>(std::min<std::size_t>(pending_, UINT_MAX));
    const uInt inBefore = zs_.avail_in;
    const auto room = static_cast<uInt>(std::min<std::size_t>(n, UINT_MAX));
    zs_.next_out = reinterpret_cast<Bytef*>(out);
    zs_.avail_out = room;
    const int rc = inflate(&zs_, Z_NO_FLUSH);
    next_ = reinterpret_cast<char*>(zs_.next_in);
    pending_ -= inBefore - zs_.avail_in;
    if (rc == Z_STREAM_END) {
      atMemberStart_ = true;
      ++members_;
    } else if (rc != Z_OK) {
      return failAfter(room - zs_.avail_out, zlibFailure(rc, zs_, pending_ == 0 && fileEnd_));
    }
    return room - zs_.avail_out;
  }

  // At the start of the file or after a member's end: the text ends with the
  // file, or another member must begin here. False at the end of the text.
  bool startMember() {
    if (!gzipMemberFollows(members_)) return false;
    if (members_ > 0 && inflateReset(&zs_) != Z_OK) fail("cannot start decompression");
    atMemberStart_ = false;
    return true;
  }

  z_stream zs_{};
  long members_ = 0;  // members inflated to their end
  bool atMemberStart_ = true;
};

// bzip2 streams one after the other (as `cat a.bz2 b.bz2` or a parallel
// compressor makes) until the file ends; anything else after a stream is refused.
class BZip2Source final : public StreamSource {
 public:
  explicit BZip2Source(std::unique_ptr<File> file) : StreamSource(std::move(file)) { start(); }
  ~BZip2Source() override { BZ2_bzDecompressEnd(&bs_); }
  BZip2Source(const BZip2Source&) = delete;
  BZip2Source& operator=(const BZip2Source&) = delete;

 private:
  void start() {
    bs_ = bz_stream{};
    if (BZ2_bzDecompressInit(&bs_, 0, 0) != BZ_OK) fail("cannot start decompression");
    streams_ += 1;
  }

  std::size_t decompress(char* out, std::size_t n) override {
    if (ended_) {
      if (!nextStream("BZh", false)) return 0;
      BZ2_bzDecompressEnd(&bs_);
      start();
      ended_ = false;
    }
    bs_.next_in = next_;
    bs_.avail_in = static_cast<unsigned>(std::min<std::size_t>(pending_, UINT_MAX));
    bs_.next_out = out;
    bs_.avail_out = static_cast<unsigned>(std::min<std::size_t>(n, UINT_MAX));
    const unsigned inBefore = bs_.avail_in, outBefore = bs_.avail_out;
    const int rc = BZ2_bzDecompress(&bs_);
    next_ = bs_.next_in;
    pending_ -= inBefore - bs_.avail_in;
    const std::size_t made = outBefore - bs_.avail_out;
    if (rc == BZ_STREAM_END) {
      ended_ = true;
    } else if (rc == BZ_DATA_ERROR_MAGIC) {
      return failAfter(made, streams_ == 1 ? "not a bzip2 file" : "unexpected data after the end of the compressed data");
    } else if (rc == BZ_MEM_ERROR) {
      return failAfter(made, "out of memory");
    } else if (rc != BZ_OK) {
      return failAfter(made, "corrupt compressed data");
    } else if (made == 0 && pending_ == 0 && fileEnd_) {
      fail("unexpected end of compressed data");
    }
    return made;
  }

  bz_stream bs_{};
  long streams_ = 0;
  bool ended_ = false;
};

// xz streams one after the other, with the zero bytes of padding the
// format allows after each; anything else after a stream is refused.
class XzSource final : public StreamSource {
 public:
  explicit XzSource(std::unique_ptr<File> file) : StreamSource(std::move(file)) { start(); }
  ~XzSource() override { lzma_end(&zs_); }
  XzSource(const XzSource&) = delete;
  XzSource& operator=(const XzSource&) = delete;

 private:
  void start() {
    lzma_end(&zs_);
    zs_ = LZMA_STREAM_INIT;
    // Blocks are decoded on as many threads as the host has cores, where
    // the file has several (as `xz -T0` writes) and the memory limit allows
    // it; a single block is decoded on this thread.
    lzma_mt mt{};
    mt.threads = std::max(1u, std::thread::hardware_concurrency());
    mt.memlimit_threading = kMemoryLimit;
    mt.memlimit_stop = kMemoryLimit;
    if (lzma_stream_decoder_mt(&zs_, &mt) != LZMA_OK) fail("cannot start decompression");
    ++streams_;
  }

  std::size_t decompress(char* out, std::size_t n) override {
    if (ended_) {
      if (!nextStream(kMagic, true)) return 0;
      start();
      ended_ = false;
    }
    zs_.next_in = reinterpret_cast<const std::uint8_t*>(next_);
    zs_.avail_in = pending_;
    zs_.next_out = reinterpret_cast<std::uint8_t*>(out);
    zs_.avail_out = n;
    const lzma_ret rc = lzma_code(&zs_, pending_ == 0 && fileEnd_ ? LZMA_FINISH : LZMA_RUN);
    next_ += pending_ - zs_.avail_in;
    pending_ = zs_.avail_in;
    const std::size_t made = n - zs_.avail_out;
    switch (rc) {
      case LZMA_OK:
        break;
      case LZMA_STREAM_END:
        ended_ = true;
        break;
      case LZMA_BUF_ERROR:
        return failAfter(made, "unexpected end of compressed data");
      case LZMA_FORMAT_ERROR:
        return failAfter(made, streams_ == 1 ? "not an xz file" : "unexpected data after the end of the compressed data");
      case LZMA_MEM_ERROR:
        return failAfter(made, "out of memory");
      case LZMA_MEMLIMIT_ERROR:
        return failAfter(made, "its xz data needs more than " + std::to_string(kMemoryLimit >> 20) +
                                   " MiB of memory to decompress (xz -9 needs 65 MiB)");
      default:
        return failAfter(made, "corrupt compressed data");
    }
    return made;
  }

  static constexpr std::string_view kMagic{"\xFD" "7zXZ\0", 6};
  // The decoder's memory is mostly the dictionary the file declares (up to
  // 4 GiB, filled as text comes out); every xz preset decodes within 65 MiB.
  static constexpr std::uint64_t kMemoryLimit = std::uint64_t{128} << 20;
  lzma_stream zs_ = LZMA_STREAM_INIT;
  long streams_ = 0;
  bool ended_ = false;
};


#if MIRDAL_HAVE_ISAL
// Inflates gzip members as GzipSource does, with ISA-L's decoder. Its errors
// name no cause: the member that fails is inflated again by zlib from its
// start, whose reason is the one given, so both decoders fail alike.
class IsalGzipSource final : public StreamSource {
 public:
  explicit IsalGzipSource(std::unique_ptr<File> file)
      : StreamSource(std::move(file)), state_(std::make_unique<inflate_state>()) {
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_GZIP;
  }

 private:
  std::size_t decompress(char* out, std::size_t n) override {
    if (atMemberStart_ && !startMember()) return 0;
    inflate_state& st = *state_;
    st.next_in = reinterpret_cast<std::uint8_t*>(next_);
    st.avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(pending_, UINT32_MAX));
    const std::uint32_t inBefore = st.avail_in;
    const auto room = static_cast<std::uint32_t>(std::min<std::size_t>(n, UINT32_MAX));
    st.next_out = reinterpret_cast<std::uint8_t*>(out);
    st.avail_out = room;
    const int rc = isal_inflate(&st);
    next_ = reinterpret_cast<char*>(st.next_in);
    pending_ -= inBefore - st.avail_in;
    const std::size_t made = room - st.avail_out;
    if (rc < 0) return failAfter(made, zlibReason());
    if (st.block_state == ISAL_BLOCK_FINISH) {
      atMemberStart_ = true;
      ++members_;
    } else if (made == 0 && inBefore == st.avail_in) {
      // Nothing done: more input is needed. At the end of the file this is
      // where zlib reports the end too soon.
      if (pending_ == 0 && fileEnd_) fail("unexpected end of compressed data");
      if (fileEnd_ || pending_ == in_.size()) fail(zlibReason());
      refill();
    }
    return made;
  }

  // As GzipSource::startMember.
  bool startMember() {
    if (!gzipMemberFollows(members_)) return false;
    if (members_ > 0) {
      isal_inflate_reset(state_.get());
      state_->crc_flag = ISAL_GZIP;
    }
    memberStart_ = fileBytesRead();
    // ISA-L passes over the flags the format reserves; zlib refuses them.
    while (pending_ < 4 && !fileEnd_) refill();
    if (pending_ >= 4 && (static_cast<unsigned char>(next_[3]) & 0xE0) != 0) fail(zlibReason());
    atMemberStart_ = false;
    return true;
  }

  // Inflates the failing member again with zlib, from its start, until
  // zlib fails too: its reason. Where the file cannot be read again (a
  // pipe), or zlib sees no fault, the reason is a general one.
  std::string zlibReason() {
    if (file_->state()) {
      z_stream zs{};
      if (inflateInit2(&zs, 16 + MAX_WBITS) == Z_OK) {
        std::string reason;
        try {
          file_->seek(memberStart_);
          std::vector<char> text(64 * 1024);
          bool ended = false;
          for (;;) {
            if (zs.avail_in == 0 && !ended) {
              stopIfInterrupted();
              const std::size_t got = file_->read(in_.data(), in_.size());
              ended = got == 0;
              zs.next_in = reinterpret_cast<Bytef*>(in_.data());
              zs.avail_in = static_cast<uInt>(got);
            }
            zs.next_out = reinterpret_cast<Bytef*>(text.data());
            zs.avail_out = static_cast<uInt>(text.size());
            const int rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) break;
            if (rc != Z_OK) {
              reason = zlibFailure(rc, zs, ended && zs.avail_in == 0);
              break;
            }
          }
        } catch (...) {
          inflateEnd(&zs);
          throw;
        }
        inflateEnd(&zs);
        pending_ = 0;
        if (!reason.empty()) return reason;
      }
    }
    return "corrupt compressed data";
  }

  std::unique_ptr<inflate_state> state_;  // large (about 80 KiB): on the heap
  std::int64_t memberStart_ = 0;          // the file offset of the member being inflated
  long members_ = 0;
  bool atMemberStart_ = true;
};
#endif

// zstd frames one after the other (as `cat a.zst b.zst` makes, skippable
// frames among them) until the file ends; anything else after a frame is
// refused. A frame that declares a window of more than 128 MiB, which
// decoding would fill as its text comes out, is refused too.
class ZstdSource final : public StreamSource {
 public:
  explicit ZstdSource(std::unique_ptr<File> file) : StreamSource(std::move(file)), ds_(ZSTD_createDCtx()) {
    if (ds_ == nullptr) fail("out of memory");
    if (ZSTD_isError(ZSTD_DCtx_setParameter(ds_, ZSTD_d_windowLogMax, kWindowLogMax)))
      fail("cannot start decompression");
  }
  ~ZstdSource() override { ZSTD_freeDCtx(ds_); }
  ZstdSource(const ZstdSource&) = delete;
  ZstdSource& operator=(const ZstdSource&) = delete;

 private:
  std::size_t decompress(char* out, std::size_t n) override {
    ZSTD_inBuffer in{next_, pending_, 0};
    ZSTD_outBuffer output{out, n, 0};
    const std::size_t rc = ZSTD_decompressStream(ds_, &output, &in);
    next_ += in.pos;
    pending_ -= in.pos;
    if (ZSTD_isError(rc)) {
      switch (ZSTD_getErrorCode(rc)) {
        case ZSTD_error_prefix_unknown:
          return failAfter(output.pos,
                           begun_ ? "unexpected data after the end of the compressed data" : "not a zstd file");
        case ZSTD_error_frameParameter_windowTooLarge:
          return failAfter(output.pos, "its zstd data needs more than " +
                                           std::to_string((std::size_t{1} << kWindowLogMax) >> 20) +
                                           " MiB of memory to decompress (zstd --ultra -22 needs 128 MiB)");
        case ZSTD_error_memory_allocation:
          return failAfter(output.pos, "out of memory");
        default:
          return failAfter(output.pos, std::string("corrupt compressed data (") + ZSTD_getErrorName(rc) + ")");
      }
    }
    if (in.pos > 0 || output.pos > 0) {
      begun_ = true;
      frameEnded_ = rc == 0;  // a call without input at a frame's end asks for the next frame's header
    }
    if (output.pos == 0 && pending_ == 0 && fileEnd_) {
      if (!frameEnded_) fail("unexpected end of compressed data");
      done_ = true;
    }
    return output.pos;
  }

  static constexpr int kWindowLogMax = 27;  // 128 MiB, as for xz
  ZSTD_DCtx* ds_;
  bool begun_ = false;       // a frame was started: what follows a frame is another or nothing
  bool frameEnded_ = false;  // the last frame's text is all out
};

// The compressed forms read, by the name's ending and by their content's
// first bytes.
enum class Packing { None, Gzip, BZip2, Xz, Zstd };

// Each compression read: its name as compressionOfContent gives it, and
// the ending of the names it is read under.
struct PackingTerms {
  Packing packing;
  std::string_view kind;
  std::string_view ending;
};
constexpr PackingTerms kPackings[] = {
    {Packing::Gzip, "gzip", ".gz"}, {Packing::BZip2, "bzip2", ".bz2"}, {Packing::Xz, "xz", ".xz"},
    {Packing::Zstd, "zstd", ".zst"}};

Packing packingOfName(std::string_view path) {
  for (const PackingTerms& p : kPackings)
    if (path.size() >= p.ending.size() && equalNoCase(path.substr(path.size() - p.ending.size()), p.ending))
      return p.packing;
  return Packing::None;
}

Packing packingOfKind(std::string_view kind) {
  for (const PackingTerms& p : kPackings)
    if (kind == p.kind) return p.packing;
  return Packing::None;
}

std::unique_ptr<StreamSource> gzipSource(std::unique_ptr<File> file, GzipDecoder decoder) {
#if MIRDAL_HAVE_ISAL
  if (decoder == GzipDecoder::Isal) return std::make_unique<IsalGzipSource>(std::move(file));
#endif
  (void)decoder;
  return std::make_unique<GzipSource>(std::move(file));
}

std::unique_ptr<StreamSource> decoderOf(Packing packing, std::unique_ptr<File> file) {
  switch (packing) {
    case Packing::Gzip:
      return gzipSource(std::move(file), gzipDecoderBuilt(GzipDecoder::Isal) ? GzipDecoder::Isal : GzipDecoder::Zlib);
    case Packing::BZip2:
      return std::make_unique<BZip2Source>(std::move(file));
    case Packing::Xz:
      return std::make_unique<XzSource>(std::move(file));
    case Packing::Zstd:
      return std::make_unique<ZstdSource>(std::move(file));
    case Packing::None:
      break;
  }
  return nullptr;
}

// A compressed regular file is decompressed on a thread of its own where
// the host has a core to spare and the file system may be used from
// another thread. (A pipe is not: closing it early would wait on its writer.)
std::unique_ptr<InputSource> sourceOf(Packing packing, std::unique_ptr<File> file, FileSystem& fs) {
  if (packing == Packing::None) return std::make_unique<PlainSource>(std::move(file));
  const bool beside = std::thread::hardware_concurrency() > 1 && fs.threadSafe() && file->state().has_value();
  std::unique_ptr<StreamSource> source = decoderOf(packing, std::move(file));
  if (!beside) return source;
  source->keepTextBeforeErrors();
  return readAhead(std::move(source));
}

}  // namespace

void InputSource::skip(std::int64_t n) {
  char buffer[16384];
  bool atEnd = false;
  while (n > 0 && !atEnd) {
    stopIfInterrupted();
    n -= static_cast<std::int64_t>(read(buffer, static_cast<std::size_t>(std::min<std::int64_t>(n, sizeof buffer)), atEnd));
  }
}

std::string_view compressionOfContent(std::string_view head) {
  auto starts = [&](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
  using namespace std::string_view_literals;
  if (starts("\x1F\x8B"sv)) return "gzip";
  // "BZh", the block size 1-9, then the magic of a block or of the end of the stream.
  if (starts("BZh"sv) && head.size() >= 10 && head[3] >= '1' && head[3] <= '9' &&
      (head.substr(4, 6) == "1AY&SY"sv || head.substr(4, 6) == "\x17\x72\x45\x38\x50\x90"sv))
    return "bzip2";
  if (starts("\xFD" "7zXZ\0"sv)) return "xz";
  // A zstd frame, or a skippable frame (magic 0x184D2A50 to 0x184D2A5F) as parallel compressors start with.
  if (starts("\x28\xB5\x2F\xFD"sv) || (head.size() >= 4 && (static_cast<unsigned char>(head[0]) & 0xF0) == 0x50 &&
                                         head.substr(1, 3) == "\x2A\x4D\x18"sv))
    return "zstd";
  if (starts("\x1F\x9D"sv)) return "compress";
  if (starts("\x04\x22\x4D\x18"sv)) return "lz4";
  if (starts("PK\x03\x04"sv) || starts("PK\x05\x06"sv)) return "zip";
  if (starts("7z\xBC\xAF\x27\x1C"sv)) return "7-Zip";
  return {};
}

void refuseUnreadCompression(std::string_view head, std::string_view path) {
  const std::string_view kind = compressionOfContent(head);
  if (kind.empty()) return;
  const std::string file = "\"" + std::string(path) + "\"";
  // Under a compressed name, `head` is already the decompressed text.
  if (isCompressedInputPath(path))
    throw Error(file + " is compressed twice: what it holds is compressed with " + std::string(kind) +
                " again; decompress it once and read the file that gives");
  for (const PackingTerms& p : kPackings)
    if (kind == p.kind)
      throw Error(file + " is compressed with " + std::string(kind) +
                  ": a compressed file is read when its name ends in \"" + std::string(p.ending) + "\"");
  if (kind == "zip" || kind == "7-Zip")
    throw Error(file + " is a " + std::string(kind) + " archive, which is not read; extract its files first");
  throw Error(file + " is compressed with " + std::string(kind) +
              ", which is not read; decompress it first or use gzip");
}

bool isCompressedInputPath(std::string_view path) { return packingOfName(path) != Packing::None; }

namespace {
std::atomic<bool> g_pipeInputsAllowed{false};
}  // namespace

void allowPipeInputs(bool allowed) { g_pipeInputsAllowed.store(allowed, std::memory_order_relaxed); }

std::unique_ptr<File> openInputFile(FileSystem& fs, const std::string& path) {
  // A FIFO is opened waiting for its writer (a stop request ends the wait)
  // only where pipes were asked for; anything else that is not a regular
  // file is refused by the open itself, before it could wait or read
  // without end.
  if (g_pipeInputsAllowed.load(std::memory_order_relaxed) && fs.kind(path) == FileKind::Fifo)
    return fs.open(path, OpenMode::Read);
  try {
    return fs.open(path, OpenMode::ReadRegular);
  } catch (const Error& e) {
    if (fs.kind(path) != FileKind::Fifo) throw;
    throw Error(std::string(e.what()) + ", which is read only by a build that asks for pipes");
  }
}

std::unique_ptr<InputSource> openInputSource(FileSystem& fs, const std::string& path) {
  return sourceOf(packingOfName(path), openInputFile(fs, path), fs);
}

std::unique_ptr<InputSource> openInputSourceByContent(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file = openInputFile(fs, path);
  char magic[10] = {};
  std::size_t got = 0;
  while (got < sizeof magic) {
    const std::size_t r = file->read(magic + got, sizeof magic - got);
    if (r == 0) break;
    got += r;
  }
  file->seek(0);
  return sourceOf(packingOfKind(compressionOfContent(std::string_view(magic, got))), std::move(file), fs);
}

bool gzipDecoderBuilt(GzipDecoder decoder) { return decoder == GzipDecoder::Zlib || MIRDAL_HAVE_ISAL; }

std::unique_ptr<InputSource> openGzipSource(std::unique_ptr<File> file, GzipDecoder decoder) {
  return gzipSource(std::move(file), decoder);
}

}  // namespace mirdal
