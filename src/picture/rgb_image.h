#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/file_system.h"

namespace mirdal {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// An 8-bit RGB picture: rows from top to bottom, 3 bytes per pixel, no
// padding between rows (for Qt: QImage(data(), width(), height(),
// bytesPerLine(), QImage::Format_RGB888)).
class RgbImage {
 public:
  // Larger pictures are refused: a caller's mistake, not a sky.
  static constexpr int kMaxSide = 16384;

  RgbImage() = default;
  // Throws Error when a side is below 1 or above kMaxSide.
  RgbImage(int width, int height, Rgb fill = {});

  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t bytesPerLine() const { return 3 * static_cast<std::size_t>(width_); }
  const std::uint8_t* data() const { return pixels_.data(); }
  const std::vector<std::uint8_t>& bytes() const { return pixels_; }

  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // Pixels outside the picture read as black and are not written.
  Rgb pixel(int x, int y) const;
  void set(int x, int y, Rgb c);
  // Mixes `c` in with weight `alpha` (0..1).
  void blend(int x, int y, Rgb c, double alpha);
  // Fills x0 <= x < x1, y0 <= y < y1, clipped to the picture.
  void fillRect(int x0, int y0, int x1, int y1, Rgb c);

 private:
  int width_ = 0, height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

// The picture as a PNG file: signature, IHDR (8-bit RGB, no interlace), one
// IDAT holding the zlib-compressed rows, each behind filter byte 0, IEND.
std::string encodePng(const RgbImage& image);

// Writes encodePng(image) to `path`; errors name the file.
void writePng(FileSystem& fs, const std::string& path, const RgbImage& image);

}  // namespace mirdal
