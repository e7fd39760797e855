// Playlist text for display. The reader keeps a playlist's bytes as they are; a front end
// that shows them needs valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace korvell {

/// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points above
/// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// `bytes` as valid UTF-8: unchanged when it is valid UTF-8 already, otherwise read as
/// Latin-1, each byte 0x80 and above becoming the character of that code point.
std::string displayUtf8(std::string_view bytes);

}  // namespace korvell
