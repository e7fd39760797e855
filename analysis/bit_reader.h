// An MSB-first bit reader over the read buffer, for the analysers that decode bit fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvell {

/// Reads fields of 1..16 bits, most significant bit first, from `buffer`. The reader keeps a
/// 32-bit window whose bit 31 is the next unread bit; `used` counts the zero bits at the
/// bottom of the window that wait for the next byte, and pos() is the index of that byte.
/// The window is filled four bytes ahead of the bits read, so the caller must make sure that
/// buffer[pos() .. pos() + 3] at start() and every byte a refill takes are readable memory.
/// `buffer` must stay alive while the reader is in use.
class BitReader {
 public:
  explicit BitReader(const uint8_t* buffer) : buffer_(buffer) {}

  /// Loads the four bytes p .. p + 3 big-endian; used = 0, pos = p + 4.
  void start(size_t p);

  /// Returns the next n bits (1 <= n <= 16) and moves past them.
  uint32_t read(int n);

  /// Moves past the next n bits (0 <= n <= 16); afterwards used < 8.
  void skip(int n);

  /// Empties the window (used = 0) and sets pos = p, for a sync search that shifts bytes in
  /// with shiftInByte() before the fields are read.
  void seek(size_t p) {
    window_ = 0;
    used_ = 0;
    pos_ = p;
  }

  /// Shifts the byte at pos() into the bottom of the window and advances pos(): the sync
  /// search that shares the reader's window uses it as its shift register.
  uint32_t shiftInByte();

  /// Absolute index of the next unread bit, counted from buffer[0] bit 7; valid after start().
  size_t bitPosition() const { return (pos_ - 4) * 8 + static_cast<size_t>(used_); }

  size_t pos() const { return pos_; }
  uint32_t window() const { return window_; }
  int used() const { return used_; }

 private:
  /// Takes the byte at pos into the low 8 bits of the window; they must be zero.
  void refill();
  /// Shifts the window left by n (0..8) bits and refills when `used` reaches 8.
  void shiftBits(int n);

  const uint8_t* buffer_;
  size_t pos_ = 0;
  uint32_t window_ = 0;
  int used_ = 0;
};

}  // namespace korvell
