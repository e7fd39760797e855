// A run of bytes of one file: the unit from which a disc's titles are made.
#pragma once

#include <cstdint>
#include <string>

namespace korvell {

/// A run of bytes of one file that belongs to a title. A whole file has offset 0 and its size
/// as length. DVD extents start and end on 2,048-byte pack boundaries.
struct FileExtent {
  std::string path;
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const FileExtent&) const = default;
};

}  // namespace korvell
