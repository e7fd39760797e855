#include "outputs/dvd_palette.h"

#include <algorithm>
#include <cmath>

namespace korvell {

namespace {

// BT.601: luma weights of red and blue; green takes the rest.
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;
// Limited range: Y spans 219 steps from 16, Cr and Cb 224 steps around 128.
constexpr double kYScale = 255.0 / 219.0;
constexpr double kCScale = 255.0 / 224.0;
// R = Y' + 2(1-Kr)·Cr', B = Y' + 2(1-Kb)·Cb', G from Y' = Kr·R + Kg·G + Kb·B:
// 1.164 (Y-16) + 1.596 (Cr-128), 1.164 (Y-16) - 0.813 (Cr-128) - 0.392 (Cb-128),
// 1.164 (Y-16) + 2.018 (Cb-128).
constexpr double kRCr = 2.0 * (1.0 - kKr) * kCScale;
constexpr double kBCb = 2.0 * (1.0 - kKb) * kCScale;
constexpr double kGCr = 2.0 * (1.0 - kKr) * kKr / kKg * kCScale;
constexpr double kGCb = 2.0 * (1.0 - kKb) * kKb / kKg * kCScale;

uint8_t clampByte(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// The default palette as 0xRRGGBB, see defaultPalette().
constexpr std::array<uint32_t, 16> kDefaultRgb = {
    0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
    0x808000, 0x8080FF, 0x800080, 0x80FF80, 0x008080, 0xFF8080, 0x555555, 0xAAAAAA,
};

}  // namespace

Rgb ycrcbToRgb(uint32_t entry) {
  const double y = kYScale * (static_cast<double>(entry >> 16 & 0xFF) - 16.0);
  const double cr = static_cast<double>(entry >> 8 & 0xFF) - 128.0;
  const double cb = static_cast<double>(entry & 0xFF) - 128.0;
  return {clampByte(y + kRCr * cr), clampByte(y - kGCr * cr - kGCb * cb), clampByte(y + kBCb * cb)};
}

uint32_t rgbToYcrcb(Rgb colour) {
  const double r = colour.r;
  const double g = colour.g;
  const double b = colour.b;
  const double luma = kKr * r + kKg * g + kKb * b;  // 0..255
  const uint32_t y = clampByte(16.0 + luma / kYScale);
  const uint32_t cr = clampByte(128.0 + (r - luma) / (2.0 * (1.0 - kKr)) / kCScale);
  const uint32_t cb = clampByte(128.0 + (b - luma) / (2.0 * (1.0 - kKb)) / kCScale);
  return y << 16 | cr << 8 | cb;
}

RgbPalette paletteToRgb(const YcrcbPalette& palette) {
  RgbPalette rgb;
  std::transform(palette.begin(), palette.end(), rgb.begin(), ycrcbToRgb);
  return rgb;
}

YcrcbPalette paletteToYcrcb(const RgbPalette& palette) {
  YcrcbPalette entries;
  std::transform(palette.begin(), palette.end(), entries.begin(), rgbToYcrcb);
  return entries;
}

const RgbPalette& defaultPalette() {
  static const RgbPalette palette = [] {
    RgbPalette rgb;
    std::transform(kDefaultRgb.begin(), kDefaultRgb.end(), rgb.begin(), [](uint32_t packed) {
      return Rgb{static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 8),
                 static_cast<uint8_t>(packed)};
    });
    return rgb;
  }();
  return palette;
}

}  // namespace korvell
