#include "output/catalog_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "output/catalog_staging.h"
#include "output/region_scheme.h"
#include "util/coding.h"
#include "util/error.h"
#include "util/interrupt.h"

namespace mirdal {

namespace {

// A stored number of 1, 2 or 4 bytes: 2- and 4-byte integers are signed, a
// single byte is not.
std::int64_t integerAt(std::string_view b, std::size_t offset, int width) {
  const char* p = b.data() + offset;
  if (width == 1) return static_cast<unsigned char>(*p);
  if (width == 2) return static_cast<std::int16_t>(get16(p));
  return static_cast<std::int32_t>(get32(p));
}

float floatAt(std::string_view b, std::size_t offset) { return std::bit_cast<float>(get32(b.data() + offset)); }

std::string readWhole(FileSystem& fs, const std::string& path) {
  auto f = fs.open(path, OpenMode::ReadRegular);
  std::string out(static_cast<std::size_t>(f->size()), '\0');
  std::size_t got = 0;
  while (got < out.size()) {
    std::size_t n = f->read(out.data() + got, out.size() - got);
    if (n == 0) break;
    got += n;
  }
  out.resize(got);
  f->close();
  return out;
}

// Hands the first `limit` records of `size` bytes (all for 0) of an open
// file to `take`, a block of whole records at a time.
void forEachFixedRecord(File& file, std::size_t size, std::int64_t limit,
                        const std::function<void(std::string_view)>& take) {
  if (size == 0) return;
  const std::size_t perBlock = std::max<std::size_t>(1, (std::size_t{1} << 20) / size);
  std::string block(perBlock * size, '\0');
  std::int64_t given = 0;
  for (;;) {
    stopIfInterrupted();
    std::size_t want = block.size();
    if (limit > 0) want = std::min<std::size_t>(want, static_cast<std::size_t>(limit - given) * size);
    std::size_t got = 0;
    while (got < want) {
      const std::size_t n = file.read(block.data() + got, want - got);
      if (n == 0) break;
      got += n;
    }
    for (std::size_t p = 0; p + size <= got; p += size, ++given) take(std::string_view(block).substr(p, size));
    if (got < want || (limit > 0 && given >= limit)) return;
  }
}

}  // namespace

CatalogReader::CatalogReader(std::string directory, std::string baseName, FileSystem& fs)
    : fs_(fs), dir_(std::move(directory)), base_(std::move(baseName)) {
  if (!dir_.empty() && dir_.back() != '/') dir_ += '/';
  // Files of two catalogs mixed: a build was stopped while it put its files
  // in place (the next build of the directory finishes the job).
  if (hasUnfinishedCommit(fs_, dir_))
    throw Error("The catalog in \"" + dir_ +
                "\" is being replaced by a build, or a build was stopped while replacing it: "
                "wait until the build ends, or build the catalog again");
  if (base_.empty()) {
    std::vector<std::string> headers;
    for (const std::string& name : fs_.list(dir_))
      if (name.size() > 4 && name.ends_with(".hdr")) headers.push_back(name.substr(0, name.size() - 4));
    if (headers.size() != 1)
      throw Error("Expected one catalog header (.hdr) in \"" + dir_ + "\", found " + std::to_string(headers.size()));
    base_ = headers.front();
  }
  refuseOutsideOrSpecial(fs_, dir_, dir_ + base_ + ".hdr");
  header_ = readCatalogHeader(fs_, dir_ + base_ + ".hdr");
  for (int t = 0; t < kCatalogTypeCount; ++t)
    if (header_.magic == kCatalogMagics[static_cast<std::size_t>(t)]) type_ = static_cast<CatalogType>(t);
  kinds_.assign(36, ValueKind::Text);
  kinds_[1] = kinds_[2] = ValueKind::Coordinate;
  for (auto entries : {typeEntries(type_), stringEntries(), numericEntries()})
    for (const FieldEntry& e : entries) kinds_[static_cast<std::size_t>(e.recordField)] = e.kind;
}

std::string CatalogReader::regionPath(int region) const {
  return dir_ + regionFileName(base_, header_.regionCount, region);
}

std::string CatalogReader::indexPath() const { return dir_ + base_ + ".idx"; }

std::int64_t CatalogReader::regionRecordCount(int region) const {
  const std::string path = regionPath(region);
  // Opened, not looked up: a FIFO or a device in its place is refused here
  // rather than counted as empty and then read without end; a link that
  // leads out of the directory is no file of this catalog.
  refuseOutsideOrSpecial(fs_, dir_, path);
  const std::int64_t size = fs_.open(path, OpenMode::ReadRegular)->size();
  if (header_.recordLength <= 0) {
    if (size != 0) throw Error("Region file \"" + path + "\" is not empty but records have no bytes");
    return 0;
  }
  if (size % header_.recordLength != 0)
    throw Error("Region file \"" + path + "\" holds " + std::to_string(size) + " bytes, not a whole number of " +
                std::to_string(header_.recordLength) + "-byte records");
  return size / header_.recordLength;
}

std::vector<std::string> CatalogReader::readRegion(int region) const {
  regionRecordCount(region);
  const std::string bytes = readWhole(fs_, regionPath(region));
  std::vector<std::string> out;
  const auto r = static_cast<std::size_t>(header_.recordLength);
  if (r == 0) return out;
  for (std::size_t p = 0; p + r <= bytes.size(); p += r) out.push_back(bytes.substr(p, r));
  return out;
}

double CatalogReader::raOf(std::string_view record) {
  return static_cast<double>(integerAt(record, 0, 4)) / 3'600'000.0;
}

double CatalogReader::decOf(std::string_view record) {
  return static_cast<double>(integerAt(record, 4, 4)) / 3'600'000.0 - 90.0;
}

std::vector<FieldValue> CatalogReader::decode(std::string_view record) const {
  std::vector<FieldValue> out;
  for (int f = 1; f <= CatalogHeader::kFieldCount; ++f) {
    const int len = header_.lengths[static_cast<std::size_t>(f - 1)];
    if (len <= 0) continue;
    const auto off = static_cast<std::size_t>(header_.positions[static_cast<std::size_t>(f - 1)] - 1);
    if (off + static_cast<std::size_t>(len) > record.size()) throw Error("Record shorter than its layout");
    FieldValue v;
    v.field = f;
    v.label = header_.labels[static_cast<std::size_t>(f - 1)];
    v.kind = kinds_[static_cast<std::size_t>(f)];
    switch (v.kind) {
      case ValueKind::Text: v.value = std::string(record.substr(off, static_cast<std::size_t>(len))); break;
      case ValueKind::Float: v.value = static_cast<double>(floatAt(record, off)); break;
      case ValueKind::Byte:
      case ValueKind::ObjectType:
      case ValueKind::LineOperation: v.value = integerAt(record, off, 1); break;
      default: v.value = integerAt(record, off, len == 1 ? 1 : (len == 2 ? 2 : 4)); break;
    }
    out.push_back(std::move(v));
  }
  return out;
}

bool CatalogReader::hasIndex() const { return fs_.exists(indexPath()); }

std::vector<IndexEntry> CatalogReader::readIndex() const {
  refuseOutsideOrSpecial(fs_, dir_, indexPath());
  const std::string bytes = readWhole(fs_, indexPath());
  const std::size_t r = 8 + header_.indexNameLength;
  if (bytes.size() % r != 0)
    throw Error("Index file \"" + indexPath() + "\" is not a whole number of " + std::to_string(r) + "-byte records");
  std::vector<IndexEntry> out;
  for (std::size_t p = 0; p + r <= bytes.size(); p += r)
    out.push_back({floatAt(bytes, p), floatAt(bytes, p + 4), bytes.substr(p + 8, r - 8)});
  return out;
}

std::int64_t CatalogReader::indexEntryCount() const {
  refuseOutsideOrSpecial(fs_, dir_, indexPath());
  const std::int64_t size = fs_.open(indexPath(), OpenMode::ReadRegular)->size();
  const std::int64_t r = 8 + header_.indexNameLength;
  if (size % r != 0)
    throw Error("Index file \"" + indexPath() + "\" is not a whole number of " + std::to_string(r) + "-byte records");
  return size / r;
}

void CatalogReader::forEachIndexEntry(std::int64_t limit, const std::function<void(const IndexEntry&)>& take) const {
  indexEntryCount();
  auto file = fs_.open(indexPath(), OpenMode::ReadRegular);
  forEachFixedRecord(*file, 8 + static_cast<std::size_t>(header_.indexNameLength), limit, [&](std::string_view e) {
    take({floatAt(e, 0), floatAt(e, 4), std::string(e.substr(8))});
  });
}

void CatalogReader::forEachRecord(int region, std::int64_t limit,
                                  const std::function<void(std::string_view)>& take) const {
  regionRecordCount(region);
  auto file = fs_.open(regionPath(region), OpenMode::ReadRegular);
  forEachFixedRecord(*file, static_cast<std::size_t>(std::max(0, header_.recordLength)), limit, take);
}

}  // namespace mirdal
