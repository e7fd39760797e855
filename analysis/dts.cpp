#include "analysis/dts.h"

#include <array>
#include <cstdint>
#include <string>

#include "analysis/bit_reader.h"
#include "report/text_format.h"

namespace korvell {
namespace {

constexpr uint32_t kCoreSync = 0x7FFE8001;
constexpr uint32_t kChannelExtensionSync = 0x5A5A5A5A;
constexpr uint32_t kFrequencyExtensionSync = 0x1D95F262;

// By AMODE; 16 and above are user defined.
constexpr std::array<const char*, 16> kChannelArrangement = {
    "A (mono)",
    "A+B (dual mono)",
    "L + R (stereo)",
    "(L+R) + (L-R) (sum-difference)",
    "LT + RT (left and right total)",
    "C + L + R",
    "L + R + S",
    "C + L + R + S",
    "L + R + Ls + Rs",
    "C + L + R + Ls + Rs",
    "CL + CR + L + R + Ls + Rs",
    "C + L + R + Lr + Rr + OV",
    "Cf + Cr + Lf + Rf + Lr + Rr",
    "CL + C + CR + L + R + Ls + Rs",
    "CL + CR + L + R + Ls1 + Ls2 + Rs1 + Rs2",
    "CL + C + CR + L + R + Ls + S + Rs"};
// kHz by SFREQ, written as the decimal comma of the encoder tables.
constexpr std::array<const char*, 16> kSampleRate = {"Invalid", "8",     "16",   "32", "", "",
                                                     "11,025",  "22,05", "44,1", "",   "", "12",
                                                     "24",      "48",    "",     ""};
// kbit/s by RATE.
constexpr std::array<const char*, 32> kBitRate = {
    "32",   "56",   "64",   "96",   "112",  "128",  "192",      "224",
    "256",  "320",  "384",  "448",  "512",  "576",  "640",      "768",
    "960",  "1024", "1152", "1280", "1344", "1408", "1411,2",   "1472",
    "1536", "1920", "2048", "3072", "3840", "open", "Variable", "Loss-less"};
constexpr std::array<const char*, 8> kExtensionAudio = {"Channel extension",
                                                        "Reserved",
                                                        "Frequency extension",
                                                        "Channel and Frequency extension",
                                                        "Reserved",
                                                        "Reserved",
                                                        "Reserved",
                                                        "Reserved"};
constexpr std::array<const char*, 4> kLfe = {"not present", "[bl]present[/bl] (IF:128)",
                                             "[bl]present[/bl] (IF:64)", "invalid"};
constexpr std::array<const char*, 8> kPcmResolution = {"[bl]16[/bl] bits",
                                                       "[bl]16[/bl] bits, [bl]DTS ES[/bl]",
                                                       "[bl]20[/bl] bits",
                                                       "[bl]20[/bl] bits, [bl]DTS ES[/bl]",
                                                       "",
                                                       "[bl]24[/bl] bits, [bl]DTS ES[/bl]",
                                                       "[bl]24[/bl] bits",
                                                       ""};

// The same tables as numbers: Hz by SFREQ, bit/s by RATE (0: none), channels by AMODE and
// bits per sample by PCMR (0: none).
constexpr std::array<int, 16> kSampleRateHz = {0, 8000, 16000, 32000, 0,     0, 11025, 22050, 44100,
                                               0, 0,    12000, 24000, 48000, 0, 0};
constexpr std::array<int, 32> kBitRateBits = {
    32000,   56000,   64000,   96000,   112000,  128000,  192000,  224000,
    256000,  320000,  384000,  448000,  512000,  576000,  640000,  768000,
    960000,  1024000, 1152000, 1280000, 1344000, 1408000, 1411200, 1472000,
    1536000, 1920000, 2048000, 3072000, 3840000, 0,       0,       0};
constexpr std::array<int, 16> kChannelCount = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};
constexpr std::array<int, 8> kBitsPerSample = {16, 16, 20, 20, 0, 24, 24, 0};

// Reads header fields while they lie inside the window; once one does not, every later read
// fails without touching the reader.
class FieldReader {
 public:
  FieldReader(BitReader& bits, size_t windowEnd) : bits_(bits), endBit_(windowEnd * 8) {}

