#include "outputs/dvd_palette.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace korvell {
namespace {

int distance(uint32_t a, uint32_t b, int shift) {
  return std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF));
}

// The 100 % colour bars in 8-bit BT.601 limited range (Y, Cb, Cr as broadcast test signals
// give them), written as IFO entries 0x00YYCrCb.
TEST(DvdPalette, ColourBarsBothWays) {
  struct Bar {
    const char* name;
    Rgb rgb;
    uint32_t entry;
  };
  const Bar bars[] = {
      {"white", {255, 255, 255}, 0x00EB8080}, {"yellow", {255, 255, 0}, 0x00D29210},
      {"cyan", {0, 255, 255}, 0x00AA10A6},    {"green", {0, 255, 0}, 0x00912236},
      {"magenta", {255, 0, 255}, 0x006ADECA}, {"red", {255, 0, 0}, 0x0051F05A},
      {"blue", {0, 0, 255}, 0x00296EF0},      {"black", {0, 0, 0}, 0x00108080},
  };
  for (const Bar& bar : bars) {
    SCOPED_TRACE(bar.name);
    EXPECT_EQ(rgbToYcrcb(bar.rgb), bar.entry);
    // The bars' entries are rounded to whole steps, so RGB comes back within one step.
    const Rgb back = ycrcbToRgb(bar.entry);
    EXPECT_LE(std::abs(back.r - bar.rgb.r), 1);
    EXPECT_LE(std::abs(back.g - bar.rgb.g), 1);
    EXPECT_LE(std::abs(back.b - bar.rgb.b), 1);
  }
  // The top byte of an entry is not part of the colour.
  EXPECT_EQ(ycrcbToRgb(0xFF108080), (Rgb{0, 0, 0}));
  // Beyond the limited range the components clamp.
  EXPECT_EQ(ycrcbToRgb(0x00FF8080), (Rgb{255, 255, 255}));
  EXPECT_EQ(ycrcbToRgb(0x00000000), (Rgb{0, 136, 0}));  // G: -18.6 + 104.1 + 50.1
}

// Every in-range entry converts to RGB and back within one step of Y, Cr and Cb, unless RGB had
// to clamp (the entry lies outside the colours RGB can hold).
TEST(DvdPalette, RoundTripOverTheRange) {
  int checked = 0;
  for (uint32_t y = 16; y <= 235; y += 3) {
    for (uint32_t cr = 16; cr <= 240; cr += 7) {
      for (uint32_t cb = 16; cb <= 240; cb += 7) {
        const uint32_t entry = y << 16 | cr << 8 | cb;
        const Rgb rgb = ycrcbToRgb(entry);
        const auto inside = [](uint8_t v) { return v > 0 && v < 255; };
        if (!inside(rgb.r) || !inside(rgb.g) || !inside(rgb.b)) continue;
        const uint32_t back = rgbToYcrcb(rgb);
        ASSERT_LE(distance(back, entry, 16), 1) << std::hex << entry;
        ASSERT_LE(distance(back, entry, 8), 1) << std::hex << entry;
        ASSERT_LE(distance(back, entry, 0), 1) << std::hex << entry;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace korvell
