// The console's inline markup: "[b]bold[/b]", "[bl]blue[/bl]", "[re]red[/re]", "[i]", "[u]",
// "[s1]", "[s2]", "[c:FF0000]colour[/c:FF0000]". Shared by the window and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvell {

/// How one run of text in a console line looks.
struct TextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int pointSize = 8;               ///< 8 by default, 10 for s1, 12 for s2
  std::optional<uint32_t> colour;  ///< 0x00BBGGRR (red in the lowest byte); none = default
  bool operator==(const TextStyle&) const = default;
};

/// One run of text with its style, counted on the displayed line (tags removed).
struct StyledSegment {
  std::string text;
  TextStyle style;
};

/// Text from outside (a path, a playlist label) made safe to put into a message: every "["
/// becomes "[[", which every reader of the markup shows as one "[". Whatever the text holds
/// ("[b]", "]", an unclosed "["), the displayed line shows it exactly as it is.
std::string escapeMarkup(std::string_view text);

/// The displayed line: the message with every "[...]" removed and every "[[" shown as "[".
std::string stripMarkup(std::string_view message);

/// Splits a message into styled segments whose texts, joined, are the displayed line.
/// Tags do not nest: a tagged segment runs to the first closing tag of the same name
/// (names compare case-sensitively). An unknown tag name resets the segment to the default
/// style. "[[" is a literal "[" wherever it stands, also inside a tagged segment. Malformed
/// markup (an unclosed tag, a stray "[") never shows in the result.
std::vector<StyledSegment> parseMarkup(std::string_view message);

/// What is wrong with a message as markup, or empty when it is well formed: every tag is one
/// of the known names (b, i, u, s1, s2, bl, re, c:...), is closed by its own closing tag, and
/// holds no other tag (tags do not nest); no closing tag stands alone. "[[" is a literal "["
/// anywhere. Messages the core writes are always well formed, whatever text they quote.
std::string markupProblem(std::string_view message);

/// The colour word of a "c:" tag value: hex digits in either case, other characters skipped.
uint32_t parseColourValue(std::string_view hexText);

}  // namespace korvell
