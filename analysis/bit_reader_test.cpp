#include "analysis/bit_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace korvell {
namespace {

// The bits of `bytes` from bit index `first`, `n` of them, one at a time: the reference the
// windowed reader must agree with.
uint32_t bitsAt(const std::vector<uint8_t>& bytes, size_t first, int n) {
  uint32_t value = 0;
  for (size_t bit = first; bit < first + static_cast<size_t>(n); ++bit) {
    value = value << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1u);
  }
  return value;
}

TEST(BitReader, SixteenBitsAfterLoadTakeTheTopHalf) {
  const std::vector<uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  BitReader reader(bytes.data());
  reader.start(1);
  EXPECT_EQ(reader.pos(), 5u);
  EXPECT_EQ(reader.read(16), 0x3456u);
  EXPECT_EQ(reader.used(), 0);
  // Two bytes left the window and two came in behind them.
  EXPECT_EQ(reader.pos(), 7u);
  EXPECT_EQ(reader.window(), 0x789ABCDEu);
}

TEST(BitReader, MixedWidthsMatchBitByBitReading) {
  std::vector<uint8_t> bytes(64);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  // The widths of a DTS core header with CRC, then a run that crosses every `used` value.
  const std::vector<int> widths = {1,  5, 1, 7, 14, 6,  4, 5,  5, 3,  1, 1, 2,  1,
                                   16, 1, 4, 2, 3,  16, 7, 16, 9, 15, 8, 3, 13, 16};
  BitReader reader(bytes.data());
  reader.start(2);
  size_t bit = 16;
  for (const int n : widths) {
    SCOPED_TRACE(bit);
    EXPECT_EQ(reader.bitPosition(), bit);
    EXPECT_EQ(reader.read(n), bitsAt(bytes, bit, n));
    EXPECT_LT(reader.used(), 8);
    bit += static_cast<size_t>(n);
  }
}

TEST(BitReader, SkipEndsWithFewerThanEightWaitingBits) {
  const std::vector<uint8_t> bytes = {0xFF, 0x00, 0xAA, 0x55, 0x0F, 0xF0, 0x81, 0x7E, 0, 0, 0};
  // used = 7 then 16: the long skip crosses a byte boundary twice.
  BitReader reader(bytes.data());
  reader.start(0);
  reader.skip(7);
  EXPECT_EQ(reader.used(), 7);
  reader.skip(16);
  EXPECT_EQ(reader.used(), 7);
  EXPECT_EQ(reader.pos(), 6u);
  EXPECT_EQ(reader.read(9), bitsAt(bytes, 23, 9));
  // A skip that lands exactly on a byte boundary refills at once.
  reader.start(0);
  reader.skip(8);
  EXPECT_EQ(reader.used(), 0);
  EXPECT_EQ(reader.pos(), 5u);
  EXPECT_EQ(reader.window(), 0x00AA550Fu);
}

TEST(BitReader, SearchShiftsBytesIntoTheSameWindow) {
  const std::vector<uint8_t> bytes = {0x7F, 0xFE, 0x80, 0x01, 0xC0};
  BitReader reader(bytes.data());
  reader.seek(0);
  uint32_t acc = 0;
  while (reader.pos() < 4)
    acc = reader.shiftInByte();
  EXPECT_EQ(acc, 0x7FFE8001u);
  EXPECT_EQ(reader.pos(), 4u);
}

}  // namespace
}  // namespace korvell
