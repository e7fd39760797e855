// Number and time texts shared by the runs, the walker and the analysers.
#pragma once

#include <cstdint>
#include <string>

namespace korvell {

constexpr uint64_t kMebibyte = 1048576;

/// value as `width` upper-case hex digits, zero-padded ("0001E240").
std::string hexText(uint32_t value, int width);

/// Seconds as "h:mm:ss" or, with milliseconds, "h:mm:ss.zzz". Hours have no leading zero
/// and wrap at 24, like a time of day; milliseconds are rounded to the nearest.
std::string clockText(double seconds, bool withMilliseconds);

/// A time as HH:MM:SS followed by `separator` and a fraction of `fractionDigits` digits (3:
/// milliseconds, 9: nanoseconds): "01:02:03.456". `units` counts 1/10^fractionDigits seconds.
/// Hours take two digits, more past 99, and never wrap. The one form of every file Korvell
/// writes times into: chapter files, VobSub indexes, JSON.
std::string durationText(uint64_t units, int fractionDigits, char separator = '.');

/// Nanoseconds as durationText with milliseconds, rounded to the nearest (half up); a negative
/// time counts as 0.
std::string millisecondText(int64_t ns);

/// A count of 90 kHz ticks (the program stream's clock) in milliseconds, rounded to the nearest,
/// half away from zero.
int64_t ticksToMilliseconds(int64_t ticks);

/// A real number in the shortest general format with up to 15 significant digits
/// (48, 44.1, -10.6371), with the given decimal separator.
std::string realText(double value, char decimalSeparator);

/// Whole mebibytes, rounded down: the sizes of the "File size:" lines and the progress text.
inline uint64_t wholeMebibytes(uint64_t bytes) {
  return bytes / kMebibyte;
}

}  // namespace korvell
