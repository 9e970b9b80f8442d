#include "picture/sky_preview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "catalog/field_catalogue.h"
#include "output/region_scheme.h"
#include "picture/pixel_font.h"
#include "util/coding.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr Rgb kMarginColour = SkyPalette::kMargin;
constexpr Rgb kSkyColour = SkyPalette::kSky;
constexpr Rgb kEmptyColour = SkyPalette::kEmptyRegion;
constexpr Rgb kMisplacedColour = SkyPalette::kMisplacedRegion;
constexpr Rgb kNumberColour = SkyPalette::kRegionNumber;
constexpr Rgb kLineColour = SkyPalette::kLine;
constexpr Rgb kSmallLineColour = SkyPalette::kSmallLine;
constexpr Rgb kFrameColour = SkyPalette::kFrame;
constexpr Rgb kTextColour = SkyPalette::kText;
constexpr Rgb kRecordColour = SkyPalette::kRecord;
constexpr double kLineAlpha = 0.8;
constexpr double kSmallLineAlpha = 0.7;

// Margins round the sky: DEC labels at the left, RA labels on top, caption
// and legend below.
constexpr int kLeftMargin = 30;
constexpr int kTopMargin = 14;
constexpr int kRightMargin = 12;
constexpr int kBottomMargin = 32;

// A stored position may sit half a unit of its last digit (1/3,600,000
// degree) across the region edge that the unrounded position was sorted by.
constexpr double kEdgeTolerance = 1e-6;

bool onSky(double ra, double dec) { return dec >= -90.0 && dec <= 90.0 && ra >= 0.0 && ra <= 360.0; }

bool inside(const RegionBounds& b, double ra, double dec) {
  return dec >= b.decLow - kEdgeTolerance && dec <= b.decHigh + kEdgeTolerance && ra >= b.raLow - kEdgeTolerance &&
         ra <= b.raHigh + kEdgeTolerance;
}

std::int32_t int32At(const char* p) { return static_cast<std::int32_t>(get32(p)); }
std::int16_t int16At(const char* p) { return static_cast<std::int16_t>(get16(p)); }

std::string magnitudeText(double m) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", m);
  return buf;
}

}  // namespace

RegionBounds regionBounds(int scheme, int region) {
  const int zone = regionZone(scheme, region);  // checks scheme and region
  const std::span<const RegionZone> zones = zoneTable(scheme);
  const double h = zoneHeight(scheme);
  const double low = -90.0 + zone * h;
  if (scheme == 1) return {-90.0, 90.0, 0.0, 360.0};
  const RegionZone z = zones[static_cast<std::size_t>(zone)];
  const double w = 360.0 / z.count;
  if (scheme != 9537) {
    const int j = region - z.first;
    return {low, low + h, w * j, w * (j + 1)};
  }
  // The large region holding the small one, then its row (from the zone's
  // equatorward edge) and column.
  int large = z.first;
  while (firstSmallRegion(large + 1) <= region) ++large;
  const int j = large - z.first;
  const int n = smallRegionDivision(large);
  const int k = region - firstSmallRegion(large);
  const int row = k / n, col = k % n;
  const double rowHeight = h / n, colWidth = w / n;
  const bool north = zone >= 12;
  const double decLow = north ? low + row * rowHeight : low + h - (row + 1) * rowHeight;
  return {decLow, decLow + rowHeight, w * j + col * colWidth, w * j + (col + 1) * colWidth};
}

