#include "output/region_scheme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "util/error.h"

namespace mirdal {
namespace {

struct Zone {
  int count, first;
};

// The zone tables as published, south pole first.
const std::vector<Zone> kExpected50 = {{4, 47}, {9, 38}, {12, 26}, {12, 1}, {9, 13}, {4, 22}};
const std::vector<Zone> kExpected184 = {{3, 182}, {9, 173}, {15, 158}, {19, 139}, {22, 117}, {24, 93},
                                        {24, 1},  {22, 25}, {19, 47},  {15, 66},  {9, 81},   {3, 90}};
const std::vector<Zone> kExpected732 = {
    {3, 730},  {9, 721},  {15, 706}, {21, 685}, {27, 658}, {32, 626}, {36, 590}, {40, 550},
    {43, 507}, {45, 462}, {47, 415}, {48, 367}, {48, 1},   {47, 49},  {45, 96},  {43, 141},
    {40, 184}, {36, 224}, {32, 260}, {27, 292}, {21, 319}, {15, 340}, {9, 355},  {3, 364}};

const std::vector<Zone>& expectedZones(int scheme) {
  return scheme == 50 ? kExpected50 : scheme == 184 ? kExpected184 : kExpected732;
}
double heightOf(int scheme) { return scheme == 50 ? 30.0 : scheme == 184 ? 15.0 : 7.5; }
double below(double x) { return std::nextafter(x, -std::numeric_limits<double>::infinity()); }
double above(double x) { return std::nextafter(x, std::numeric_limits<double>::infinity()); }

struct Case {
  double dec, ra;
  int region;
};

void expectRegions(int scheme, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(regionNumber(scheme, c.dec, c.ra), c.region) << scheme << " regions, dec " << c.dec << " ra " << c.ra;
  }
}

TEST(RegionNumber, FiftyRegionsPublishedExamples) {
  expectRegions(50, {{0, 0, 1}, {0, 29.999, 1}, {0, 30, 2}, {-0.001, 0, 26}, {45, 100, 15}, {-89, 359, 50}});
}

TEST(RegionNumber, OneEightyFourRegionsPublishedExamples) {
  expectRegions(184, {{10, 359.9, 24}, {-10, 0, 93}, {80, 200, 91}});
}

TEST(RegionNumber, SevenThirtyTwoRegionsPublishedExamples) {
  expectRegions(732, {{1, 7.4, 1}, {-1, 7.5, 368}, {85, 130, 365}});
}

TEST(RegionNumber, NinetyFiveThirtySevenRegionsPublishedExamples) {
  // (1,1): large region 1, n 3, row 0 col 0. (6,6): row 2 col 2.
  // (-1,1): large region 367, F 4663, row 0 counted down from the equator.
  expectRegions(9537, {{1, 1, 1}, {6, 6, 9}, {-1, 1, 4663}});
  // Rows run poleward in the south: 2.5 degrees below the equator is row 1.
  expectRegions(9537, {{-2.6, 1, 4666}, {-5.1, 1, 4669}, {2.6, 1, 4}});
}

TEST(RegionNumber, SingleRegionTakesEverything) {
  expectRegions(1, {{-90, 0, 1}, {0, 180, 1}, {90, 360, 1}});
}

TEST(RegionNumber, DeclinationMinus7_5IsZone11) {
  EXPECT_EQ(regionNumber(732, -7.5, 0), 367);
  EXPECT_EQ(regionZone(732, regionNumber(732, -7.5, 0)), 11);
  // In 9537 it is the poleward row of large region 367 (n 3): 4663 + 2*3.
  EXPECT_EQ(regionNumber(9537, -7.5, 0), 4669);
  EXPECT_EQ(regionZone(9537, regionNumber(9537, -7.5, 359.99)), 11);
  // One ulp further south it belongs to zone 10, first row (large 415, n 3).
  EXPECT_EQ(regionNumber(732, below(-7.5), 0), 415);
  EXPECT_EQ(regionNumber(9537, below(-7.5), 0), 5260);
}

TEST(RegionNumber, NorthernZoneTopEdgeIsLastRow) {
  // Just below 7.5 north is the top row of large region 1 (n 3): 1 + 2*3.
  EXPECT_EQ(regionNumber(9537, below(7.5), 0), 7);
  // Just below 15 in large region 49 (n 3, F 594).
  EXPECT_EQ(regionNumber(9537, below(15.0), 0), 600);
}

TEST(RegionNumber, PolesStayInTheirPolarZones) {
  expectRegions(50, {{90, 0, 22}, {90, 359.9, 25}, {90, 360, 25}, {-90, 0, 47}, {-90, 360, 50}});
  expectRegions(184, {{90, 0, 90}, {90, 360, 92}, {-90, 0, 182}, {-90, 360, 184}});
  expectRegions(732, {{90, 0, 364}, {90, 360, 366}, {-90, 0, 730}, {-90, 360, 732}});
  // North pole: top row of large regions 364 (F 4615) and 366 (F 4647), n 4.
  // South pole: poleward row of 730 (F 9490) and 732 (F 9522), n 4.
  expectRegions(9537, {{90, 0, 4627}, {90, 360, 4662}, {-90, 0, 9502}, {-90, 360, 9537}});
}

TEST(RegionNumber, RightAscension360IsLastColumnOfTheZone) {
  expectRegions(50, {{0, 360, 12}, {-1, 360, 37}, {31, 360, 21}});
  expectRegions(184, {{0, 360, 24}, {-0.5, 360, 116}});
  expectRegions(732, {{0, 360, 48}, {-1, 360, 414}, {8, 360, 95}});
  // Large region 48 (n 3, F 585), row 0, last column 2.
  expectRegions(9537, {{1, 360, 587}, {below(7.5), 360, 593}});
  expectRegions(9537, {{0, 0, 1}, {-0.0, 0, 1}});
}

TEST(RegionNumber, EveryZoneBoundaryBelongsToTheZoneAbove) {
  for (int scheme : {50, 184, 732, 9537}) {
    double h = heightOf(scheme);
    int zones = static_cast<int>(expectedZones(scheme).size());
    for (int k = 0; k <= zones; ++k) {
      double edge = -90.0 + k * h;
      for (double ra : {0.0, 123.456, 360.0}) {
        int atEdge = regionZone(scheme, regionNumber(scheme, edge, ra));
        EXPECT_EQ(atEdge, std::min(k, zones - 1)) << scheme << " dec " << edge << " ra " << ra;
        if (k > 0) {
          EXPECT_EQ(regionZone(scheme, regionNumber(scheme, below(edge), ra)), k - 1)
              << scheme << " just below dec " << edge;
        }
      }
    }
  }
}

TEST(RegionNumber, ColumnEdgesStayInTheZone) {
  // Column edges of zones such as 47 columns are not exact in binary; a
  // position on either side of one must still fall in its own zone and in
  // one of the two neighbouring regions.
  for (int scheme : {50, 184, 732, 9537}) {
    const auto& zones = expectedZones(scheme);
    double h = heightOf(scheme);
    for (int z = 0; z < static_cast<int>(zones.size()); ++z) {
      double decs[] = {-90.0 + z * h, -90.0 + (z + 0.5) * h, below(-90.0 + (z + 1) * h)};
      for (int c = 0; c <= zones[z].count; ++c) {
        double edge = 360.0 * c / zones[z].count;
        for (double ra : {below(edge), edge, above(edge)}) {
          if (ra < 0 || ra > 360) continue;
          for (double dec : decs) {
            int r = regionNumber(scheme, dec, ra);
            ASSERT_EQ(regionZone(scheme, r), z) << scheme << " dec " << dec << " ra " << ra;
            if (scheme != 9537) {
              EXPECT_GE(r, zones[z].first + std::max(c - 1, 0));
              EXPECT_LE(r, zones[z].first + std::min(c, zones[z].count - 1));
            }
          }
        }
      }
    }
  }
}

TEST(RegionNumber, ZoneCentresHitEveryRegionOnce) {
  for (int scheme : {50, 184, 732}) {
    const auto& zones = expectedZones(scheme);
    double h = heightOf(scheme);
    std::set<int> seen;
    for (int z = 0; z < static_cast<int>(zones.size()); ++z) {
      double w = 360.0 / zones[z].count;
      for (int c = 0; c < zones[z].count; ++c) {
        int r = regionNumber(scheme, -90.0 + (z + 0.5) * h, (c + 0.5) * w);
        EXPECT_EQ(r, zones[z].first + c) << scheme << " zone " << z << " column " << c;
        seen.insert(r);
      }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(scheme));
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), scheme);
  }
}

