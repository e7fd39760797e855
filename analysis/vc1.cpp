#include "analysis/vc1.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "report/text_format.h"

namespace korvell {
namespace {

constexpr uint32_t kFrameStart = 0x0000010D;
constexpr uint32_t kSequenceHeader = 0x0000010F;
constexpr int kFrameHeaderSkip = 4;  // bytes after a frame start code that no header rule sees
constexpr unsigned kAdvancedProfile = 3;
constexpr unsigned kMaxLevel = 4;
constexpr unsigned kChroma420 = 1;

// Indexed by ASPECT_RATIO; 15 announces an explicit ratio, which has no name.
constexpr std::array<std::string_view, 16> kAspectRatios{
    "unspecified",
    "[bl]1:1[/bl] (square samples)",
    "[bl]12:11[/bl] (704x576 4:3)",
    "[bl]10:11[/bl] (704x480 4:3)",
    "[bl]16:11[/bl] (704x576 16:9)",
    "[bl]40:33[/bl] (704x480 16:9)",
    "[bl]24:11[/bl] (352x576 4:3)",
    "[bl]20:11[/bl] (352x480 4:3)",
    "[bl]32:11[/bl] (352x576 16:9)",
    "[bl]80:33[/bl] (352x480 16:9)",
    "[bl]18:11[/bl] (48$576 4:3)",
    "[bl]15:11[/bl] (48$480 4:3)",
    "[bl]64:33[/bl] (528x576 16:9)",
    "[bl]160:99[/bl] (528x480 16:9)",
    "Reserved",
    "",
};

// The sample aspect ratios by ASPECT_RATIO, as a number pair.
constexpr std::array<std::string_view, 16> kAspectNames{
    "unspecified", "1:1",   "12:11", "10:11", "16:11", "40:33",  "24:11",    "20:11",
    "32:11",       "80:33", "18:11", "15:11", "64:33", "160:99", "reserved", "explicit"};

// FRAMERATENR 1..7 and FRAMERATEDR 1..2; 0 is forbidden, larger values reserved.
constexpr std::array<uint32_t, 7> kRateNumerators{24000, 25000, 30000, 50000, 60000, 48000, 72000};
constexpr std::array<uint32_t, 2> kRateDenominators{1000, 1001};

struct Parser {
  AnalyserOutput& out;
  double& frameRate;
  int seqLeft = 0;
  int dispLeft = 0;
  int aspLeft = 0;
  int rateLeft = 0;
  bool rateDone = false;
  bool pulldown = false;

  void log(const std::string& line) { out.console.log(line); }

  // Sequence header bytes 1..6: PROFILE 2, LEVEL 3, COLORDIFF_FORMAT 2, FRMRTQ_POSTPROC 3,
  // BITRTQ_POSTPROC 5, POSTPROCFLAG 1, MAX_CODED_WIDTH 12, MAX_CODED_HEIGHT 12, PULLDOWN,
  // INTERLACE, TFCNTRFLAG, FINTERPFLAG, reserved, PSF, DISPLAY_EXT (one bit each).
  void sequenceByte(uint32_t acc) {
    --seqLeft;
    if (rateDone) return;
    const uint8_t byte = acc & 0xFF;
    if (seqLeft == 5) {
      log((byte >> 6) == kAdvancedProfile ? "   Advanced Profile" : "   Reserved Profile");
      out.text("profile", (byte >> 6) == kAdvancedProfile ? "Advanced" : "reserved");
      const unsigned level = (byte >> 3) & 0x7;
      log(level > kMaxLevel ? "   Level = Reserved" : "   Level = " + std::to_string(level));
      if (level > kMaxLevel) {
        out.text("level", "reserved");
      } else {
        out.integer("level", level);
      }
      const bool chroma420 = ((byte >> 1) & 0x3) == kChroma420;
      log(chroma420 ? "   Chroma Format = 4:2:0" : "   Chroma Format = Reserved");
      out.text("chroma_format", chroma420 ? "4:2:0" : "reserved");
    } else if (seqLeft == 1) {
      out.integer("width", ((acc >> 12) & 0xFFF) * 2 + 2);
      out.integer("height", (acc & 0xFFF) * 2 + 2);
      log("   Size = [bl]" + std::to_string(((acc >> 12) & 0xFFF) * 2 + 2) + "[/bl]x[bl]" +
          std::to_string((acc & 0xFFF) * 2 + 2) + "[/bl]");
    } else if (seqLeft == 0) {
      pulldown = (byte & 0x80) != 0;
      if (byte & 0x02) dispLeft = 4;
    }
  }

