// What the last Read run found, stream by stream and file by file, and the values one pass
// hands to the next (frame counts, frame rates, duration, the earliest time stamp). The runs,
// the JSON report and the Matroska plan read it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "analysis/analyser.h"
#include "engine/slots.h"

namespace korvell {

/// The time stamps of one stream in the last Read run: the first PTS (the one its report
/// prints, taken from the first file of the set that has the stream) and the last PTS of any
/// of its packets in the set. Empty until the stream is seen.
struct StreamTimes {
  std::optional<uint32_t> firstPts;
  std::optional<uint32_t> lastPts;
  bool operator==(const StreamTimes&) const = default;
};

/// One named value an analyser decoded from a stream's first payload piece.
using DetailField = AnalyserField;

/// What the analyser of one stream reported in the last Read run: its lines as printed and its
/// named values in the order it gave them (a name given twice keeps its first place and its
/// last value). From the first file of the set that has the stream; empty with Details off.
struct StreamDetails {
  int32_t id = -1;  ///< the registry identifier the stream had (kept also with Details off)
  bool recorded = false;
  std::vector<std::string> lines;  ///< markup included
  std::vector<DetailField> fields;
  void set(std::string_view name, std::variant<int64_t, double, std::string> value);
  bool operator==(const StreamDetails&) const = default;
};

/// The system header bounds of a file: its bytes 23 and 24 after a 14-byte pack header.
struct SystemHeaderBounds {
  int videoBound = 0;
  int audioBound = 0;
};

/// The first navigation packet of a file: its VOB number and the presentation times of its
/// first and last video frame (90 kHz ticks).
struct NavigationValues {
  uint32_t vobNumber = 0;
  uint32_t firstPtm = 0;
  uint32_t lastPtm = 0;
  std::optional<double> durationSeconds;  ///< set with the last PTM
};

/// One file a Read run walked: its path and size, and what its first block's system header
/// and its first navigation packet say.
struct ScannedFile {
  std::string path;
  uint64_t size = 0;
  bool fastCheckStopped = false;  ///< the fast check stopped the walk before the file's end
  std::optional<SystemHeaderBounds> systemHeader;
  std::optional<NavigationValues> navigation;
};

struct ReadResults {
  // The time stamps and the analysers' reports of each registry slot.
  std::array<StreamTimes, 16> videoTimes{};
  std::array<StreamTimes, 16> audioTimes{};
  std::array<StreamTimes, kSubTableSlots> subTimes{};
  std::array<StreamDetails, 16> videoDetails{};
  std::array<StreamDetails, 16> audioDetails{};
  std::array<StreamDetails, kSubTableSlots> subDetails{};
  /// Each file walked, in order.
  std::vector<ScannedFile> scannedFiles;
  /// The selectable slots (by slot number) whose packets carried the PES scrambling bits, as
  /// a copy of an encrypted disc that was not decrypted does: found by the Read run and by the
  /// passes since. Such payload is never analysed, counted or written.
  std::array<bool, kSelectableSlots> scrambled{};

  // Values handed from one pass to the next.
  /// Frames counted per video slot: zeroed by the Read and Demux runs before a pass.
  std::array<int32_t, kVideoSlots> frameCount{};
  /// Frames per second the video analysers found; kept until another source is read.
  std::array<double, kVideoSlots> frameRate{};
  /// The duration the navigation packets give, in seconds; kept like the frame rates.
  double duration = 0;
  /// The earliest PTS a stream's detailed report printed: the origin of the ".sup" record
  /// times. Empty until a report prints one.
  std::optional<uint32_t> firstPtsMin;

  /// A Read run's start: no times, details, files or scrambled streams, no earliest PTS.
  void reset();

  StreamTimes& times(Family family, int slot);
  const StreamTimes& times(Family family, int slot) const;
  StreamDetails& details(Family family, int slot);
  const StreamDetails& details(Family family, int slot) const;
  /// Whether the last Read run found a stream in this slot (in any file of its set).
  bool foundInLastRead(Slot slot) const { return details(slot.family, slot.index).id != -1; }
  /// Where a stream's first PTS lies on the timeline of video stream 0, in milliseconds rounded
  /// to the nearest (the tick difference as 32-bit unsigned arithmetic, taken as signed).
  /// Empty without a first PTS of video stream 0 or of the stream itself.
  std::optional<int32_t> firstEventMs(Family family, int slot) const;
  /// The delay a muxer applies to a stream's file to put it on video stream 0's timeline. For
  /// video and audio their firstEventMs. A subpicture file's ".sup" record times already
  /// count from the earliest audio or video PTS (firstPtsMin), so its delay is that PTS less
  /// the first PTS of video stream 0, the same for every subpicture stream that was seen.
  std::optional<int32_t> delayMs(Family family, int slot) const;
};

}  // namespace korvell
