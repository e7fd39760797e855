#include "analysis/mpeg2.h"

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

constexpr uint32_t kPts = 0x0001E240;

// 00 00 01 B3, horizontal_size 12 | vertical_size 12, aspect_ratio_information 4 |
// frame_rate_code 4, bit_rate_value 18 | marker 1 | vbv_buffer_size 10 | constrained 1 |
// load_intra 1 | load_non_intra 1.
std::vector<uint8_t> sequenceHeader(unsigned width, unsigned height, unsigned aspect,
                                    unsigned rateCode, unsigned bitRateValue = 0x3FFFF) {
  const uint32_t tail = (bitRateValue << 14) | (1u << 13) | (112u << 3);
  return {0x00,
          0x00,
          0x01,
          0xB3,
          static_cast<uint8_t>(width >> 4),
          static_cast<uint8_t>((width << 4) | (height >> 8)),
          static_cast<uint8_t>(height),
          static_cast<uint8_t>((aspect << 4) | rateCode),
          static_cast<uint8_t>(tail >> 24),
          static_cast<uint8_t>(tail >> 16),
          static_cast<uint8_t>(tail >> 8),
          static_cast<uint8_t>(tail)};
}

// 00 00 01 B5, extension id 1 | profile_and_level 8 | progressive_sequence 1 | chroma 2 | ...
std::vector<uint8_t> sequenceExtension(bool progressive) {
  return {0x00, 0x00, 0x01, 0xB5, 0x14, static_cast<uint8_t>(0x82 | (progressive ? 0x08 : 0)),
          0x00, 0x01, 0x00, 0x00};
}

// 00 00 01 00, temporal_reference 10 | picture_coding_type 3 | vbv_delay 16 | ...
std::vector<uint8_t> pictureHeader(unsigned type) {
  return {0x00, 0x00, 0x01, 0x00, 0x00, static_cast<uint8_t>(type << 3), 0xFF, 0xF8};
}

// 00 00 01 B5, extension id 8 | f_codes 16 | intra_dc_precision 2 | picture_structure 2 | ...
std::vector<uint8_t> pictureCodingExtension() {
  return {0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80, 0x00};
}

// A picture: its header, its coding extension and a few slice bytes.
std::vector<uint8_t> picture(unsigned type = 1) {
  std::vector<uint8_t> bytes = pictureHeader(type);
  append(bytes, pictureCodingExtension());
  append(bytes, {0x00, 0x00, 0x01, 0x01, 0x12, 0x34, 0x56});
  return bytes;
}

Lines analyse(const std::vector<uint8_t>& payload, double* rate = nullptr) {
  double unused = -1;
  return printedLines(payload, [&](const AnalyserWindow& w, AnalyserOutput& out) {
    analyseMpeg2(w, kPts, rate ? *rate : unused, out);
  });
}

const Lines kSequenceLines720x576{
    "   Sequence Header found",
    "   0 frames before first Sequence Header",
    "   size = [bl]720[/bl]x[bl]576[/bl]",
    "   Aspect ratio = [bl]16:9[/bl]",
    "   Frame rate = [bl]25[/bl] fps",
    "  Sequence header bitrate = [bl]104857[/bl] kbps",
};

TEST(Mpeg2Analysis, PalSample) {
  const std::vector<uint8_t> bytes = sampleBytes("mpeg2_pal_25.m2v", 2000);
  ASSERT_EQ(bytes.size(), 2000u);
  double rate = -1;
  Lines expected = kSequenceLines720x576;
  expected.push_back("   Progressive Sequence = 1");
  EXPECT_EQ(analyse(bytes, &rate), expected);
  EXPECT_EQ(rate, 25.0);
}

TEST(Mpeg2Analysis, NtscSample) {
  const std::vector<uint8_t> bytes = sampleBytes("mpeg2_ntsc_2997.m2v", 2000);
  ASSERT_EQ(bytes.size(), 2000u);
  double rate = -1;
  EXPECT_EQ(analyse(bytes, &rate), (Lines{
                                       "   Sequence Header found",
                                       "   0 frames before first Sequence Header",
                                       "   size = [bl]720[/bl]x[bl]480[/bl]",
                                       "   Aspect ratio = [bl]4:3[/bl]",
                                       "   Frame rate = [bl]29.97[/bl] fps",
                                       "  Sequence header bitrate = [bl]104857[/bl] kbps",
                                       "   Progressive Sequence = 1",
                                   }));
  EXPECT_EQ(rate, 30000.0 / 1001.0);
}

