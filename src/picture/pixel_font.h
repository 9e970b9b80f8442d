#pragma once

#include <string_view>

#include "picture/rgb_image.h"

namespace mirdal {

// A 5 x 7 pixel font of the printable ASCII characters, for the labels of
// the sky picture. Each character takes 6 pixels across at scale 1; a line
// of text is 7 pixels high. Other bytes are drawn as '?'.
struct PixelFont {
  static constexpr int kGlyphWidth = 5;
  static constexpr int kGlyphHeight = 7;
  static constexpr int kAdvance = 6;

  static int textWidth(std::string_view text, int scale = 1);
  // Draws `text` with its top-left corner at (x, y); pixels outside the
  // picture are skipped.
  static void draw(RgbImage& image, int x, int y, std::string_view text, Rgb colour, int scale = 1);
};

}  // namespace mirdal
