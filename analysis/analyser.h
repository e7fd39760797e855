// What every stream analyser is given: a window inside the walker's read buffer, the
// console to print into, and the user's decimal separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "report/console.h"

namespace korvell {

/// The first payload piece of a stream: bytes buffer[start] .. buffer[start + length - 1]
/// of the current read block. The read buffer's guard areas make the 64 bytes before
/// buffer[0] (the tail of the previous block) and the 64 bytes after the block (zeros)
/// readable, so an analyser may look a few bytes outside its window without leaving memory
/// it may read; it must never look further.
struct AnalyserWindow {
  const uint8_t* buffer;
  size_t start;
  size_t length;
};

/// Where an analyser's named values go, besides its lines: what it decoded, under names in
/// snake_case (width, frame_rate, sample_rate, ...). A value named twice keeps the last one.
class FieldSink {
 public:
  virtual ~FieldSink() = default;
  virtual void integerField(std::string_view name, int64_t value) = 0;
  virtual void realField(std::string_view name, double value) = 0;
  virtual void textField(std::string_view name, std::string_view value) = 0;
};

/// Where an analyser's lines go, and its named values when a sink is given.
struct AnalyserOutput {
  Console& console;
  char decimalSeparator = '.';
  FieldSink* fields = nullptr;

  void integer(std::string_view name, int64_t value) const {
    if (fields != nullptr) fields->integerField(name, value);
  }
  void real(std::string_view name, double value) const {
    if (fields != nullptr) fields->realField(name, value);
  }
  void text(std::string_view name, std::string_view value) const {
    if (fields != nullptr) fields->textField(name, value);
  }
};

/// The analyser that reads a stream's first payload piece.
enum class Analyser : uint8_t {
  None,
  Mpeg2,
  H264,
  Vc1,
  Ac3,  ///< AC-3 and E-AC-3
  Dts,
  Lpcm,     ///< the 7-byte DVD-Video and HD DVD private header before the payload
  AobLpcm,  ///< the DVD-Audio private header, which gives its own length
  Mlp,      ///< MLP and TrueHD major syncs
  Subpicture
};

/// What an analyser is handed for the first payload piece of a stream.
struct AnalyserCall {
  AnalyserWindow window;
  uint32_t pts = 0;  ///< for video: the family's first-PTS register
  uint32_t dts = 0;
  int slot = 0;  ///< the slot index of the stream within its family
  /// DVD-Audio LPCM: the private header bytes after their length field, as far as kept.
  std::span<const uint8_t> privateHeader;
};

/// One named value an analyser decoded.
struct AnalyserField {
  std::string name;
  std::variant<int64_t, double, std::string> value;
  bool operator==(const AnalyserField&) const = default;
};

/// What an analyser found: its console lines (markup included) in order, its named values in
/// the order it gave them (a name may come twice; the later value is the one meant), and, for
/// video, the frame rate it read (none when the piece held no header that gives one).
struct AnalyserFindings {
  std::vector<std::string> lines;
  std::vector<AnalyserField> fields;
  std::optional<double> frameRate;
};

}  // namespace korvell
