#include "analysis/mpeg2.h"

#include <array>
#include <string>
#include <string_view>

#include "report/text_format.h"

namespace korvell {
namespace {

constexpr uint32_t kPictureStart = 0x00000100;
constexpr uint32_t kSequenceHeader = 0x000001B3;
constexpr uint32_t kExtensionStart = 0x000001B5;
constexpr uint8_t kSequenceExtensionId = 0x1;
constexpr uint8_t kPictureCodingExtensionId = 0x8;

struct FrameRate {
  std::string_view line;
  double rate;
};

// Indexed by frame_rate_code; codes 9 to 15 are reserved.
constexpr std::array<FrameRate, 9> kFrameRates{{
    {"   Frame rate = forbidden", 1.0},
    {"   Frame rate = [bl]23.976[/bl] fps", 24000.0 / 1001.0},
    {"   Frame rate = [bl]24[/bl] fps", 24.0},
    {"   Frame rate = [bl]25[/bl] fps", 25.0},
    {"   Frame rate = [bl]29.97[/bl] fps", 30000.0 / 1001.0},
    {"   Frame rate = [bl]30[/bl] fps", 30.0},
    {"   Frame rate = [bl]50[/bl] fps", 50.0},
    {"   Frame rate = [bl]59.94[/bl] fps", 60000.0 / 1001.0},
    {"   Frame rate = [bl]60[/bl] fps", 60.0},
}};
constexpr FrameRate kReservedFrameRate{"   Frame rate = reserved", 1.0};

// Indexed by aspect_ratio_information; codes 5 to 15 are reserved.
constexpr std::array<std::string_view, 5> kAspectRatios{
    "   Aspect ratio = forbidden",       "   Aspect ratio = [bl]1:1[/bl] (square samples)",
    "   Aspect ratio = [bl]4:3[/bl]",    "   Aspect ratio = [bl]16:9[/bl]",
    "   Aspect ratio = [bl]2.21:1[/bl]",
};
constexpr std::string_view kReservedAspectRatio = "   Aspect ratio = reserved";
constexpr std::array<std::string_view, 5> kAspectNames{"forbidden", "1:1", "4:3", "16:9", "2.21:1"};

// The sequence header after its start code: horizontal_size 12 bits, vertical_size 12,
// aspect_ratio_information 4, frame_rate_code 4, bit_rate_value 18, marker, vbv 10, ...
// `left` counts down from 7; each field is cut from `acc` at the byte that completes it.
void reportSequenceHeaderByte(int left, uint32_t acc, double& frameRate, AnalyserOutput& out) {
  const uint8_t byte = acc & 0xFF;
  if (left == 4) {
    out.integer("width", (acc >> 12) & 0xFFF);
    out.integer("height", acc & 0xFFF);
    out.console.log("   size = [bl]" + std::to_string((acc >> 12) & 0xFFF) + "[/bl]x[bl]" +
                    std::to_string(acc & 0xFFF) + "[/bl]");
  } else if (left == 3) {
    const unsigned aspect = byte >> 4;
    out.console.log(aspect < kAspectRatios.size() ? kAspectRatios[aspect] : kReservedAspectRatio);
    out.text("aspect_ratio", aspect < kAspectNames.size() ? kAspectNames[aspect] : "reserved");
    const unsigned code = byte & 0x0F;
    const FrameRate& rate = code < kFrameRates.size() ? kFrameRates[code] : kReservedFrameRate;
    out.console.log(rate.line);
    // A forbidden or reserved code has no rate; the 1.0 kept for the frame report is none.
    if (code > 0 && code < kFrameRates.size()) out.real("frame_rate", rate.rate);
    frameRate = rate.rate;
  } else if (left == 0) {
    const uint64_t bitRateValue = (acc >> 6) & 0x3FFFF;  // in units of 400 bit/s
    out.integer("bit_rate", static_cast<int64_t>(bitRateValue * 400));
    out.console.log("  Sequence header bitrate = [bl]" + std::to_string(bitRateValue * 400 / 1000) +
                    "[/bl] kbps");
  }
}

}  // namespace

void analyseMpeg2(const AnalyserWindow& window, uint32_t pts, double& frameRate,
                  AnalyserOutput& out) {
  uint32_t acc = 0;
  int seqLeft = 0;
  int picLeft = 0;
  int extIdLeft = 0;
  int picExtLeft = 0;
  int seqExtLeft = 0;
  int ptsLeft = 0;
  bool seqSeen = false;
  bool seqExtDone = false;
  int picturesBefore = 0;

  const uint8_t* bytes = window.buffer + window.start;
  for (size_t i = 0; i < window.length; ++i) {
    const uint8_t byte = bytes[i];
    acc = (acc << 8) | byte;
    if (acc == kPictureStart) {
      picLeft = 2;
    } else if (acc == kSequenceHeader) {
      seqLeft = 7;
      if (!seqSeen) {
        out.console.log("   Sequence Header found");
        out.console.log("   " + std::to_string(picturesBefore) +
                        " frames before first Sequence Header");
        out.integer("frames_before_sequence_header", picturesBefore);
        seqSeen = true;
        ptsLeft = 2;
      }
      picturesBefore = 0;
    } else if (seqLeft > 0) {
      --seqLeft;
      if (!seqExtDone) reportSequenceHeaderByte(seqLeft, acc, frameRate, out);
    } else if (picLeft > 0) {
      // temporal_reference 10 bits, then picture_coding_type in bits 5..3 of the second byte.
      if (--picLeft == 0) {
        const int type = (byte >> 3) & 0x7;
        if (type == 0 || type > 3) {
          out.console.log("   illegal picture_coding_type = " + std::to_string(type));
        }
      }
    } else if (acc == kExtensionStart) {
      extIdLeft = 1;
    } else if (extIdLeft > 0) {
      --extIdLeft;
      const uint8_t extensionId = byte >> 4;
      if (extensionId == kPictureCodingExtensionId) {
        ++picturesBefore;
        if (seqSeen) picExtLeft = 5;
      } else if (extensionId == kSequenceExtensionId) {
        seqExtLeft = 1;
      }
    } else if (picExtLeft > 0) {
      // The PTS is reported at the second picture coding extension after the first
      // sequence header, on its fifth byte.
      if (--picExtLeft == 1 && ptsLeft > 0 && --ptsLeft == 0) {
        out.console.log("   First Video PTS = " + hexText(pts, 8));
      }
    } else if (seqExtLeft > 0) {
      // progressive_sequence is bit 3 of the sequence extension's second byte.
      if (--seqExtLeft == 0 && !seqExtDone) {
        out.console.log("   Progressive Sequence = " + std::to_string((byte >> 3) & 0x1));
        out.integer("progressive_sequence", (byte >> 3) & 0x1);
        seqExtDone = true;
      }
    }
  }
}

}  // namespace korvell