SkyPreview::SkyPreview(int scheme, SkyPreviewOptions options) : scheme_(scheme), options_(options) {
  if (!RegionScheme::isValid(scheme)) static_cast<void>(RegionScheme{scheme});  // throws "Invalid number of files : N"
  if (options.skyWidth < 180 || options.skyWidth > 8192)
    throw Error("Sky picture width " + std::to_string(options.skyWidth) + " is outside 180..8192");
  width_ = options.skyWidth & ~1;
  height_ = width_ / 2;
  step_ = 360.0 / width_;
  if (options.margins) {
    skyLeft_ = kLeftMargin;
    skyTop_ = kTopMargin;
  }
  imageWidth_ = width_ + (options.margins ? kLeftMargin + kRightMargin : 0);
  imageHeight_ = height_ + (options.margins ? kTopMargin + kBottomMargin : 0);

  bounds_.resize(static_cast<std::size_t>(scheme));
  counts_.resize(static_cast<std::size_t>(scheme));
  for (int r = 1; r <= scheme; ++r) {
    bounds_[static_cast<std::size_t>(r - 1)] = regionBounds(scheme, r);
    counts_[static_cast<std::size_t>(r - 1)].region = r;
  }
  // Each pixel belongs to the region that the build gives its centre.
  regionMap_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  for (int y = 0; y < height_; ++y) {
    const double dec = 90.0 - (y + 0.5) * step_;
    for (int x = 0; x < width_; ++x)
      regionMap_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] =
          regionNumber(scheme, dec, (x + 0.5) * step_);
  }
  light_.assign(regionMap_.size(), 0.0f);
}

void SkyPreview::setMagnitudeRange(double bright, double faint) {
  if (!std::isfinite(bright) || !std::isfinite(faint)) return;
  if (faint < bright) std::swap(bright, faint);
  bright_ = bright;
  faint_ = std::max(faint, bright + 1.0);
}

int SkyPreview::column(double ra) const { return std::clamp(static_cast<int>(std::floor(ra / step_)), 0, width_ - 1); }

int SkyPreview::row(double dec) const {
  return height_ - 1 - std::clamp(static_cast<int>(std::floor((dec + 90.0) / step_)), 0, height_ - 1);
}

// The pixel just west of, and just south of, an edge.
int SkyPreview::lineColumn(double ra) const { return static_cast<int>(std::ceil(ra / step_ - 1e-9)) - 1; }
int SkyPreview::lineRow(double dec) const { return height_ - static_cast<int>(std::ceil((dec + 90.0) / step_ - 1e-9)); }

std::pair<int, int> SkyPreview::pixelOf(double ra, double dec) const {
  if (!onSky(ra, dec))
    throw Error("Position outside the sky: declination " + std::to_string(dec) + ", right ascension " +
                std::to_string(ra));
  return {skyLeft_ + column(ra), skyTop_ + row(dec)};
}

std::optional<SkyPreview::SkyPoint> SkyPreview::positionAt(int x, int y) const {
  x -= skyLeft_;
  y -= skyTop_;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return std::nullopt;
  return SkyPoint{(x + 0.5) * step_, 90.0 - (y + 0.5) * step_};
}

