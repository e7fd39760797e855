#include "analysis/ac3.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/video_test_support.h"

namespace korvell {
namespace {

using testing::append;
using testing::printedLines;
using testing::sampleBytes;

std::vector<std::string> linesOf(const std::vector<uint8_t>& payload, int slot = 0) {
  return printedLines(
      payload, [slot](const AnalyserWindow& w, AnalyserOutput& out) { analyseAc3(w, slot, out); });
}

// AC-3 syncinfo and the start of bsi:
// 0B 77 | crc1 (16) | fscod (2) frmsizecod (6) | bsid (5) bsmod (3) | acmod (3) ...
std::vector<uint8_t> ac3Frame(int fscod, int frmsizecod, int bsmod, int acmod, int bsid = 8) {
  return {0x0B,
          0x77,
          0x00,
          0x00,
          static_cast<uint8_t>(fscod << 6 | frmsizecod),
          static_cast<uint8_t>(bsid << 3 | bsmod),
          static_cast<uint8_t>(acmod << 5),
          0x00};
}

// E-AC-3: 0B 77 | strmtyp (2) substreamid (3) frmsiz (11) |
// fscod (2) numblkscod (2) acmod (3) lfeon (1) | bsid (5) dialnorm (5) ...
std::vector<uint8_t> eac3Frame(int frmsiz, int fscod, int numblkscod, int acmod, int lfeon) {
  return {0x0B,
          0x77,
          static_cast<uint8_t>(frmsiz >> 8 & 7),
          static_cast<uint8_t>(frmsiz & 0xFF),
          static_cast<uint8_t>(fscod << 6 | numblkscod << 4 | acmod << 1 | lfeon),
          16 << 3,
          0x00,
          0x00};
}

TEST(Ac3, RealSamples) {
  EXPECT_EQ(linesOf(sampleBytes("ac3_448k_5ch.ac3", 2000), 2),
            (std::vector<std::string>{
                "   Stream 2 is [b]Dolby Digital[/b]", "   Sampling frequency = [bl]48[/bl] kHz",
                "   Transmission bitrate = [bl]448[/bl] kbit/s",
                "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 8, bsmod =0"}));
  EXPECT_EQ(linesOf(sampleBytes("ac3_192k_2ch.ac3", 2000)),
            (std::vector<std::string>{
                "   Stream 0 is [b]Dolby Digital[/b]", "   Sampling frequency = [bl]48[/bl] kHz",
                "   Transmission bitrate = [bl]192[/bl] kbit/s",
                "   Channel arrangement = [bl]L + R[/bl], bsid = 8, bsmod =0"}));
  EXPECT_EQ(
      linesOf(sampleBytes("eac3_768k_6ch.eac3", 2000), 1),
      (std::vector<std::string>{"   Stream 1 is [b]Dolby Digital Plus[/b]",
                                "   frame size = 3072 bytes, number of blocks per frame = 6",
                                "   Sampling frequency = [bl]48[/bl] kHz",
                                "   Transmission bitrate = [bl]768[/bl] kbit/s",
                                "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 16",
                                "   LFE channel = [bl]present[/bl]"}));
}

TEST(Ac3, OneHeaderPerPayload) {
  // frmsizecod 30 (and 31) is 448 kbit/s; 28 and 29 are 384 kbit/s.
  std::vector<uint8_t> payload = ac3Frame(0, 30, 5, 2);
  append(payload, ac3Frame(1, 10, 0, 1));
  const auto lines = linesOf(payload, 7);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "   Stream 7 is [b]Dolby Digital[/b]");
  EXPECT_EQ(lines[2], "   Transmission bitrate = [bl]448[/bl] kbit/s");
  EXPECT_EQ(lines[3], "   Channel arrangement = [bl]L + R[/bl], bsid = 8, bsmod =5");
  EXPECT_EQ(linesOf(ac3Frame(0, 28, 0, 2))[2], "   Transmission bitrate = [bl]384[/bl] kbit/s");
  EXPECT_EQ(linesOf(ac3Frame(0, 37, 0, 2))[2], "   Transmission bitrate = [bl]640[/bl] kbit/s");
}

TEST(Ac3, UnknownRateLeavesTheAnalyserUnarmed) {
  struct Case {
    int fscod;
    int frmsizecod;
    const char* rate;
    const char* bitrate;
  };
  // fscod 3 is reserved; frmsizecod 38 to 63 lie past the 19 bit rates.
  for (const Case c : {Case{3, 30, "0", "448"}, Case{0, 38, "48", "0"}, Case{2, 63, "32", "0"}}) {
    SCOPED_TRACE(c.frmsizecod);
    std::vector<uint8_t> payload = ac3Frame(c.fscod, c.frmsizecod, 0, 7);
    append(payload, ac3Frame(1, 32, 0, 0));
    const auto lines = linesOf(payload);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], std::string("   Sampling frequency = [bl]") + c.rate + "[/bl] kHz");
    EXPECT_EQ(lines[2], std::string("   Transmission bitrate = [bl]") + c.bitrate + "[/bl] kbit/s");
    EXPECT_EQ(lines[3],
              "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 8, bsmod =0");
    EXPECT_EQ(lines[5], "   Sampling frequency = [bl]44.1[/bl] kHz");
    EXPECT_EQ(lines[6], "   Transmission bitrate = [bl]512[/bl] kbit/s");
    EXPECT_EQ(lines[7], "   Channel arrangement = [bl]dual mono[/bl], bsid = 8, bsmod =0");
  }
}

