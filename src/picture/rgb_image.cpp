#include "picture/rgb_image.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "util/error.h"

namespace mirdal {

RgbImage::RgbImage(int width, int height, Rgb fill) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
    throw Error("Picture size " + std::to_string(width) + " x " + std::to_string(height) + " is outside 1.." +
                std::to_string(kMaxSide));
  width_ = width;
  height_ = height;
  pixels_.resize(bytesPerLine() * static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < pixels_.size(); i += 3) {
    pixels_[i] = fill.r;
    pixels_[i + 1] = fill.g;
    pixels_[i + 2] = fill.b;
  }
}

Rgb RgbImage::pixel(int x, int y) const {
  if (!contains(x, y)) return {};
  const std::uint8_t* p = &pixels_[static_cast<std::size_t>(y) * bytesPerLine() + 3 * static_cast<std::size_t>(x)];
  return {p[0], p[1], p[2]};
}

void RgbImage::set(int x, int y, Rgb c) {
  if (!contains(x, y)) return;
  std::uint8_t* p = &pixels_[static_cast<std::size_t>(y) * bytesPerLine() + 3 * static_cast<std::size_t>(x)];
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
}

void RgbImage::blend(int x, int y, Rgb c, double alpha) {
  if (!contains(x, y)) return;
  const Rgb old = pixel(x, y);
  auto mix = [alpha](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a * (1.0 - alpha) + b * alpha));
  };
  set(x, y, {mix(old.r, c.r), mix(old.g, c.g), mix(old.b, c.b)});
}

void RgbImage::fillRect(int x0, int y0, int x1, int y1, Rgb c) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_);
  y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) set(x, y, c);
}

namespace {

void putBe32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// Length, type, data, and the CRC of type and data.
void putChunk(std::string& out, const char type[4], std::string_view data) {
  putBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.append(type, 4);
  out.append(data);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32_z(crc, reinterpret_cast<const Bytef*>(out.data() + typeAt), 4 + data.size());
  putBe32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::string encodePng(const RgbImage& image) {
  if (image.width() < 1 || image.height() < 1) throw Error("Cannot encode an empty picture");
  std::string raw;
  raw.reserve((image.bytesPerLine() + 1) * static_cast<std::size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(image.data()) + static_cast<std::size_t>(y) * image.bytesPerLine(),
               image.bytesPerLine());
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw Error("Cannot compress the picture");
  packed.resize(packedSize);

  std::string png("\x89PNG\r\n\x1A\n", 8);
  std::string header;
  putBe32(header, static_cast<std::uint32_t>(image.width()));
  putBe32(header, static_cast<std::uint32_t>(image.height()));
  header += '\x08';  // bits per sample
  header += '\x02';  // colour type: RGB
  header += '\x00';  // compression: deflate
  header += '\x00';  // filter method 0
  header += '\x00';  // no interlace
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", packed);
  putChunk(png, "IEND", {});
  return png;
}

void writePng(FileSystem& fs, const std::string& path, const RgbImage& image) {
  const std::string png = encodePng(image);
  std::unique_ptr<File> file = fs.open(path, OpenMode::Create);
  file->write(png.data(), png.size());
  file->close();
}

}  // namespace mirdal
