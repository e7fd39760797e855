// The markup parser over arbitrary messages: the styled segments, joined, are exactly the
// displayed line, which holds a "[" only where the message escaped one. Escaped text, alone or
// inside a tag, comes back verbatim.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "report/markup.h"

using namespace korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  const std::string shown = stripMarkup(message);
  if (message.find("[[") == std::string_view::npos && shown.find('[') != std::string::npos) {
    std::abort();
  }
  std::string joined;
  for (const StyledSegment& segment : parseMarkup(message)) {
    const int points = segment.style.pointSize;
    if (points != 8 && points != 10 && points != 12) std::abort();
    joined += segment.text;
  }
  if (joined != shown) std::abort();
  parseColourValue(message);

  const std::string escaped = escapeMarkup(message);
  if (stripMarkup(escaped) != message) std::abort();
  // Escaped text is well-formed markup, alone and inside a tag.
  if (!markupProblem(escaped).empty() || !markupProblem("x [b]" + escaped + "[/b] y").empty()) {
    std::abort();
  }
  std::string bold;
  for (const StyledSegment& segment : parseMarkup("x [b]" + escaped + "[/b] y")) {
    if (segment.style.bold) bold += segment.text;
  }
  if (bold != message) std::abort();
  return 0;
}
