#include "analysis/subpicture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/video_test_support.h"

namespace korvell {
namespace {

using testing::GuardedPayload;
using testing::RecordingHost;

constexpr const char* kEightBit = "   Format = [bl]8bitRLE[/bl]";
constexpr const char* kTwoBit = "   Format = [bl]2bitRLE[/bl]";

std::vector<std::string> linesOf(const std::vector<uint8_t>& payload,
                                 const std::vector<uint8_t>& after = {}) {
  RecordingHost host;
  AnalyserOutput out{host};
  const GuardedPayload guarded(payload, {}, after, 0);
  analyseSubpicture(guarded.window(), out);
  return host.lines;
}

TEST(Subpicture, FirstTwoBytesTellTheFormat) {
  struct Case {
    std::vector<uint8_t> payload;
    const char* format;
  };
  const Case cases[] = {
      {{0x00, 0x00, 0x12, 0x34}, kEightBit},  // 32-bit unit size
      {{0x00, 0x01, 0x00, 0x00}, kTwoBit},    // 16-bit unit size
      {{0x01, 0x00, 0x00, 0x00}, kTwoBit},
      {{0x53, 0x50}, kTwoBit},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linesOf(c.payload), std::vector<std::string>{c.format});
  }
}

TEST(Subpicture, OneBytePieceReadsTheByteAfterIt) {
  // At the block end the next byte is the zero guard.
  EXPECT_EQ(linesOf({0x00}), std::vector<std::string>{kEightBit});
  // Inside the block it is whatever follows the piece.
  EXPECT_EQ(linesOf({0x00}, {0x07}), std::vector<std::string>{kTwoBit});
  EXPECT_TRUE(linesOf({}).empty());
}

}  // namespace
}  // namespace korvell
