#include "analysis/mlp.h"

#include <array>
#include <cstdint>
#include <string>

#include "analysis/dvd_audio_tables.h"
#include "report/text_format.h"

namespace korvell {
namespace {

constexpr uint32_t kTrueHdSync = 0xF8726FBA;
constexpr uint32_t kMlpSync = 0xF8726FBB;
constexpr int kFormatBytes = 6;  // format info (4 bytes) and the pair read as dynamic range
constexpr uint32_t kNoDynamicRange = 0x80;

// TrueHD presentations: only code 15 has a name; 0 to 21 show the code, 22 to 31 nothing.
constexpr std::array<const char*, 32> kTrueHdChannels = {
    "???0",  "???1",  "???2",  "???3",  "???4",  "???5",  "???6",  "???7",
    "???8",  "???9",  "???10", "???11", "???12", "???13", "???14", "Lf + Rf + Ls + Rs + C + LFE",
    "???16", "???17", "???18", "???19", "???20", "???21"};

std::string decibels(uint32_t v, char separator) {
  return realText(24.082 - 6.0206 * (v >> 5) - 0.2007 * (v & 0x1F), separator);
}

}  // namespace

void analyseMlp(const AnalyserWindow& w, AnalyserOutput& out) {
  Console& console = out.console;
  const char sep = out.decimalSeparator;
  uint32_t acc = 0;
  int mlpLeft = 0;
  int hdLeft = 0;
  uint32_t mod2 = 0;
  uint32_t mod6 = 0;
  uint32_t assign6 = 0;
  uint32_t mod8 = 0;
  uint32_t assign8 = 0;
  const auto dynamicRange = [&] {
    const uint32_t byte5 = (acc >> 8) & 0xFF;
    if (byte5 == kNoDynamicRange) return;
    console.log("   Dynamic range control = " + decibels(byte5, sep) + " dB .. " +
                decibels(acc & 0xFF, sep) + " dB");
  };
  // The last byte of the window is not examined.
  for (size_t i = w.start; i + 1 < w.start + w.length; ++i) {
    const uint32_t byte = w.buffer[i];
    acc = acc << 8 | byte;
    if (acc == kTrueHdSync) {
      hdLeft = kFormatBytes;
      console.log("   [b]TrueHD[/b] stream (up to 8 channels)");
    } else if (acc == kMlpSync) {
      mlpLeft = kFormatBytes;
      console.log("   [b]Standard MLP[/b] stream (up to 6 channels) ");
    } else if (mlpLeft > 0) {
      switch (--mlpLeft) {
        case 5:  // quantization word length of channel group 1
          console.log(std::string("   Quantization length = [bl]") +
                      codeName(kMlpWordLength, byte >> 4) + "[/bl] bits");
          break;
        case 4:  // sampling frequency of channel group 1
          console.log(std::string("   Sampling frequency = [bl]") +
                      codeName(kMlpSampleRate, byte >> 4) + "[/bl] kHz");
          break;
        case 2:  // channel assignment in the low 5 bits
          console.log(std::string("   Channel arrangement = [bl]") + codeName(kMlpChannels, byte) +
                      "[/bl]");
          break;
        case 0:
          dynamicRange();
          break;
        default:
          break;
      }
    } else if (hdLeft > 0) {
      switch (--hdLeft) {
        case 5:
          console.log(std::string("   Sampling frequency = [bl]") +
                      codeName(kMlpSampleRate, byte >> 4) + "[/bl] kHz");
          break;
        case 4:  // 2-ch and 6-ch modifiers, 6-ch assignment high bits
          mod2 = byte >> 6;
          mod6 = (byte >> 4) & 3;
          assign6 = (byte & 0xF) * 2;
          break;
        case 3:  // 6-ch assignment low bit, 8-ch modifier, 8-ch assignment high bits
          assign6 += byte >> 7;
          mod8 = (byte >> 5) & 3;
          console.log("   2 ch. decoder");
          console.log("      channel modifier = " + std::to_string(mod2));
          console.log("   6 ch. decoder");
          console.log("      channel modifier = " + std::to_string(mod6));
          console.log(std::string("      channel arrangement = [bl]") +
                      codeName(kTrueHdChannels, assign6) + "[/bl]");
          break;
        case 2:
          assign8 = acc & 0x1FFF;
          console.log("   8 ch. decoder");
          console.log("      channel modifier = " + std::to_string(mod8));
          console.log(std::string("      channel arrangement = [bl]") +
                      codeName(kTrueHdChannels, assign8) + "[/bl]");
          break;
        case 0:
          dynamicRange();
          break;
        default:
          break;
      }
    }
  }
}

}  // namespace korvell