TEST(RegionNumber, SmallRegionCentresHitEveryRegionOnce) {
  // Rows are counted from the zone's equatorward edge, columns by increasing
  // right ascension inside the large region.
  std::set<int> seen;
  for (int z = 0; z < 24; ++z) {
    Zone zone = kExpected732[z];
    double equatorward = z >= 12 ? -90.0 + 7.5 * z : -90.0 + 7.5 * (z + 1);
    double poleward = z >= 12 ? 1.0 : -1.0;
    double w = 360.0 / zone.count;
    for (int j = 0; j < zone.count; ++j) {
      int large = zone.first + j;
      int n = smallRegionDivision(large);
      for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
          double dec = equatorward + poleward * (row + 0.5) * 7.5 / n;
          double ra = w * j + (col + 0.5) * w / n;
          int r = regionNumber(9537, dec, ra);
          EXPECT_EQ(r, firstSmallRegion(large) + row * n + col) << "large " << large << " row " << row;
          seen.insert(r);
        }
      }
    }
  }
  EXPECT_EQ(seen.size(), 9537u);
  EXPECT_EQ(*seen.begin(), 1);
  EXPECT_EQ(*seen.rbegin(), 9537);
}

TEST(RegionNumber, DenseGridStaysInRangeAndInItsZone) {
  // Every multiple of 0.25 degree: includes all zone edges, both poles and
  // right ascensions 0 and 360.
  for (int scheme : {50, 184, 732, 9537}) {
    double h = heightOf(scheme);
    int zones = static_cast<int>(expectedZones(scheme).size());
    std::vector<bool> reached(scheme + 1, false);
    for (int i = 0; i <= 720; ++i) {
      double dec = -90.0 + i * 0.25;
      int zone = std::min(static_cast<int>(std::floor((dec + 90.0) / h)), zones - 1);
      int previous = 0;
      for (int k = 0; k <= 1440; ++k) {
        double ra = k * 0.25;
        int r = regionNumber(scheme, dec, ra);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, scheme);
        ASSERT_EQ(regionZone(scheme, r), zone) << scheme << " dec " << dec << " ra " << ra;
        ASSERT_GE(r, previous) << "numbers grow with right ascension: " << scheme << " dec " << dec << " ra " << ra;
        previous = r;
        reached[r] = true;
      }
    }
    for (int r = 1; r <= scheme; ++r) EXPECT_TRUE(reached[r]) << scheme << " region " << r;
  }
}

