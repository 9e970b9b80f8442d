#include "picture/sky_preview.h"

#include <gtest/gtest.h>

#include <string>

#include "output/region_scheme.h"
#include "support/temp_dir.h"
#include "support/tiny_catalog.h"
#include "util/error.h"

namespace mirdal {
namespace {

using testing::TempDir;
using testing::TinyRecord;
using testing::writeTinyCatalog;

// One pixel per degree, the sky alone: pixel (x, y) covers right ascension
// x..x+1 and declination 89-y..90-y.
SkyPreviewOptions degreePixels() {
  SkyPreviewOptions o;
  o.skyWidth = 360;
  o.margins = false;
  o.regionNumbers = false;
  return o;
}

// Zone and column lines mixed over an empty region's tint and over the sky.
constexpr Rgb kLineOverEmpty{94, 116, 174};
constexpr Rgb kLineOverSky{78, 114, 174};

std::string colourText(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}
#define EXPECT_PIXEL(image, x, y, colour) \
  EXPECT_EQ(colourText((image).pixel(x, y)), colourText(colour)) << "pixel " << (x) << ", " << (y)

// A record adds at least 55 % of its colour: red 140 over the sky's 8.
bool lit(const RgbImage& image, int x, int y) { return image.pixel(x, y).r >= 120; }

TEST(SkyPreview, RecordLightsThePixelHoldingItAndNoOther) {
  SkyPreview sky(50, degreePixels());
  sky.addRecord(10.5, 20.5, std::nullopt, 1);
  RgbImage image = sky.render();
  EXPECT_EQ(image.width(), 360);
  EXPECT_EQ(image.height(), 180);
  EXPECT_EQ(sky.pixelOf(10.5, 20.5), std::make_pair(10, 69));
  EXPECT_TRUE(lit(image, 10, 69));
  EXPECT_PIXEL(image, 9, 69, SkyPalette::kSky);
  EXPECT_PIXEL(image, 11, 69, SkyPalette::kSky);
  EXPECT_PIXEL(image, 10, 68, SkyPalette::kSky);
  EXPECT_PIXEL(image, 10, 70, SkyPalette::kSky);
}

// 50 regions: zone edges at DEC -60, -30, 0, 30, 60; 12 columns of 30 degrees
// from DEC -30 to 30, 9 of 40 degrees up to +-60, 4 of 90 at the poles.
TEST(SkyPreview, GridLinesSitJustWestAndSouthOfTheirEdges) {
  SkyPreview sky(50, degreePixels());
  RgbImage image = sky.render();
  for (int row : {30, 60, 90, 120, 150}) EXPECT_PIXEL(image, 5, row, kLineOverEmpty);
  for (int row : {0, 29, 31, 89, 91, 179}) EXPECT_PIXEL(image, 5, row, SkyPalette::kEmptyRegion);
  // DEC 0..30 (rows 61..89): a line west of RA 30, 60, ..., 330.
  for (int x : {29, 59, 329}) EXPECT_PIXEL(image, x, 75, kLineOverEmpty);
  for (int x : {0, 28, 30, 359}) EXPECT_PIXEL(image, x, 75, SkyPalette::kEmptyRegion);
  // DEC 60..90 (rows 0..29): lines west of RA 90, 180, 270 only.
  EXPECT_PIXEL(image, 89, 10, kLineOverEmpty);
  EXPECT_PIXEL(image, 29, 10, SkyPalette::kEmptyRegion);
  // DEC 30..60 (rows 31..59): 40-degree columns.
  EXPECT_PIXEL(image, 39, 45, kLineOverEmpty);
  EXPECT_PIXEL(image, 29, 45, SkyPalette::kEmptyRegion);
}

TEST(SkyPreview, RecordsAtRa0AndDec0AreNotHiddenByLines) {
  SkyPreview sky(50, degreePixels());
  sky.addRecord(0, 0, std::nullopt, 1);
  sky.addRecord(30, 10, std::nullopt, 2);
  sky.addRecord(100, -0.0001, std::nullopt, 29);
  RgbImage image = sky.render();
  EXPECT_TRUE(lit(image, 0, 89));   // north of the equator line, in the first column
  EXPECT_PIXEL(image, 0, 90, kLineOverEmpty);  // region 26, south of the equator, is empty
  EXPECT_TRUE(lit(image, 30, 79));  // east of the line at RA 30
  EXPECT_PIXEL(image, 29, 79, kLineOverSky);
  // Just south of the equator: in the line's row, showing through it.
  EXPECT_NE(colourText(image.pixel(100, 90)), colourText(kLineOverSky));
  EXPECT_PIXEL(image, 101, 90, kLineOverSky);
}

TEST(SkyPreview, EmptyAndMisplacedRegionsAreTinted) {
  SkyPreview sky(50, degreePixels());
  sky.addRecord(15, 15, std::nullopt, 1);
  sky.addRecord(45, 15, std::nullopt, 1);  // lies in region 2
  sky.addRecord(200, 45, std::nullopt, 18);
  RgbImage image = sky.render();
  EXPECT_PIXEL(image, 5, 80, SkyPalette::kMisplacedRegion);  // region 1
  EXPECT_PIXEL(image, 40, 80, SkyPalette::kEmptyRegion);     // region 2: its record went to 1
  EXPECT_PIXEL(image, 210, 50, SkyPalette::kSky);            // region 18: RA 200..240, DEC 30..60
  EXPECT_TRUE(lit(image, 45, 74));                           // drawn where it lies
  EXPECT_EQ(sky.emptyRegions(), 48);
  EXPECT_EQ(sky.counts()[0].records, 2);
  EXPECT_EQ(sky.counts()[0].misplaced, 1);
  EXPECT_EQ(sky.counts()[1].records, 0);
  EXPECT_EQ(sky.counts()[17].records, 1);
  EXPECT_EQ(sky.misplaced(), 1);
}

TEST(SkyPreview, StoredPositionWithinRoundingOfAnEdgeIsNotMisplaced) {
  SkyPreview sky(50, degreePixels());
  sky.addRecord(30.0 + 0.5 / 3'600'000, 10, std::nullopt, 1);  // rounded across RA 30
  sky.addRecord(10, 30.0 + 0.5 / 3'600'000, std::nullopt, 1);  // and across DEC 30
  sky.addRecord(360, 10, std::nullopt, 12);                    // the upper edge goes to the last column
  sky.addRecord(10, 90, std::nullopt, 22);                     // the pole to the last zone
  EXPECT_EQ(sky.misplaced(), 0);
  sky.addRecord(30.001, 10, std::nullopt, 1);
  EXPECT_EQ(sky.misplaced(), 1);
}

TEST(SkyPreview, PositionOffTheSkyIsCountedNotDrawn) {
  SkyPreview sky(50, degreePixels());
  sky.addRecord(400, 10, std::nullopt, 1);
  sky.addRecord(10, -95, std::nullopt, 0);
  sky.addRecord(std::nan(""), 0, std::nullopt, 0);
  EXPECT_EQ(sky.records(), 3);
  EXPECT_EQ(sky.offSky(), 3);
  EXPECT_EQ(sky.misplaced(), 1);  // only the one in a region file
  EXPECT_EQ(sky.counts()[0].records, 1);
  EXPECT_THROW(sky.pixelOf(400, 10), Error);
  RgbImage image = sky.render();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ASSERT_FALSE(lit(image, x, y)) << x << ", " << y;
}

TEST(SkyPreview, UpperEdgesOfTheSkyGoToTheLastColumnAndRow) {
  SkyPreview sky(50, degreePixels());
  EXPECT_EQ(sky.pixelOf(360, 90), std::make_pair(359, 0));
  EXPECT_EQ(sky.pixelOf(0, -90), std::make_pair(0, 179));
  EXPECT_EQ(sky.pixelOf(359.999, -89.999), std::make_pair(359, 179));
}

TEST(SkyPreview, MarginsShiftTheSkyAndHoverFindsPositionAndRegion) {
  SkyPreviewOptions o = degreePixels();
  o.margins = true;
  SkyPreview sky(50, o);
  EXPECT_EQ(sky.skyLeft(), 30);
  EXPECT_EQ(sky.skyTop(), 14);
  EXPECT_EQ(sky.imageWidth(), 30 + 360 + 12);
  EXPECT_EQ(sky.imageHeight(), 14 + 180 + 32);
  RgbImage image = sky.render();
  EXPECT_EQ(image.width(), sky.imageWidth());
  EXPECT_EQ(image.height(), sky.imageHeight());
  EXPECT_EQ(sky.pixelOf(10.5, 20.5), std::make_pair(40, 83));
  auto p = sky.positionAt(30, 14);
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->ra, 0.5);
  EXPECT_DOUBLE_EQ(p->dec, 89.5);
  EXPECT_FALSE(sky.positionAt(29, 14));
  EXPECT_FALSE(sky.positionAt(30 + 360, 20));
  EXPECT_EQ(sky.regionAt(40, 83), 1);
  EXPECT_EQ(sky.regionAt(30 + 100, 14 + 45), 15);  // RA 100.5, DEC 44.5
  EXPECT_EQ(sky.regionAt(0, 0), 0);
  EXPECT_PIXEL(image, 29, 100, SkyPalette::kFrame);  // the frame west of RA 0
}

TEST(SkyPreview, RegionsOfTheSmallRegionScheme) {
  SkyPreviewOptions o = degreePixels();
  o.skyWidth = 1440;  // a quarter degree per pixel
  SkyPreview sky(9537, o);
  auto regionOf = [&](double ra, double dec) {
    auto [x, y] = sky.pixelOf(ra, dec);
    return sky.regionAt(x, y);
  };
  EXPECT_EQ(regionOf(1, 1), 1);
  EXPECT_EQ(regionOf(6, 6), 9);
  EXPECT_EQ(regionOf(1, -1), 4663);
  EXPECT_EQ(regionOf(359.9, -89.9), 9537);
}

TEST(SkyPreview, BrightRecordIsALargerDisc) {
  SkyPreviewOptions o = degreePixels();
  o.skyWidth = 1440;  // largest disc: radius 3.6 pixels
  SkyPreview sky(50, o);
  sky.setMagnitudeRange(1.0, 9.0);
  sky.addRecord(100, 10, 1.0, 4);
  sky.addRecord(200, 10, 9.0, 7);
  RgbImage image = sky.render();
  auto [bx, by] = sky.pixelOf(100, 10);
  EXPECT_TRUE(lit(image, bx, by));
  EXPECT_TRUE(lit(image, bx + 3, by));
  EXPECT_TRUE(lit(image, bx, by - 3));
  EXPECT_FALSE(lit(image, bx + 5, by));
  auto [fx, fy] = sky.pixelOf(200, 10);
  EXPECT_TRUE(lit(image, fx, fy));
  EXPECT_PIXEL(image, fx + 1, fy, SkyPalette::kSky);
  EXPECT_PIXEL(image, fx, fy + 1, SkyPalette::kSky);
}

TEST(SkyPreview, DiscsWrapRoundRightAscensionZero) {
  SkyPreviewOptions o = degreePixels();
  o.skyWidth = 1440;
  SkyPreview sky(50, o);
  sky.setMagnitudeRange(1.0, 9.0);
  sky.addRecord(0.1, 45, 1.0, 13);
  RgbImage image = sky.render();
  auto [x, y] = sky.pixelOf(0.1, 45);
  EXPECT_EQ(x, 0);
  EXPECT_TRUE(lit(image, 1439, y));
}

TEST(SkyPreview, LightOfRecordsInOnePixelAddsUp) {
  SkyPreview sky(50, degreePixels());
  sky.addRecord(10.5, 10.5, std::nullopt, 1);
  for (int i = 0; i < 5; ++i) sky.addRecord(20.5, 10.5, std::nullopt, 1);
  RgbImage image = sky.render();
  EXPECT_GT(image.pixel(20, 79).r, image.pixel(10, 79).r);
  EXPECT_GT(image.pixel(20, 79).b, image.pixel(10, 79).b);
}

TEST(SkyPreview, UnknownSchemeOrWidthIsRefused) {
  try {
    SkyPreview sky(7);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid number of files : 7");
  }
  SkyPreviewOptions o;
  o.skyWidth = 179;
  EXPECT_THROW(SkyPreview(50, o), Error);
  o.skyWidth = 8193;
  EXPECT_THROW(SkyPreview(50, o), Error);
  o.skyWidth = 361;  // taken as 360
  EXPECT_EQ(SkyPreview(1, o).skyWidth(), 360);
}

// --- Region bounds ---

TEST(RegionBounds, KnownRegions) {
  auto expect = [](int scheme, int region, RegionBounds want) {
    RegionBounds b = regionBounds(scheme, region);
    EXPECT_DOUBLE_EQ(b.decLow, want.decLow) << scheme << "/" << region;
    EXPECT_DOUBLE_EQ(b.decHigh, want.decHigh) << scheme << "/" << region;
    EXPECT_DOUBLE_EQ(b.raLow, want.raLow) << scheme << "/" << region;
    EXPECT_DOUBLE_EQ(b.raHigh, want.raHigh) << scheme << "/" << region;
  };
  expect(1, 1, {-90, 90, 0, 360});
  expect(50, 15, {30, 60, 80, 120});
  expect(50, 50, {-90, -60, 270, 360});
  expect(184, 91, {75, 90, 120, 240});
  expect(732, 368, {-7.5, 0, 7.5, 15});
  expect(9537, 1, {0, 2.5, 0, 2.5});
  expect(9537, 9, {5, 7.5, 5, 7.5});
  // South of the equator rows count from the equator down.
  expect(9537, 4663, {-2.5, 0, 0, 2.5});
  expect(9537, 4666, {-5, -2.5, 0, 2.5});
  expect(9537, 9537, {-90, -88.125, 360 - 30, 360});
  EXPECT_THROW(regionBounds(50, 51), Error);
  EXPECT_THROW(regionBounds(50, 0), Error);
}

TEST(RegionBounds, CentreOfEveryRegionLiesInIt) {
  for (int scheme : {1, 50, 184, 732, 9537}) {
    double area = 0;
    for (int r = 1; r <= scheme; ++r) {
      RegionBounds b = regionBounds(scheme, r);
      ASSERT_EQ(regionNumber(scheme, (b.decLow + b.decHigh) / 2, (b.raLow + b.raHigh) / 2), r) << scheme << "/" << r;
      area += (b.decHigh - b.decLow) * (b.raHigh - b.raLow);
    }
    EXPECT_NEAR(area, 180.0 * 360.0, 1e-6) << scheme;  // no gap, no overlap
  }
}

// --- A built catalog ---

TEST(PreviewCatalog, CountsDrawsAndCaptionsATinyCatalog) {
  TempDir dir;
  std::string catalog = writeTinyCatalog(dir, "cat", 50,
                                         {{10.5, 20.5, 1.0, 1},
                                          {0, 0, std::nullopt, 1},
                                          {15.5, -15.5, 5.0, 26},
                                          {45.5, 45.5, 3.0, 13}});  // lies in region 14
  SkyPreview sky = previewCatalog(CatalogReader(catalog, {}, FileSystem::real()), FileSystem::real(), degreePixels());
  EXPECT_EQ(sky.records(), 4);
  EXPECT_EQ(sky.counts()[0].records, 2);
  EXPECT_EQ(sky.counts()[25].records, 1);
  EXPECT_EQ(sky.counts()[12].misplaced, 1);
  EXPECT_EQ(sky.misplaced(), 1);
  EXPECT_EQ(sky.emptyRegions(), 47);
  EXPECT_DOUBLE_EQ(sky.brightMagnitude(), 1.0);
  EXPECT_DOUBLE_EQ(sky.faintMagnitude(), 5.0);

  RgbImage image = sky.render();
  EXPECT_TRUE(lit(image, 10, 69));
  EXPECT_TRUE(lit(image, 11, 69));  // magnitude 1: the largest disc, radius 1.5
  EXPECT_TRUE(lit(image, 0, 89));   // RA 0, DEC 0
  EXPECT_TRUE(lit(image, 15, 105));
  EXPECT_PIXEL(image, 16, 105, SkyPalette::kSky);  // magnitude 5: one pixel
  EXPECT_TRUE(lit(image, 45, 44));
  EXPECT_PIXEL(image, 10, 40, SkyPalette::kMisplacedRegion);  // region 13
  EXPECT_PIXEL(image, 100, 80, SkyPalette::kEmptyRegion);     // region 4
}

TEST(PreviewCatalog, CaptionNamesCatalogRegionsAndRecords) {
  TempDir dir;
  std::string catalog = writeTinyCatalog(dir, "cat", 50, {{10.5, 20.5, 1.0, 1}, {45.5, 45.5, 3.0, 13}});
  SkyPreviewOptions o = degreePixels();
  o.margins = true;
  SkyPreview sky = previewCatalog(CatalogReader(catalog, {}, FileSystem::real()), FileSystem::real(), o);
  // The caption's pixels: text colour below the sky, nowhere in an empty caption row.
  RgbImage image = sky.render();
  int textPixels = 0;
  for (int y = sky.skyTop() + sky.skyHeight() + 5; y < sky.skyTop() + sky.skyHeight() + 12; ++y)
    for (int x = 0; x < image.width(); ++x) textPixels += image.pixel(x, y) == SkyPalette::kText;
  EXPECT_GT(textPixels, 100);
}

TEST(PreviewCatalog, RegionFileOfBrokenSizeIsAnErrorNamingIt) {
  TempDir dir;
  std::string catalog = writeTinyCatalog(dir, "cat", 50, {{10.5, 20.5, 1.0, 1}});
  dir.write("cat/tiny07.dat", std::string(15, 'x'));
  try {
    previewCatalog(CatalogReader(catalog, {}, FileSystem::real()), FileSystem::real(), degreePixels());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Region file \"" + catalog + "/tiny07.dat\" holds 15 bytes, not a whole number of 10-byte records");
  }
  std::filesystem::remove(dir.path() / "cat" / "tiny07.dat");
  EXPECT_THROW(previewCatalog(CatalogReader(catalog, {}, FileSystem::real()), FileSystem::real(), degreePixels()), Error);
}

TEST(PreviewCatalog, MissingMagnitudesDrawSinglePixels) {
  TempDir dir;
  std::string catalog = writeTinyCatalog(dir, "cat", 1, {{100.5, 10.5, std::nullopt, 1}, {200.5, 10.5, std::nullopt, 1}});
  SkyPreview sky = previewCatalog(CatalogReader(catalog, {}, FileSystem::real()), FileSystem::real(), degreePixels());
  RgbImage image = sky.render();
  EXPECT_TRUE(lit(image, 100, 79));
  EXPECT_PIXEL(image, 101, 79, SkyPalette::kSky);
  EXPECT_EQ(sky.emptyRegions(), 0);
}

}  // namespace
}  // namespace mirdal
