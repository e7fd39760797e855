// Builds subpicture units in memory, DVD 2-bit and HD DVD 8-bit, for the tests and the fuzz
// seeds: one picture, a start and (optionally) a stop display control sequence.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvell::testing {

struct UnitPicture {
  bool eightBit = false;
  uint16_t x = 0, y = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;  ///< width * height indices (0..3 for 2-bit units), row by row
  // 2-bit units: indices into the 16-colour palette and contrast (0..15) of pixel values 0..3.
  std::array<uint8_t, 4> colours{0, 1, 2, 3};
  std::array<uint8_t, 4> contrast{0, 15, 15, 15};
  // 8-bit units: 256 entries of Y, Cr, Cb and 256 transparencies (0 opaque .. 255 clear).
  std::vector<std::array<uint8_t, 3>> ycc;
  std::vector<uint8_t> transparency;
  bool forced = false;
  uint16_t startDelay = 0;                  ///< in units of 1,024 ticks of 90 kHz
  std::optional<uint16_t> stopDelay = 100;  ///< none: the unit has no stop sequence
};

/// The unit's bytes; the first field (even rows) then the second (odd rows), the commands
/// after them.
std::vector<uint8_t> writeSubpictureUnit(const UnitPicture& picture);

/// One packet's payload of a subpicture stream (after the substream byte).
struct SubpicturePacket {
  std::vector<uint8_t> payload;
  std::optional<uint32_t> pts;  ///< only the packet that starts a unit has one
};

/// Cuts a unit into packets of at most `maxPayload` bytes; the first carries `pts`.
std::vector<SubpicturePacket> packetizeUnit(const std::vector<uint8_t>& unit, uint32_t pts,
                                            size_t maxPayload);

/// A program stream of 2,048-byte packs, one private-stream-1 packet of substream `id` in
/// each, the system clock following the PTS.
std::vector<uint8_t> subpictureProgramStream(const std::vector<SubpicturePacket>& packets,
                                             uint8_t id);

/// A 256-entry palette whose entries differ in Y, Cr and Cb, with index 0 fully transparent
/// and the others of varied opacity: for pictures that must show every channel.
void fillVariedPalette(UnitPicture& picture);

}  // namespace korvell::testing
