#include "analysis/h264.h"

#include <string>
#include <string_view>

namespace korvell {
namespace {

// NAL start codes: access unit delimiter (nal_ref_idc 0) and sequence parameter sets with
// nal_ref_idc 1 or 3 (an SPS marked 2 is passed over).
constexpr uint32_t kAccessUnitDelimiter = 0x00000109;
constexpr uint32_t kSpsRef1 = 0x00000127;
constexpr uint32_t kSpsRef3 = 0x00000167;
constexpr int kPrimaryPicTypeI = 0;
constexpr int kLevel1b = 11;  // level_idc 11 with constraint_set3_flag is level 1b

std::string_view profileName(uint8_t profileIdc) {
  switch (profileIdc) {
    case 66:
      return "   Baseline Profile";
    case 77:
      return "   Main Profile";
    case 88:
      return "   Extended Profile";
    case 100:
      return "   High Profile";
    case 110:
      return "   High 10 Profile";
    case 122:
      return "   High 4:2:2 Profile";
    case 144:
      return "   High 4:4:4 Profile";
    default:
      return "   Unknown Profile";
  }
}

}  // namespace

void analyseH264(const AnalyserWindow& window, double& frameRate, AnalyserOutput& out) {
  frameRate = kH264FrameRate;
  uint32_t acc = 0;
  int audLeft = 0;
  int spsLeft = 0;
  bool iSeen = false;
  bool set3 = false;
  int audCount = 0;

  const uint8_t* bytes = window.buffer + window.start;
  for (size_t i = 0; i < window.length; ++i) {
    const uint8_t byte = bytes[i];
    acc = (acc << 8) | byte;
    if (acc == kAccessUnitDelimiter) {
      audLeft = 1;
    } else if (audLeft > 0) {
      --audLeft;
      if (!iSeen && (byte >> 5) == kPrimaryPicTypeI) {
        out.console.log("   " + std::to_string(audCount) + " frames before first I-frame");
        out.integer("frames_before_i_frame", audCount);
        iSeen = true;
      }
      ++audCount;
    } else if (acc == kSpsRef1 || acc == kSpsRef3) {
      spsLeft = 4;
    } else if (spsLeft > 0) {
      // profile_idc, the constraint flags (set0 in bit 7 .. set3 in bit 4), level_idc.
      --spsLeft;
      if (spsLeft == 3) {
        out.console.log(profileName(byte));
        out.integer("profile_idc", byte);
        std::string_view profile = profileName(byte).substr(3);  // "High Profile"
        profile.remove_suffix(std::string_view(" Profile").size());
        out.text("profile", profile);
      } else if (spsLeft == 2) {
        set3 = (byte & 0x10) != 0;
      } else if (spsLeft == 1) {
        if (byte == kLevel1b && set3) {
          out.console.log("   Level = 1b");
          out.text("level", "1b");
        } else {
          const std::string level = std::to_string(byte / 10) + "." + std::to_string(byte % 10);
          out.console.log("   Level = " + level);
          out.text("level", level);
        }
      }
    }
  }
}

}  // namespace korvell
