#include "outputs/lpcm_decoder.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define KORVELL_X86 1
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <type_traits>

namespace korvell {
namespace {

// WAV speaker bits (dwChannelMask).
constexpr uint32_t kFL = 0x1, kFR = 0x2, kFC = 0x4, kLFE = 0x8, kBL = 0x10, kBR = 0x20, kBC = 0x100,
                   kSL = 0x200, kSR = 0x400;

// The DVD-Video header byte after emphasis/mute/frame number.
constexpr uint8_t kReservedCode = 3;
constexpr std::array<int, 3> kDvdRates = {48000, 96000, 192000};

// The DVD-Audio header after its length field.
constexpr size_t kAobWordLengths = 3;
constexpr size_t kAobRates = 4;
constexpr size_t kAobAssignment = 6;
constexpr uint8_t kGroupUnused = 0xF;
constexpr int kAssignments = 21;

// The speakers of each channel assignment's two groups, in the order the payload holds them.
// "S", a single surround channel, is the back centre; Ls and Rs are the back pair.
struct Assignment {
  uint32_t group1;
  uint32_t group2;
};
constexpr std::array<Assignment, kAssignments> kAssignmentSpeakers = {{
    {kFC, 0},
    {kFL | kFR, 0},
    {kFL | kFR, kBC},
    {kFL | kFR, kBL | kBR},
    {kFL | kFR, kLFE},
    {kFL | kFR, kLFE | kBC},
    {kFL | kFR, kLFE | kBL | kBR},
    {kFL | kFR, kFC},
    {kFL | kFR, kFC | kBC},
    {kFL | kFR, kFC | kBL | kBR},
    {kFL | kFR, kFC | kLFE},
    {kFL | kFR, kFC | kLFE | kBC},
    {kFL | kFR, kFC | kLFE | kBL | kBR},
    {kFL | kFR | kFC, kBC},
    {kFL | kFR | kFC, kBL | kBR},
    {kFL | kFR | kFC, kLFE},
    {kFL | kFR | kFC, kLFE | kBC},
    {kFL | kFR | kFC, kLFE | kBL | kBR},
    {kFL | kFR | kBL | kBR, kLFE},
    {kFL | kFR | kBL | kBR, kFC},
    {kFL | kFR | kBL | kBR, kFC | kLFE},
}};

int bitCount(uint32_t mask) {
  return std::popcount(mask);
}

// The position of speaker `bit` among the speakers of `mask` (WAV order is bit order).
int speakerIndex(uint32_t mask, uint32_t bit) {
  return std::popcount(mask & (bit - 1));
}

std::optional<int> aobWordLength(uint8_t code) {
  if (code > 2) return std::nullopt;
  return 16 + 4 * code;
}

std::optional<int> aobRate(uint8_t code) {
  const int base = (code & 0x8) != 0 ? 44100 : 48000;
  if ((code & 0x7) > 2) return std::nullopt;
  return base << (code & 0x7);
}

Status noFormat(std::string text) {
  return Status::invalid(std::move(text));
}

}  // namespace

uint32_t dvdChannelMask(int channels) {
  constexpr std::array<uint32_t, 9> kMasks = {0,
                                              kFC,
                                              kFL | kFR,
                                              kFL | kFR | kFC,
                                              kFL | kFR | kBL | kBR,
                                              kFL | kFR | kFC | kBL | kBR,
                                              kFL | kFR | kFC | kLFE | kBL | kBR,
                                              kFL | kFR | kFC | kLFE | kBC | kSL | kSR,
                                              kFL | kFR | kFC | kLFE | kBL | kBR | kSL | kSR};
  return channels >= 1 && channels <= 8 ? kMasks[static_cast<size_t>(channels)] : 0;
}

Status dvdLpcmFormat(std::span<const uint8_t> header, PcmFormat* result) {
  if (header.size() < 2) return noFormat("a header cut short");
  const uint8_t b = header[1];
  const uint8_t quantisation = b >> 6;
  const uint8_t frequency = (b >> 4) & 3;
  if (quantisation == kReservedCode) return noFormat("a reserved quantisation code");
  if (frequency == kReservedCode) return noFormat("a reserved sampling frequency code");
  PcmFormat format;
  format.bits = 16 + 4 * quantisation;
  format.rate = kDvdRates[frequency];
  format.channels = (b & 7) + 1;
  format.channelMask = dvdChannelMask(format.channels);
  *result = format;
  return {};
}

bool AobLpcmFormat::oneFile() const {
  return !group2 || (group2->bits == group1.bits && group2->rate == group1.rate);
}

PcmFormat AobLpcmFormat::merged() const {
  PcmFormat format = group1;
  if (group2) {
    format.channelMask |= group2->channelMask;
    format.channels = bitCount(format.channelMask);
  }
  return format;
}

Status aobLpcmFormat(std::span<const uint8_t> header, AobLpcmFormat* result) {
  const auto fail = [](std::string text) { return noFormat(std::move(text)); };
  if (header.size() <= kAobAssignment) return fail("a header cut short");
  const uint8_t words = header[kAobWordLengths];
  const uint8_t rates = header[kAobRates];
  const uint8_t assignment = header[kAobAssignment];
  if (assignment >= kAssignments) return fail("a reserved channel assignment code");
  const std::optional<int> bits1 = aobWordLength(words >> 4);
  const std::optional<int> rate1 = aobRate(rates >> 4);
  if (!bits1) return fail("a reserved word length code");
  if (!rate1) return fail("a reserved sampling frequency code");
  const Assignment& speakers = kAssignmentSpeakers[assignment];
  AobLpcmFormat format;
  format.assignment = assignment;
  format.group1 = {*bits1, *rate1, bitCount(speakers.group1), speakers.group1};
  if (speakers.group2 != 0) {
    if ((words & 0xF) == kGroupUnused || (rates & 0xF) == kGroupUnused) {
      return fail("channel group 2 marked unused");
    }
    const std::optional<int> bits2 = aobWordLength(words & 0xF);
    const std::optional<int> rate2 = aobRate(rates & 0xF);
    if (!bits2) return fail("a reserved word length code");
    if (!rate2) return fail("a reserved sampling frequency code");
    const int ratio = *rate1 / *rate2;
    if (*rate1 % *rate2 != 0 || (ratio != 1 && ratio != 2 && ratio != 4)) {
      return fail("a sampling frequency of channel group 2 that does not divide group 1's");
    }
    format.group2 = PcmFormat{*bits2, *rate2, bitCount(speakers.group2), speakers.group2};
  }
  *result = format;
  return {};
}

LpcmDecoder::LpcmDecoder(const PcmFormat& format) {
  formats_[0] = format;
  bits_ = format.bits;
  const int channels = format.channels;
  if (format.bits == 16) {
    layout_ = Layout::Words;
    samplesPerUnit_[0] = static_cast<size_t>(channels);
    unitSize_ = samplesPerUnit_[0] * 2;
    return;
  }
  layout_ = Layout::Groups;
  groupSize_ = channels == 1 ? 2 : 4;
  // Whole groups that make whole sample periods.
  samplesPerUnit_[0] = static_cast<size_t>(std::lcm(groupSize_, channels));
  unitSize_ = samplesPerUnit_[0] * static_cast<size_t>(format.bits) / 8;
}

LpcmDecoder::LpcmDecoder(const AobLpcmFormat& format, bool merge) {
  merge = merge && format.oneFile();
  const PcmFormat& g1 = format.group1;
  const bool two = format.group2.has_value();
  outputs_ = merge || !two ? 1 : 2;
  formats_[0] = merge ? format.merged() : g1;
  if (outputs_ == 2) formats_[1] = *format.group2;
  const int ratio = two ? g1.rate / format.group2->rate : 1;
  // Where the samples of `periods` periods of a group go, period by period and channel by
  // channel: (output, position among the output's samples of the unit).
  const auto targets = [&](const PcmFormat& group, int output, int periods) {
    const PcmFormat& out = formats_[static_cast<size_t>(output)];
    std::vector<std::pair<int, int>> list;
    for (int period = 0; period < periods; ++period) {
      uint32_t rest = group.channelMask;
      while (rest != 0) {
        const uint32_t bit = rest & (~rest + 1);
        rest &= rest - 1;
        list.emplace_back(output, period * out.channels + speakerIndex(out.channelMask, bit));
      }
    }
    return list;
  };
  if (two) {
    const int output = outputs_ == 2 ? 1 : 0;
    addGroup(format.group2->bits, 2 * format.group2->channels, targets(*format.group2, output, 2));
  }
  // Group 1's periods of the unit, two at a time.
  const std::vector<std::pair<int, int>> all = targets(g1, 0, 2 * ratio);
  const size_t perBlock = static_cast<size_t>(2 * g1.channels);
  for (int block = 0; block < ratio; ++block) {
    const auto first = all.begin() + static_cast<std::ptrdiff_t>(perBlock * block);
    addGroup(g1.bits, static_cast<int>(perBlock), {first, first + perBlock});
  }
  samplesPerUnit_[0] = static_cast<size_t>(2 * ratio * formats_[0].channels);
  if (outputs_ == 2) samplesPerUnit_[1] = static_cast<size_t>(2 * formats_[1].channels);
  // Without a second group the payload is one run of groups in channel order, as on DVD-Video.
  if (!two) {
    bits_ = g1.bits;
    groupSize_ = 2 * g1.channels;
    layout_ = g1.bits == 16 ? Layout::Words : Layout::Groups;
  }
}

void LpcmDecoder::addGroup(int bits, int count, const std::vector<std::pair<int, int>>& targets) {
  const auto start = static_cast<int>(unitSize_);
  const int lowStart = start + 2 * count;
  for (int i = 0; i < count; ++i) {
    Sample sample{};
    sample.high = static_cast<uint16_t>(start + 2 * i);
    sample.output = static_cast<uint8_t>(targets[static_cast<size_t>(i)].first);
    sample.index = static_cast<uint16_t>(targets[static_cast<size_t>(i)].second);
    sample.low = static_cast<uint16_t>(start);  // read and masked away for 16 bits
    if (bits == 24) {
      sample.low = static_cast<uint16_t>(lowStart + i);
      sample.lowMask = 0xFF;
    } else if (bits == 20) {
      // Two samples to a byte, the first in the high nibble.
      sample.low = static_cast<uint16_t>(lowStart + i / 2);
      sample.lowMask = i % 2 == 0 ? 0xF0 : 0x0F;
      sample.lowShift = i % 2 == 0 ? 0 : 4;
    }
    table_.push_back(sample);
  }
  unitSize_ += static_cast<size_t>(count * bits / 8);
}

namespace {

// Items an output sample takes: one 32-bit integer, or its 2 or 3 WAV bytes.
template <typename Item, int kWidth>
constexpr size_t kStep = std::is_same_v<Item, int32_t> ? 1 : kWidth;

// Stores a sample given as its high 16 bits and the byte below them.
template <typename Item, int kWidth>
inline void store(Item* d, const uint8_t* high, uint32_t low) {
  if constexpr (std::is_same_v<Item, int32_t>) {
    *d = static_cast<int32_t>(static_cast<uint32_t>(high[0]) << 24 |
                              static_cast<uint32_t>(high[1]) << 16 | low << 8);
  } else if constexpr (kWidth == 2) {
    d[0] = high[1];
    d[1] = high[0];
  } else {
    d[0] = static_cast<uint8_t>(low);
    d[1] = high[1];
    d[2] = high[0];
  }
}

#if KORVELL_X86
// WAV bytes of 24-bit groups of four, one shuffle a group: low byte, then the high word
// turned little-endian, for each sample. The last group is left to the caller, as its 16-byte
// load and store would reach past the group. Returns the groups done.
__attribute__((target("ssse3"))) size_t wavGroups24Ssse3(const uint8_t* p, size_t groups,
                                                         uint8_t* d) {
  const __m128i order = _mm_setr_epi8(8, 1, 0, 9, 3, 2, 10, 5, 4, 11, 7, 6, -1, -1, -1, -1);
  size_t k = 0;
  for (; k + 1 < groups; ++k, p += 12, d += 12) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(in, order));
  }
  return k;
}