// The whole file holds a sequence header every six pictures: only the first is reported, and
// the PTS line comes at the second picture.
TEST(Mpeg2Analysis, WholePalSampleReportsTheFirstPtsOnce) {
  const std::vector<uint8_t> bytes = sampleBytes("mpeg2_pal_25.m2v");
  ASSERT_GT(bytes.size(), 2000u);
  Lines expected = kSequenceLines720x576;
  expected.push_back("   Progressive Sequence = 1");
  expected.push_back("   First Video PTS = 0001E240");
  EXPECT_EQ(analyse(bytes), expected);
}

struct RateCase {
  unsigned code;
  const char* aspectLine;
  const char* rateLine;
  double rate;
};

class Mpeg2RateTable : public ::testing::TestWithParam<RateCase> {};

TEST_P(Mpeg2RateTable, PrintsAndRecords) {
  const RateCase& c = GetParam();
  double rate = -1;
  const Lines lines = analyse(sequenceHeader(352, 288, c.code, c.code, 5000), &rate);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "   size = [bl]352[/bl]x[bl]288[/bl]");
  EXPECT_EQ(lines[3], c.aspectLine);
  EXPECT_EQ(lines[4], c.rateLine);
  EXPECT_EQ(lines[5], "  Sequence header bitrate = [bl]2000[/bl] kbps");
  EXPECT_EQ(rate, c.rate);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Mpeg2RateTable,
    ::testing::Values(
        RateCase{0, "   Aspect ratio = forbidden", "   Frame rate = forbidden", 1.0},
        RateCase{1, "   Aspect ratio = [bl]1:1[/bl] (square samples)",
                 "   Frame rate = [bl]23.976[/bl] fps", 24000.0 / 1001.0},
        RateCase{2, "   Aspect ratio = [bl]4:3[/bl]", "   Frame rate = [bl]24[/bl] fps", 24.0},
        RateCase{3, "   Aspect ratio = [bl]16:9[/bl]", "   Frame rate = [bl]25[/bl] fps", 25.0},
        RateCase{4, "   Aspect ratio = [bl]2.21:1[/bl]", "   Frame rate = [bl]29.97[/bl] fps",
                 30000.0 / 1001.0},
        RateCase{5, "   Aspect ratio = reserved", "   Frame rate = [bl]30[/bl] fps", 30.0},
        RateCase{6, "   Aspect ratio = reserved", "   Frame rate = [bl]50[/bl] fps", 50.0},
        RateCase{7, "   Aspect ratio = reserved", "   Frame rate = [bl]59.94[/bl] fps",
                 60000.0 / 1001.0},
        RateCase{8, "   Aspect ratio = reserved", "   Frame rate = [bl]60[/bl] fps", 60.0},
        RateCase{9, "   Aspect ratio = reserved", "   Frame rate = reserved", 1.0},
        RateCase{15, "   Aspect ratio = reserved", "   Frame rate = reserved", 1.0}));

TEST(Mpeg2Analysis, LargestBitRateValue) {
  const Lines lines = analyse(sequenceHeader(720, 576, 3, 3, 0x3FFFF));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[5], "  Sequence header bitrate = [bl]104857[/bl] kbps");
}

TEST(Mpeg2Analysis, CountsPicturesBeforeTheFirstSequenceHeader) {
  std::vector<uint8_t> bytes = picture(2);
  append(bytes, picture(3));
  append(bytes, sequenceHeader(720, 576, 3, 3));
  const Lines lines = analyse(bytes);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "   Sequence Header found");
  EXPECT_EQ(lines[1], "   2 frames before first Sequence Header");
}