// The finder must give regionNumber's result for every position, above all
// where rounding decides: on and next to every zone edge, column edge and
// small-region edge, and on a dense grid and at random elsewhere.
TEST(RegionFinder, AgreesWithRegionNumberEverywhere) {
  std::mt19937_64 rng(732);
  std::uniform_real_distribution<double> decs(-90.0, 90.0);
  std::uniform_real_distribution<double> ras(0.0, 360.0);
  for (int scheme : {1, 50, 184, 732, 9537}) {
    const RegionFinder find(scheme);
    long checked = 0;
    auto check = [&](double dec, double ra) {
      if (!(dec >= -90.0 && dec <= 90.0 && ra >= 0.0 && ra <= 360.0)) return;
      ASSERT_EQ(find(dec, ra), regionNumber(scheme, dec, ra)) << scheme << " dec " << dec << " ra " << ra;
      ++checked;
    };
    for (int i = 0; i <= 1800; ++i)
      for (int k = 0; k <= 3600; k += 3) check(-90.0 + i * 0.1, k * 0.1);
    for (int i = 0; i < 1'000'000; ++i) check(decs(rng), ras(rng));
    if (scheme == 1) continue;
    // Edges: declinations of every zone and small-region row edge, right
    // ascensions of every column and small-region column edge, each exact and
    // one unit in the last place to either side.
    std::vector<double> decEdges;
    std::vector<double> raEdges;
    for (double rowHeight : {7.5 / 4, 7.5 / 3, 7.5 / 2}) {  // zone edges are among them
      for (int q = 0; q * rowHeight <= 180.0; ++q) decEdges.push_back(-90.0 + q * rowHeight);
    }
    for (const auto& zone : expectedZones(scheme)) {
      for (int c = 0; c <= zone.count * 12; ++c) raEdges.push_back(360.0 * c / (zone.count * 12));
    }
    std::vector<double> decNear;
    for (double d : decEdges) {
      decNear.push_back(below(d));
      decNear.push_back(d);
      decNear.push_back(above(d));
    }
    for (double ra : raEdges) {
      for (double r : {below(ra), ra, above(ra)}) {
        for (std::size_t i = 0; i < decNear.size(); i += 7) check(decNear[i], r);
      }
    }
    for (double dec : decNear) {
      for (std::size_t i = 0; i < raEdges.size(); i += 11) {
        check(dec, below(raEdges[i]));
        check(dec, raEdges[i]);
        check(dec, above(raEdges[i]));
      }
    }
    EXPECT_GT(checked, 3'000'000) << scheme;
  }
}

