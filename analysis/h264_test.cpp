#include "analysis/h264.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/video_test_support.h"

namespace korvell {
namespace {

using ::korvell::testing::append;
using ::korvell::testing::GuardedPayload;
using ::korvell::testing::printedLines;
using ::korvell::testing::RecordingHost;
using ::korvell::testing::sampleBytes;
using Lines = std::vector<std::string>;

// 00 00 01 09, primary_pic_type 3 | rbsp trailing bits.
std::vector<uint8_t> accessUnitDelimiter(unsigned primaryPicType) {
  return {0x00, 0x00, 0x01, 0x09, static_cast<uint8_t>((primaryPicType << 5) | 0x10)};
}

// 00 00 01, forbidden_zero_bit | nal_ref_idc 2 | nal_unit_type 5 (7), profile_idc 8,
// constraint_set0..3 flags | reserved 4, level_idc 8, then the start of the rest.
std::vector<uint8_t> sps(uint8_t profile, uint8_t level, bool set3 = false,
                         unsigned nalRefIdc = 3) {
  return {0x00,    0x00,
          0x01,    static_cast<uint8_t>((nalRefIdc << 5) | 7),
          profile, static_cast<uint8_t>(set3 ? 0x10 : 0x00),
          level,   0xAC,
          0xD9};
}

Lines analyse(const std::vector<uint8_t>& payload, double* rate = nullptr) {
  double unused = -1;
  return printedLines(payload, [&](const AnalyserWindow& w, AnalyserOutput& out) {
    analyseH264(w, rate ? *rate : unused, out);
  });
}

TEST(H264Analysis, Sample) {
  const std::vector<uint8_t> bytes = sampleBytes("h264_high_41.264", 2000);
  ASSERT_EQ(bytes.size(), 2000u);
  double rate = -1;
  EXPECT_EQ(analyse(bytes, &rate),
            (Lines{"   0 frames before first I-frame", "   High Profile", "   Level = 4.1"}));
  EXPECT_EQ(rate, 24000.0 / 1001.0);
}

// The whole sample repeats its SPS at the second IDR picture: each SPS is reported.
TEST(H264Analysis, WholeSampleReportsEverySps) {
  const std::vector<uint8_t> bytes = sampleBytes("h264_high_41.264");
  ASSERT_GT(bytes.size(), 2000u);
  EXPECT_EQ(analyse(bytes), (Lines{"   0 frames before first I-frame", "   High Profile",
                                   "   Level = 4.1", "   High Profile", "   Level = 4.1"}));
}

struct SpsCase {
  uint8_t profile;
  uint8_t level;
  bool set3;
  const char* profileLine;
  const char* levelLine;
};

class H264SpsTable : public ::testing::TestWithParam<SpsCase> {};

TEST_P(H264SpsTable, ProfileAndLevel) {
  const SpsCase& c = GetParam();
  EXPECT_EQ(analyse(sps(c.profile, c.level, c.set3)), (Lines{c.profileLine, c.levelLine}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, H264SpsTable,
    ::testing::Values(SpsCase{100, 41, false, "   High Profile", "   Level = 4.1"},
                      SpsCase{66, 11, true, "   Baseline Profile", "   Level = 1b"},
                      SpsCase{66, 11, false, "   Baseline Profile", "   Level = 1.1"},
                      SpsCase{77, 12, true, "   Main Profile", "   Level = 1.2"},
                      SpsCase{88, 9, false, "   Extended Profile", "   Level = 0.9"},
                      SpsCase{110, 51, false, "   High 10 Profile", "   Level = 5.1"},
                      SpsCase{122, 40, false, "   High 4:2:2 Profile", "   Level = 4.0"},
                      SpsCase{144, 30, false, "   High 4:4:4 Profile", "   Level = 3.0"},
                      SpsCase{244, 255, false, "   Unknown Profile", "   Level = 25.5"}));

TEST(H264Analysis, SpsRecognisedByItsNalRefIdc) {
  EXPECT_EQ(analyse(sps(100, 41, false, 1)).size(), 2u);
  EXPECT_EQ(analyse(sps(100, 41, false, 3)).size(), 2u);
  EXPECT_TRUE(analyse(sps(100, 41, false, 2)).empty());
  EXPECT_TRUE(analyse(sps(100, 41, false, 0)).empty());
}

TEST(H264Analysis, AccessUnitsBeforeTheFirstIPicture) {
  std::vector<uint8_t> bytes;
  for (unsigned type : {1u, 2u, 7u, 0u, 1u, 0u})
    append(bytes, accessUnitDelimiter(type));
  EXPECT_EQ(analyse(bytes), (Lines{"   3 frames before first I-frame"}));

  EXPECT_EQ(analyse(accessUnitDelimiter(0)), (Lines{"   0 frames before first I-frame"}));
}

// The frame rate is recorded on entry, even when the window holds nothing.
TEST(H264Analysis, FrameRateRecordedWithoutHeaders) {
  RecordingHost host;
  AnalyserOutput out{host};
  double rate = -1;
  const std::vector<uint8_t> tail = sps(100, 41);
  const GuardedPayload guarded({0x00, 0x00, 0x01}, tail,
                               std::vector<uint8_t>(tail.begin() + 3, tail.end()));
  analyseH264(guarded.window(), rate, out);
  EXPECT_EQ(rate, 24000.0 / 1001.0);
  EXPECT_TRUE(host.lines.empty());
}

}  // namespace
}  // namespace korvell
