#include "analysis/mlp.h"

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

std::vector<std::string> linesOf(const std::vector<uint8_t>& payload, char separator = '.') {
  return printedLines(payload, analyseMlp, separator);
}

// F8 72 6F BA | fs (4) types (2) reserved (2) | mod2 (2) mod6 (2) assign6 high (4) |
// assign6 low (1) mod8 (2) assign8 high (5) | assign8 low (8) | byte 5 | byte 6 | ...
std::vector<uint8_t> trueHdSync(int fs, int mod2, int mod6, int assign6, int mod8, int assign8,
                                uint8_t byte5 = 0xB7, uint8_t byte6 = 0x52) {
  return {0xF8,
          0x72,
          0x6F,
          0xBA,
          static_cast<uint8_t>(fs << 4),
          static_cast<uint8_t>(mod2 << 6 | mod6 << 4 | assign6 >> 1),
          static_cast<uint8_t>((assign6 & 1) << 7 | mod8 << 5 | assign8 >> 8),
          static_cast<uint8_t>(assign8 & 0xFF),
          byte5,
          byte6,
          0x00,
          0x00};
}

// F8 72 6F BB | wordlength 1 (4) wordlength 2 (4) | fs 1 (4) fs 2 (4) | reserved |
// reserved (3) channel assignment (5) | byte 5 | byte 6 | ...
std::vector<uint8_t> mlpSync(int wordLength, int fs, int channels, uint8_t byte5 = 0xB7,
                             uint8_t byte6 = 0x52) {
  return {0xF8,
          0x72,
          0x6F,
          0xBB,
          static_cast<uint8_t>(wordLength << 4),
          static_cast<uint8_t>(fs << 4),
          0x00,
          static_cast<uint8_t>(channels),
          byte5,
          byte6,
          0x00,
          0x00};
}

const std::vector<std::string> kTrueHdSampleBlock = {
    "   [b]TrueHD[/b] stream (up to 8 channels)",
    "   Sampling frequency = [bl]48[/bl] kHz",
    "   2 ch. decoder",
    "      channel modifier = 2",
    "   6 ch. decoder",
    "      channel modifier = 1",
    "      channel arrangement = [bl]Lf + Rf + Ls + Rs + C + LFE[/bl]",
    "   8 ch. decoder",
    "      channel modifier = 2",
    "      channel arrangement = [bl]Lf + Rf + Ls + Rs + C + LFE[/bl]",
    "   Dynamic range control = -10.6371 dB .. 8.4282 dB"};

const std::vector<std::string> kMlpSampleBlock = {
    "   [b]Standard MLP[/b] stream (up to 6 channels) ",
    "   Quantization length = [bl]16[/bl] bits", "   Sampling frequency = [bl]48[/bl] kHz",
    "   Channel arrangement = [bl]L + R[/bl]",
    "   Dynamic range control = -10.6371 dB .. 8.4282 dB"};

std::vector<std::string> repeated(const std::vector<std::string>& block, int times) {
  std::vector<std::string> all;
  for (int i = 0; i < times; ++i)
    all.insert(all.end(), block.begin(), block.end());
  return all;
}

TEST(Mlp, RealSamplesReportEveryMajorSync) {
  EXPECT_EQ(linesOf(sampleBytes("truehd_6ch.thd", 2000)), repeated(kTrueHdSampleBlock, 4));
  EXPECT_EQ(linesOf(sampleBytes("mlp_2ch.mlp", 2000)), repeated(kMlpSampleBlock, 5));
}

TEST(Mlp, TrueHdPresentations) {
  EXPECT_EQ(linesOf(trueHdSync(8, 1, 3, 3, 0, 0x1FF5)),
            (std::vector<std::string>{
                "   [b]TrueHD[/b] stream (up to 8 channels)",
                "   Sampling frequency = [bl]44.1[/bl] kHz", "   2 ch. decoder",
                "      channel modifier = 1", "   6 ch. decoder", "      channel modifier = 3",
                "      channel arrangement = [bl]???3[/bl]", "   8 ch. decoder",
                "      channel modifier = 0", "      channel arrangement = [bl]???21[/bl]",
                "   Dynamic range control = -10.6371 dB .. 8.4282 dB"}));
}

