#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/catalog_header.h"
#include "output/region_scheme.h"
#include "support/temp_dir.h"

namespace mirdal::testing {

// A record of a stars catalog whose layout holds RA, DEC and the magnitude
// only: 10 bytes, RA and DEC as stored by a build, magnitude x 1000 as int16
// (32767 when missing).
struct TinyRecord {
  double ra = 0, dec = 0;
  std::optional<double> magnitude;
  int region = 1;  // the region file it is written to
};

inline std::string tinyRecordBytes(const TinyRecord& r) {
  auto le = [](std::int64_t v, int n) {
    std::string b;
    for (int i = 0; i < n; ++i) b += static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF);
    return b;
  };
  return le(std::llround(r.ra * 3'600'000.0), 4) + le(std::llround((r.dec + 90.0) * 3'600'000.0), 4) +
         le(r.magnitude ? std::llround(*r.magnitude * 1000.0) : 32767, 2);
}

// Writes "tiny.hdr" and every region file of `scheme` into dir/sub; returns
// the catalog directory.
inline std::string writeTinyCatalog(const TempDir& dir, const std::string& sub, int scheme,
                                    const std::vector<TinyRecord>& records) {
  CatalogHeader h;
  h.magic = "ORVSTAR1";
  h.shortName = "Tiny";
  h.longName = "Tiny test catalog";
  h.recordLength = 10;
  h.regionCount = scheme;
  h.equinox = 2000.0;
  h.epoch = 2000.0;
  h.magMax = 12.0;
  h.positions[0] = 1, h.lengths[0] = 4;
  h.positions[1] = 5, h.lengths[1] = 4;
  h.positions[3] = 9, h.lengths[3] = 2;
  h.labels[0] = "RA";
  h.labels[1] = "DEC";
  h.labels[3] = "mV";
  dir.write(sub + "/tiny.hdr", h.encode());
  std::vector<std::string> files(static_cast<std::size_t>(scheme));
  for (const TinyRecord& r : records) files.at(static_cast<std::size_t>(r.region - 1)) += tinyRecordBytes(r);
  for (int r = 1; r <= scheme; ++r)
    dir.write(sub + "/" + regionFileName("tiny", scheme, r), files[static_cast<std::size_t>(r - 1)]);
  return dir.str() + "/" + sub;
}

}  // namespace mirdal::testing
