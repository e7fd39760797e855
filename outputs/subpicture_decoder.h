// Subpicture units into display events: where a bitmap shows, its pixels as palette indices,
// its colours with their opacity, and when it shows. Both unit forms are read:
//
// DVD units (2-bit RLE), all offsets counted from the unit's first byte:
//   0  size (16)   2  offset of the first display control sequence (16)
//   ... pixel data: two fields, RLE of 2-bit indices, each line padded to a whole byte
//   a display control sequence: delay (16, in units of 1,024 ticks of 90 kHz), offset of the
//   next sequence (16; the last points to itself), commands, 0xFF.
// HD DVD units (8-bit RLE) open with two zero bytes:
//   0  0x0000   2  size (32)   6  offset of the first display control sequence (32)
//   a display control sequence: delay (16), offset of the next sequence (32), commands, 0xFF.
//
// Commands: 0x00 forced start of display, 0x01 start of display, 0x02 stop of display,
// 0x03 colours (4 nibbles: emphasis 2, emphasis 1, pattern, background, the indices into the
// 16-colour palette of pixel values 3, 2, 1, 0), 0x04 contrast (4 nibbles in the same order,
// 0 transparent .. 15 opaque), 0x05 area (x1, x2, y1, y2 as 12-bit fields, both ends
// inside), 0x06 field offsets (2 x 16), 0x07 colour and contrast changes (16-bit length that
// counts itself, skipped). HD DVD units add 0x83 palette (256 x Y, Cr, Cb), 0x84 contrast
// (256 bytes, 0 opaque .. 255 transparent), 0x85 area as 0x05 with 8-bit pixel data, 0x86
// field offsets (2 x 32).
//
// 2-bit RLE, in nibbles: 1..3 pixels "LLCC", 4..15 "0000LLLL CC" ... up to 255 pixels in four
// nibbles; four nibbles below 4 fill the rest of the line with colour CC.
// 8-bit RLE, in bits: a run flag, a colour-width flag, then 8 or 2 bits of colour; with the
// run flag, either "0" and 3 bits (2..9 pixels) or "1" and 7 bits (10..136 pixels, 0 fills the
// rest of the line); without it, one pixel.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "outputs/dvd_palette.h"

namespace korvell {

/// One palette entry as a subpicture gives it: Y, Cr, Cb (video range) and opacity
/// (0 transparent .. 255 opaque).
struct SubpictureColour {
  uint8_t y = 0;
  uint8_t cr = 128;
  uint8_t cb = 128;
  uint8_t alpha = 0;
  bool operator==(const SubpictureColour&) const = default;
};

/// What one unit shows between a start and a stop.
struct SubpictureEvent {
  uint32_t startPts = 0;            ///< 90 kHz: the unit's PTS plus the start delay
  std::optional<uint32_t> stopPts;  ///< the unit's PTS plus the stop delay; none without a stop
  bool forced = false;              ///< started by the forced-start command
  bool eightBit = false;            ///< an HD DVD 8-bit unit (256 colours) or a 2-bit one (4)
  uint16_t x = 0;
  uint16_t y = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  /// width * height palette indices, row by row; the fields are interleaved (the first
  /// field gives rows 0, 2, 4 ..., the second rows 1, 3, ...).
  std::vector<uint8_t> pixels;
  /// 4 entries for a 2-bit unit, 256 for an 8-bit one.
  std::vector<SubpictureColour> palette;
  bool operator==(const SubpictureEvent&) const = default;
};

/// What went wrong in a unit. A unit can have several.
enum SubpictureFault : uint32_t {
  kFaultNone = 0,
  kFaultTruncated = 1u << 0,    ///< shorter than its size field, or too short for a header
  kFaultBadOffset = 1u << 1,    ///< a sequence or field offset points past the unit
  kFaultBadCommand = 1u << 2,   ///< an unknown command or one that runs past the unit
  kFaultLineOverrun = 1u << 3,  ///< an RLE run past the line's width (cut at the width)
  kFaultShortPixels = 1u << 4,  ///< RLE data ends before the last line (rest transparent)
  kFaultNoStop = 1u << 5,       ///< an event with no stop command
  kFaultNoArea = 1u << 6,       ///< display started without an area, field offsets or palette
  kFaultTooLarge = 1u << 7,     ///< the unit's pictures add up to more than 16 Mi pixels
};

/// The events of one unit and the faults met on the way.
struct DecodedSubpicture {
  std::vector<SubpictureEvent> events;
  uint32_t faults = kFaultNone;
};

/// Decodes one whole unit whose packet carried `pts`. `palette` (16 entries of 0x00YYCrCb)
/// gives the colours of 2-bit units. Every display start begins an event with the area, pixels,
/// colours and contrast set so far in the unit; a stop ends it; a start while an event shows ends
/// that one and begins another. Events that cannot be shown (no area, no field offsets, no palette,
/// an empty or unreadable bitmap) are dropped and their fault kept. Reads only inside `unit`.
DecodedSubpicture decodeSubpictureUnit(std::span<const uint8_t> unit, uint32_t pts,
                                       const YcrcbPalette& palette);

}  // namespace korvell
