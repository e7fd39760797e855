#include "engine/frame_counter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace korvell {
namespace {

uint32_t countWhole(const std::vector<uint8_t>& bytes, uint8_t code) {
  uint32_t carry = kNoCarry;
  return countStartCodes(bytes.data(), bytes.size(), code, carry);
}

TEST(FrameCounter, CountsStartCodesOfTheStreamOnly) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint8_t code;
    uint32_t expected;
  };
  const Case cases[] = {
      {{0x00, 0x00, 0x01, 0x00}, 0x00, 1},
      {{0x01, 0x00, 0xAA}, 0x00, 0},  // nothing stands before a stream's first byte
      {{0x00, 0x01, 0x09}, 0x09, 0},
      {{0x00, 0x00, 0x01}, 0x00, 0},
      {{0x00, 0x00, 0x00, 0x01, 0x0D, 0x00, 0x00, 0x01, 0x0D}, 0x0D, 2},
      {{0x00, 0x00, 0x01, 0x09}, 0x0D, 0},  // another kind's code
      {{}, 0x00, 0},
  };
  for (const auto& c : cases) {
    uint32_t carry = kNoCarry;
    EXPECT_EQ(countWhole(c.bytes, c.code), c.expected);
    EXPECT_EQ(countStartCodesScalar(c.bytes.data(), c.bytes.size(), c.code, carry), c.expected);
  }
}

TEST(FrameCounter, StartCodeCutAtEveryOffsetIsCountedOnce) {
  // 00 00 01 00 with bytes around it, cut into two, three or four pieces at every position.
  const std::vector<uint8_t> stream = {0xAA, 0x00, 0x00, 0x01, 0x00, 0xBB, 0x00, 0x00, 0x01, 0x00};
  for (size_t a = 0; a <= stream.size(); ++a) {
    for (size_t b = a; b <= stream.size(); ++b) {
      for (size_t c = b; c <= stream.size(); ++c) {
        uint32_t carry = kNoCarry;
        uint32_t reference = kNoCarry;
        uint32_t count = 0;
        uint32_t scalar = 0;
        size_t from = 0;
        for (size_t to : {a, b, c, stream.size()}) {
          count += countStartCodes(stream.data() + from, to - from, 0x00, carry);
          scalar += countStartCodesScalar(stream.data() + from, to - from, 0x00, reference);
          from = to;
        }
        ASSERT_EQ(count, 2u) << a << " " << b << " " << c;
        ASSERT_EQ(scalar, 2u) << a << " " << b << " " << c;
        ASSERT_EQ(carry, reference);
      }
    }
  }
}

TEST(FrameCounter, VectorSearchAgreesWithRegisterAtEveryOffsetLengthAndCarry) {
  // Dense start codes at every alignment, so the vector loop, its tails and the seam are all
  // exercised; the pieces follow one another as they would in a stream.
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(4096);
  for (auto& b : bytes)
    b = static_cast<uint8_t>(random() % 3);  // 0, 1 and 2 only
  for (size_t offset = 3; offset < 40; ++offset) {
    for (size_t length : {0u, 1u, 2u, 3u, 4u, 31u, 35u, 64u, 67u, 1000u, 4000u}) {
      if (offset + length > bytes.size()) continue;
      for (uint8_t code : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x02}}) {
        const uint32_t before = static_cast<uint32_t>(bytes[offset - 3]) << 16 |
                                bytes[offset - 2] << 8 | bytes[offset - 1];
        uint32_t fast = before;
        uint32_t reference = before;
        ASSERT_EQ(countStartCodes(bytes.data() + offset, length, code, fast),
                  countStartCodesScalar(bytes.data() + offset, length, code, reference))
            << offset << " " << length << " " << int{code};
        ASSERT_EQ(fast, reference);
      }
    }
  }
}

}  // namespace
}  // namespace korvell
