#include "analysis/vc1.h"

#include <gtest/gtest.h>

#include <optional>
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

class BitWriter {
 public:
  void put(uint32_t value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      if (used_ == 0) bytes_.push_back(0);
      bytes_.back() = static_cast<uint8_t>(bytes_.back() | (((value >> bit) & 1) << (7 - used_)));
      used_ = (used_ + 1) % 8;
    }
  }
  std::vector<uint8_t> finish() {
    put(1, 1);  // trailing bits: a one, then zeros to the byte boundary
    used_ = 0;
    return bytes_;
  }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

struct SequenceHeader {
  uint32_t profile = 3;
  uint32_t level = 3;
  uint32_t chroma = 1;
  uint32_t width = 1920;
  uint32_t height = 1080;
  bool pulldown = false;
  bool displayExt = true;
  uint32_t dispWidth = 1920;
  uint32_t dispHeight = 1080;
  bool aspectFlag = true;
  uint32_t aspect = 1;
  bool rateFlag = true;
  bool rateInd = false;
  uint32_t nr = 1;
  uint32_t dr = 2;
  uint32_t exp = 0;
};

// 00 00 01 0F, then PROFILE 2 | LEVEL 3 | COLORDIFF_FORMAT 2 | FRMRTQ_POSTPROC 3 |
// BITRTQ_POSTPROC 5 | POSTPROCFLAG 1 | MAX_CODED_WIDTH 12 | MAX_CODED_HEIGHT 12 |
// PULLDOWN | INTERLACE | TFCNTRFLAG | FINTERPFLAG | reserved | PSF | DISPLAY_EXT |
// [DISP_HORIZ_SIZE 14 | DISP_VERT_SIZE 14 | ASPECT_RATIO_FLAG | [ASPECT_RATIO 4] |
//  FRAMERATE_FLAG | [FRAMERATEIND | FRAMERATENR 8 | FRAMERATEDR 4 or FRAMERATEEXP 16] |
//  COLOR_FORMAT_FLAG] | HRD_PARAM_FLAG | trailing bits.
std::vector<uint8_t> sequenceHeader(const SequenceHeader& h) {
  BitWriter w;
  w.put(h.profile, 2);
  w.put(h.level, 3);
  w.put(h.chroma, 2);
  w.put(0, 3);
  w.put(31, 5);
  w.put(0, 1);
  w.put(h.width / 2 - 1, 12);
  w.put(h.height / 2 - 1, 12);
  w.put(h.pulldown, 1);
  w.put(0b0010, 4);  // INTERLACE, TFCNTRFLAG, FINTERPFLAG, reserved (1)
  w.put(0, 1);
  w.put(h.displayExt, 1);
  if (h.displayExt) {
    w.put(h.dispWidth - 1, 14);
    w.put(h.dispHeight - 1, 14);
    w.put(h.aspectFlag, 1);
    if (h.aspectFlag) w.put(h.aspect, 4);
    w.put(h.rateFlag, 1);
    if (h.rateFlag) {
      w.put(h.rateInd, 1);
      if (h.rateInd) {
        w.put(h.exp, 16);
      } else {
        w.put(h.nr, 8);
        w.put(h.dr, 4);
      }
    }
    w.put(0, 1);
  }
  w.put(0, 1);
  std::vector<uint8_t> bytes{0x00, 0x00, 0x01, 0x0F};
  append(bytes, w.finish());
  return bytes;
}

const std::vector<uint8_t> kFrame{0x00, 0x00, 0x01, 0x0D, 0x3F, 0x21, 0x44, 0x19, 0x7E};

Lines analyse(const std::vector<uint8_t>& payload, double* rate = nullptr, char separator = '.') {
  double unused = -1;
  return printedLines(
      payload,
      [&](const AnalyserWindow& w, AnalyserOutput& out) {
        analyseVc1(w, rate ? *rate : unused, out);
      },
      separator);
}

const Lines kHeaderLines{
    "   Sequence Header found",
    "   0 frames before first I-frame",
    "   Advanced Profile",
    "   Level = 3",
    "   Chroma Format = 4:2:0",
    "   Size = [bl]1920[/bl]x[bl]1080[/bl]",
    "   Display Horizontal size = 1920",
    "   Display Vertical size = 1080",
    "   Aspect ratio = [bl]1:1[/bl] (square samples)",
};

TEST(Vc1Analysis, FullSequenceHeader) {
  double rate = -1;
  Lines expected = kHeaderLines;
  expected.push_back("   Frame Rate = [bl]23.976[/bl] (24000/1001)");
  EXPECT_EQ(analyse(sequenceHeader({}), &rate), expected);
  EXPECT_EQ(rate, 24000.0 / 1001.0);
}