TEST(Mlp, ChannelNamesEndEmpty) {
  struct Case {
    std::vector<uint8_t> payload;
    size_t line;
    const char* text;
  };
  const Case cases[] = {
      {trueHdSync(0, 0, 0, 15, 0, 0), 6,
       "      channel arrangement = [bl]Lf + Rf + Ls + Rs + C + LFE[/bl]"},
      {trueHdSync(0, 0, 0, 21, 0, 0), 6, "      channel arrangement = [bl]???21[/bl]"},
      {trueHdSync(0, 0, 0, 22, 0, 0), 6, "      channel arrangement = [bl][/bl]"},
      {trueHdSync(0, 0, 0, 31, 0, 0), 6, "      channel arrangement = [bl][/bl]"},
      {trueHdSync(0, 0, 0, 0, 0, 0x1FFF), 9, "      channel arrangement = [bl][/bl]"},
      {trueHdSync(3, 0, 0, 0, 0, 0), 1, "   Sampling frequency = [bl][/bl] kHz"},
      {mlpSync(0, 0, 20), 3, "   Channel arrangement = [bl]Lf + Rf + Ls + Rs + C + LFE[/bl]"},
      {mlpSync(0, 0, 13), 3, "   Channel arrangement = [bl]Lf + Rf + C + S[/bl]"},
      {mlpSync(0, 0, 21), 3, "   Channel arrangement = [bl][/bl]"},
      {mlpSync(0, 0, 31), 3, "   Channel arrangement = [bl][/bl]"},
      {mlpSync(2, 10, 0), 1, "   Quantization length = [bl]24[/bl] bits"},
      {mlpSync(3, 10, 0), 1, "   Quantization length = [bl][/bl] bits"},
      {mlpSync(0, 10, 0), 2, "   Sampling frequency = [bl]176.4[/bl] kHz"},
      {mlpSync(0, 15, 0), 2, "   Sampling frequency = [bl][/bl] kHz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto lines = linesOf(c.payload);
    ASSERT_GT(lines.size(), c.line);
    EXPECT_EQ(lines[c.line], c.text);
  }
}

TEST(Mlp, DynamicRange) {
  EXPECT_EQ(linesOf(mlpSync(0, 0, 1, 0x00, 0xFF), ',').back(),
            "   Dynamic range control = 24,082 dB .. -24,2839 dB");
  EXPECT_EQ(linesOf(mlpSync(0, 0, 1, 0x80, 0x52)).size(), 4u);  // byte 5 = 0x80: none
  EXPECT_EQ(linesOf(trueHdSync(0, 0, 0, 0, 0, 0, 0x80, 0x00)).size(), 10u);
}

TEST(Mlp, WindowEnds) {
  // The sync word ending on the window's last byte is not examined.
  EXPECT_TRUE(linesOf({0xF8, 0x72, 0x6F, 0xBB}).empty());
  // A major sync cut after byte 2: the fields that arrived, nothing after the window.
  std::vector<uint8_t> cut = mlpSync(1, 9, 1);
  cut.resize(7);
  EXPECT_EQ(linesOf(cut),
            (std::vector<std::string>{"   [b]Standard MLP[/b] stream (up to 6 channels) ",
                                      "   Quantization length = [bl]20[/bl] bits",
                                      "   Sampling frequency = [bl]88.2[/bl] kHz"}));
  // A new major sync restarts the countdown of its own format.
  std::vector<uint8_t> both = mlpSync(0, 0, 1);
  append(both, trueHdSync(1, 0, 0, 15, 0, 15));
  EXPECT_EQ(linesOf(both).size(), 16u);
}

}  // namespace
}  // namespace korvell
