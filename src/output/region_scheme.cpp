#include "output/region_scheme.h"

#include <cmath>
#include <string>

#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace {

constexpr RegionZone kZones1[] = {{1, 1}};

constexpr RegionZone kZones50[] = {
    {4, 47}, {9, 38}, {12, 26},  // south: -90 to 0
    {12, 1}, {9, 13}, {4, 22},   // north: 0 to 90
};

constexpr RegionZone kZones184[] = {
    {3, 182}, {9, 173}, {15, 158}, {19, 139}, {22, 117}, {24, 93},
    {24, 1},  {22, 25}, {19, 47},  {15, 66},  {9, 81},   {3, 90},
};

// Also the large regions of the 9537 scheme.
constexpr RegionZone kZones732[] = {
    {3, 730},  {9, 721},  {15, 706}, {21, 685}, {27, 658}, {32, 626},
    {36, 590}, {40, 550}, {43, 507}, {45, 462}, {47, 415}, {48, 367},
    {48, 1},   {47, 49},  {45, 96},  {43, 141}, {40, 184}, {36, 224},
    {32, 260}, {27, 292}, {21, 319}, {15, 340}, {9, 355},  {3, 364},
};

// n(L) of the large regions L = 1..732 in numbering order, one digit each.
constexpr char kDivisionDigits[] =
    "333333333444444444333333333333444444444444443333"  // zone 12, L 1..48
    "33333333444444444333333333333344444444444444333"   // zone 13, L 49..95
    "333333444444444433333222333333444444444444433"     // zone 14, L 96..140
    "3333444444444443333222223333344444444444443"       // zone 15, L 141..183
    "4444444444444433332222333333444444444444"          // zone 16, L 184..223
    "444444444444333322223333344444444444"              // zone 17, L 224..259
    "44444444443333322233333444444444"                  // zone 18, L 260..291
    "444444444333333333344444444"                       // zone 19, L 292..318
    "444444433333333444444"                             // zone 20, L 319..339
    "444443333334444"                                   // zone 21, L 340..354
    "444333444"                                         // zone 22, L 355..363
    "444"                                               // zone 23, L 364..366
    "332233333444444444433333333334444444444444443333"  // zone 11, L 367..414
    "32222333334444444444333333334444444444444443333"   // zone 10, L 415..461
    "322223333444444444443333344444444444444443333"     // zone 9, L 462..506
    "3222233334444444444444444444444444444443333"       // zone 8, L 507..549
    "3222333334444444444444444444444444443333"          // zone 7, L 550..589
    "333333334444444444444444444444444333"              // zone 6, L 590..625
    "33333334444444444444444444444333"                  // zone 5, L 626..657
    "333333444444444444444444433"                       // zone 4, L 658..684
    "333344444444444444433"                             // zone 3, L 685..705
    "333444444444443"                                   // zone 2, L 706..720
    "444444444"                                         // zone 1, L 721..729
    "444";                                              // zone 0, L 730..732

constexpr int kLargeRegions = 732;
constexpr int kSmallRegions = 9537;
static_assert(sizeof(kDivisionDigits) - 1 == kLargeRegions);

// F(L) for L = 1..733: F(1) = 1, F(L+1) = F(L) + n(L)^2. Index 0 unused.
constexpr std::array<int, kLargeRegions + 2> kFirstSmall = [] {
  std::array<int, kLargeRegions + 2> f{};
  f[1] = 1;
  for (int l = 1; l <= kLargeRegions; ++l) {
    int n = kDivisionDigits[l - 1] - '0';
    f[l + 1] = f[l] + n * n;
  }
  return f;
}();
static_assert(kFirstSmall[kLargeRegions] + 16 - 1 == kSmallRegions);
static_assert(kFirstSmall[kLargeRegions + 1] == kSmallRegions + 1);