int SkyPreview::regionAt(int x, int y) const {
  x -= skyLeft_;
  y -= skyTop_;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return regionMap_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

int SkyPreview::emptyRegions() const {
  return static_cast<int>(std::count_if(counts_.begin(), counts_.end(), [](const RegionCount& c) { return c.records == 0; }));
}

void SkyPreview::addRecord(double ra, double dec, std::optional<double> magnitude, int region) {
  ++records_;
  const bool sky = onSky(ra, dec);
  if (region >= 1 && region <= scheme_) {
    RegionCount& c = counts_[static_cast<std::size_t>(region - 1)];
    ++c.records;
    if (!sky || !inside(bounds_[static_cast<std::size_t>(region - 1)], ra, dec)) {
      ++c.misplaced;
      ++misplaced_;
    }
  }
  if (!sky) {
    ++offSky_;
    return;
  }
  const int cx = column(ra), cy = row(dec);
  float* const light = light_.data();
  const auto at = [this](int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
  };
  if (!magnitude || !std::isfinite(*magnitude)) {
    light[at(cx, cy)] += 1.0f;
    return;
  }
  magnitudes_ = true;
  // Brighter records are larger discs and give more light, up to three
  // faint ones.
  const double t = std::clamp((faint_ - *magnitude) / (faint_ - bright_), 0.0, 1.0);
  const double largest = std::max(1.5, width_ / 400.0);
  const double radius = 0.5 + (largest - 0.5) * t;
  const auto weight = static_cast<float>(1.0 + 2.0 * t);
  light[at(cx, cy)] += weight;
  if (radius <= 0.75) return;
  // Coverage of the disc in the pixels round the one that holds it; right
  // ascension wraps round, the poles do not.
  const double fx = ra / step_, fy = (90.0 - dec) / step_;
  const int reach = static_cast<int>(std::ceil(radius + 0.5));
  const double outer = (radius + 0.5) * (radius + 0.5);
  for (int dy = -reach; dy <= reach; ++dy) {
    const int y = cy + dy;
    if (y < 0 || y >= height_) continue;
    const double ey = y + 0.5 - fy;
    for (int dx = -reach; dx <= reach; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const double ex = cx + dx + 0.5 - fx;
      const double d2 = ex * ex + ey * ey;
      if (d2 >= outer) continue;
      const double cover = std::min(1.0, radius + 0.5 - std::sqrt(d2));
      const int x = ((cx + dx) % width_ + width_) % width_;
      light[at(x, y)] += weight * static_cast<float>(cover);
    }
  }
}

RgbImage SkyPreview::render() const {
  RgbImage image(imageWidth_, imageHeight_, kMarginColour);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const RegionCount& c = counts_[static_cast<std::size_t>(
          regionMap_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] - 1)];
      image.set(skyLeft_ + x, skyTop_ + y, c.records == 0 ? kEmptyColour : c.misplaced > 0 ? kMisplacedColour : kSkyColour);
    }
  if (options_.regionNumbers) drawRegionNumbers(image);

  // Light: a pixel with one record is clearly lit; from there up to the
  // densest pixels (the 99th percentile) brightness grows with the logarithm.
  std::vector<float> lit;
  for (float v : light_)
    if (v >= 1.0f) lit.push_back(v);
  double saturation = 2.0;
  if (!lit.empty()) {
    auto at = lit.begin() + static_cast<std::ptrdiff_t>(lit.size() * 99 / 100);
    std::nth_element(lit.begin(), at, lit.end());
    saturation = std::max(2.0, static_cast<double>(*at));
  }
  const double logSaturation = std::log(saturation);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const double v = light_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
      if (v <= 0) continue;
      const double b = v < 1.0 ? 0.55 * v : 0.55 + 0.45 * std::min(1.0, std::log(v) / logSaturation);
      const Rgb old = image.pixel(skyLeft_ + x, skyTop_ + y);
      auto add = [b](std::uint8_t base, std::uint8_t light) {
        return static_cast<std::uint8_t>(std::min(255L, base + std::lround(light * b)));
      };
      image.set(skyLeft_ + x, skyTop_ + y,
                {add(old.r, kRecordColour.r), add(old.g, kRecordColour.g), add(old.b, kRecordColour.b)});
    }
  drawGrid(image);
  if (options_.margins) drawMargins(image);
  return image;
}

void SkyPreview::drawGrid(RgbImage& image) const {
  auto hline = [&](int y, int x0, int x1, Rgb c, double a) {
    if (y < 0 || y >= height_) return;
    for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) image.blend(skyLeft_ + x, skyTop_ + y, c, a);
  };
  auto vline = [&](int x, int y0, int y1, Rgb c, double a) {
    if (x < 0 || x >= width_) return;
    for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y) image.blend(skyLeft_ + x, skyTop_ + y, c, a);
  };
  // Pixel spans between the lines of edges: the first pixel after the line
  // of the lower edge up to the line of the upper edge.
  auto spanX = [&](double ra0, double ra1) {
    return std::pair{ra0 <= 0 ? 0 : lineColumn(ra0) + 1, ra1 >= 360 ? width_ : lineColumn(ra1)};
  };
  auto spanY = [&](double decLow, double decHigh) {
    return std::pair{decHigh >= 90 ? 0 : lineRow(decHigh) + 1, decLow <= -90 ? height_ : lineRow(decLow)};
  };

  const std::span<const RegionZone> zones = zoneTable(scheme_);
  const double h = zoneHeight(scheme_);
  if (scheme_ == 9537 && options_.smallRegions) {
    for (std::size_t z = 0; z < zones.size(); ++z) {
      const double low = -90.0 + static_cast<double>(z) * h;
      const double w = 360.0 / zones[z].count;
      const auto [y0, y1] = spanY(low, low + h);
      for (int j = 0; j < zones[z].count; ++j) {
        const int n = smallRegionDivision(zones[z].first + j);
        const auto [x0, x1] = spanX(w * j, w * (j + 1));
        for (int k = 1; k < n; ++k) {
          hline(lineRow(low + k * h / n), x0, x1, kSmallLineColour, kSmallLineAlpha);
          vline(lineColumn(w * j + k * w / n), y0, y1, kSmallLineColour, kSmallLineAlpha);
        }
      }
    }
  }
  for (std::size_t z = 0; z < zones.size(); ++z) {
    const double low = -90.0 + static_cast<double>(z) * h;
    if (z > 0) hline(lineRow(low), 0, width_, kLineColour, kLineAlpha);
    const double w = 360.0 / zones[z].count;
    const auto [y0, y1] = spanY(low, low + h);
    for (int j = 1; j < zones[z].count; ++j) vline(lineColumn(w * j), y0, y1, kLineColour, kLineAlpha);
  }
}

