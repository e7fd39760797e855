#include "outputs/subpicture_units.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvell {
namespace {

struct Packet {
  std::optional<uint32_t> pts;
  std::vector<uint8_t> payload;
};

// A 2-bit unit of `size` bytes: SPDSZ, then bytes counting up.
std::vector<uint8_t> twoBitUnit(uint16_t size) {
  std::vector<uint8_t> unit(size);
  for (size_t i = 2; i < unit.size(); ++i)
    unit[i] = static_cast<uint8_t>(i * 7 + 1);
  unit[0] = static_cast<uint8_t>(size >> 8);
  unit[1] = static_cast<uint8_t>(size);
  return unit;
}

// An 8-bit unit of `size` bytes: 00 00, the 32-bit size, then bytes counting up.
std::vector<uint8_t> extendedUnit(uint32_t size) {
  std::vector<uint8_t> unit(size);
  for (size_t i = 6; i < unit.size(); ++i)
    unit[i] = static_cast<uint8_t>(i * 13 + 5);
  for (int i = 0; i < 4; ++i)
    unit[2 + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
  return unit;
}

std::vector<uint8_t> part(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  return {bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to)};
}

// Feeds the packets with every payload cut into pieces of at most `cut` bytes, as the walker
// cuts them at block ends; then ends the stream.
std::vector<SubpictureUnit> assemble(SubpictureUnitAssembler& assembler,
                                     const std::vector<Packet>& packets, size_t cut) {
  std::vector<SubpictureUnit> units;
  for (const Packet& packet : packets) {
    size_t at = 0;
    do {
      PieceContext context;
      context.packetStart = at == 0;
      if (at == 0) context.pts = packet.pts;
      context.id = 0x21;
      const size_t n = std::min(cut, packet.payload.size() - at);
      assembler.piece(packet.payload.data() + at, n, context, units);
      at += n;
    } while (at < packet.payload.size());
  }
  assembler.finish();
  return units;
}

// Units spanning packets, with their size fields cut between pieces and packets, and padding
// after a unit's end, come out whole whatever the piece size.
TEST(SubpictureUnits, WholeUnitsWhateverTheCuts) {
  const std::vector<uint8_t> a = twoBitUnit(5000);
  const std::vector<uint8_t> b = twoBitUnit(9);
  const std::vector<uint8_t> c = extendedUnit(3000);
  std::vector<uint8_t> bPadded = b;
  bPadded.insert(bPadded.end(), 20, 0xFF);  // padding after the unit, same packet
  const std::vector<Packet> packets = {
      {std::nullopt, {0x55, 0x66, 0x77}},  // the tail of a unit cut off by the file's start
      {1000, part(a, 0, 1)},               // the size field split between packets
      {std::nullopt, part(a, 1, 2020)},
      {std::nullopt, part(a, 2020, 5000)},
      {2000, bPadded},
      {std::nullopt, {0xFF, 0xFF}},  // a whole padding packet between units
      {3000, part(c, 0, 4)},         // the 32-bit size split
      {std::nullopt, part(c, 4, 3000)},
  };
  for (size_t cut : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{2016}, size_t{1} << 20}) {
    SCOPED_TRACE("pieces of at most " + std::to_string(cut));
    SubpictureUnitAssembler assembler;
    const std::vector<SubpictureUnit> units = assemble(assembler, packets, cut);
    const std::vector<SubpictureUnit> expected = {{a, 1000, UnitForm::TwoBit, 0x21},
                                                  {b, 2000, UnitForm::TwoBit, 0x21},
                                                  {c, 3000, UnitForm::Extended, 0x21}};
    EXPECT_EQ(units, expected);
    EXPECT_EQ(assembler.units(), 3u);
    EXPECT_EQ(assembler.dropped(), 0u);
  }
}

// Each damaged unit is dropped and counted once, and the units after it come out whole.
TEST(SubpictureUnits, DamagedUnitsAreDroppedAndCounted) {
  const std::vector<uint8_t> good = twoBitUnit(100);
  const std::vector<uint8_t> tooSmall = {0x00, 0x03, 0xAA, 0xBB};
  const std::vector<uint8_t> huge = {0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 1, 2, 3};
  const std::vector<uint8_t> tinyExtended = {0, 0, 0, 0, 0, 9, 1, 2, 3};
  struct Case {
    const char* name;
    std::vector<Packet> packets;
    uint32_t goodPts;  // the PTS of the one unit that comes out: `good`
  };
  const std::vector<Case> cases = {
      {"size field runs past the data: the next PTS ends it",
       {{10, part(twoBitUnit(3000), 0, 2000)}, {20, good}},
       20},
      {"stream ends inside a unit", {{10, good}, {20, part(good, 0, 60)}}, 10},
      {"stream ends inside the size field", {{10, good}, {20, {0, 0, 0}}}, 10},
      {"2-bit size below its own fields", {{10, tooSmall}, {std::nullopt, good}, {20, good}}, 20},
      {"8-bit size too large", {{10, huge}, {std::nullopt, good}, {20, good}}, 20},
      {"8-bit size below its own fields", {{10, tinyExtended}, {20, good}}, 20},
      {"an empty packet with a PTS", {{10, {}}, {20, good}}, 20},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    for (size_t cut : {size_t{1}, size_t{5}, size_t{4096}}) {
      SubpictureUnitAssembler assembler;
      const std::vector<SubpictureUnit> units = assemble(assembler, test.packets, cut);
      ASSERT_EQ(units.size(), 1u);
      EXPECT_EQ(units[0].bytes, good);
      EXPECT_EQ(units[0].pts, test.goodPts);
      EXPECT_EQ(assembler.dropped(), 1u);
      EXPECT_FALSE(assembler.open());
    }
  }
}

}  // namespace
}  // namespace korvell
