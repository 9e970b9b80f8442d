#include "picture/rgb_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "picture/pixel_font.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

using testing::TempDir;

std::uint32_t be32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  return v;
}

struct Chunk {
  std::string type, data;
  std::uint32_t crc = 0;
};

// Splits a PNG after its signature into chunks, checking every CRC.
std::vector<Chunk> chunksOf(const std::string& png) {
  std::vector<Chunk> out;
  std::size_t at = 8;
  while (at < png.size()) {
    Chunk c;
    const std::uint32_t length = be32(png, at);
    c.type = png.substr(at + 4, 4);
    c.data = png.substr(at + 8, length);
    c.crc = be32(png, at + 8 + length);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), 4 + length);
    EXPECT_EQ(c.crc, static_cast<std::uint32_t>(crc)) << c.type;
    out.push_back(c);
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  return out;
}

TEST(Png, ThreeByTwoPictureRoundTrip) {
  RgbImage image(3, 2, {1, 2, 3});
  image.set(0, 0, {255, 0, 0});
  image.set(2, 1, {0, 0, 255});
  const std::string png = encodePng(image);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  std::vector<Chunk> chunks = chunksOf(png);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[0].data, std::string("\0\0\0\x03\0\0\0\x02\x08\x02\0\0\0", 13));
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));

  // Each row: filter byte 0, then the pixels.
  std::string raw(2 * (1 + 9), '?');
  uLongf rawSize = static_cast<uLongf>(raw.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                       reinterpret_cast<const Bytef*>(chunks[1].data.data()), static_cast<uLong>(chunks[1].data.size())),
            Z_OK);
  ASSERT_EQ(rawSize, raw.size());
  EXPECT_EQ(raw, std::string("\0\xFF\0\0\x01\x02\x03\x01\x02\x03"
                             "\0\x01\x02\x03\x01\x02\x03\0\0\xFF",
                             20));
}

TEST(Png, WidePictureHeaderAndRows) {
  RgbImage image(1000, 3, {10, 20, 30});
  const std::string png = encodePng(image);
  std::vector<Chunk> chunks = chunksOf(png);
  ASSERT_GE(chunks.size(), 3u);
  EXPECT_EQ(be32(chunks[0].data, 0), 1000u);
  EXPECT_EQ(be32(chunks[0].data, 4), 3u);
  std::string raw(3 * (1 + 3000), '?');
  uLongf rawSize = static_cast<uLongf>(raw.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                       reinterpret_cast<const Bytef*>(chunks[1].data.data()), static_cast<uLong>(chunks[1].data.size())),
            Z_OK);
  EXPECT_EQ(raw.substr(3001, 4), std::string("\0\x0A\x14\x1E", 4));
}

TEST(Png, WriteErrorNamesTheFile) {
  TempDir dir;
  const std::string path = dir.str() + "/no such dir/sky.png";
  try {
    writePng(FileSystem::real(), path, RgbImage(2, 2));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + path + "\": No such file or directory");
  }
  const std::string good = dir.str() + "/sky.png";
  writePng(FileSystem::real(), good, RgbImage(2, 2));
  EXPECT_EQ(TempDir::readFile(good), encodePng(RgbImage(2, 2)));
}

TEST(RgbImage, SizesOutsideTheLimitsAreRefused) {
  EXPECT_THROW(RgbImage(0, 5), Error);
  EXPECT_THROW(RgbImage(5, -1), Error);
  EXPECT_THROW(RgbImage(RgbImage::kMaxSide + 1, 1), Error);
  EXPECT_EQ(RgbImage(RgbImage::kMaxSide, 1).bytesPerLine(), 3u * RgbImage::kMaxSide);
  EXPECT_THROW(encodePng(RgbImage()), Error);
}

TEST(RgbImage, DrawingIsClippedToThePicture) {
  RgbImage image(4, 3);
  image.fillRect(-5, 2, 10, 99, {9, 9, 9});
  image.set(4, 0, {1, 1, 1});
  image.blend(-1, 0, {1, 1, 1}, 0.5);
  EXPECT_EQ(image.pixel(0, 2), (Rgb{9, 9, 9}));
  EXPECT_EQ(image.pixel(3, 2), (Rgb{9, 9, 9}));
  EXPECT_EQ(image.pixel(3, 1), (Rgb{0, 0, 0}));
  EXPECT_EQ(image.pixel(4, 0), (Rgb{0, 0, 0}));
  image.blend(1, 1, {200, 100, 51}, 0.5);
  EXPECT_EQ(image.pixel(1, 1), (Rgb{100, 50, 26}));  // 25.5 rounds up
}

TEST(PixelFont, GlyphsAndWidths) {
  EXPECT_EQ(PixelFont::textWidth(""), 0);
  EXPECT_EQ(PixelFont::textWidth("12h"), 17);
  EXPECT_EQ(PixelFont::textWidth("12h", 2), 34);
  RgbImage image(12, 8);
  PixelFont::draw(image, 0, 0, "1\x01", {255, 255, 255});
  // "1": ..#.. / .##.. / ..#.. x 4 / .###.
  std::string rows;
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 5; ++x) rows += image.pixel(x, y).r ? '#' : '.';
    rows += '/';
  }
  EXPECT_EQ(rows, "..#../.##../..#../..#../..#../..#../.###./");
  // A byte without a glyph is drawn as '?': .###. on top.
  std::string top;
  for (int x = 6; x < 11; ++x) top += image.pixel(x, 0).r ? '#' : '.';
  EXPECT_EQ(top, ".###.");
}

}  // namespace
}  // namespace mirdal