void SkyPreview::drawRegionNumbers(RgbImage& image) const {
  if (scheme_ == 1 || scheme_ == 9537) return;
  for (int r = 1; r <= scheme_; ++r) {
    const RegionBounds& b = bounds_[static_cast<std::size_t>(r - 1)];
    const int x0 = b.raLow <= 0 ? 0 : lineColumn(b.raLow) + 1;
    const int x1 = b.raHigh >= 360 ? width_ : lineColumn(b.raHigh);
    const int y0 = b.decHigh >= 90 ? 0 : lineRow(b.decHigh) + 1;
    const int y1 = b.decLow <= -90 ? height_ : lineRow(b.decLow);
    const std::string text = std::to_string(r);
    if (x1 - x0 < PixelFont::textWidth(text) + 4 || y1 - y0 < PixelFont::kGlyphHeight + 4) continue;
    PixelFont::draw(image, skyLeft_ + x0 + 2, skyTop_ + y0 + 2, text, kNumberColour);
  }
}

void SkyPreview::drawMargins(RgbImage& image) const {
  const int left = skyLeft_ - 1, right = skyLeft_ + width_, top = skyTop_ - 1, bottom = skyTop_ + height_;
  image.fillRect(left, top, right + 1, top + 1, kFrameColour);
  image.fillRect(left, bottom, right + 1, bottom + 1, kFrameColour);
  image.fillRect(left, top, left + 1, bottom + 1, kFrameColour);
  image.fillRect(right, top, right + 1, bottom + 1, kFrameColour);

  // Right ascension in hours above the sky, declination at its left.
  const int hourStep = width_ >= 600 ? 2 : 6;
  for (int hour = 0; hour <= 24; hour += hourStep) {
    const int x = skyLeft_ + static_cast<int>(std::lround(hour * 15.0 / step_));
    const std::string text = std::to_string(hour) + "h";
    PixelFont::draw(image, x - PixelFont::textWidth(text) / 2, 2, text, kTextColour);
    image.fillRect(x, top - 2, x + 1, top, kFrameColour);
  }
  for (int dec = -90; dec <= 90; dec += 30) {
    const int y = skyTop_ + static_cast<int>(std::lround((90 - dec) / step_));
    const std::string text = dec > 0 ? "+" + std::to_string(dec) : std::to_string(dec);
    PixelFont::draw(image, left - 4 - PixelFont::textWidth(text), y - PixelFont::kGlyphHeight / 2, text, kTextColour);
    image.fillRect(left - 2, y, left, y + 1, kFrameColour);
  }

  int y = bottom + 5;
  PixelFont::draw(image, skyLeft_, y, caption_, kTextColour);
  y += 12;
  int x = skyLeft_;
  auto swatch = [&](Rgb colour, const std::string& text) {
    image.fillRect(x, y, x + 10, y + 7, colour);
    x += 14;
    PixelFont::draw(image, x, y, text, kTextColour);
    x += PixelFont::textWidth(text) + 14;
  };
  swatch(kEmptyColour, "empty region");
  swatch(kMisplacedColour, "file holds records of other regions");
  std::string note = "RA 0h at left";
  if (magnitudes_) note += ", disc size by magnitude " + magnitudeText(bright_) + " to " + magnitudeText(faint_);
  PixelFont::draw(image, x, y, note, kTextColour);
}

