// One chapter of a title, as a disc's playlist or IFO gives it.
#pragma once

#include <cstdint>
#include <string>

namespace korvell {

struct Chapter {
  int64_t startNs = 0;   ///< start from the title's beginning, in nanoseconds
  std::string name;      ///< the name bytes as the disc gives them (see displayUtf8); may be empty
  std::string language;  ///< two or three lower-case ASCII letters, empty when unknown
  bool operator==(const Chapter&) const = default;
};

}  // namespace korvell