TEST(Mpeg2Analysis, SecondSequenceHeaderBeforeTheExtensionPrintsAgain) {
  std::vector<uint8_t> bytes = sequenceHeader(720, 576, 3, 3);
  append(bytes, sequenceHeader(720, 480, 2, 7, 25000));
  double rate = -1;
  const Lines lines = analyse(bytes, &rate);
  Lines expected = kSequenceLines720x576;
  expected.insert(
      expected.end(),
      {"   size = [bl]720[/bl]x[bl]480[/bl]", "   Aspect ratio = [bl]4:3[/bl]",
       "   Frame rate = [bl]59.94[/bl] fps", "  Sequence header bitrate = [bl]10000[/bl] kbps"});
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(rate, 60000.0 / 1001.0);
}

TEST(Mpeg2Analysis, NothingFromSequenceHeadersAfterTheExtension) {
  std::vector<uint8_t> bytes = sequenceHeader(720, 576, 3, 3);
  append(bytes, sequenceExtension(false));
  append(bytes, sequenceHeader(352, 288, 2, 5));
  append(bytes, sequenceExtension(true));
  double rate = -1;
  Lines expected = kSequenceLines720x576;
  expected.push_back("   Progressive Sequence = 0");
  EXPECT_EQ(analyse(bytes, &rate), expected);
  EXPECT_EQ(rate, 25.0);  // the later header's 30 is not recorded either
}

TEST(Mpeg2Analysis, FirstPtsAtTheSecondPicture) {
  std::vector<uint8_t> bytes = sequenceHeader(720, 576, 3, 3);
  append(bytes, sequenceExtension(true));
  append(bytes, picture());
  const Lines onePicture = analyse(bytes);
  EXPECT_EQ(onePicture.back(), "   Progressive Sequence = 1");

  // The line comes with the fifth byte after the second picture's extension start code.
  std::vector<uint8_t> cut = bytes;
  append(cut, pictureHeader(1));
  const std::vector<uint8_t> extension = pictureCodingExtension();
  cut.insert(cut.end(), extension.begin(), extension.begin() + 8);
  EXPECT_EQ(analyse(cut), onePicture);
  cut.push_back(extension[8]);
  EXPECT_EQ(analyse(cut).back(), "   First Video PTS = 0001E240");

  append(bytes, picture());
  append(bytes, picture());
  const Lines threePictures = analyse(bytes);
  ASSERT_EQ(threePictures.size(), onePicture.size() + 1);
  EXPECT_EQ(threePictures.back(), "   First Video PTS = 0001E240");
}

TEST(Mpeg2Analysis, IllegalPictureCodingTypes) {
  std::vector<uint8_t> bytes;
  for (unsigned type = 0; type < 8; ++type)
    append(bytes, picture(type));
  EXPECT_EQ(analyse(bytes),
            (Lines{"   illegal picture_coding_type = 0", "   illegal picture_coding_type = 4",
                   "   illegal picture_coding_type = 5", "   illegal picture_coding_type = 6",
                   "   illegal picture_coding_type = 7"}));
}

TEST(Mpeg2Analysis, HeaderCutByTheWindowEnd) {
  std::vector<uint8_t> bytes = sequenceHeader(720, 576, 3, 3);
  bytes.resize(8);  // up to the aspect and rate byte
  double rate = -1;
  const Lines lines = analyse(bytes, &rate);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "   Frame rate = [bl]25[/bl] fps");
  EXPECT_EQ(rate, 25.0);
}

// Start codes lie in the guards on both sides: the analyser must not see them.
TEST(Mpeg2Analysis, ReadsNothingOutsideItsWindow) {
  const std::vector<uint8_t> header = sequenceHeader(720, 576, 3, 3);
  RecordingHost host;
  AnalyserOutput out{host};
  double rate = -1;
  const GuardedPayload guarded({0x00, 0x00, 0x01}, header,
                               {0xB3, 0x2D, 0x02, 0x40, 0x33, 0xFF, 0xFF, 0xE2});
  analyseMpeg2(guarded.window(), kPts, rate, out);
  EXPECT_TRUE(host.lines.empty());
  EXPECT_EQ(rate, -1);

  const GuardedPayload empty({}, header, header);
  analyseMpeg2(empty.window(), kPts, rate, out);
  EXPECT_TRUE(host.lines.empty());
  EXPECT_EQ(rate, -1);
}

}  // namespace
}  // namespace korvell
