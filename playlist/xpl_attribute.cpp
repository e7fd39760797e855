#include "playlist/xpl_attribute.h"

#include <charconv>

namespace korvell {

std::string upperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string attributeValue(std::string_view tag, std::string_view name) {
  const std::string upperTag = upperAscii(tag);
  const size_t at = upperTag.find(upperAscii(name));
  if (at == std::string::npos) return {};
  const size_t equals = tag.find('=', at + name.size());
  if (equals == std::string_view::npos) return {};
  const size_t open = tag.find('"', equals + 1);
  if (open == std::string_view::npos) return {};
  const size_t close = tag.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(tag.substr(open + 1, close - open - 1));
}

int integerAttribute(std::string_view tag, std::string_view name) {
  const std::string value = attributeValue(tag, name);
  std::string_view digits = value;
  // from_chars takes a minus sign but no plus sign.
  const bool plus = !digits.empty() && digits.front() == '+';
  if (plus) digits.remove_prefix(1);
  if (digits.empty() || (plus && digits.front() == '-')) return 0;
  int result = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, result);
  if (ec != std::errc() || ptr != end) return 0;
  return result;
}

}  // namespace korvell
