// The markup parser over arbitrary messages: the displayed line never holds a "[", and the
// styled segments, joined, are exactly the displayed line.
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
  if (shown.find('[') != std::string::npos) std::abort();
  std::string joined;
  for (const StyledSegment& segment : parseMarkup(message)) {
    const int points = segment.style.pointSize;
    if (points != 8 && points != 10 && points != 12) std::abort();
    joined += segment.text;
  }
  if (joined != shown) std::abort();
  parseColourValue(message);
  return 0;
}
