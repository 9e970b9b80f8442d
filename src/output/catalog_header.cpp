#include "output/catalog_header.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <memory>
#include <utility>

#include "output/region_scheme.h"
#include "util/coding.h"
#include "util/error.h"
#include "util/file_system.h"
#include "util/text.h"

namespace mirdal {
namespace {

constexpr std::size_t kHeaderLengthOffset = 0;
constexpr std::size_t kMagicOffset = 4;
constexpr std::size_t kShortNameOffset = 12;
constexpr std::size_t kLongNameOffset = 16;
constexpr std::size_t kRecordLengthOffset = 66;
constexpr std::size_t kRegionCountOffset = 70;
constexpr std::size_t kEquinoxOffset = 74;
constexpr std::size_t kEpochOffset = 82;
constexpr std::size_t kMagMaxOffset = 90;
constexpr std::size_t kDefaultsOffset = 98;
constexpr std::size_t kPrefixFlagOffset = 114;
constexpr std::size_t kIndexNameLengthOffset = 115;
constexpr std::size_t kAltFlagsOffset = 116;
constexpr std::size_t kPositionsOffset = 206;
constexpr std::size_t kLengthsOffset = 426;
constexpr std::size_t kLabelsOffset = 646;

struct ZeroArea {
  std::size_t offset, size;
};
constexpr ZeroArea kZeroAreas[] = {{126, 80}, {346, 80}, {566, 80}, {1031, 220}};

static_assert(kAltFlagsOffset + CatalogHeader::kAltNameCount == kZeroAreas[0].offset);
static_assert(kPositionsOffset + 4 * CatalogHeader::kFieldCount == kZeroAreas[1].offset);
static_assert(kLengthsOffset + 4 * CatalogHeader::kFieldCount == kZeroAreas[2].offset);
static_assert(kLabelsOffset + CatalogHeader::kLabelLength * CatalogHeader::kFieldCount == kZeroAreas[3].offset);
static_assert(kZeroAreas[3].offset + kZeroAreas[3].size == CatalogHeader::kEncodedLength);

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  void u8(std::size_t at, std::uint8_t v) { out_[at] = static_cast<char>(v); }
  void i32(std::size_t at, std::int32_t v) { put32(&out_[at], static_cast<std::uint32_t>(v)); }
  void f64(std::size_t at, double v) { put64(&out_[at], std::bit_cast<std::uint64_t>(v)); }
  void text(std::size_t at, std::string_view s, std::size_t width) { out_.replace(at, width, padded(s, width)); }

 private:
  std::string& out_;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  std::uint8_t u8(std::size_t at) const { return static_cast<std::uint8_t>(in_[at]); }
  std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(get32(&in_[at])); }
  double f64(std::size_t at) const { return std::bit_cast<double>(get64(&in_[at])); }
  std::string text(std::size_t at, std::size_t width) const { return std::string(in_.substr(at, width)); }

 private:
  std::string_view in_;
};

// Carries the reason a header is refused; turned into an Error that names
// the file where the file is known.
struct BadHeader {
  std::string reason;
};

[[noreturn]] void invalid(std::string reason) { throw BadHeader{std::move(reason)}; }

bool flagValue(std::uint8_t byte, const char* what) {
  if (byte > 1) invalid(std::string(what) + " is " + std::to_string(byte) + ", not 0 or 1");
  return byte == 1;
}

// Present fields (length > 0) are packed from position 1 in field order and
// end at the record length; an empty field sits at 0 or at the running
// position; RA and DEC are always the first 8 bytes.
void checkLayout(const CatalogHeader& h) {
  if (h.positions[0] != 1 || h.lengths[0] != 4 || h.positions[1] != 5 || h.lengths[1] != 4) {
    invalid("fields 1 and 2 are not right ascension and declination at positions 1 and 5 with length 4");
  }
  std::int64_t next = 1;
  for (int k = 0; k < CatalogHeader::kFieldCount; ++k) {
    std::int32_t pos = h.positions[k], len = h.lengths[k];
    std::string field = "field " + std::to_string(k + 1);
    if (len < 0) invalid(field + " has negative length " + std::to_string(len));
    if (len == 0) {
      if (pos != 0 && pos != next) {
        invalid(field + " is empty at position " + std::to_string(pos) + " where " + std::to_string(next) +
                " was expected");
      }
      continue;
    }
    if (pos != next) {
      invalid(field + " starts at position " + std::to_string(pos) + " where " + std::to_string(next) +
              " was expected");
    }
    next += len;
  }
  if (next - 1 != h.recordLength) {
    invalid("record length " + std::to_string(h.recordLength) + " differs from the " + std::to_string(next - 1) +
            " bytes of its fields");
  }
}

}  // namespace