constexpr bool zonesTileNumbers(std::span<const RegionZone> zones) {
  // Northern zones from the equator up, then southern ones from the equator
  // down, number the regions 1..N without gap.
  int half = static_cast<int>(zones.size()) / 2;
  int next = 1;
  for (int z = half; z < static_cast<int>(zones.size()); ++z) {
    if (zones[z].first != next) return false;
    next += zones[z].count;
  }
  for (int z = half - 1; z >= 0; --z) {
    if (zones[z].first != next) return false;
    next += zones[z].count;
  }
  return true;
}
static_assert(zonesTileNumbers(kZones50) && kZones50[0].first + kZones50[0].count - 1 == 50);
static_assert(zonesTileNumbers(kZones184) && kZones184[0].first + kZones184[0].count - 1 == 184);
static_assert(zonesTileNumbers(kZones732) && kZones732[0].first + kZones732[0].count - 1 == 732);

// Trunc of a non-negative quotient, kept within 0..last. Small negative
// quotients from rounding truncate to 0 as they would toward zero.
int truncIndex(long double x, int last) {
  if (!(x > 0)) return 0;
  if (x >= last) return last;
  return static_cast<int>(x);
}

// truncIndex of a quotient, taken from its double `approx` when that is
// more than kMargin from every integer, else from `exact()`, the quotient in
// long double as regionNumber computes it. Every quotient here is below 50
// (dec + 90 over a zone height, a right ascension over a column width, a
// row or column within a large region); the double and the long double
// quotient each lie within 1e-13 of the exact one, so away from an integer
// they truncate alike, and only the rare quotient close to an edge pays for
// the long double division.
constexpr double kMargin = 1e-9;
template <typename Exact>
[[gnu::always_inline]] inline int truncQuotient(double approx, int last, const Exact& exact) {
  const double fraction = approx - std::floor(approx);
  if (fraction > kMargin && fraction < 1 - kMargin) return truncIndex(approx, last);
  return truncIndex(exact(), last);
}

[[noreturn]] void throwInvalidScheme(int scheme) {
  throw Error("Invalid number of files : " + std::to_string(scheme));
}

void checkRegion(int scheme, int region) {
  if (region < 1 || region > scheme) {
    throw Error("Region " + std::to_string(region) + " does not exist among " + std::to_string(scheme) +
                " regions");
  }
}

std::string zeroPadded(int value, std::size_t digits) {
  std::string s = std::to_string(value);
  if (s.size() < digits) s.insert(0, digits - s.size(), '0');
  return s;
}

// Large region of the 732 table that holds small region r of the 9537 scheme.
int largeRegionOf(int small) {
  int lo = 1, hi = kLargeRegions;  // F(lo) <= small < F(hi + 1)
  while (lo < hi) {
    int mid = (lo + hi + 1) / 2;
    if (kFirstSmall[mid] <= small) lo = mid; else hi = mid - 1;
  }
  return lo;
}

int zoneOfNumber(std::span<const RegionZone> zones, int region) {
  for (int z = 0; z < static_cast<int>(zones.size()); ++z) {
    if (region >= zones[z].first && region < zones[z].first + zones[z].count) return z;
  }
  return 0;  // unreachable for 1..N: the zones tile the numbers
}

}  // namespace

const std::array<std::string_view, 24> kZoneDirectoryNames = {
    "N0000", "N0730", "N1500", "N2230", "N3000", "N3730", "N4500", "N5230", "N6000", "N6730", "N7500", "N8230",
    "S0000", "S0730", "S1500", "S2230", "S3000", "S3730", "S4500", "S5230", "S6000", "S6730", "S7500", "S8230",
};

RegionScheme::RegionScheme(int regionCount) : count_(regionCount) {
  if (!isValid(regionCount)) throwInvalidScheme(regionCount);
}

bool RegionScheme::isValid(int regionCount) {
  return regionCount == 1 || regionCount == 50 || regionCount == 184 || regionCount == 732 || regionCount == 9537;
}

