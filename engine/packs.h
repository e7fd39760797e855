// Discs store their program streams in packs of 2,048 bytes, which are also the disc's sectors:
// DVD cells, HD DVD EVOBUs, time-map sizes and the rebuild pass all count in them.
#pragma once

#include <cstddef>

namespace korvell {

constexpr size_t kPackSize = 2048;

}  // namespace korvell
