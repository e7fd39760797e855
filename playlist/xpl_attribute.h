// Attribute lookups in the text of one playlist tag. The playlist is not parsed as XML: an
// attribute is found by a substring search, which is all the reader needs from its tags.
#pragma once

#include <string>
#include <string_view>

namespace korvell {

/// The value of attribute `name` in `tag`. The search ignores ASCII case and takes the first
/// place where `name` occurs anywhere in the tag (also inside a longer name or a value); the
/// value is the text between the first double quote after the next "=" and the double quote
/// that closes it. Empty when the name does not occur, or no "=", opening or closing quote
/// follows it. The value keeps the tag's bytes and case as they are.
std::string attributeValue(std::string_view tag, std::string_view name);

/// The value of attribute `name` as a decimal integer: an optional sign and at least one
/// digit, nothing else. 0 when the attribute is absent, is not such a number or does not fit
/// in an int.
int integerAttribute(std::string_view tag, std::string_view name);

/// `text` with the ASCII letters upper-cased; other bytes, 0x80 and above included, stay
/// as they are, so positions in the result are positions in `text`.
std::string upperAscii(std::string_view text);

}  // namespace korvell
