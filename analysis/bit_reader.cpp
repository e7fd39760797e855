#include "analysis/bit_reader.h"

namespace korvell {

void BitReader::start(size_t p) {
  window_ = static_cast<uint32_t>(buffer_[p]) << 24 | static_cast<uint32_t>(buffer_[p + 1]) << 16 |
            static_cast<uint32_t>(buffer_[p + 2]) << 8 | buffer_[p + 3];
  used_ = 0;
  pos_ = p + 4;
}

void BitReader::refill() {
  used_ -= 8;
  window_ += buffer_[pos_];
  ++pos_;
}

void BitReader::shiftBits(int n) {
  // Never more than 8: the bottom byte must be refilled before the window moves further.
  window_ <<= n;
  used_ += n;
  if (used_ == 8) refill();
}

void BitReader::skip(int n) {
  if (n + used_ > 8) {
    const int step = 8 - used_;
    window_ <<= step;
    n -= step;
    used_ = 8;
    refill();
  }
  if (n <= 8) {
    shiftBits(n);
  } else {
    // 8 < n <= 16: a whole byte first, then the rest.
    window_ <<= 8;
    used_ = 8;
    refill();
    shiftBits(n - 8);
  }
}

uint32_t BitReader::read(int n) {
  const uint32_t value = window_ >> (32 - n);
  skip(n);
  return value;
}

uint32_t BitReader::shiftInByte() {
  window_ = window_ << 8 | buffer_[pos_];
  ++pos_;
  return window_;
}

}  // namespace korvell
