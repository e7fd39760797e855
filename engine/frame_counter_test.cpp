#include "engine/frame_counter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace korvell {
namespace {

TEST(FrameCounter, CountsWhatTheRegisterCounts) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint8_t code;
    uint32_t expected;
  };
  const Case cases[] = {
      {{0x00, 0x00, 0x01, 0x00}, 0x00, 1},
      {{0x01, 0x00, 0xAA}, 0x00, 1},  // the zeros before the piece count
      {{0x00, 0x01, 0x09}, 0x09, 1},
      {{0x00, 0x00, 0x01}, 0x00, 0},  // split start code: not counted
      {{0x00, 0x00, 0x00, 0x01, 0x0D, 0x00, 0x00, 0x01, 0x0D}, 0x0D, 2},
      {{0x00, 0x00, 0x01, 0x09}, 0x0D, 0},  // another kind's code
      {{}, 0x00, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(countStartCodes(c.bytes.data(), c.bytes.size(), c.code), c.expected);
    EXPECT_EQ(countStartCodesScalar(c.bytes.data(), c.bytes.size(), c.code), c.expected);
  }
}

TEST(FrameCounter, VectorSearchAgreesWithRegisterAtEveryOffsetAndLength) {
  // Dense start codes at every alignment, so the vector loop and its tails are all exercised.
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(4096);
  for (auto& b : bytes)
    b = static_cast<uint8_t>(random() % 3);  // 0, 1 and 2 only
  for (size_t offset = 0; offset < 40; ++offset) {
    for (size_t length : {0u, 1u, 2u, 3u, 4u, 31u, 35u, 64u, 67u, 1000u, 4000u}) {
      if (offset + length > bytes.size()) continue;
      for (uint8_t code : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x02}}) {
        ASSERT_EQ(countStartCodes(bytes.data() + offset, length, code),
                  countStartCodesScalar(bytes.data() + offset, length, code))
            << offset << " " << length << " " << int{code};
      }
    }
  }
}

}  // namespace
}  // namespace korvell
