// The 16 colours a DVD subpicture stream draws with. The IFO stores them as 0x00YYCrCb
// entries (a zero byte, then Y, Cr and Cb, BT.601 limited range: Y 16..235, Cr and Cb
// 16..240); VobSub's ".idx" and PGS want them as RGB, and a 2-bit unit picks four of them.
#pragma once

#include <array>
#include <cstdint>

namespace korvell {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  /// 0xRRGGBB.
  uint32_t packed() const { return static_cast<uint32_t>(r) << 16 | g << 8 | b; }
  bool operator==(const Rgb&) const = default;
};

/// 16 entries of 0x00YYCrCb, as Title::palette holds them.
using YcrcbPalette = std::array<uint32_t, 16>;
using RgbPalette = std::array<Rgb, 16>;

/// One IFO entry (0x00YYCrCb; the top byte is ignored) as RGB, BT.601 limited range, each
/// component rounded to the nearest integer and clamped to 0..255.
Rgb ycrcbToRgb(uint32_t entry);

/// The IFO entry (0x00YYCrCb) of an RGB colour, BT.601 limited range, rounded. Every colour
/// that ycrcbToRgb gives comes back within one step of each of Y, Cr and Cb.
uint32_t rgbToYcrcb(Rgb colour);

RgbPalette paletteToRgb(const YcrcbPalette& palette);
YcrcbPalette paletteToYcrcb(const RgbPalette& palette);

/// The palette used when no IFO gives one: the one ffmpeg's DVD subtitle encoder writes when
/// it is given none (black, blue, green, red, yellow, magenta, cyan, white, then half tones
/// and two greys), so subpictures that ffmpeg encoded keep their colours, and the usual
/// 2-bit choices (background 0, pattern 7 white, emphasis 14/15 greys) stay readable.
const RgbPalette& defaultPalette();

}  // namespace korvell
