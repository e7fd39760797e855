// What every stream analyser is given: a window inside the walker's read buffer, the
// console to print into, and the user's decimal separator.
#pragma once

#include <cstddef>
#include <cstdint>

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

/// Where an analyser's lines go.
struct AnalyserOutput {
  Console& console;
  char decimalSeparator = '.';
};

}  // namespace korvell
