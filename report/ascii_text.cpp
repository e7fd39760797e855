#include "report/ascii_text.h"

#include <algorithm>

namespace korvell {

std::string asciiLowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), asciiLower);
  return out;
}

std::string asciiUppered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), asciiUpper);
  return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return asciiLower(x) == asciiLower(y);
         });
}

std::string languageCode(std::string_view value) {
  if (value.size() < 2 || value.size() > 3 ||
      !std::all_of(value.begin(), value.end(), isAsciiLetter)) {
    return {};
  }
  return asciiLowered(value);
}

}  // namespace korvell