TEST(RegionFinder, UnknownSchemeIsInvalidNumberOfFiles) {
  try {
    RegionFinder find(100);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid number of files : 100");
  }
}

TEST(RegionNumber, PositionsOffTheSkyAreRefused) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  for (int scheme : {1, 50, 9537}) {
    EXPECT_THROW(regionNumber(scheme, nan, 0), Error);
    EXPECT_THROW(regionNumber(scheme, 0, nan), Error);
    EXPECT_THROW(regionNumber(scheme, above(90.0), 0), Error);
    EXPECT_THROW(regionNumber(scheme, below(-90.0), 0), Error);
    EXPECT_THROW(regionNumber(scheme, 0, above(360.0)), Error);
    EXPECT_THROW(regionNumber(scheme, 0, -1e-300), Error);
  }
}

TEST(RegionScheme, UnknownCountIsInvalidNumberOfFiles) {
  for (int n : {0, 2, 49, 733, 9538, -50}) {
    EXPECT_FALSE(RegionScheme::isValid(n));
    try {
      RegionScheme scheme(n);
      FAIL() << n;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid number of files : " + std::to_string(n));
    }
  }
  EXPECT_THROW(regionNumber(100, 0, 0), Error);
  RegionScheme s(732);
  EXPECT_TRUE(s.hasZoneDirectories());
  EXPECT_FALSE(RegionScheme(184).hasZoneDirectories());
  EXPECT_EQ(s.regionNumber(-1, 7.5), 368);
  EXPECT_EQ(s.fileName("ngc", 49), "N0730/ngc049.dat");
}

TEST(RegionTables, SmallRegionsStartWherePublished) {
  // F at the first large region of each zone, in numbering order.
  const int largeStarts[] = {1,   49,  96,  141, 184, 224, 260, 292, 319, 340, 355, 364,
                             367, 415, 462, 507, 550, 590, 626, 658, 685, 706, 721, 730, 733};
  const int smallStarts[] = {1,    594,  1178, 1729, 2259, 2781, 3246, 3652, 4014, 4294, 4492, 4615,
                             4663, 5260, 5838, 6412, 6989, 7523, 8022, 8464, 8840, 9134, 9346, 9490, 9538};
  for (int i = 0; i < 25; ++i) EXPECT_EQ(firstSmallRegion(largeStarts[i]), smallStarts[i]) << largeStarts[i];
  EXPECT_EQ(smallRegionDivision(1), 3);
  EXPECT_EQ(firstSmallRegion(2), 10);
  EXPECT_EQ(smallRegionDivision(10), 4);
  EXPECT_EQ(firstSmallRegion(10), 82);
  EXPECT_EQ(smallRegionDivision(732), 4);
  EXPECT_EQ(firstSmallRegion(732), 9522);
  EXPECT_EQ(smallRegionDivision(368), 3);
  EXPECT_EQ(smallRegionDivision(369), 2);
  EXPECT_THROW(smallRegionDivision(0), Error);
  EXPECT_THROW(smallRegionDivision(733), Error);
}

TEST(RegionTables, ZoneTablesAsPublished) {
  for (int scheme : {50, 184, 732, 9537}) {
    auto table = zoneTable(scheme);
    const auto& expected = expectedZones(scheme);
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t z = 0; z < table.size(); ++z) {
      EXPECT_EQ(table[z].count, expected[z].count) << scheme << " zone " << z;
      EXPECT_EQ(table[z].first, expected[z].first) << scheme << " zone " << z;
    }
  }
}

