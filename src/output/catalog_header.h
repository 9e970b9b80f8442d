#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog_type.h"

namespace mirdal {

class FileSystem;

// Magic of each catalog type, 8 bytes, indexed by CatalogType.
inline constexpr std::string_view kMagicStars = "ORVSTAR1";
inline constexpr std::string_view kMagicVariableStars = "ORVVAR 1";
inline constexpr std::string_view kMagicDoubleStars = "ORVDBL 1";
inline constexpr std::string_view kMagicNebulae = "ORVNEB 1";
inline constexpr std::string_view kMagicNebulaOutlines = "ORVLINE1";
inline constexpr std::array<std::string_view, kCatalogTypeCount> kCatalogMagics = {
    kMagicStars, kMagicVariableStars, kMagicDoubleStars, kMagicNebulae, kMagicNebulaOutlines};

constexpr std::string_view magicOf(CatalogType type) { return kCatalogMagics[static_cast<int>(type)]; }

// The header file of a catalog: 1251 bytes, little-endian, no padding.
//
//   offset  size  content
//      0      4   int32 header length, 1251
//      4      8   magic
//     12      4   short name, space padded
//     16     50   long name, space padded
//     66      4   int32 record length (sum of the 35 field lengths)
//     70      4   int32 number of region files: 1, 50, 184, 732, 9537
//     74      8   double equinox
//     82      8   double epoch
//     90      8   double maximum magnitude
//     98     16   int32 x 4 type defaults A, B, C, D
//    114      1   uint8 alternate-name prefix flag, 0 or 1
//    115      1   uint8 index name length
//    116     10   uint8 x 10 alternate-name flags of string entries 1..10
//    126     80   zero
//    206    140   int32 x 35 field positions (1-based; 0 = absent)
//    346     80   zero
//    426    140   int32 x 35 field lengths
//    566     80   zero
//    646    385   35 x 11 chars field labels, space padded
//   1031    220   zero
//
// Texts are single-byte characters as given, with spaces appended and cut to
// their width when encoded; decode() gives them back at full width.
struct CatalogHeader {
  static constexpr std::size_t kEncodedLength = 1251;
  static constexpr int kFieldCount = 35;
  static constexpr std::size_t kMagicLength = 8;
  static constexpr std::size_t kShortNameLength = 4;
  static constexpr std::size_t kLongNameLength = 50;
  static constexpr std::size_t kLabelLength = 11;
  static constexpr int kAltNameCount = 10;

  std::string magic;
  std::string shortName;
  std::string longName;
  std::int32_t recordLength = 0;
  std::int32_t regionCount = 1;
  double equinox = 0.0;
  double epoch = 0.0;
  double magMax = 0.0;
  std::int32_t defaultA = 0;
  std::int32_t defaultB = 0;
  std::int32_t defaultC = 0;
  std::int32_t defaultD = 0;
  bool prefixAltNames = false;        // offset 114
  std::uint8_t indexNameLength = 0;   // offset 115
  std::array<bool, kAltNameCount> altNameFlags{};
  // Indexed by record field number - 1.
  std::array<std::int32_t, kFieldCount> positions{};
  std::array<std::int32_t, kFieldCount> lengths{};
  std::array<std::string, kFieldCount> labels{};

  // Exactly kEncodedLength bytes.
  std::string encode() const;

  // Checks everything a reader relies on and throws Error("Invalid catalog
  // header: <reason>") otherwise: the length, the header-length field, the
  // magic, the region count, the flags, the zero areas, and a record layout
  // whose present fields are packed from position 1 in field order and end
  // at the record length.
  static CatalogHeader decode(std::string_view bytes);

  bool operator==(const CatalogHeader&) const = default;
};

// Reads and decodes a header file; errors name the file:
//   Invalid catalog header "/cat/ngc.hdr": file has 12 bytes instead of 1251
CatalogHeader readCatalogHeader(FileSystem& fs, const std::string& path);

}  // namespace mirdal
