// Display events as a presentation graphics stream in its file form (".sup").
//
// Every segment stands behind a 13-byte header: "PG", PTS (32), DTS (32, written 0), the
// segment type (8) and the length of what follows (16). Each event becomes two display sets:
//   at its start:  PCS, WDS, PDS, ODS (one or more), END
//   at its stop:   PCS with no object, WDS, END
// (the second left out when the next event's display set replaces it).
// PCS (0x16): video width (16), height (16), frame rate (8, 0x10), composition number (16),
//   composition state (8: 0x80 epoch start, 0x00 normal), palette update flag (8), palette id
//   (8), object count (8); per object: object id (16), window id (8), flags (8: 0x80
//   cropped, 0x40 forced), x (16), y (16).
// WDS (0x17): window count (8); per window: id (8), x, y, width, height (16 each).
// PDS (0x14): palette id (8), version (8); per entry: index, Y, Cr, Cb, alpha (8 each).
// ODS (0x15): object id (16), version (8), sequence flags (8: 0x80 first, 0x40 last); the
//   first adds the object data length (24: RLE bytes + 4), width (16), height (16); then RLE.
//   An object whose RLE does not fit one segment goes on in further ODS segments.
// END (0x80): empty.
// RLE, per line, ending "00 00": a byte C (not 0) is one pixel of C; "00 0L" (L 1..63) and
// "00 4L LL" (up to 16,383) are runs of colour 0; "00 8L CC" and "00 CL LL CC" runs of CC.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "outputs/subpicture_decoder.h"

namespace korvell {

/// What became of an event.
enum class PgsEncodeResult {
  Written,  ///< written whole
  Cut,      ///< written cut to the video frame
  Skipped,  ///< nothing written: outside the frame, empty, or too large for one object
};

/// The run-length coding of a width x height bitmap of palette indices (row by row).
std::vector<uint8_t> encodePgsRle(const uint8_t* pixels, int width, int height);

/// Writes the display sets of a stream's events, numbering its compositions.
class PgsEncoder {
 public:
  /// Every composition covers a video frame of width x height.
  PgsEncoder(uint16_t width, uint16_t height) : width_(width), height_(height) {}

  /// Appends to `out` the display set that shows `event` at `start` and the one that clears
  /// it at `stop` (90 kHz on the video's timeline); without a stop, the next display set
  /// replaces it. A bitmap that runs past the frame is cut to it; one wholly outside, or
  /// whose RLE does not fit an object (more than 16 MiB), is skipped and nothing is appended.
  PgsEncodeResult encode(const SubpictureEvent& event, uint32_t start, std::optional<uint32_t> stop,
                         std::vector<uint8_t>& out);

 private:
  uint16_t width_;
  uint16_t height_;
  uint16_t composition_ = 0;
};

}  // namespace korvell
