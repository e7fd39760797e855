#include "outputs/pgs_encoder.h"

#include <gtest/gtest.h>

#include "testing/pgs_reader.h"

namespace korvell {
namespace {

using testing::PgsShown;
using testing::readPgs;

TEST(PgsEncoder, RunLengthCodes) {
  // 1 x colour 5, 3 x colour 0, 70 x colour 9, end of line; then 2 x colour 0, 2 x 7, end.
  std::vector<uint8_t> pixels(74 * 2, 0);
  pixels[0] = 5;
  std::fill(pixels.begin() + 4, pixels.begin() + 74, 9);
  std::fill(pixels.begin() + 74, pixels.begin() + 76, 0);
  std::fill(pixels.begin() + 76, pixels.begin() + 78, 7);
  // Row 1 is 2 x 0, 2 x 7 and 70 x 0.
  EXPECT_EQ(encodePgsRle(pixels.data(), 74, 2),
            (std::vector<uint8_t>{0x05, 0x00, 0x03, 0x00, 0xC0, 0x46, 0x09, 0x00, 0x00,  //
                                  0x00, 0x02, 0x07, 0x07, 0x00, 0x40, 0x46, 0x00, 0x00}));
}

SubpictureEvent event(uint16_t x, uint16_t y, uint16_t w, uint16_t h, bool eightBit) {
  SubpictureEvent e;
  e.eightBit = eightBit;
  e.x = x;
  e.y = y;
  e.width = w;
  e.height = h;
  e.pixels.resize(static_cast<size_t>(w) * h);
  uint32_t seed = 12345;
  for (size_t i = 0; i < e.pixels.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    // Stretches of one colour and stretches of noise.
    const bool noisy = (i / 500) % 3 == 0;
    e.pixels[i] = static_cast<uint8_t>(noisy ? seed >> 24 : (i / 700) * 31);
    if (!eightBit) e.pixels[i] &= 3;
  }
  e.palette.resize(eightBit ? 256 : 4);
  for (size_t i = 0; i < e.palette.size(); ++i) {
    e.palette[i] = {static_cast<uint8_t>(16 + i * 7 % 219), static_cast<uint8_t>(i * 3),
                    static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 91)};
  }
  return e;
}

TEST(PgsEncoder, WhatItWritesReadsBack) {
  struct Case {
    const char* name;
    SubpictureEvent e;
    uint16_t videoWidth, videoHeight;
    size_t minObjectSegments;
  };
  SubpictureEvent forced = event(0, 0, 720, 576, false);
  forced.forced = true;
  const Case cases[] = {
      {"one pixel", event(5, 6, 1, 1, true), 1920, 1080, 1},
      {"2-bit full frame, forced", forced, 720, 576, 1},
      {"8-bit noise over several object segments", event(0, 0, 1920, 400, true), 1920, 1080, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PgsEncoder encoder(c.videoWidth, c.videoHeight);
    std::vector<uint8_t> out;
    // The first has no display set of its own that clears it: the second replaces it.
    ASSERT_EQ(encoder.encode(c.e, 1000, std::nullopt, out), PgsEncodeResult::Written);
    ASSERT_EQ(encoder.encode(c.e, 90000, 91000, out), PgsEncodeResult::Written);
    size_t objectSegments = 0;
    for (size_t pos = 0; pos + 13 <= out.size(); pos += 13 + (out[pos + 11] << 8 | out[pos + 12]))
      objectSegments += out[pos + 10] == 0x15;
    EXPECT_GE(objectSegments, 2 * c.minObjectSegments);
    std::vector<PgsShown> shown;
    std::string error;
    ASSERT_TRUE(readPgs(out, &shown, &error)) << error;
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].start, 1000u);
    EXPECT_EQ(shown[0].stop, 90000u);
    EXPECT_EQ(shown[1].start, 90000u);
    EXPECT_EQ(shown[1].stop, 91000u);
    for (const PgsShown& s : shown) {
      EXPECT_EQ(s.videoWidth, c.videoWidth);
      EXPECT_EQ(s.videoHeight, c.videoHeight);
      EXPECT_EQ((std::array<int, 4>{s.x, s.y, s.width, s.height}),
                (std::array<int, 4>{c.e.x, c.e.y, c.e.width, c.e.height}));
      EXPECT_EQ(s.forced, c.e.forced);
      EXPECT_EQ(s.pixels, c.e.pixels);
      ASSERT_EQ(s.paletteEntries, c.e.palette.size());
      for (size_t i = 0; i < c.e.palette.size(); ++i) {
        const SubpictureColour& p = c.e.palette[i];
        EXPECT_EQ(s.palette[i], (testing::PgsColour{p.y, p.cr, p.cb, p.alpha}));
      }
    }
  }
}

TEST(PgsEncoder, CutsToTheFrameOrSkips) {
  struct Case {
    const char* name;
    uint16_t x, y, w, h;
    PgsEncodeResult result;
    int keptWidth, keptHeight;
  };
  const Case cases[] = {
      {"inside", 700, 500, 20, 76, PgsEncodeResult::Written, 20, 76},
      {"past the right edge", 710, 10, 30, 5, PgsEncodeResult::Cut, 10, 5},
      {"past the bottom", 0, 570, 8, 20, PgsEncodeResult::Cut, 8, 6},
      {"right of the frame", 720, 0, 8, 8, PgsEncodeResult::Skipped, 0, 0},
      {"below the frame", 0, 576, 8, 8, PgsEncodeResult::Skipped, 0, 0},
      {"empty", 0, 0, 0, 8, PgsEncodeResult::Skipped, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SubpictureEvent e = event(c.x, c.y, c.w, c.h, false);
    PgsEncoder encoder(720, 576);
    std::vector<uint8_t> out;
    ASSERT_EQ(encoder.encode(e, 0, 9000, out), c.result);
    std::vector<PgsShown> shown;
    std::string error;
    ASSERT_TRUE(readPgs(out, &shown, &error)) << error;
    if (c.result == PgsEncodeResult::Skipped) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].width, c.keptWidth);
    EXPECT_EQ(shown[0].height, c.keptHeight);
    for (int r = 0; r < c.keptHeight; ++r) {
      for (int col = 0; col < c.keptWidth; ++col) {
        ASSERT_EQ(shown[0].pixels[r * c.keptWidth + col], e.pixels[r * c.w + col]);
      }
    }
  }
}

}  // namespace
}  // namespace korvell