// testdata/vc1_ap_sample.vc1 is made by testdata/make_vc1_sample.py: two entry points of a
// 1920x1080 24000/1001 stream, three frames each.
TEST(Vc1Analysis, Sample) {
  const std::vector<uint8_t> bytes = sampleBytes("vc1_ap_sample.vc1");
  ASSERT_GT(bytes.size(), 1000u);
  double rate = -1;
  Lines expected = kHeaderLines;
  expected.push_back("   Frame Rate = [bl]23.976[/bl] (24000/1001)");
  EXPECT_EQ(analyse(bytes, &rate), expected);
  EXPECT_EQ(rate, 24000.0 / 1001.0);
}

struct RateCase {
  uint32_t nr;
  uint32_t dr;
  bool pulldown;
  const char* line;
  std::optional<double> rate;  // absent: nothing recorded
};

class Vc1RateTable : public ::testing::TestWithParam<RateCase> {};

TEST_P(Vc1RateTable, PrintsAndRecords) {
  const RateCase& c = GetParam();
  SequenceHeader h;
  h.nr = c.nr;
  h.dr = c.dr;
  h.pulldown = c.pulldown;
  double rate = -1;
  const Lines lines = analyse(sequenceHeader(h), &rate);
  ASSERT_EQ(lines.size(), kHeaderLines.size() + 1);
  EXPECT_EQ(lines.back(), c.line);
  EXPECT_EQ(rate, c.rate.value_or(-1));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Vc1RateTable,
    ::testing::Values(
        RateCase{1, 1, false, "   Frame Rate = [bl]24[/bl] (24000/1000)", 24.0},
        RateCase{2, 2, false, "   Frame Rate = [bl]24.975[/bl] (25000/1001)", 25000.0 / 1001},
        RateCase{3, 2, false, "   Frame Rate = [bl]29.97[/bl] (30000/1001)", 30000.0 / 1001},
        RateCase{3, 2, true, "   Frame Rate = [bl]23.976[/bl] (24000/1001)", 24000.0 / 1001},
        RateCase{3, 1, true, "   Frame Rate = [bl]24[/bl] (24000/1000)", 24.0},
        RateCase{4, 1, true, "   Frame Rate = [bl]50[/bl] (50000/1000)", 50.0},
        RateCase{7, 1, false, "   Frame Rate = [bl]72[/bl] (72000/1000)", 72.0},
        RateCase{0, 1, false, "   Forbidden Frame Rate!", std::nullopt},
        RateCase{1, 0, false, "   Forbidden Frame Rate!", std::nullopt},
        RateCase{0, 3, false, "   Forbidden Frame Rate!", std::nullopt},
        RateCase{8, 1, false, "   Reserved Frame Rate!", std::nullopt},
        RateCase{1, 3, false, "   Reserved Frame Rate!", std::nullopt},
        RateCase{255, 15, false, "   Reserved Frame Rate!", std::nullopt}));

TEST(Vc1Analysis, FrameRateFromTheExponent) {
  SequenceHeader h;
  h.rateInd = true;
  for (const auto& [exp, line, value] : {std::tuple{767u, "   Frame Rate =24", 24.0},
                                         std::tuple{766u, "   Frame Rate =23.96875", 23.96875},
                                         std::tuple{0u, "   Frame Rate =0.03125", 0.03125}}) {
    h.exp = exp;
    double rate = -1;
    const Lines lines = analyse(sequenceHeader(h), &rate);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), line);
    EXPECT_EQ(rate, value);
  }
}

TEST(Vc1Analysis, DecimalSeparator) {
  SequenceHeader h;
  h.nr = 2;
  const Lines lines = analyse(sequenceHeader(h), nullptr, ',');
  EXPECT_EQ(lines.back(), "   Frame Rate = [bl]24,975[/bl] (25000/1001)");
}

TEST(Vc1Analysis, NoFrameRateWithoutDisplayExtensionOrAspectFlag) {
  SequenceHeader noDisplay;
  noDisplay.displayExt = false;
  double rate = 50;
  EXPECT_EQ(analyse(sequenceHeader(noDisplay), &rate),
            Lines(kHeaderLines.begin(), kHeaderLines.begin() + 6));
  EXPECT_EQ(rate, 50);

  SequenceHeader noAspect;
  noAspect.aspectFlag = false;
  EXPECT_EQ(analyse(sequenceHeader(noAspect), &rate),
            Lines(kHeaderLines.begin(), kHeaderLines.begin() + 8));
  EXPECT_EQ(rate, 50);

  SequenceHeader noRate;
  noRate.rateFlag = false;
  EXPECT_EQ(analyse(sequenceHeader(noRate), &rate), kHeaderLines);
  EXPECT_EQ(rate, 50);
}

