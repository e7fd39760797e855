#include "engine/read_buffer.h"

#include <algorithm>

namespace korvell {

ReadBuffer::ReadBuffer() : storage_(kGuard + kReadBlock + kGuard, 0) {}

void ReadBuffer::keepTail(size_t n) {
  if (n >= kGuard) {
    std::copy_n(block() + n - kGuard, kGuard, storage_.data());
  } else {
    // A short block: shift the old guard left and append what there is.
    std::copy(storage_.begin() + static_cast<std::ptrdiff_t>(n),
              storage_.begin() + static_cast<std::ptrdiff_t>(kGuard), storage_.begin());
    std::copy_n(block(), n, storage_.data() + kGuard - n);
  }
}

void ReadBuffer::clearAfter(size_t n) {
  std::fill_n(block() + n, kGuard, uint8_t{0});
}

}  // namespace korvell
