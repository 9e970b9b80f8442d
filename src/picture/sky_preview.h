#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/catalog_reader.h"
#include "picture/rgb_image.h"
#include "util/file_system.h"

namespace mirdal {

// The part of the sky that one region covers, in degrees: decLow <= dec <
// decHigh and raLow <= ra < raHigh (the region scheme puts the upper edges
// of the sky, dec +90 and ra 360, in the last zone and column).
struct RegionBounds {
  double decLow = 0, decHigh = 0, raLow = 0, raHigh = 0;
};

// Bounds of region r (1..N) of scheme N. Throws Error for an unknown scheme
// or r outside 1..N.
RegionBounds regionBounds(int scheme, int region);

struct RegionCount {
  int region = 0;
  std::int64_t records = 0;
  // Records of the region's file whose position lies outside the region or
  // off the sky: a damaged file, or one written under another scheme.
  std::int64_t misplaced = 0;
};

// Colours of the sky picture, for a legend beside it.
struct SkyPalette {
  static constexpr Rgb kMargin{22, 24, 30};
  static constexpr Rgb kSky{8, 12, 30};
  static constexpr Rgb kEmptyRegion{84, 18, 30};
  static constexpr Rgb kMisplacedRegion{100, 70, 0};
  static constexpr Rgb kRegionNumber{100, 122, 168};
  // Zone and column lines, mixed in with weight 0.8; small regions of the
  // 9537 scheme with weight 0.7.
  static constexpr Rgb kLine{96, 140, 210};
  static constexpr Rgb kSmallLine{52, 78, 124};
  static constexpr Rgb kFrame{140, 150, 170};
  static constexpr Rgb kText{215, 218, 226};
  // Added to the sky in proportion to the light of the pixel's records.
  static constexpr Rgb kRecord{255, 240, 200};
};

struct SkyPreviewOptions {
  // Pixels across the 360 degrees of right ascension, even, 180..8192; the
  // sky is half as high, so that a pixel is square in degrees.
  int skyWidth = 1440;
  // The small regions of the 9537 scheme, in a dimmer colour.
  bool smallRegions = true;
  // Region numbers in the regions with room for them (not for 9537).
  bool regionNumbers = true;
  // Axis labels, caption and legend in a margin round the sky; without them
  // the picture is the sky alone.
  bool margins = true;
};

// A picture of the whole sky in plate carree: right ascension 0h at the left
// edge growing to 24h at the right, declination +90 at the top, -90 at the
// bottom. Every record lights the pixel that holds its position, with a disc
// whose size grows with brightness where a magnitude is known; where many
// records share pixels the light adds up. Regions without a record are
// tinted red, regions whose file holds misplaced records amber, and the
// scheme's zone and column lines are drawn over the records.
//
// A line sits in the pixel just below its value (west of a column edge, south
// of a zone edge), so that records on an edge, which belong to the region
// above it, are never hidden: a layout that puts records at RA 0 or DEC 0
// shows a bright column beside the left border or a bright row on the
// equator line.
class SkyPreview {
 public:
  struct SkyPoint {
    double ra = 0, dec = 0;
  };

  // Throws Error for an unknown scheme or a width outside 180..8192 (an odd
  // width is taken one less).
  explicit SkyPreview(int scheme, SkyPreviewOptions options = {});

  // Magnitudes from `bright` (largest disc) to `faint` (a single pixel);
  // brighter and fainter ones are drawn as the ends. Default -1.5 to 12.
  void setMagnitudeRange(double bright, double faint);
  void setCaption(std::string caption) { caption_ = std::move(caption); }

  // Counts the record in region file `region` (0 when unknown) and draws it.
  // A position off the sky (or not a number) is counted but not drawn.
  void addRecord(double ra, double dec, std::optional<double> magnitude = std::nullopt, int region = 0);

  // Composes the picture; can be called again after more records.
  RgbImage render() const;

  int scheme() const { return scheme_; }
  // counts()[r - 1] is region r.
  const std::vector<RegionCount>& counts() const { return counts_; }
  std::int64_t records() const { return records_; }
  std::int64_t misplaced() const { return misplaced_; }
  std::int64_t offSky() const { return offSky_; }
  int emptyRegions() const;
  double brightMagnitude() const { return bright_; }
  double faintMagnitude() const { return faint_; }

  // Geometry of render()'s picture, for hovering and tests.
  int imageWidth() const { return imageWidth_; }
  int imageHeight() const { return imageHeight_; }
  int skyLeft() const { return skyLeft_; }
  int skyTop() const { return skyTop_; }
  int skyWidth() const { return width_; }
  int skyHeight() const { return height_; }
  // The picture's pixel that holds a position on the sky (dec +90 and ra 360
  // go to the last row and column). Throws Error for a position off the sky.
  std::pair<int, int> pixelOf(double ra, double dec) const;
  // The position at the centre of a picture's pixel; nullopt off the sky.
  std::optional<SkyPoint> positionAt(int x, int y) const;
  // The region that holds the centre of a picture's pixel; 0 off the sky.
  int regionAt(int x, int y) const;

 private:
  int column(double ra) const;
  int row(double dec) const;
  int lineColumn(double ra) const;
  int lineRow(double dec) const;
  void drawGrid(RgbImage& image) const;
  void drawRegionNumbers(RgbImage& image) const;
  void drawMargins(RgbImage& image) const;

  int scheme_;
  SkyPreviewOptions options_;
  int width_, height_;
  double step_;  // degrees per pixel
  int skyLeft_ = 0, skyTop_ = 0, imageWidth_ = 0, imageHeight_ = 0;
  double bright_ = -1.5, faint_ = 12.0;
  std::string caption_;
  std::vector<RegionBounds> bounds_;  // [r - 1]
  std::vector<RegionCount> counts_;
  std::vector<int> regionMap_;        // region of each sky pixel
  std::vector<float> light_;          // summed coverage of each sky pixel
  std::int64_t records_ = 0, misplaced_ = 0, offSky_ = 0;
  bool magnitudes_ = false;           // some record had a magnitude
};

// Reads every record of a built catalog and draws it. The catalog type's
// magnitude field, when the layout holds it, gives the disc sizes: the
// magnitude range runs from the brightest to the faintest half percent of
// the records that have one. The caption names the catalog, its regions and
// its records. Throws Error naming the file when a region file cannot be
// read or is not a whole number of records.
SkyPreview previewCatalog(const CatalogReader& reader, FileSystem& fs,
                          SkyPreviewOptions options = {});

}  // namespace mirdal
