// What every stream analyser is given: a window inside the walker's read buffer, the
// console to print into, and the user's decimal separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "report/console.h"

namespace korvell {

/// The first payload piece of a stream: bytes buffer[start] .. buffer[start + length - 1]
/// of the current read block. The read buffer's guard areas make the 64 bytes before
/// buffer[0] (the tail of the previous block) and the 64 bytes after the block (zeros)
/// readable, so an analyser may look a few bytes outside its window without leaving memory
/// it may read; it must never look further.
struct AnalyserWindow {
  const uint8_t* buffer;
  size_t start;
  size_t length;
};

/// Where an analyser's named values go, besides its lines: what it decoded, under names in
/// snake_case (width, frame_rate, sample_rate, ...). A value named twice keeps the last one.
class FieldSink {
 public:
  virtual ~FieldSink() = default;
  virtual void integerField(std::string_view name, int64_t value) = 0;
  virtual void realField(std::string_view name, double value) = 0;
  virtual void textField(std::string_view name, std::string_view value) = 0;
};

/// Where an analyser's lines go, and its named values when a sink is given.
struct AnalyserOutput {
  Console& console;
  char decimalSeparator = '.';
  FieldSink* fields = nullptr;

  void integer(std::string_view name, int64_t value) const {
    if (fields != nullptr) fields->integerField(name, value);
  }
  void real(std::string_view name, double value) const {
    if (fields != nullptr) fields->realField(name, value);
  }
  void text(std::string_view name, std::string_view value) const {
    if (fields != nullptr) fields->textField(name, value);
  }
};

}  // namespace korvell