TEST(RegionZone, ZoneOfRegionNumberAtRangeEdges) {
  EXPECT_EQ(regionZone(732, 1), 12);
  EXPECT_EQ(regionZone(732, 48), 12);
  EXPECT_EQ(regionZone(732, 49), 13);
  EXPECT_EQ(regionZone(732, 366), 23);
  EXPECT_EQ(regionZone(732, 367), 11);
  EXPECT_EQ(regionZone(732, 732), 0);
  EXPECT_EQ(regionZone(9537, 593), 12);
  EXPECT_EQ(regionZone(9537, 594), 13);
  EXPECT_EQ(regionZone(9537, 4662), 23);
  EXPECT_EQ(regionZone(9537, 4663), 11);
  EXPECT_EQ(regionZone(9537, 9489), 1);
  EXPECT_EQ(regionZone(9537, 9490), 0);
  EXPECT_EQ(regionZone(9537, 9537), 0);
  EXPECT_EQ(regionZone(50, 25), 5);
  EXPECT_EQ(regionZone(50, 26), 2);
  EXPECT_EQ(regionZone(184, 184), 0);
  EXPECT_THROW(regionZone(732, 0), Error);
  EXPECT_THROW(regionZone(732, 733), Error);
  EXPECT_THROW(regionZone(9537, 9538), Error);
}

TEST(RegionFileName, NamesOfEveryScheme) {
  EXPECT_EQ(regionFileName("ngc", 1, 1), "ngc.dat");
  EXPECT_EQ(regionFileName("ab", 50, 1), "ab01.dat");
  EXPECT_EQ(regionFileName("ab", 50, 7), "ab07.dat");
  EXPECT_EQ(regionFileName("ab", 50, 50), "ab50.dat");
  EXPECT_EQ(regionFileName("ngc", 184, 7), "ngc007.dat");
  EXPECT_EQ(regionFileName("ngc", 184, 184), "ngc184.dat");
  EXPECT_EQ(regionFileName("ngc", 732, 7), "N0000/ngc007.dat");
  EXPECT_EQ(regionFileName("ngc", 732, 49), "N0730/ngc049.dat");
  EXPECT_EQ(regionFileName("ngc", 732, 367), "S0000/ngc367.dat");
  EXPECT_EQ(regionFileName("ngc", 732, 732), "S8230/ngc732.dat");
  EXPECT_EQ(regionFileName("ngc", 9537, 1), "N0000/ngc0001.dat");
  EXPECT_EQ(regionFileName("ngc", 9537, 4662), "N8230/ngc4662.dat");
  EXPECT_EQ(regionFileName("ngc", 9537, 4663), "S0000/ngc4663.dat");
  EXPECT_EQ(regionFileName("ngc", 9537, 9537), "S8230/ngc9537.dat");
  EXPECT_EQ(regionFileName("", 50, 3), "03.dat");
}

TEST(RegionFileName, UnknownSchemeOrRegionIsAnError) {
  try {
    regionFileName("ngc", 100, 1);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid number of files : 100");
  }
  EXPECT_THROW(regionFileName("ngc", 1, 2), Error);
  EXPECT_THROW(regionFileName("ngc", 50, 0), Error);
  EXPECT_THROW(regionFileName("ngc", 50, 51), Error);
  EXPECT_THROW(regionFileName("ngc", 9537, 9538), Error);
}

TEST(ZoneDirectory, NamesInCreationOrderAndByZone) {
  const std::array<std::string_view, 24> expected = {
      "N0000", "N0730", "N1500", "N2230", "N3000", "N3730", "N4500", "N5230", "N6000", "N6730", "N7500", "N8230",
      "S0000", "S0730", "S1500", "S2230", "S3000", "S3730", "S4500", "S5230", "S6000", "S6730", "S7500", "S8230"};
  EXPECT_EQ(kZoneDirectoryNames, expected);
  EXPECT_EQ(zoneDirectoryName(12), "N0000");
  EXPECT_EQ(zoneDirectoryName(13), "N0730");
  EXPECT_EQ(zoneDirectoryName(23), "N8230");
  EXPECT_EQ(zoneDirectoryName(11), "S0000");
  EXPECT_EQ(zoneDirectoryName(10), "S0730");
  EXPECT_EQ(zoneDirectoryName(0), "S8230");
  EXPECT_THROW(zoneDirectoryName(24), Error);
  EXPECT_THROW(zoneDirectoryName(-1), Error);
}

TEST(BaseName, TrimsBlanksAndLowersOnlyAsciiLetters) {
  EXPECT_EQ(baseName("NGC "), "ngc");
  EXPECT_EQ(baseName(" x  "), "x");
  EXPECT_EQ(baseName("Ab  "), "ab");
  EXPECT_EQ(baseName(std::string_view("\0A\tB", 4)), "a\tb");
  EXPECT_EQ(baseName("\xC4Z1_"), "\xC4z1_");
  EXPECT_EQ(baseName("    "), "");
}

}  // namespace
}  // namespace mirdal
