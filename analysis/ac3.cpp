#include "analysis/ac3.h"

#include <array>
#include <cstdint>
#include <string>

#include "report/text_format.h"

namespace korvell {
namespace {

constexpr uint16_t kSyncWord = 0x0B77;
constexpr int kHeaderBytes = 5;  // bytes after the sync word up to acmod of AC-3

constexpr std::array<uint32_t, 4> kSampleRate = {48000, 44100, 32000, 0};  // by fscod
// By frmsizecod / 2; frmsizecod 38 to 63 are reserved and give 0.
constexpr std::array<uint32_t, 19> kBitRate = {
    32000,  40000,  48000,  56000,  64000,  80000,  96000,  112000, 128000, 160000,
    192000, 224000, 256000, 320000, 384000, 448000, 512000, 576000, 640000};
constexpr std::array<uint32_t, 4> kBlocks = {1, 2, 3, 6};  // E-AC-3 by numblkscod
constexpr std::array<const char*, 8> kChannelMode = {
    "dual mono", "mono",          "L + R",           "L + R + C",
    "L + R + S", "L + R + C + S", "L + R + Ls + Rs", "L + R + C + Ls + Rs"};

// The fields of one header as they arrive after the sync word.
struct Header {
  uint32_t frmsiz = 0;
  uint32_t rate = 0;
  uint32_t bitrate = 0;
  uint32_t blocks = 1;
  uint32_t acmod = 0;
  uint32_t lfeon = 0;
  uint32_t bsid = 0;
  uint32_t bsmod = 0;
};

// Full-bandwidth channels by acmod.
constexpr std::array<int, 8> kChannels = {2, 1, 2, 3, 3, 4, 4, 5};

bool isEnhanced(uint32_t bsid) {
  return bsid > 10 && bsid <= 16;
}

void print(const Header& h, int slot, AnalyserOutput& out) {
  const std::string rateLine = "   Sampling frequency = [bl]" +
                               realText(h.rate / 1000.0, out.decimalSeparator) + "[/bl] kHz";
  const std::string bitrateLine =
      "   Transmission bitrate = [bl]" + std::to_string(h.bitrate / 1000) + "[/bl] kbit/s";
  const std::string arrangement =
      std::string("   Channel arrangement = [bl]") + kChannelMode[h.acmod] + "[/bl], bsid = ";
  out.integer("sample_rate", h.rate);
  out.integer("bit_rate", h.bitrate);
  out.integer("channels", kChannels[h.acmod] + static_cast<int>(h.lfeon));
  out.text("channel_mode", kChannelMode[h.acmod]);
  out.integer("lfe", h.lfeon);
  out.integer("bsid", h.bsid);
  if (isEnhanced(h.bsid)) {
    out.console.log("   Stream " + std::to_string(slot) + " is [b]Dolby Digital Plus[/b]");
    out.console.log("   frame size = " + std::to_string((h.frmsiz + 1) * 2) +
                    " bytes, number of blocks per frame = " + std::to_string(h.blocks));
    out.integer("frame_size", (h.frmsiz + 1) * 2);
    out.integer("blocks_per_frame", h.blocks);
    out.console.log(rateLine);
    out.console.log(bitrateLine);
    out.console.log(arrangement + std::to_string(h.bsid));
    out.console.log(std::string("   LFE channel = [bl]") +
                    (h.lfeon == 1 ? "present" : "not present") + "[/bl]");
  } else {
    out.console.log("   Stream " + std::to_string(slot) + " is [b]Dolby Digital[/b]");
    out.console.log(rateLine);
    out.console.log(bitrateLine);
    out.console.log(arrangement + std::to_string(h.bsid) + ", bsmod =" + std::to_string(h.bsmod));
    out.integer("bsmod", h.bsmod);
  }
}

}  // namespace

void analyseAc3(const AnalyserWindow& w, int slot, AnalyserOutput& out) {
  uint16_t acc = 0;
  int left = 0;
  bool armed = false;
  Header h;
  for (size_t i = w.start; i < w.start + w.length; ++i) {
    const uint32_t byte = w.buffer[i];
    acc = static_cast<uint16_t>(acc << 8 | byte);
    if (acc == kSyncWord) {
      // While armed, later sync words are ignored: one header per payload.
      if (!armed) {
        left = kHeaderBytes;
        armed = true;
      }
      continue;
    }
    if (left == 0) continue;
    switch (--left) {
      case 4:  // E-AC-3 strmtyp, substreamid, frmsiz high bits; AC-3 crc1
        h.frmsiz = (byte & 7) << 8;
        break;
      case 3:
        h.frmsiz |= byte;
        break;
      case 2: {  // fscod, frmsizecod (E-AC-3: fscod, numblkscod, acmod, lfeon)
        const uint32_t rateIndex = (byte & 0x3F) >> 1;
        h.rate = kSampleRate[byte >> 6];
        h.bitrate = rateIndex < kBitRate.size() ? kBitRate[rateIndex] : 0;
        h.blocks = kBlocks[(byte >> 4) & 3];
        h.acmod = (byte >> 1) & 7;
        h.lfeon = byte & 1;
        break;
      }
      case 1:  // bsid, bsmod
        h.bsid = byte >> 3;
        h.bsmod = byte & 7;
        break;
      case 0:
        if (isEnhanced(h.bsid)) {
          if (h.rate == 0) {
            armed = false;
          } else {
            // Frame bits per 48 kHz frame time: bytes * 8 * 187.5 / blocks.
            h.bitrate = (16 * (h.frmsiz + 1) * (750 / h.blocks)) >> 2;
          }
        } else {
          h.acmod = byte >> 5;
          if (h.rate == 0 || h.bitrate == 0) armed = false;
        }
        print(h, slot, out);
        break;
      default:
        break;
    }
  }
}

}  // namespace korvell
