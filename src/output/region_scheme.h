#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace mirdal {

// The sky is cut into declination zones of equal height, each zone into
// columns of equal width in right ascension starting at 0. Regions are
// numbered over the northern zones from the equator to the north pole, then
// over the southern zones from the equator to the south pole, and by
// increasing right ascension inside a zone. Zone z of a table covers
// declinations -90 + z*h up to, not including, -90 + (z+1)*h.
struct RegionZone {
  int count;  // columns of the zone
  int first;  // number of its first region
};

// The number of region files of a catalog: 1, 50, 184, 732 or 9537.
class RegionScheme {
 public:
  // Throws Error("Invalid number of files : N") for any other count.
  explicit RegionScheme(int regionCount);

  static bool isValid(int regionCount);

  int regionCount() const { return count_; }
  // The 732 and 9537 schemes keep their region files in zone directories.
  bool hasZoneDirectories() const { return count_ == 732 || count_ == 9537; }

  int regionNumber(double dec, double ra) const;
  int zoneOf(int region) const;
  std::string fileName(std::string_view baseName, int region) const;

 private:
  int count_;
};

// Region number 1..N of the position (declination, right ascension in
// degrees) under scheme N. The position must lie within -90 <= dec <= 90 and
// 0 <= ra <= 360; anything else (NaN included) throws Error. Positions on the
// upper edges (dec +90, ra 360, the poleward edge of a small region) go to the
// last zone, column or row that touches them, so the result always lies in
// the zone that holds the position.
int regionNumber(int scheme, double dec, double ra);

// regionNumber for the positions of one scheme, many times over: the zone
// edges, column widths and small-region sizes are worked out once, by the
// same operations in the same precision, so every result is regionNumber's.
// The position must lie on the sky (-90 <= dec <= 90, 0 <= ra <= 360, no
// NaN); it is not checked here.
class RegionFinder {
 public:
  // Throws Error("Invalid number of files : N") for an unknown scheme.
  explicit RegionFinder(int scheme);
  int operator()(double dec, double ra) const;

 private:
  struct Zone {
    long double width;  // 360 / count, the column width
    double widthDouble; // the same, rounded to a double
    double lowerEdge;   // -90 + z * h
    double equatorEdge; // 9537: the edge nearer the equator
    int count;
    int first;
  };
  struct Large {  // 9537: a region of the 732 scheme
    double columnStart;  // w * j, rounded to a double
    double smallWidth;   // w / n, rounded to a double
    int n;
    int firstSmall;
  };
  int scheme_;
  int last_ = 0;
  long double height_ = 0;
  double heightDouble_ = 0;
  std::array<Zone, 25> zones_{};  // [z + 1].lowerEdge is zone z's upper edge
  std::array<double, 5> rowHeight_{};  // 9537: 7.5 / n rounded to a double, by n
  std::array<Large, 733> large_{};     // 9537: by large region number
};

// The zone table of a scheme (1 has a single zone of one region).
std::span<const RegionZone> zoneTable(int scheme);
// Zone height in degrees: 180, 30, 15, 7.5 (the 9537 scheme uses the zones of 732).
double zoneHeight(int scheme);

// Index in zoneTable(scheme) of the zone that holds region r (1..N); for
// 9537 the zone of the large region that holds r. Throws Error when r is
// outside 1..N.
int regionZone(int scheme, int region);

// Small regions of the 9537 scheme: large region L (a region of 732, 1..732)
// is cut into n(L) x n(L) small regions numbered from F(L), by rows counted
// from the zone's equatorward edge, columns by increasing right ascension.
int smallRegionDivision(int largeRegion);   // n(L): 2, 3 or 4
int firstSmallRegion(int largeRegion);      // F(L); F(733) = 9538

// Directory of a 7.5-degree zone (index 0..23 of the 732 table), named after
// the hemisphere and the zone's equatorward edge in degrees*100 + minutes:
// zone 12 is "N0000", zone 23 "N8230", zone 11 "S0000", zone 0 "S8230".
std::string_view zoneDirectoryName(int zone);
// All 24 in creation order: "N0000".."N8230", then "S0000".."S8230".
extern const std::array<std::string_view, 24> kZoneDirectoryNames;

// Relative name of the data file of region r under scheme N, '/' between the
// zone directory and the file: "ngc.dat", "ngc07.dat", "ngc007.dat",
// "N0730/ngc049.dat", "S8230/ngc9537.dat". Throws Error("Invalid number of
// files : N") for an unknown scheme, Error for r outside 1..N.
std::string regionFileName(std::string_view baseName, int scheme, int region);

// The base name of every output file: the short name as stored in the header,
// trimmed of codes 0..32 at both ends, letters A-Z lowered.
std::string baseName(std::string_view shortName);

}  // namespace mirdal
