// ASCII text as discs, playlists and file names spell it: case folding that no locale can
// change, and the one cleaner of language codes.
#pragma once

#include <string>
#include <string_view>

namespace korvell {

constexpr bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// The text with its ASCII letters lower-cased or upper-cased; other bytes stay as they are.
std::string asciiLowered(std::string_view text);
std::string asciiUppered(std::string_view text);

/// Whether two texts are equal when ASCII letters are compared without their case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

/// A language code as streams, chapters and subtitles keep it: two or three ASCII letters,
/// lower-cased ("EN" gives "en", "deu" stays); empty for anything else.
std::string languageCode(std::string_view value);

}  // namespace korvell
