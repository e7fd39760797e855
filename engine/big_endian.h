// Big-endian fields as discs and streams store them: the caller has checked that the bytes are
// there.
#pragma once

#include <cstdint>

namespace korvell {

inline uint32_t be16(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 8 | p[1];
}

inline uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace korvell
