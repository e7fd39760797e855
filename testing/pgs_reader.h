// Reads a presentation graphics stream in its file form back into what it shows, strictly:
// the tests' and the fuzz target's check of what the PGS encoder writes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvell::testing {

struct PgsColour {
  uint8_t y = 0, cr = 0, cb = 0, alpha = 0;
  bool operator==(const PgsColour&) const = default;
};

/// One object shown from a display set's PTS until the next display set's.
struct PgsShown {
  uint32_t start = 0;
  std::optional<uint32_t> stop;
  uint16_t videoWidth = 0, videoHeight = 0;
  uint16_t x = 0, y = 0, width = 0, height = 0;
  bool forced = false;
  std::vector<uint8_t> pixels;           ///< width * height indices, row by row
  std::array<PgsColour, 256> palette{};  ///< entries the palette segment did not set are zero
  size_t paletteEntries = 0;             ///< how many entries the palette segment set
};

/// Decodes `bytes`; false with a reason in *error at the first thing that is not well formed:
/// a segment without "PG", one that runs past the end, a set without END, segment PTS that
/// differ within a set, a non-zero DTS, composition numbers that do not count up by one, an
/// object whose data length, sequence flags or RLE lines do not match its size, an object
/// outside the video frame.
bool readPgs(std::span<const uint8_t> bytes, std::vector<PgsShown>* shown, std::string* error);

}  // namespace korvell::testing
