#include "analysis/dts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/video_test_support.h"

namespace korvell {
namespace {

using testing::append;
using testing::printedLines;
using testing::sampleBytes;

// Appends fields MSB first.
class BitWriter {
 public:
  BitWriter& put(uint32_t value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      if (count_ % 8 == 0) bytes_.push_back(0);
      bytes_.back() =
          static_cast<uint8_t>(bytes_.back() | ((value >> bit) & 1u) << (7 - count_ % 8));
      ++count_;
    }
    return *this;
  }
  std::vector<uint8_t> bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int count_ = 0;
};

struct Core {
  uint32_t cpf = 0;
  uint32_t amode = 9;
  uint32_t sfreq = 13;
  uint32_t rate = 15;
  uint32_t extAudioId = 0;
  uint32_t extAudio = 0;
  uint32_t lff = 1;
  uint32_t hcrc = 0;
  uint32_t vernum = 7;
  uint32_t pcmr = 6;
};

// 7FFE8001 | FTYPE 1 | SHORT 5 | CPF 1 | NBLKS 7 | FSIZE 14 | AMODE 6 | SFREQ 4 | RATE 5 |
// MIX DYNF TIMEF AUXF HDCD | EXT_AUDIO_ID 3 | EXT_AUDIO 1 | ASPF 1 | LFF 2 | HFLAG 1 |
// [HCRC 16] | FILTS 1 | VERNUM 4 | CHIST 2 | PCMR 3, padded with zero bits
std::vector<uint8_t> coreFrame(const Core& c) {
  BitWriter w;
  w.put(0x7FFE8001, 32).put(1, 1).put(31, 5).put(c.cpf, 1).put(15, 7).put(1005, 14);
  w.put(c.amode, 6).put(c.sfreq, 4).put(c.rate, 5).put(0, 5).put(c.extAudioId, 3);
  w.put(c.extAudio, 1).put(0, 1).put(c.lff, 2).put(0, 1);
  if (c.cpf == 1) w.put(c.hcrc, 16);
  w.put(0, 1).put(c.vernum, 4).put(0, 2).put(c.pcmr, 3).put(0, 24);
  return w.bytes();
}

std::vector<std::string> linesOf(const std::vector<uint8_t>& payload) {
  return printedLines(payload, analyseDts);
}

TEST(Dts, RealSample) {
  EXPECT_EQ(linesOf(sampleBytes("dts_1509k_6ch.dts", 2000)),
            (std::vector<std::string>{"   PCM core samples = 32", "   PCM sample blocks = 16",
                                      "   Primary frame byte size = 2011",
                                      "   Channel arrangement = [bl]C + L + R + Ls + Rs[/bl]",
                                      "   Sampling frequency = [bl]48[/bl] kHz",
                                      "   Transmission bitrate = [bl]1536[/bl] kbit/s",
                                      "   LFE channel = [bl]present[/bl] (IF:64)",
                                      "   Encoder software rev. = 7, Current",
                                      "   Source PCM resolution = [bl]16[/bl] bits"}));
}

TEST(Dts, FullHeaderWithCrc) {
  Core c;
  c.cpf = 1;
  c.hcrc = 0x0BEF;
  c.extAudio = 1;
  c.extAudioId = 2;
  c.rate = 22;
  c.sfreq = 8;
  EXPECT_EQ(
      linesOf(coreFrame(c)),
      (std::vector<std::string>{"   PCM core samples = 32", "   PCM sample blocks = 16",
                                "   Primary frame byte size = 1005",
                                "   Channel arrangement = [bl]C + L + R + Ls + Rs[/bl]",
                                "   Sampling frequency = [bl]44,1[/bl] kHz",
                                "   Transmission bitrate = [bl]1411,2[/bl] kbit/s",
                                "   Extension audio = Frequency extension",
                                "   LFE channel = [bl]present[/bl] (IF:128)",
                                "   Header CRC = 0BEF", "   Encoder software rev. = 7, Current",
                                "   Source PCM resolution = [bl]24[/bl] bits"}));
}

TEST(Dts, FieldNames) {
  struct Case {
    Core core;
    size_t line;
    const char* text;
  };
  const auto with = [](auto set) {
    Core c;
    set(c);
    return c;
  };
  const Case cases[] = {
      {with([](Core& c) { c.sfreq = 4; }), 4, "   Sampling frequency = [bl][/bl] kHz"},
      {with([](Core& c) { c.sfreq = 0; }), 4, "   Sampling frequency = [bl]Invalid[/bl] kHz"},
      {with([](Core& c) { c.amode = 16; }), 3, "   Channel arrangement = [bl]User defined[/bl]"},
      {with([](Core& c) { c.amode = 63; }), 3, "   Channel arrangement = [bl]User defined[/bl]"},
      {with([](Core& c) { c.amode = 15; }), 3,
       "   Channel arrangement = [bl]CL + C + CR + L + R + Ls + S + Rs[/bl]"},
      {with([](Core& c) { c.rate = 31; }), 5,
       "   Transmission bitrate = [bl]Loss-less[/bl] kbit/s"},
      {with([](Core& c) { c.lff = 3; }), 6, "   LFE channel = invalid"},
      {with([](Core& c) { c.lff = 0; }), 6, "   LFE channel = not present"},
      {with([](Core& c) { c.vernum = 6; }), 7,
       "   Encoder software rev. = 6, Future rev. (compatible)"},
      {with([](Core& c) { c.vernum = 8; }), 7,
       "   Encoder software rev. = 8, Future rev. (incompatible"},
      {with([](Core& c) { c.pcmr = 4; }), 8, "   Source PCM resolution = "},
      {with([](Core& c) { c.pcmr = 5; }), 8,
       "   Source PCM resolution = [bl]24[/bl] bits, [bl]DTS ES[/bl]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto lines = linesOf(coreFrame(c.core));
    ASSERT_EQ(lines.size(), 9u);  // no CRC line without CPF, no extension line
    EXPECT_EQ(lines[c.line], c.text);
  }
}

TEST(Dts, ExtensionSyncWordsAndEveryCoreFrame) {
  std::vector<uint8_t> payload = coreFrame(Core{});
  append(payload, {0x5A, 0x5A, 0x5A, 0x5A, 0x00, 0x1D, 0x95, 0xF2, 0x62, 0x00});
  append(payload, coreFrame(Core{}));
  const auto lines = linesOf(payload);
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[9], "   Channel extension found");
  EXPECT_EQ(lines[10], "   Frequency extensiond found ([bl]96[/bl] kHz)");
  EXPECT_EQ(lines[11], "   PCM core samples = 32");
}

TEST(Dts, HeaderRunningPastTheWindowPrintsTheFieldsInside) {
  const std::vector<uint8_t> frame = coreFrame(Core{});
  // Sync (4 bytes) and 3 more: FTYPE, SHORT, CPF, NBLKS fit (14 bits), FSIZE does not. The
  // rest of the frame lies after the window, where the analyser must not take it from.
  const std::vector<uint8_t> inside(frame.begin(), frame.begin() + 7);
  testing::RecordingHost host;
  AnalyserOutput out{host};
  const testing::GuardedPayload guarded(inside, {}, {frame.begin() + 7, frame.end()});
  analyseDts(guarded.window(), out);
  EXPECT_EQ(host.lines,
            (std::vector<std::string>{"   PCM core samples = 32", "   PCM sample blocks = 16"}));
  // A sync word whose last byte is the window's last byte is not searched.
  EXPECT_TRUE(linesOf({0x00, 0x7F, 0xFE, 0x80, 0x01}).empty());
  // One byte after the sync word holds FTYPE and SHORT only.
  EXPECT_EQ(linesOf({0x7F, 0xFE, 0x80, 0x01, 0xFC}),
            (std::vector<std::string>{"   PCM core samples = 32"}));
  EXPECT_TRUE(linesOf({}).empty());
}

TEST(Dts, EveryCutOfAHeaderPrintsAPrefixOfIt) {
  Core c;
  c.cpf = 1;
  c.hcrc = 0xFFFF;
  const std::vector<uint8_t> frame = coreFrame(c);
  const auto full = linesOf(frame);
  ASSERT_EQ(full.size(), 10u);
  size_t previous = 0;
  for (size_t length = 0; length <= frame.size(); ++length) {
    SCOPED_TRACE(length);
    // Non-zero bytes after the window: a header must never take its fields from them.
    testing::RecordingHost host;
    AnalyserOutput out{host};
    const testing::GuardedPayload guarded({frame.begin(), frame.begin() + length}, {}, {}, 0xFF);
    analyseDts(guarded.window(), out);
    ASSERT_LE(host.lines.size(), full.size());
    EXPECT_GE(host.lines.size(), previous);
    EXPECT_TRUE(std::equal(host.lines.begin(), host.lines.end(), full.begin()));
    previous = host.lines.size();
  }
  EXPECT_EQ(previous, full.size());
}

}  // namespace
}  // namespace korvell
