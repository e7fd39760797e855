#include "analysis/lpcm.h"

#include <array>
#include <cstdint>
#include <string>

#include "analysis/dvd_audio_tables.h"
#include "report/text_format.h"

namespace korvell {
namespace {

// Private header: sub-stream number, number of frame headers, first access unit pointer
// (2 bytes), byte A (emphasis, mute, frame number), byte B (quantization 7-6, sampling
// frequency 5-4, reserved 3, channels minus one 2-0: up to eight), byte C (dynamic range).
constexpr size_t kHeaderBytes = 7;
constexpr uint8_t kNoDynamicRange = 0x80;

constexpr std::array<const char*, 4> kWordLength = {"16", "20", "24", ""};
constexpr std::array<const char*, 4> kSampleRate = {"48", "96", "192", ""};

const char* onOff(bool on) {
  return on ? "on" : "off";
}

// The DVD-Audio header after its length field.
constexpr size_t kAobPointer = 0;
constexpr size_t kAobWordLengths = 3;
constexpr size_t kAobSampleRates = 4;
constexpr size_t kAobChannels = 6;
constexpr uint8_t kGroupUnused = 0xF;

}  // namespace

void analyseAobLpcm(std::span<const uint8_t> h, AnalyserOutput& out) {
  Console& console = out.console;
  if (h.size() > kAobPointer + 1) {
    const uint32_t pointer = static_cast<uint32_t>(h[kAobPointer]) << 8 | h[kAobPointer + 1];
    console.log("   First acces unit pointer = " + hexText(pointer, 4));
  }
  if (h.size() > kAobSampleRates) {
    const uint8_t words = h[kAobWordLengths];
    const uint8_t rates = h[kAobSampleRates];
    console.log(std::string("   Quantization length = [bl]") +
                codeName(kMlpWordLength, words >> 4) + "[/bl] bits");
    console.log(std::string("   Sampling frequency = [bl]") + codeName(kMlpSampleRate, rates >> 4) +
                "[/bl] kHz");
    if ((words & 0xF) != kGroupUnused) {
      console.log(std::string("   Group 2 quantization length = [bl]") +
                  codeName(kMlpWordLength, words) + "[/bl] bits");
    }
    if ((rates & 0xF) != kGroupUnused) {
      console.log(std::string("   Group 2 sampling frequency = [bl]") +
                  codeName(kMlpSampleRate, rates) + "[/bl] kHz");
    }
  }
  if (h.size() > kAobChannels) {
    console.log(std::string("   Channel arrangement = [bl]") +
                codeName(kMlpChannels, h[kAobChannels]) + "[/bl]");
  }
}

void analyseLpcm(const AnalyserWindow& w, AnalyserOutput& out) {
  if (w.length == 0) return;
  // The header ends right before the window, so with any payload byte it is wholly there.
  const uint8_t* h = w.buffer + w.start - kHeaderBytes;
  const uint32_t pointer = static_cast<uint32_t>(h[2]) << 8 | h[3];
  const uint8_t a = h[4];
  const uint8_t b = h[5];
  const uint8_t c = h[6];
  Console& console = out.console;
  console.log("   Number of frame headers = " + std::to_string(h[1]));
  console.log("   First acces unit pointer = " + hexText(pointer, 4));
  console.log(std::string("   Emphasis = ") + onOff(a & 0x80) + ", mute = " + onOff(a & 0x40));
  console.log("   Frame number = " + std::to_string(a & 0x1F));
  console.log(std::string("   Quantization length = [bl]") + kWordLength[b >> 6] + "[/bl] bits");
  console.log(std::string("   Sampling frequency = [bl]") + kSampleRate[(b >> 4) & 3] +
              "[/bl] kHz");
  const int channels = (b & 7) + 1;
  console.log("   Number of audio channels = [bl]" + std::to_string(channels) + "[/bl]");
  out.integer("channels", channels);
  if (b >> 6 < 3) out.integer("bits", 16 + 4 * (b >> 6));
  if (((b >> 4) & 3) < 3) out.integer("sample_rate", 48000 << ((b >> 4) & 3));
  if (c != kNoDynamicRange) {
    const double db = 24.082 - 6.0206 * (c >> 5) - 0.2007 * (c & 0x1F);
    console.log("   Dynamic range = " + realText(db, out.decimalSeparator) + " dB");
  }
}

}  // namespace korvell