TEST(Ac3, EnhancedFrameSizeAndBitRate) {
  struct Case {
    int frmsiz;
    int numblkscod;
    const char* size;
    const char* bitrate;
  };
  // Frame bits over the frame time of 256 samples per block at 48 kHz.
  for (const Case c : {Case{767, 3, "1536 bytes, number of blocks per frame = 6", "384"},
                       Case{1535, 3, "3072 bytes, number of blocks per frame = 6", "768"},
                       Case{255, 0, "512 bytes, number of blocks per frame = 1", "768"},
                       Case{2047, 2, "4096 bytes, number of blocks per frame = 3", "2048"}}) {
    SCOPED_TRACE(c.frmsiz);
    const auto lines = linesOf(eac3Frame(c.frmsiz, 0, c.numblkscod, 2, 0));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], std::string("   frame size = ") + c.size);
    EXPECT_EQ(lines[3], std::string("   Transmission bitrate = [bl]") + c.bitrate + "[/bl] kbit/s");
    EXPECT_EQ(lines[4], "   Channel arrangement = [bl]L + R[/bl], bsid = 16");
    EXPECT_EQ(lines[5], "   LFE channel = [bl]not present[/bl]");
  }
}

TEST(Ac3, EnhancedReservedRateIsPrintedAndUnarms) {
  std::vector<uint8_t> payload = eac3Frame(767, 3, 3, 7, 1);
  append(payload, eac3Frame(767, 0, 3, 7, 1));
  const auto lines = linesOf(payload);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[2], "   Sampling frequency = [bl]0[/bl] kHz");
  EXPECT_EQ(lines[8], "   Sampling frequency = [bl]48[/bl] kHz");
}

TEST(Ac3, SyncWordMustLieInsideTheWindow) {
  EXPECT_TRUE(linesOf({}).empty());
  // The 0x0B in front of the window is not seen: the register starts empty.
  testing::RecordingHost host;
  AnalyserOutput out{host};
  std::vector<uint8_t> frame = ac3Frame(0, 28, 0, 2);
  const testing::GuardedPayload guarded({frame.begin() + 1, frame.end()}, {0x0B});
  analyseAc3(guarded.window(), 0, out);
  EXPECT_TRUE(host.lines.empty());
  // A header cut by the window end prints nothing.
  frame.resize(6);
  EXPECT_TRUE(linesOf(frame).empty());
}

}  // namespace
}  // namespace korvell