bool haveSsse3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}
#endif

}  // namespace

template <typename Vector>
void LpcmDecoder::decodeUnits(const uint8_t* p, size_t units, Vector* out) const {
  using Item = typename Vector::value_type;
  std::array<Item*, kMaxOutputs> dst{};
  for (int o = 0; o < outputs_; ++o) {
    const auto index = static_cast<size_t>(o);
    const size_t step = std::is_same_v<Item, int32_t> ? 1 : wavBytes(o);
    const size_t base = out[o].size();
    out[o].resize(base + units * samplesPerUnit_[index] * step);
    dst[index] = out[o].data() + base;
  }
  switch (layout_) {
    case Layout::Words: {
      Item* d = dst[0];
      const size_t count = units * samplesPerUnit_[0];
      for (size_t i = 0; i < count; ++i)
        store<Item, 2>(d + i * kStep<Item, 2>, p + 2 * i, 0);
      return;
    }
    case Layout::Groups: {
      Item* d = dst[0];
      const auto g = static_cast<size_t>(groupSize_);
      const size_t groups = units * samplesPerUnit_[0] / g;
      const size_t groupBytes = g * static_cast<size_t>(bits_) / 8;
      constexpr size_t step = kStep<Item, 3>;
      if (bits_ == 24 && g == 4) {
        // The common case, unrolled: four high words, four low bytes.
        size_t k = 0;
#if KORVELL_X86
        if constexpr (std::is_same_v<Item, uint8_t>) {
          if (haveSsse3()) {
            k = wavGroups24Ssse3(p, groups, d);
            p += 12 * k;
            d += 12 * k;
          }
        }
#endif
        for (; k < groups; ++k, p += 12, d += 4 * step) {
          store<Item, 3>(d, p, p[8]);
          store<Item, 3>(d + step, p + 2, p[9]);
          store<Item, 3>(d + 2 * step, p + 4, p[10]);
          store<Item, 3>(d + 3 * step, p + 6, p[11]);
        }
        return;
      }
      for (size_t k = 0; k < groups; ++k, p += groupBytes, d += g * step) {
        const uint8_t* low = p + 2 * g;
        if (bits_ == 24) {
          for (size_t i = 0; i < g; ++i)
            store<Item, 3>(d + i * step, p + 2 * i, low[i]);
        } else {
          for (size_t i = 0; i < g; i += 2) {
            const uint32_t pair = low[i / 2];
            store<Item, 3>(d + i * step, p + 2 * i, pair & 0xF0);
            store<Item, 3>(d + (i + 1) * step, p + 2 * i + 2, (pair & 0x0F) << 4);
          }
        }
      }
      return;
    }
    case Layout::Table:
      for (size_t u = 0; u < units; ++u, p += unitSize_) {
        for (const Sample& s : table_) {
          const uint32_t low = static_cast<uint32_t>(p[s.low] & s.lowMask) << s.lowShift;
          const size_t at = u * samplesPerUnit_[s.output] + s.index;
          if (wavBytes(s.output) == 2) {
            store<Item, 2>(dst[s.output] + at * kStep<Item, 2>, p + s.high, low);
          } else {
            store<Item, 3>(dst[s.output] + at * kStep<Item, 3>, p + s.high, low);
          }
        }
      }
      return;
  }
}

template <typename Vector>
void LpcmDecoder::decodeInto(const uint8_t* data, size_t size, Vector* out) {
  if (pending_ > 0) {
    const size_t take = std::min(unitSize_ - pending_, size);
    std::memcpy(carry_.data() + pending_, data, take);
    pending_ += take;
    data += take;
    size -= take;
    if (pending_ < unitSize_) return;
    decodeUnits(carry_.data(), 1, out);
    pending_ = 0;
  }
  const size_t units = size / unitSize_;
  if (units > 0) decodeUnits(data, units, out);
  pending_ = size - units * unitSize_;
  if (pending_ > 0) std::memcpy(carry_.data(), data + units * unitSize_, pending_);
}

void LpcmDecoder::decode(const uint8_t* data, size_t size, std::vector<int32_t>* out) {
  decodeInto(data, size, out);
}

void LpcmDecoder::decodeWav(const uint8_t* data, size_t size, WavBytes* out) {
  decodeInto(data, size, out);
}

}  // namespace korvell