int RegionScheme::regionNumber(double dec, double ra) const { return mirdal::regionNumber(count_, dec, ra); }
int RegionScheme::zoneOf(int region) const { return regionZone(count_, region); }
std::string RegionScheme::fileName(std::string_view base, int region) const {
  return regionFileName(base, count_, region);
}

std::span<const RegionZone> zoneTable(int scheme) {
  switch (scheme) {
    case 1: return kZones1;
    case 50: return kZones50;
    case 184: return kZones184;
    case 732:
    case 9537: return kZones732;
  }
  throwInvalidScheme(scheme);
}

double zoneHeight(int scheme) {
  switch (scheme) {
    case 1: return 180.0;
    case 50: return 30.0;
    case 184: return 15.0;
    case 732:
    case 9537: return 7.5;
  }
  throwInvalidScheme(scheme);
}

int regionNumber(int scheme, double dec, double ra) {
  if (!RegionScheme::isValid(scheme)) throwInvalidScheme(scheme);
  if (!(dec >= -90.0 && dec <= 90.0 && ra >= 0.0 && ra <= 360.0)) {
    throw Error("Position outside the sky: declination " + std::to_string(dec) + ", right ascension " +
                std::to_string(ra));
  }
  if (scheme == 1) return 1;

  // Divisions in 80-bit extended precision, in the order of the rule.
  std::span<const RegionZone> zones = zoneTable(scheme);
  const long double h = zoneHeight(scheme);
  const int last = static_cast<int>(zones.size()) - 1;
  int z = truncIndex((static_cast<long double>(dec) + 90.0L) / h, last);
  // A declination closer to 0 than half a unit of 90 in the last place
  // rounds onto the equator in dec + 90; the zone edges are exact doubles,
  // so comparing with them puts it back in the zone that holds it.
  if (z > 0 && dec < -90.0 + z * static_cast<double>(h)) --z;
  if (z < last && dec >= -90.0 + (z + 1) * static_cast<double>(h)) ++z;
  const RegionZone zone = zones[z];
  const long double w = 360.0L / zone.count;
  const int j = truncIndex(ra / w, zone.count - 1);
  if (scheme != 9537) return zone.first + j;

  const int large = zone.first + j;
  const int n = smallRegionDivision(large);
  // The equatorward edge of zone z. Taken from z rather than from the
  // declination itself, so that a declination within a hair of a zone edge
  // counts its rows from the edge of the zone it was placed in.
  const double b = z >= 12 ? -90.0 + 7.5 * (z) : -90.0 + 7.5 * (z + 1);
  const double wj = static_cast<double>(w * j);
  const double rowHeight = static_cast<double>(7.5L / n);
  const double columnWidth = static_cast<double>(w / n);
  const int row = truncIndex(std::fabs(static_cast<long double>(dec) - b) / rowHeight, n - 1);
  const int column = truncIndex((static_cast<long double>(ra) - wj) / columnWidth, n - 1);
  return firstSmallRegion(large) + row * n + column;
}

RegionFinder::RegionFinder(int scheme) : scheme_(scheme) {
  if (!RegionScheme::isValid(scheme)) throwInvalidScheme(scheme);
  if (scheme == 1) return;
  std::span<const RegionZone> zones = zoneTable(scheme);
  height_ = zoneHeight(scheme);
  heightDouble_ = zoneHeight(scheme);
  last_ = static_cast<int>(zones.size()) - 1;
  for (int z = 0; z <= last_ + 1; ++z) {
    Zone& zone = zones_[static_cast<std::size_t>(z)];
    zone.lowerEdge = -90.0 + z * static_cast<double>(height_);
    if (z > last_) break;
    zone.count = zones[static_cast<std::size_t>(z)].count;
    zone.first = zones[static_cast<std::size_t>(z)].first;
    zone.width = 360.0L / zone.count;
    zone.widthDouble = 360.0 / zone.count;
    zone.equatorEdge = z >= 12 ? -90.0 + 7.5 * (z) : -90.0 + 7.5 * (z + 1);
  }
  if (scheme != 9537) return;
  for (int n = 2; n <= 4; ++n) rowHeight_[static_cast<std::size_t>(n)] = static_cast<double>(7.5L / n);
  for (int z = 0; z <= last_; ++z) {
    const Zone& zone = zones_[static_cast<std::size_t>(z)];
    for (int j = 0; j < zone.count; ++j) {
      Large& l = large_[static_cast<std::size_t>(zone.first + j)];
      l.n = smallRegionDivision(zone.first + j);
      l.firstSmall = firstSmallRegion(zone.first + j);
      l.columnStart = static_cast<double>(zone.width * j);
      l.smallWidth = static_cast<double>(zone.width / l.n);
    }
  }
}

