#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalog/catalog_type.h"
#include "catalog/field_catalogue.h"
#include "output/catalog_header.h"
#include "util/file_system.h"

namespace mirdal {

// One decoded field of a data record.
struct FieldValue {
  int field = 0;  // record field number 1..35
  std::string label;
  ValueKind kind = ValueKind::Text;
  // Text fields: the bytes; numeric fields: the stored number (int16, int32,
  // byte or the single-precision float widened to double).
  std::variant<std::int64_t, double, std::string> value;
};

struct IndexEntry {
  float ra = 0;
  float dec = 0;
  std::string name;  // full width, padding included
};

// Reads a built catalog back: the header, the region files decoded by the
// header's layout, and the name index. Used by the tests and by mirdal-dump.
// Each of them must be a regular file inside the directory: a FIFO, a device
// or a link that leads elsewhere is refused with an Error naming the file
// and what it is (see refuseOutsideOrSpecial).
class CatalogReader {
 public:
  // `directory` holds the catalog; with an empty base name the directory must
  // hold exactly one ".hdr" file.
  explicit CatalogReader(std::string directory, std::string baseName, FileSystem& fs);

  const CatalogHeader& header() const { return header_; }
  CatalogType type() const { return type_; }
  const std::string& baseName() const { return base_; }
  int regionCount() const { return header_.regionCount; }
  std::string regionPath(int region) const;
  std::string indexPath() const;

  // Number of records of region r; throws when the file's size is not a
  // whole number of records.
  std::int64_t regionRecordCount(int region) const;
  // The raw records of region r, each of the header's record length.
  std::vector<std::string> readRegion(int region) const;
  std::vector<FieldValue> decode(std::string_view record) const;
  // RA and DEC of a record in degrees.
  static double raOf(std::string_view record);
  static double decOf(std::string_view record);

  bool hasIndex() const;
  std::vector<IndexEntry> readIndex() const;
  // The number of index entries; throws when the file's size is not a
  // whole number of entries.
  std::int64_t indexEntryCount() const;
  // Hands the first `limit` entries (all for 0) to `take`, reading the file
  // a block at a time rather than whole; stops with AbortError on an
  // interrupt request.
  void forEachIndexEntry(std::int64_t limit, const std::function<void(const IndexEntry&)>& take) const;
  // The same for the first `limit` raw records of region r.
  void forEachRecord(int region, std::int64_t limit, const std::function<void(std::string_view)>& take) const;

 private:
  FileSystem& fs_;
  std::string dir_;
  std::string base_;
  CatalogHeader header_;
  CatalogType type_ = CatalogType::Stars;
  std::vector<ValueKind> kinds_;  // by record field number, [0] unused
};

}  // namespace mirdal
