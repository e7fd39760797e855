#include "analysis/lpcm.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/video_test_support.h"

namespace korvell {
namespace {

using testing::GuardedPayload;
using testing::RecordingHost;

// The private header in front of the payload:
// sub-stream number | frame headers | first access unit pointer (16) |
// A: emphasis (1) mute (1) reserved (1) frame number (5) |
// B: quantization (2) sampling frequency (2) reserved (1) channels - 1 (3) | C: dynamic range
std::vector<uint8_t> header(uint8_t a, uint8_t b, uint8_t c) {
  return {0xA0, 0x03, 0x01, 0xE5, a, b, c};
}

// The lines for `header` placed right before a payload of `length` bytes at buffer[start].
std::vector<std::string> linesOf(const std::vector<uint8_t>& head, size_t length = 16,
                                 char separator = '.') {
  RecordingHost host;
  AnalyserOutput out{host, separator};
  const GuardedPayload guarded(std::vector<uint8_t>(length, 0x55), head);
  analyseLpcm(guarded.window(), out);
  return host.lines;
}

TEST(Lpcm, WholeHeader) {
  // A = 1001 0011: emphasis on, mute off, frame 19; B = 10 01 00 01: 24 bits, 96 kHz, 2 channels
  EXPECT_EQ(
      linesOf(header(0x93, 0x91, 0x00)),
      (std::vector<std::string>{
          "   Number of frame headers = 3", "   First acces unit pointer = 01E5",
          "   Emphasis = on, mute = off", "   Frame number = 19",
          "   Quantization length = [bl]24[/bl] bits", "   Sampling frequency = [bl]96[/bl] kHz",
          "   Number of audio channels = [bl]2[/bl]", "   Dynamic range = 24.082 dB"}));
}

TEST(Lpcm, Fields) {
  struct Case {
    std::vector<uint8_t> head;
    size_t line;
    const char* text;
  };
  const Case cases[] = {
      {header(0x40, 0x00, 0x80), 2, "   Emphasis = off, mute = on"},
      {header(0x00, 0x03, 0x80), 6, "   Number of audio channels = [bl]4[/bl]"},
      {header(0x00, 0x05, 0x80), 6, "   Number of audio channels = [bl]6[/bl]"},
      {header(0x00, 0x07, 0x80), 6, "   Number of audio channels = [bl]8[/bl]"},
      {header(0x00, 0xC0, 0x80), 4, "   Quantization length = [bl][/bl] bits"},
      {header(0x00, 0x30, 0x80), 5, "   Sampling frequency = [bl][/bl] kHz"},
      {header(0x00, 0x60, 0x80), 5, "   Sampling frequency = [bl]192[/bl] kHz"},
      {header(0x00, 0x00, 0xB7), 7, "   Dynamic range = -10.6371 dB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto lines = linesOf(c.head);
    ASSERT_GT(lines.size(), c.line);
    EXPECT_EQ(lines[c.line], c.text);
  }
}

TEST(Lpcm, DynamicRangeLine) {
  EXPECT_EQ(linesOf(header(0, 0, 0x80)).size(), 7u);  // 0x80: no dynamic range control
  EXPECT_EQ(linesOf(header(0, 0, 0x52), 16, ',').back(), "   Dynamic range = 8,4282 dB");
}

TEST(Lpcm, HeaderInThePreviousBlockTail) {
  // The payload starts the block: the header lies in the guard before buffer[0].
  RecordingHost host;
  AnalyserOutput out{host};
  const GuardedPayload guarded(std::vector<uint8_t>(4, 0x55), header(0x05, 0x02, 0x80));
  const AnalyserWindow inGuard = guarded.window();
  analyseLpcm({inGuard.buffer + inGuard.start, 0, inGuard.length}, out);
  ASSERT_EQ(host.lines.size(), 7u);
  EXPECT_EQ(host.lines[3], "   Frame number = 5");
  EXPECT_EQ(host.lines[6], "   Number of audio channels = [bl]3[/bl]");
  // An empty payload prints nothing.
  EXPECT_TRUE(linesOf(header(0, 0, 0), 0).empty());
  // One byte of payload is enough for the whole header.
  EXPECT_EQ(linesOf(header(0, 0, 0), 1).size(), 8u);
}

TEST(AobLpcm, HeaderFieldsByCode) {
  // After the length field: pointer (16) | not interpreted | word lengths g1 g2 |
  // sampling frequencies g1 g2 | not interpreted | channel assignment
  struct Case {
    std::vector<uint8_t> header;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{0x00, 0x12, 0x10, 0x2F, 0x1F, 0x00, 0x01, 0x10},
       {"   First acces unit pointer = 0012", "   Quantization length = [bl]24[/bl] bits",
        "   Sampling frequency = [bl]96[/bl] kHz", "   Channel arrangement = [bl]L + R[/bl]"}},
      {{0x01, 0x00, 0x00, 0x21, 0x98, 0x00, 0x11},
       {"   First acces unit pointer = 0100", "   Quantization length = [bl]24[/bl] bits",
        "   Sampling frequency = [bl]88.2[/bl] kHz",
        "   Group 2 quantization length = [bl]20[/bl] bits",
        "   Group 2 sampling frequency = [bl]44.1[/bl] kHz",
        "   Channel arrangement = [bl]Lf + Rf + C + LFE + Ls + Rs[/bl]"}},
      // Unnamed codes print empty values; a short header prints what it has.
      {{0x00, 0x05, 0x00, 0x7F, 0x3F, 0x00, 0x1F},
       {"   First acces unit pointer = 0005", "   Quantization length = [bl][/bl] bits",
        "   Sampling frequency = [bl][/bl] kHz", "   Channel arrangement = [bl][/bl]"}},
      {{0x00, 0x05, 0x00, 0x0F}, {"   First acces unit pointer = 0005"}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    AnalyserOutput out{host, '.'};
    analyseAobLpcm(c.header, out);
    EXPECT_EQ(host.lines, c.lines);
  }
}

}  // namespace
}  // namespace korvell
