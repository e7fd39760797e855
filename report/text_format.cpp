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

std::string durationText(uint64_t units, int fractionDigits, char separator) {
  uint64_t perSecond = 1;
  for (int i = 0; i < fractionDigits; ++i)
    perSecond *= 10;
  const uint64_t seconds = units / perSecond;
  char text[64];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu%c%0*llu",
                static_cast<unsigned long long>(seconds / 3600),
                static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60), separator, fractionDigits,
                static_cast<unsigned long long>(units % perSecond));
  return text;
}

std::string millisecondText(int64_t ns) {
  // Half a millisecond added in unsigned arithmetic cannot overflow an int64 time.
  const uint64_t positive = ns < 0 ? 0 : static_cast<uint64_t>(ns);
  return durationText((positive + 500'000) / 1'000'000, 3);
}

int64_t ticksToMilliseconds(int64_t ticks) {
  return ticks < 0 ? -((-ticks + 45) / 90) : (ticks + 45) / 90;
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