  // Display extension, bytes 7..10: DISP_HORIZ_SIZE 14 (from bit 0 of byte 6), DISP_VERT_SIZE
  // 14, ASPECT_RATIO_FLAG, ASPECT_RATIO 4.
  void displayByte(uint32_t acc) {
    --dispLeft;
    if (rateDone) return;
    if (dispLeft == 2) {
      log("   Display Horizontal size = " + std::to_string(((acc >> 3) & 0x3FFF) + 1));
      out.integer("display_width", ((acc >> 3) & 0x3FFF) + 1);
    } else if (dispLeft == 0) {
      log("   Display Vertical size = " + std::to_string(((acc >> 5) & 0x3FFF) + 1));
      out.integer("display_height", ((acc >> 5) & 0x3FFF) + 1);
      if (acc & 0x10) {
        aspLeft = 1;
        log("   Aspect ratio = " + std::string(kAspectRatios[acc & 0xF]));
        out.text("sample_aspect_ratio", kAspectNames[acc & 0xF]);
      }
    }
  }

  // Bytes 11..13 with ASPECT_RATIO short of 15: FRAMERATE_FLAG, FRAMERATEIND, then either
  // FRAMERATENR 8 and FRAMERATEDR 4 or FRAMERATEEXP 16.
  void rateByte(uint32_t acc) {
    if (--rateLeft != 0 || rateDone) return;
    if (acc & (1u << 22)) {
      const double rate = (((acc >> 6) & 0xFFFF) + 1) / 32.0;
      log("   Frame Rate =" + realText(rate, out.decimalSeparator));
      out.real("frame_rate", rate);
      frameRate = rate;
      rateDone = true;
      return;
    }
    const uint32_t nr = (acc >> 14) & 0xFF;
    const uint32_t dr = (acc >> 10) & 0xF;
    if (nr == 0 || dr == 0) {
      log("   Forbidden Frame Rate!");
    } else if (nr > kRateNumerators.size() || dr > kRateDenominators.size()) {
      log("   Reserved Frame Rate!");
    } else {
      uint32_t numerator = kRateNumerators[nr - 1];
      const uint32_t denominator = kRateDenominators[dr - 1];
      // Pulled-down 29.97 material is film at 23.976.
      if (pulldown && numerator == 30000) numerator = 24000;
      const double rate = static_cast<double>(numerator) / denominator;
      log("   Frame Rate = [bl]" + realText(std::round(rate * 1000) / 1000, out.decimalSeparator) +
          "[/bl] (" + std::to_string(numerator) + "/" + std::to_string(denominator) + ")");
      out.real("frame_rate", rate);
      out.text("r_frame_rate", std::to_string(numerator) + "/" + std::to_string(denominator));
      frameRate = rate;
      rateDone = true;
    }
  }
};

}  // namespace

void analyseVc1(const AnalyserWindow& window, double& frameRate, AnalyserOutput& out) {
  Parser parser{out, frameRate};
  uint32_t acc = 0;
  bool seqSeen = false;
  int framesBefore = 0;
  int frameSkip = 0;

  const uint8_t* bytes = window.buffer + window.start;
  for (size_t i = 0; i < window.length; ++i) {
    const uint8_t byte = bytes[i];
    acc = (acc << 8) | byte;
    if (acc == kFrameStart) {
      ++framesBefore;
      if (seqSeen) frameSkip = kFrameHeaderSkip;
    } else if (frameSkip > 0) {
      --frameSkip;
    } else if (acc == kSequenceHeader) {
      if (!parser.rateDone) {
        out.console.log("   Sequence Header found");
        parser.seqLeft = 6;
      }
      if (!seqSeen) {
        out.console.log("   " + std::to_string(framesBefore) + " frames before first I-frame");
        seqSeen = true;
      }
    } else if (parser.seqLeft > 0) {
      parser.sequenceByte(acc);
    } else if (parser.dispLeft > 0) {
      parser.displayByte(acc);
    } else if (parser.aspLeft > 0) {
      // FRAMERATE_FLAG is the first bit after a 4-bit ASPECT_RATIO.
      if (--parser.aspLeft == 0 && !parser.rateDone && (byte & 0x80)) parser.rateLeft = 2;
    } else if (parser.rateLeft > 0) {
      parser.rateByte(acc);
    }
  }
}

}  // namespace korvell