int RegionFinder::operator()(double dec, double ra) const {
  if (scheme_ == 1) return 1;
  // The steps and the precision of regionNumber, with its constants looked up.
  int z = truncQuotient((dec + 90.0) / heightDouble_, last_,
                        [&] { return (static_cast<long double>(dec) + 90.0L) / height_; });
  if (z > 0 && dec < zones_[static_cast<std::size_t>(z)].lowerEdge) --z;
  if (z < last_ && dec >= zones_[static_cast<std::size_t>(z + 1)].lowerEdge) ++z;
  const Zone& zone = zones_[static_cast<std::size_t>(z)];
  const int j = truncQuotient(ra / zone.widthDouble, zone.count - 1, [&] { return ra / zone.width; });
  if (scheme_ != 9537) return zone.first + j;

  const Large& l = large_[static_cast<std::size_t>(zone.first + j)];
  const int n = l.n;
  const double rowHeight = rowHeight_[static_cast<std::size_t>(n)];
  const int row = truncQuotient(std::fabs(dec - zone.equatorEdge) / rowHeight, n - 1, [&] {
    return std::fabs(static_cast<long double>(dec) - zone.equatorEdge) / rowHeight;
  });
  const int column = truncQuotient((ra - l.columnStart) / l.smallWidth, n - 1, [&] {
    return (static_cast<long double>(ra) - l.columnStart) / l.smallWidth;
  });
  return l.firstSmall + row * n + column;
}

int regionZone(int scheme, int region) {
  if (!RegionScheme::isValid(scheme)) throwInvalidScheme(scheme);
  checkRegion(scheme, region);
  if (scheme == 9537) return zoneOfNumber(kZones732, largeRegionOf(region));
  return zoneOfNumber(zoneTable(scheme), region);
}

int smallRegionDivision(int largeRegion) {
  if (largeRegion < 1 || largeRegion > kLargeRegions) checkRegion(kLargeRegions, largeRegion);
  return kDivisionDigits[largeRegion - 1] - '0';
}

int firstSmallRegion(int largeRegion) {
  if (largeRegion < 1 || largeRegion > kLargeRegions + 1) checkRegion(kLargeRegions + 1, largeRegion);
  return kFirstSmall[largeRegion];
}

std::string_view zoneDirectoryName(int zone) {
  if (zone < 0 || zone > 23) throw Error("Zone " + std::to_string(zone) + " does not exist among 24 zones");
  return zone >= 12 ? kZoneDirectoryNames[zone - 12] : kZoneDirectoryNames[12 + (11 - zone)];
}

std::string regionFileName(std::string_view base, int scheme, int region) {
  std::string number;
  switch (scheme) {
    case 1: break;
    case 50: number = zeroPadded(region, 2); break;
    case 184:
    case 732: number = zeroPadded(region, 3); break;
    case 9537: number = zeroPadded(region, 4); break;
    default: throwInvalidScheme(scheme);
  }
  checkRegion(scheme, region);
  std::string name;
  if (scheme == 732 || scheme == 9537) {
    name += zoneDirectoryName(regionZone(scheme, region));
    name += '/';
  }
  name += base;
  name += number;
  name += ".dat";
  return name;
}

std::string baseName(std::string_view shortName) { return asciiLowered(trimmed(shortName)); }

}  // namespace mirdal