  bool read(int n, uint32_t& value) {
    if (!ok_ || bits_.bitPosition() + static_cast<size_t>(n) > endBit_) {
      ok_ = false;
      return false;
    }
    value = bits_.read(n);
    return true;
  }
  bool skip(int n) {
    uint32_t ignored = 0;
    return read(n, ignored);
  }

 private:
  BitReader& bits_;
  size_t endBit_;
  bool ok_ = true;
};

std::string revisionSuffix(uint32_t vernum) {
  if (vernum < 7) return ", Future rev. (compatible)";
  if (vernum == 7) return ", Current";
  return ", Future rev. (incompatible";
}

// Decodes the core frame header after the sync word, which ends just before bits.pos().
// Returns false when a field ran past the window.
bool reportCoreHeader(BitReader& bits, size_t windowEnd, AnalyserOutput& out) {
  Console& console = out.console;
  FieldReader f(bits, windowEnd);
  bits.start(bits.pos());
  uint32_t v = 0;
  uint32_t cpf = 0;
  uint32_t extAudioId = 0;
  if (!f.skip(1)) return false;  // FTYPE
  if (!f.read(5, v)) return false;
  console.log("   PCM core samples = " + std::to_string(v + 1));
  if (!f.read(1, cpf)) return false;
  if (!f.read(7, v)) return false;
  console.log("   PCM sample blocks = " + std::to_string(v + 1));
  if (!f.read(14, v)) return false;
  console.log("   Primary frame byte size = " + std::to_string(v));
  if (!f.read(6, v)) return false;
  console.log(std::string("   Channel arrangement = [bl]") +
              (v < kChannelArrangement.size() ? kChannelArrangement[v] : "User defined") + "[/bl]");
  out.text("channel_mode",
           v < kChannelArrangement.size() ? kChannelArrangement[v] : "user defined");
  if (v < kChannelCount.size()) out.integer("channels", kChannelCount[v]);
  if (!f.read(4, v)) return false;
  console.log(std::string("   Sampling frequency = [bl]") + kSampleRate[v] + "[/bl] kHz");
  if (kSampleRateHz[v] > 0) out.integer("sample_rate", kSampleRateHz[v]);
  if (!f.read(5, v)) return false;
  console.log(std::string("   Transmission bitrate = [bl]") + kBitRate[v] + "[/bl] kbit/s");
  if (kBitRateBits[v] > 0) out.integer("bit_rate", kBitRateBits[v]);
  if (!f.skip(5)) return false;  // MIX, DYNF, TIMEF, AUXF, HDCD
  if (!f.read(3, extAudioId)) return false;
  if (!f.read(1, v)) return false;
  if (v == 1) console.log(std::string("   Extension audio = ") + kExtensionAudio[extAudioId]);
  if (!f.skip(1)) return false;  // ASPF
  if (!f.read(2, v)) return false;
  console.log(std::string("   LFE channel = ") + kLfe[v]);
  if (v < 3) out.integer("lfe", v == 0 ? 0 : 1);
  if (!f.skip(1)) return false;  // HFLAG
  if (cpf == 1) {
    if (!f.read(16, v)) return false;
    console.log("   Header CRC = " + hexText(v, 4));
  }
  if (!f.skip(1)) return false;  // FILTS
  if (!f.read(4, v)) return false;
  console.log("   Encoder software rev. = " + std::to_string(v) + revisionSuffix(v));
  if (!f.skip(2)) return false;  // CHIST
  if (!f.read(3, v)) return false;
  console.log(std::string("   Source PCM resolution = ") + kPcmResolution[v]);
  if (kBitsPerSample[v] > 0) out.integer("bits_per_sample", kBitsPerSample[v]);
  return true;
}

}  // namespace

void analyseDts(const AnalyserWindow& w, AnalyserOutput& out) {
  const size_t windowEnd = w.start + w.length;
  BitReader bits(w.buffer);
  bits.seek(w.start);
  // The last byte of the window is not searched.
  while (bits.pos() + 1 < windowEnd) {
    const uint32_t acc = bits.shiftInByte();
    if (acc == kCoreSync) {
      if (!reportCoreHeader(bits, windowEnd, out)) return;
    } else if (acc == kChannelExtensionSync) {
      out.console.log("   Channel extension found");
      out.integer("channel_extension", 1);
    } else if (acc == kFrequencyExtensionSync) {
      out.console.log("   Frequency extensiond found ([bl]96[/bl] kHz)");
      out.integer("frequency_extension", 1);
    }
  }
}

}  // namespace korvell
