#include "report/text_format.h"

#include <cmath>
#include <cstdio>

namespace korvell {

std::string hexText(uint32_t value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", width, value);
  return text;
}

std::string clockText(double seconds, bool withMilliseconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  constexpr double kMillisPerDay = 86400000.0;
  // Wrap at a day first so that a huge value never overflows the integer conversion.
  const double millisOfDay = std::fmod(std::round(seconds * 1000.0), kMillisPerDay);
  const auto total = static_cast<int64_t>(millisOfDay);
  const auto hours = total / 3600000;
  const auto minutes = total / 60000 % 60;
  const auto secs = total / 1000 % 60;
  const auto millis = total % 1000;
  char text[32];
  if (withMilliseconds) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d.%03d", static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(secs), static_cast<int>(millis));
  } else {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(secs));
  }
  return text;
}

std::string realText(double value, char decimalSeparator) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  std::string out(text);
  // snprintf follows the C locale, which the core never changes: its separator is '.'.
  for (char& c : out) {
    if (c == '.') c = decimalSeparator;
  }
  return out;
}

}  // namespace korvell
