// The walker's read buffer: one block of kReadBlock bytes with a guard area on each side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvell {

constexpr size_t kReadBlock = 0x40000;  // 262,144 bytes per read

/// The guard before the block holds the tail of the previous block, the guard after it zero
/// bytes, so an analyser that looks a few bytes before or past its window stays inside this
/// buffer.
class ReadBuffer {
 public:
  static constexpr size_t kGuard = 64;
  ReadBuffer();
  uint8_t* block() { return storage_.data() + kGuard; }
  const uint8_t* block() const { return storage_.data() + kGuard; }
  /// Before a read: keeps the last kGuard bytes of the block just walked (n bytes long).
  void keepTail(size_t n);
  /// After a read of n bytes: zeroes the guard that follows them.
  void clearAfter(size_t n);

 private:
  std::vector<uint8_t> storage_;
};

}  // namespace korvell