std::string CatalogHeader::encode() const {
  std::string out(kEncodedLength, '\0');
  Writer w(out);
  w.i32(kHeaderLengthOffset, static_cast<std::int32_t>(kEncodedLength));
  w.text(kMagicOffset, magic, kMagicLength);
  w.text(kShortNameOffset, shortName, kShortNameLength);
  w.text(kLongNameOffset, longName, kLongNameLength);
  w.i32(kRecordLengthOffset, recordLength);
  w.i32(kRegionCountOffset, regionCount);
  w.f64(kEquinoxOffset, equinox);
  w.f64(kEpochOffset, epoch);
  w.f64(kMagMaxOffset, magMax);
  w.i32(kDefaultsOffset, defaultA);
  w.i32(kDefaultsOffset + 4, defaultB);
  w.i32(kDefaultsOffset + 8, defaultC);
  w.i32(kDefaultsOffset + 12, defaultD);
  w.u8(kPrefixFlagOffset, prefixAltNames ? 1 : 0);
  w.u8(kIndexNameLengthOffset, indexNameLength);
  for (int s = 0; s < kAltNameCount; ++s) w.u8(kAltFlagsOffset + s, altNameFlags[s] ? 1 : 0);
  for (int k = 0; k < kFieldCount; ++k) {
    w.i32(kPositionsOffset + 4 * k, positions[k]);
    w.i32(kLengthsOffset + 4 * k, lengths[k]);
    w.text(kLabelsOffset + kLabelLength * k, labels[k], kLabelLength);
  }
  assert(out.size() == kEncodedLength);
  return out;
}

namespace {

CatalogHeader decodeHeader(std::string_view bytes) {
  using H = CatalogHeader;
  if (bytes.size() != H::kEncodedLength) {
    invalid(std::to_string(bytes.size()) + " bytes instead of " + std::to_string(H::kEncodedLength));
  }
  Reader r(bytes);
  std::int32_t headerLength = r.i32(kHeaderLengthOffset);
  if (headerLength != static_cast<std::int32_t>(H::kEncodedLength)) {
    invalid("header length field is " + std::to_string(headerLength) + ", not " + std::to_string(H::kEncodedLength));
  }
  CatalogHeader h;
  h.magic = r.text(kMagicOffset, H::kMagicLength);
  if (std::find(kCatalogMagics.begin(), kCatalogMagics.end(), h.magic) == kCatalogMagics.end()) {
    invalid("unknown catalog type");
  }
  h.shortName = r.text(kShortNameOffset, H::kShortNameLength);
  h.longName = r.text(kLongNameOffset, H::kLongNameLength);
  h.recordLength = r.i32(kRecordLengthOffset);
  h.regionCount = r.i32(kRegionCountOffset);
  if (!RegionScheme::isValid(h.regionCount)) {
    invalid("number of region files is " + std::to_string(h.regionCount) + ", not 1, 50, 184, 732 or 9537");
  }
  h.equinox = r.f64(kEquinoxOffset);
  h.epoch = r.f64(kEpochOffset);
  h.magMax = r.f64(kMagMaxOffset);
  h.defaultA = r.i32(kDefaultsOffset);
  h.defaultB = r.i32(kDefaultsOffset + 4);
  h.defaultC = r.i32(kDefaultsOffset + 8);
  h.defaultD = r.i32(kDefaultsOffset + 12);
  h.prefixAltNames = flagValue(r.u8(kPrefixFlagOffset), "alternate-name prefix flag");
  h.indexNameLength = r.u8(kIndexNameLengthOffset);
  for (int s = 0; s < H::kAltNameCount; ++s) {
    std::string what = "alternate-name flag " + std::to_string(s + 1);
    h.altNameFlags[s] = flagValue(r.u8(kAltFlagsOffset + s), what.c_str());
  }
  for (const ZeroArea& area : kZeroAreas) {
    if (bytes.substr(area.offset, area.size).find_first_not_of('\0') != std::string_view::npos) {
      invalid("reserved bytes at offset " + std::to_string(area.offset) + " are not zero");
    }
  }
  for (int k = 0; k < H::kFieldCount; ++k) {
    h.positions[k] = r.i32(kPositionsOffset + 4 * k);
    h.lengths[k] = r.i32(kLengthsOffset + 4 * k);
    h.labels[k] = r.text(kLabelsOffset + H::kLabelLength * k, H::kLabelLength);
  }
  checkLayout(h);
  return h;
}

}  // namespace

CatalogHeader CatalogHeader::decode(std::string_view bytes) {
  try {
    return decodeHeader(bytes);
  } catch (const BadHeader& bad) {
    throw Error("Invalid catalog header: " + bad.reason);
  }
}

CatalogHeader readCatalogHeader(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file = fs.open(path, OpenMode::ReadRegular);
  // One byte more than a header, so that a longer file is told apart without
  // reading all of it.
  std::string bytes(CatalogHeader::kEncodedLength + 1, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    std::size_t n = file->read(bytes.data() + got, bytes.size() - got);
    if (n == 0) break;
    got += n;
  }
  file->close();
  bytes.resize(got);
  try {
    if (got > CatalogHeader::kEncodedLength) {
      invalid("file is longer than " + std::to_string(CatalogHeader::kEncodedLength) + " bytes");
    }
    return decodeHeader(bytes);
  } catch (const BadHeader& bad) {
    throw Error("Invalid catalog header \"" + path + "\": " + bad.reason);
  }
}

}  // namespace mirdal