SkyPreview previewCatalog(const CatalogReader& reader, FileSystem& fs, SkyPreviewOptions options) {
  const CatalogHeader& header = reader.header();
  const int scheme = reader.regionCount();
  SkyPreview preview(scheme, options);
  const auto recordLength = static_cast<std::size_t>(std::max(header.recordLength, 0));
  if (recordLength < 8)
    throw Error("Catalog \"" + reader.baseName() + "\": records of " + std::to_string(header.recordLength) +
                " bytes cannot hold a position");

  // The magnitude, where the layout holds the type's 16-bit magnitude field.
  std::optional<std::size_t> magnitudeAt;
  if (const int f = magnitudeFieldOf(reader.type()); f > 0) {
    const int position = header.positions[static_cast<std::size_t>(f - 1)];
    if (header.lengths[static_cast<std::size_t>(f - 1)] == 2 && position >= 1 &&
        static_cast<std::size_t>(position) + 1 <= recordLength)
      magnitudeAt = static_cast<std::size_t>(position - 1);
  }
  constexpr std::int16_t kMissingMagnitude = 32767;  // 99 mag scaled by 1000, clamped

  // Calls `each(record, region)` for every record of every region file.
  auto forEachRecord = [&](auto&& each) {
    std::vector<char> buffer(recordLength * std::max<std::size_t>(1, (std::size_t{1} << 16) / recordLength));
    for (int r = 1; r <= scheme; ++r) {
      std::int64_t left = reader.regionRecordCount(r);
      if (left == 0) continue;
      const std::string path = reader.regionPath(r);
      std::unique_ptr<File> file = fs.open(path, OpenMode::ReadRegular);
      std::size_t have = 0;
      while (left > 0) {
        const std::size_t got = file->read(buffer.data() + have, buffer.size() - have);
        if (got == 0) throw Error("Cannot read file \"" + path + "\": the file ended before its last record");
        have += got;
        std::size_t used = 0;
        for (; used + recordLength <= have && left > 0; used += recordLength, --left) each(buffer.data() + used, r);
        std::memmove(buffer.data(), buffer.data() + used, have - used);
        have -= used;
      }
      file->close();
    }
  };

  if (magnitudeAt) {
    // Magnitudes of the brightest and faintest half percent, from a
    // histogram of the stored 16-bit values.
    std::vector<std::int64_t> histogram(65536, 0);
    std::int64_t known = 0;
    forEachRecord([&](const char* rec, int) {
      const std::int16_t m = int16At(rec + *magnitudeAt);
      if (m == kMissingMagnitude) return;
      ++histogram[static_cast<std::size_t>(m + 32768)];
      ++known;
    });
    if (known > 0) {
      auto quantile = [&](std::int64_t rank) {
        std::int64_t seen = 0;
        for (std::size_t i = 0; i < histogram.size(); ++i)
          if ((seen += histogram[i]) > rank) return (static_cast<double>(i) - 32768.0) / 1000.0;
        return 0.0;
      };
      preview.setMagnitudeRange(quantile(known / 200), quantile(known - 1 - known / 200));
    }
  }
  forEachRecord([&](const char* rec, int region) {
    const double ra = int32At(rec) / 3'600'000.0;
    const double dec = int32At(rec + 4) / 3'600'000.0 - 90.0;
    std::optional<double> magnitude;
    if (magnitudeAt) {
      const std::int16_t m = int16At(rec + *magnitudeAt);
      if (m != kMissingMagnitude) magnitude = m / 1000.0;
    }
    preview.addRecord(ra, dec, magnitude, region);
  });

  std::string caption = std::string(trimmed(header.shortName));
  const std::string_view longName = trimmed(header.longName);
  if (!longName.empty()) caption += "  " + std::string(longName);
  caption += "  -  " + std::to_string(scheme) + (scheme == 1 ? " region" : " regions") + ", " +
             std::to_string(preview.records()) + (preview.records() == 1 ? " record" : " records") + ", " +
             std::to_string(preview.emptyRegions()) + " empty";
  if (preview.misplaced() > 0) caption += ", " + std::to_string(preview.misplaced()) + " outside their region";
  preview.setCaption(caption);
  return preview;
}

}  // namespace mirdal
