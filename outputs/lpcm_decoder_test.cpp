#include "outputs/lpcm_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace korvell {
namespace {

constexpr uint32_t kFL = 0x1, kFR = 0x2, kFC = 0x4, kLFE = 0x8, kBL = 0x10, kBR = 0x20, kBC = 0x100;

std::vector<int32_t> decodeAll(LpcmDecoder& decoder, const std::vector<uint8_t>& bytes) {
  std::vector<int32_t> out[2];
  decoder.decode(bytes.data(), bytes.size(), out);
  return out[0];
}

int32_t sample(uint32_t bits) {
  return static_cast<int32_t>(bits);
}

TEST(LpcmDecoder, DvdHeaders) {
  struct Case {
    uint8_t format;  // quantisation (7-6), sampling frequency (5-4), channels - 1 (2-0)
    std::optional<PcmFormat> expected;
    const char* problem;
  };
  const Case cases[] = {
      {0x01, PcmFormat{16, 48000, 2, kFL | kFR}, ""},
      {0x80, PcmFormat{24, 48000, 1, kFC}, ""},
      {0x55, PcmFormat{20, 96000, 6, kFL | kFR | kFC | kLFE | kBL | kBR}, ""},
      {0xA3, PcmFormat{24, 192000, 4, kFL | kFR | kBL | kBR}, ""},  // HD DVD's 192 kHz
      {0x2F, PcmFormat{16, 192000, 8, 0x63F}, ""},                  // bit 3 reserved, ignored
      {0xC1, std::nullopt, "a reserved quantisation code"},
      {0x31, std::nullopt, "a reserved sampling frequency code"},
  };
  PcmFormat format;
  for (const Case& c : cases) {
    const uint8_t header[3] = {0x00, c.format, 0x80};
    const Status read = dvdLpcmFormat(header, &format);
    EXPECT_EQ(read.ok() ? std::optional(format) : std::nullopt, c.expected) << int{c.format};
    EXPECT_EQ(read.reason(), c.problem) << int{c.format};
  }
  EXPECT_EQ(dvdLpcmFormat(std::span<const uint8_t>(), &format).code(), Status::Code::Invalid);
}

TEST(LpcmDecoder, DvdLayouts) {
  struct Case {
    PcmFormat format;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> samples;
  };
  const Case cases[] = {
      // 16 bits: big-endian words in channel order.
      {{16, 48000, 2, 0x3}, {0x12, 0x34, 0xFE, 0xDC}, {0x12340000, 0xFEDC0000}},
      // 24 bits, stereo: four high words (L0 R0 L1 R1), then their low bytes.
      {{24, 48000, 2, 0x3},
       {0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0xA1, 0xA2, 0xA3, 0xA4},
       {0x1111A100, 0x2222A200, 0x3333A300, 0x4444A400}},
      // 20 bits: the low nibbles two to a byte, the first sample's high.
      {{20, 96000, 2, 0x3},
       {0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x5A, 0x6B},
       {0x11115000, 0x2222A000, 0x33336000, 0x4444B000}},
      // One channel: groups of two.
      {{24, 48000, 1, kFC},
       {0x11, 0x11, 0x22, 0x22, 0xA1, 0xA2, 0x33, 0x33, 0x44, 0x44, 0xA3, 0xA4},
       {0x1111A100, 0x2222A200, 0x3333A300, 0x4444A400}},
      // Six channels: groups of four straddle the sample periods (L R C E l r | C E l r ...).
      {{24, 48000, 6, 0x3F},
       {0x01, 0x01, 0x02, 0x02, 0x03, 0x03, 0x04, 0x04, 0xA1, 0xA2, 0xA3, 0xA4,
        0x05, 0x05, 0x06, 0x06, 0x07, 0x07, 0x08, 0x08, 0xA5, 0xA6, 0xA7, 0xA8,
        0x09, 0x09, 0x0A, 0x0A, 0x0B, 0x0B, 0x0C, 0x0C, 0xA9, 0xAA, 0xAB, 0xAC},
       {0x0101A100, 0x0202A200, 0x0303A300, 0x0404A400, 0x0505A500, 0x0606A600, 0x0707A700,
        0x0808A800, 0x0909A900, 0x0A0AAA00, 0x0B0BAB00, 0x0C0CAC00}},
  };
  for (const Case& c : cases) {
    LpcmDecoder decoder(c.format);
    std::vector<int32_t> expected;
    for (uint32_t s : c.samples)
      expected.push_back(sample(s));
    EXPECT_EQ(decodeAll(decoder, c.bytes), expected) << c.format.bits << "/" << c.format.channels;
    EXPECT_EQ(decoder.pending(), 0u);
  }
}

TEST(LpcmDecoder, PiecesCutAnywhereDecodeAsOne) {
  struct Case {
    PcmFormat dvd;
    std::optional<AobLpcmFormat> aob;
  };
  const PcmFormat none{};
  const Case cases[] = {
      {{16, 48000, 8, 0x63F}, {}},
      {{20, 48000, 3, 0x7}, {}},
      {{24, 96000, 6, 0x3F}, {}},
      {{24, 48000, 7, 0x70F}, {}},
      {none, AobLpcmFormat{{24, 96000, 2, 0x3}, PcmFormat{16, 48000, 2, kBL | kBR}, 3}},
      {none, AobLpcmFormat{{20, 48000, 3, 0x7}, PcmFormat{20, 48000, 3, kLFE | kBL | kBR}, 17}},
  };
  std::mt19937 random(7);
  for (const Case& c : cases) {
    const auto make = [&c] { return c.aob ? LpcmDecoder(*c.aob, false) : LpcmDecoder(c.dvd); };
    LpcmDecoder whole = make();
    std::vector<uint8_t> bytes(whole.unitSize() * 40 + 3);
    for (uint8_t& b : bytes)
      b = static_cast<uint8_t>(random());
    std::vector<int32_t> once[2], cut[2];
    whole.decode(bytes.data(), bytes.size(), once);
    EXPECT_EQ(whole.pending(), 3u);
    LpcmDecoder pieces = make();
    for (size_t at = 0; at < bytes.size();) {
      const size_t n = std::min<size_t>(random() % 23, bytes.size() - at);
      pieces.decode(bytes.data() + at, n, cut);
      at += n;
    }
    EXPECT_EQ(cut[0], once[0]) << whole.unitSize();
    EXPECT_EQ(cut[1], once[1]) << whole.unitSize();
    EXPECT_EQ(once[0].size() % static_cast<size_t>(whole.output(0).channels), 0u);
  }
}

TEST(LpcmDecoder, AudioObjectHeaders) {
  struct Case {
    uint8_t words, rates, assignment;
    const char* expected;  // group 1 / group 2 as bits/rate/speakers, or the problem
  };
  const auto text = [](const AobLpcmFormat& f) {
    const auto one = [](const PcmFormat& g) {
      return std::to_string(g.bits) + "/" + std::to_string(g.rate) + "/" +
             std::to_string(g.channelMask);
    };
    return one(f.group1) + (f.group2 ? " " + one(*f.group2) : "") +
           (f.oneFile() ? " one file" : " two files");
  };
  const Case cases[] = {
      {0x0F, 0x8F, 1, "16/44100/3 one file"},
      {0x2F, 0x2F, 0, "24/192000/4 one file"},
      {0x22, 0x11, 12, "24/96000/3 24/96000/60 one file"},  // L R / C LFE Ls Rs
      {0x20, 0x00, 20, "24/48000/51 16/48000/12 two files"},
      {0x11, 0x98, 2, "20/88200/3 20/44100/256 two files"},
      {0x0F, 0x0F, 3, "channel group 2 marked unused"},
      {0x00, 0x01, 3, "a sampling frequency of channel group 2 that does not divide group 1's"},
      {0x00, 0x80, 3, "a sampling frequency of channel group 2 that does not divide group 1's"},
      {0x30, 0x00, 3, "a reserved word length code"},
      {0x00, 0x04, 3, "a reserved sampling frequency code"},
      {0x00, 0x00, 21, "a reserved channel assignment code"},
  };
  AobLpcmFormat format;
  for (const Case& c : cases) {
    const uint8_t header[8] = {0x00, 0x0A, 0x10, c.words, c.rates, 0x00, c.assignment, 0x80};
    const Status read = aobLpcmFormat(header, &format);
    EXPECT_EQ(read.ok() ? text(format) : read.reason(), c.expected) << int{c.assignment};
  }
  const uint8_t cut[6] = {0x00, 0x0A, 0x10, 0x0F, 0x0F, 0x00};
  EXPECT_EQ(aobLpcmFormat(cut, &format).reason(), "a header cut short");
}

// The byte order of one DVD-Audio unit, written out sample by sample as the open DVD-Audio
// tools (dvda-author, Audio Tools) lay it out: group 2's two periods before group 1's. Each
// entry names the sample (period, WAV channel) whose high word (and then low byte) stands there.
TEST(LpcmDecoder, AudioObjectUnitsFollowTheOpenToolsLayout) {
  struct Slot {
    int period, channel;
  };
  struct Case {
    AobLpcmFormat format;
    std::vector<Slot> order;
  };
  const Case cases[] = {
      // Assignment 20, 24 bits: C E C E | c e c e | L R Ls Rs L R Ls Rs | l r ls rs l r ls rs
      // (WAV order L R C E Ls Rs).
      {{{24, 48000, 4, kFL | kFR | kBL | kBR}, PcmFormat{24, 48000, 2, kFC | kLFE}, 20},
       {{0, 2},
        {0, 3},
        {1, 2},
        {1, 3},
        {0, 0},
        {0, 1},
        {0, 4},
        {0, 5},
        {1, 0},
        {1, 1},
        {1, 4},
        {1, 5}}},
      // Assignment 9, 16 bits: C Ls Rs C Ls Rs | L R L R.
      {{{16, 96000, 2, kFL | kFR}, PcmFormat{16, 96000, 3, kFC | kBL | kBR}, 9},
       {{0, 2}, {0, 3}, {0, 4}, {1, 2}, {1, 3}, {1, 4}, {0, 0}, {0, 1}, {1, 0}, {1, 1}}},
      // Assignment 18, 24 bits: the LFE of group 2 lands between the fronts and the backs.
      {{{24, 48000, 4, kFL | kFR | kBL | kBR}, PcmFormat{24, 48000, 1, kLFE}, 18},
       {{0, 2}, {1, 2}, {0, 0}, {0, 1}, {0, 3}, {0, 4}, {1, 0}, {1, 1}, {1, 3}, {1, 4}}},
  };
  for (const Case& c : cases) {
    LpcmDecoder decoder(c.format, true);
    const int channels = decoder.output(0).channels;
    ASSERT_EQ(static_cast<size_t>(2 * channels), c.order.size());
    std::vector<uint8_t> unit;
    std::vector<int32_t> expected(c.order.size());
    const bool wide = c.format.group1.bits == 24;
    // Each group's high words, then (24 bits) its low bytes; sample k is 0x1k1k2k00.
    const auto group = [&](size_t begin, size_t end) {
      for (size_t k = begin; k < end; ++k)
        unit.insert(unit.end(), {static_cast<uint8_t>(0x10 + k), static_cast<uint8_t>(0x10 + k)});
      for (size_t k = begin; k < end && wide; ++k)
        unit.push_back(static_cast<uint8_t>(0x20 + k));
    };
    const size_t split = 2 * static_cast<size_t>(c.format.group2->channels);
    group(0, split);
    group(split, c.order.size());
    for (size_t k = 0; k < c.order.size(); ++k) {
      const auto v =
          static_cast<uint32_t>((0x10 + k) << 24 | (0x10 + k) << 16 | (wide ? (0x20 + k) << 8 : 0));
      expected[static_cast<size_t>(c.order[k].period * channels + c.order[k].channel)] = sample(v);
    }
    ASSERT_EQ(unit.size(), decoder.unitSize());
    EXPECT_EQ(decodeAll(decoder, unit), expected) << c.format.assignment;
  }
}

}  // namespace
}  // namespace korvell