TEST(Vc1Analysis, AspectRatioNames) {
  SequenceHeader h;
  h.rateFlag = false;
  for (const auto& [aspect, line] :
       {std::pair{0u, "   Aspect ratio = unspecified"},
        std::pair{5u, "   Aspect ratio = [bl]40:33[/bl] (704x480 16:9)"},
        std::pair{10u, "   Aspect ratio = [bl]18:11[/bl] (48$576 4:3)"},
        std::pair{13u, "   Aspect ratio = [bl]160:99[/bl] (528x480 16:9)"},
        std::pair{14u, "   Aspect ratio = Reserved"}, std::pair{15u, "   Aspect ratio = "}}) {
    h.aspect = aspect;
    EXPECT_EQ(analyse(sequenceHeader(h)).back(), line) << aspect;
  }
}

TEST(Vc1Analysis, ReservedProfileLevelAndChroma) {
  SequenceHeader h;
  h.profile = 2;
  h.level = 5;
  h.chroma = 2;
  h.width = 720;
  h.height = 576;
  const Lines lines = analyse(sequenceHeader(h));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[2], "   Reserved Profile");
  EXPECT_EQ(lines[3], "   Level = Reserved");
  EXPECT_EQ(lines[4], "   Chroma Format = Reserved");
  EXPECT_EQ(lines[5], "   Size = [bl]720[/bl]x[bl]576[/bl]");
}

TEST(Vc1Analysis, FramesBeforeTheFirstSequenceHeader) {
  std::vector<uint8_t> bytes = kFrame;
  append(bytes, kFrame);
  append(bytes, sequenceHeader({}));
  const Lines lines = analyse(bytes);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "   2 frames before first I-frame");
}

TEST(Vc1Analysis, LaterSequenceHeaders) {
  SequenceHeader forbidden;
  forbidden.nr = 0;
  std::vector<uint8_t> bytes = sequenceHeader(forbidden);
  append(bytes, kFrame);
  SequenceHeader pal;
  pal.nr = 2;
  pal.dr = 1;
  append(bytes, sequenceHeader(pal));
  append(bytes, kFrame);
  append(bytes, sequenceHeader({}));
  double rate = -1;
  const Lines lines = analyse(bytes, &rate);
  // The forbidden rate ends nothing; the first valid one ends all sequence-header lines.
  ASSERT_EQ(lines.size(), 2 * kHeaderLines.size() + 1);
  EXPECT_EQ(lines[kHeaderLines.size()], "   Forbidden Frame Rate!");
  EXPECT_EQ(lines[kHeaderLines.size() + 1], "   Sequence Header found");
  EXPECT_EQ(lines.back(), "   Frame Rate = [bl]25[/bl] (25000/1000)");
  EXPECT_EQ(rate, 25.0);
}

// Once a sequence header was seen, the four bytes after a frame start code belong to the
// frame header: a sequence start code that ends among them is not taken.
TEST(Vc1Analysis, FrameHeaderBytesArePassedOver) {
  SequenceHeader forbidden;
  forbidden.nr = 0;
  for (const auto& [gap, reported] : {std::pair{0, false}, std::pair{1, true}}) {
    std::vector<uint8_t> bytes = sequenceHeader(forbidden);
    append(bytes, {0x00, 0x00, 0x01, 0x0D});
    bytes.insert(bytes.end(), gap, 0x7E);
    append(bytes, sequenceHeader({}));
    const Lines lines = analyse(bytes);
    EXPECT_EQ(lines.back() == "   Frame Rate = [bl]23.976[/bl] (24000/1001)", reported) << gap;
  }
}

TEST(Vc1Analysis, ReadsNothingOutsideItsWindow) {
  const std::vector<uint8_t> header = sequenceHeader({});
  RecordingHost host;
  AnalyserOutput out{host};
  double rate = -1;
  const GuardedPayload guarded({0x00, 0x00, 0x01}, header,
                               std::vector<uint8_t>(header.begin() + 3, header.end()));
  analyseVc1(guarded.window(), rate, out);
  EXPECT_TRUE(host.lines.empty());

  // A header cut one byte short of its frame rate reports what lies inside the window.
  const GuardedPayload cut(std::vector<uint8_t>(header.begin(), header.begin() + 16), {},
                           std::vector<uint8_t>(header.begin() + 16, header.end()));
  analyseVc1(cut.window(), rate, out);
  EXPECT_EQ(host.lines, kHeaderLines);
  EXPECT_EQ(rate, -1);
}

}  // namespace
}  // namespace korvell
