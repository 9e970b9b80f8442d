// The header decoder and the catalog reader: a header either decodes, and
// then encodes back to the very same 1251 bytes, or is refused with an Error;
// the reader refuses region and index files that do not hold whole records
// and decodes every record of the ones that do, inside the record.
//
// Input: the first 1251 bytes are the header file, the rest is split into
// the first region file, the last region file and the index.

#include <string>

#include "fuzz_check.h"
#include "output/catalog_header.h"
#include "output/catalog_reader.h"
#include "output/region_scheme.h"
#include "support/memory_file_system.h"
#include "util/error.h"

namespace {

using namespace mirdal;

void readAll(const CatalogReader& reader, int region) {
  std::vector<std::string> records;
  try {
    records = reader.readRegion(region);
  } catch (const Error&) {
    return;
  }
  for (const std::string& record : records) {
    FUZZ_CHECK(static_cast<std::int32_t>(record.size()) == reader.header().recordLength);
    (void)CatalogReader::raOf(record);
    (void)CatalogReader::decOf(record);
    for (const FieldValue& v : reader.decode(record)) FUZZ_CHECK(v.field >= 1 && v.field <= 35);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::asText(data, size);
  const std::string_view headerBytes = bytes.substr(0, CatalogHeader::kEncodedLength);

  testing::MemoryFileSystem fs;
  // The whole input as a header file: anything but 1251 bytes is refused.
  fs.put("/whole.hdr", bytes);
  try {
    CatalogHeader h = readCatalogHeader(fs, "/whole.hdr");
    FUZZ_CHECK(size == CatalogHeader::kEncodedLength);
    FUZZ_CHECK(h.encode() == bytes);
  } catch (const Error& e) {
    FUZZ_CHECK(std::string(e.what()).find("/whole.hdr") != std::string::npos);
  }

  CatalogHeader header;
  try {
    header = CatalogHeader::decode(headerBytes);
  } catch (const Error&) {
    return 0;
  }
  FUZZ_CHECK(header.encode() == headerBytes);
  FUZZ_CHECK(RegionScheme::isValid(header.regionCount));
  FUZZ_CHECK(header.recordLength >= 0);

  const std::string_view rest = bytes.substr(headerBytes.size());
  const std::size_t third = rest.size() / 3;
  const std::string base = "x";
  fs.put("/cat/x.hdr", headerBytes);
  fs.put("/cat/" + regionFileName(base, header.regionCount, 1), rest.substr(0, third));
  fs.put("/cat/" + regionFileName(base, header.regionCount, header.regionCount), rest.substr(third, third));
  fs.put("/cat/x.idx", rest.substr(2 * third));

  CatalogReader reader("/cat", base, fs);
  // Compared as bytes: a NaN equinox is a valid header but unequal to itself.
  FUZZ_CHECK(reader.header().encode() == headerBytes);
  readAll(reader, 1);
  readAll(reader, header.regionCount);
  try {
    for (const IndexEntry& e : reader.readIndex()) FUZZ_CHECK(e.name.size() == header.indexNameLength);
  } catch (const Error&) {
  }
  return 0;
}
