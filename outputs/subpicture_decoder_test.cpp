#include "outputs/subpicture_decoder.h"

#include <gtest/gtest.h>

#include "testing/subpicture_writer.h"

namespace korvell {
namespace {

using testing::UnitPicture;
using testing::writeSubpictureUnit;

constexpr uint32_t kPts = 900000;

YcrcbPalette rampPalette() {
  YcrcbPalette p{};
  for (uint32_t i = 0; i < 16; ++i)
    p[i] = (16 + i * 14) << 16 | (40 + i * 5) << 8 | (200 - i * 9);
  return p;
}

TEST(SubpictureDecoder, ReadsAHandCodedDvdUnit) {
  const std::vector<uint8_t> unit = {
      0x00, 0x26, 0x00, 0x08,  // size 38, first sequence at 8
      0x96, 0x70,              // row 0: "1001" 2 x colour 1, "0110" 1 x 2, "0111" 1 x 3, pad
      0x00, 0x00,              // row 1: "0000 0000 0000 0000" the rest of the line in colour 0
      0x00, 0x00, 0x00, 0x20,  // start sequence: delay 0, next at 32
      0x01,                    // start of display
      0x03, 0xF9, 0x50,        // colours: pixel 3 -> 15, 2 -> 9, 1 -> 5, 0 -> 0
      0x04, 0x48, 0xF0,        // contrast: 3 -> 4, 2 -> 8, 1 -> 15, 0 -> 0
      0x05, 0x00, 0xA0, 0x0D, 0x01, 0x40, 0x15,  // x 10..13, y 20..21
      0x06, 0x00, 0x04, 0x00, 0x06,              // fields at 4 and 6
      0xFF, 0x00, 0x32, 0x00, 0x20,              // end; stop sequence: delay 50, last
      0x02, 0xFF};
  ASSERT_EQ(unit.size(), 38u);
  const YcrcbPalette palette = rampPalette();
  const DecodedSubpicture decoded = decodeSubpictureUnit(unit, kPts, palette);
  EXPECT_EQ(decoded.faults, kFaultNone);
  ASSERT_EQ(decoded.events.size(), 1u);
  const SubpictureEvent& e = decoded.events[0];
  EXPECT_EQ(e.startPts, kPts);
  EXPECT_EQ(e.stopPts, kPts + 50 * 1024);
  EXPECT_FALSE(e.forced);
  EXPECT_FALSE(e.eightBit);
  EXPECT_EQ((std::array<int, 4>{e.x, e.y, e.width, e.height}), (std::array<int, 4>{10, 20, 4, 2}));
  EXPECT_EQ(e.pixels, (std::vector<uint8_t>{1, 1, 2, 3, 0, 0, 0, 0}));
  auto colour = [&](int index, int alpha) {
    const uint32_t v = palette[index];
    return SubpictureColour{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v), static_cast<uint8_t>(alpha)};
  };
  EXPECT_EQ(e.palette, (std::vector<SubpictureColour>{colour(0, 0), colour(5, 255),
                                                      colour(9, 8 * 17), colour(15, 4 * 17)}));
}

TEST(SubpictureDecoder, ReadsAHandCodedHdDvdUnit) {
  std::vector<uint8_t> unit = {
      0x00, 0x00, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0x10,  // HD form; size below; sequence at 16
      // row 0: run "1" wide "1" 200 "0" 2 pixels "000"; single "0" wide "1" colour 7:
      // "1111 0010 0000 0001 0000 0111"
      0xF2, 0x01, 0x07,
      // row 1: run "1" narrow "0" colour "11" long "1" "0000000": the rest of the line
      0xB8, 0x00, 0x00, 0x00, 0x07, 0, 0, 0, 0,  // start sequence: delay 7, next below
      0x00};                                     // forced start of display
  unit.push_back(0x83);
  for (int i = 0; i < 256; ++i) {
    unit.insert(unit.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                             static_cast<uint8_t>(i ^ 0x55)});
  }
  unit.push_back(0x84);
  for (int i = 0; i < 256; ++i)
    unit.push_back(static_cast<uint8_t>(i * 3));
  unit.insert(unit.end(), {0x85, 0x06, 0x40, 0x66, 0x0C, 0x80, 0xC9});  // x 100..102, y 200..201
  unit.insert(unit.end(), {0x86, 0, 0, 0, 0x0A, 0, 0, 0, 0x0D, 0xFF});  // fields at 10 and 13
  auto put32 = [&](size_t at, size_t v) {
    for (int i = 0; i < 4; ++i)
      unit[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  const size_t stop = unit.size();
  put32(18, stop);
  unit.insert(unit.end(), {0x01, 0x00, 0, 0, 0, 0, 0x02, 0xFF});  // stop: delay 256, last
  put32(stop + 2, stop);
  put32(2, unit.size());

  const DecodedSubpicture decoded = decodeSubpictureUnit(unit, kPts, rampPalette());
  EXPECT_EQ(decoded.faults, kFaultNone);
  ASSERT_EQ(decoded.events.size(), 1u);
  const SubpictureEvent& e = decoded.events[0];
  EXPECT_EQ(e.startPts, kPts + 7 * 1024);
  EXPECT_EQ(e.stopPts, kPts + 256 * 1024);
  EXPECT_TRUE(e.forced);
  EXPECT_TRUE(e.eightBit);
  EXPECT_EQ((std::array<int, 4>{e.x, e.y, e.width, e.height}),
            (std::array<int, 4>{100, 200, 3, 2}));
  EXPECT_EQ(e.pixels, (std::vector<uint8_t>{200, 200, 7, 3, 3, 3}));
  ASSERT_EQ(e.palette.size(), 256u);
  EXPECT_EQ(e.palette[200], (SubpictureColour{200, 55, 200 ^ 0x55, 255 - (200 * 3 & 255)}));
  EXPECT_EQ(e.palette[0], (SubpictureColour{0, 255, 0x55, 255}));
}

UnitPicture picture(bool eightBit, uint16_t width, uint16_t height) {
  UnitPicture p{.eightBit = eightBit, .x = 10, .y = 10, .width = width, .height = height};
  p.pixels.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < p.pixels.size(); ++i)
    p.pixels[i] = static_cast<uint8_t>(i / 7 % 4);
  if (eightBit) testing::fillVariedPalette(p);
  return p;
}

// Damaged units: what is kept and what is reported.
TEST(SubpictureDecoder, DamagedUnitsAreReportedNotTrusted) {
  const auto good = writeSubpictureUnit(picture(false, 64, 6));
  const auto goodHd = writeSubpictureUnit(picture(true, 64, 6));
  const size_t firstSequence = good[2] << 8 | good[3];
  struct Case {
    const char* name;
    std::vector<uint8_t> unit;
    uint32_t faults;
    size_t events;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, std::vector<uint8_t> unit, uint32_t faults, size_t events) {
    cases.push_back({name, std::move(unit), faults, events});
  };
  add("two bytes", {0x00, 0x02}, kFaultTruncated, 0);
  add("cut short", {good.begin(), good.end() - 3}, kFaultTruncated, 0);
  {
    auto u = good;
    u[2] = 0xFF;  // the first sequence past the unit
    add("sequence past the end", u, kFaultBadOffset, 0);
  }
  {
    auto u = good;
    u[firstSequence + 19] = 0x0F;  // the first field's offset past the unit
    add("field past the end", u, kFaultBadOffset, 0);
  }
  {
    auto u = good;
    u[firstSequence + 23] = 0x42;  // an unknown command in place of the start sequence's end
    add("unknown command", u, kFaultBadCommand, 1);
  }
  {
    auto u = good;
    u[firstSequence + 2] = 0;  // the next sequence points back to the header
    u[firstSequence + 3] = 2;
    add("backwards chain", u, kFaultBadOffset | kFaultNoStop, 1);
  }
  {
    UnitPicture p = picture(false, 8, 2);
    std::fill(p.pixels.begin(), p.pixels.end(), 1);
    auto u = writeSubpictureUnit(p);
    ASSERT_EQ(u[4] << 8 | u[5], 0x0001);  // the first line: the rest of it in colour 1
    u[5] = 0xFD;  // "0000 0000 1111 1101": 63 pixels of colour 1 in a line of 8
    add("line overrun", u, kFaultLineOverrun, 1);
  }
  {
    UnitPicture p = picture(false, 8, 4);
    p.stopDelay.reset();
    add("no stop", writeSubpictureUnit(p), kFaultNoStop, 1);
  }
  {
    auto u = goodHd;
    u.pop_back();  // the stop sequence's 0xFF, and the size says so
    const auto size = static_cast<uint32_t>(u.size());
    u[2] = static_cast<uint8_t>(size >> 24);
    u[3] = static_cast<uint8_t>(size >> 16);
    u[4] = static_cast<uint8_t>(size >> 8);
    u[5] = static_cast<uint8_t>(size);
    add("hd commands run to the end", u, kFaultBadCommand, 1);
  }
  {
    auto u = goodHd;
    const size_t seq = u[8] << 8 | u[9];
    u[seq + 7] = 0x01;  // no palette: the 0x83 command becomes a plain start
    add("hd without palette", u, kFaultBadCommand | kFaultNoArea, 0);
  }
  {
    auto u = good;
    const size_t top = firstSequence + 19;  // the first field's data: the unit's last byte
    u[top] = static_cast<uint8_t>((u.size() - 1) >> 8);
    u[top + 1] = static_cast<uint8_t>(u.size() - 1);
    add("pixel data runs out", u, kFaultShortPixels, 1);
  }
  {
    auto u = good;
    const uint8_t fullArea[6] = {0x00, 0x0F, 0xFF, 0x00, 0x0F, 0xFF};  // 0..4095 both ways
    std::copy(fullArea, fullArea + 6, u.begin() + static_cast<ptrdiff_t>(firstSequence + 12));
    const size_t second = u[firstSequence + 2] << 8 | u[firstSequence + 3];
    u[second + 4] = 0x01;  // the stop becomes a second start of the same picture
    add("16 Mi pixels twice", u, kFaultShortPixels | kFaultTooLarge, 1);
  }
  const YcrcbPalette palette = rampPalette();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DecodedSubpicture d = decodeSubpictureUnit(c.unit, kPts, palette);
    EXPECT_EQ(d.faults, c.faults);
    EXPECT_EQ(d.events.size(), c.events);
  }
}

}  // namespace
}  // namespace korvell
