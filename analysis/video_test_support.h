// Test support for the video analysers: payload bytes placed in a buffer with guard areas the
// way the walker's read buffer holds them, sample files, and a run that records the lines.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/analyser.h"
#include "testing/recording_host.h"

namespace korvell::testing {

/// `payload` with kGuard bytes before and after it. The guards hold `before` and `after`
/// (placed next to the payload, the rest filled with `fill`), so a test can put start codes
/// there that an analyser would report if it ever looked outside its window.
class GuardedPayload {
 public:
  static constexpr size_t kGuard = 64;

  explicit GuardedPayload(const std::vector<uint8_t>& payload,
                          const std::vector<uint8_t>& before = {},
                          const std::vector<uint8_t>& after = {}, uint8_t fill = 0)
      : storage_(kGuard + payload.size() + kGuard, fill), length_(payload.size()) {
    std::copy(payload.begin(), payload.end(), storage_.begin() + kGuard);
    std::copy(before.begin(), before.end(), storage_.begin() + kGuard - before.size());
    std::copy(after.begin(), after.end(), storage_.begin() + kGuard + payload.size());
  }

  AnalyserWindow window() const { return {storage_.data(), kGuard, length_}; }

 private:
  std::vector<uint8_t> storage_;
  size_t length_;
};

/// Up to `maxBytes` of a file under testdata/; empty when the file cannot be read.
inline std::vector<uint8_t> sampleBytes(const std::string& name, size_t maxBytes = SIZE_MAX) {
  std::ifstream file(std::string(KORVELL_SOURCE_DIR) + "/testdata/" + name, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                             std::istreambuf_iterator<char>()};
  if (bytes.size() > maxBytes) bytes.resize(maxBytes);
  return bytes;
}

/// The lines an analyser prints for `payload`; `analyser` is called as
/// analyser(window, output).
template <typename Analyser>
std::vector<std::string> printedLines(const std::vector<uint8_t>& payload, Analyser analyser,
                                      char decimalSeparator = '.') {
  RecordingHost host;
  AnalyserOutput out{host, decimalSeparator};
  const GuardedPayload guarded(payload);
  analyser(guarded.window(), out);
  return host.lines;
}

/// Appends `tail` to `bytes`.
inline void append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& tail) {
  bytes.insert(bytes.end(), tail.begin(), tail.end());
}

}  // namespace korvell::testing
