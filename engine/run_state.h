// RunState: everything that outlives one byte of input. One instance exists for the
// program's lifetime; the front end owns it and passes it by reference to every run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "analysis/analyser.h"
#include "engine/byte_io.h"
#include "engine/slots.h"
#include "engine/stream_output.h"
#include "report/console.h"

namespace korvell {

constexpr size_t kReadBlock = 0x40000;  // 262,144 bytes per walker read
constexpr size_t kPackSize = 2048;

/// The read buffer: one block of kReadBlock bytes with a guard area on each side. The guard
/// before the block holds the tail of the previous block, the guard after it zero bytes, so
/// an analyser that looks a few bytes before or past its window stays inside this buffer.
class ReadBuffer {
 public:
  static constexpr size_t kGuard = 64;
  ReadBuffer();
  uint8_t* block() { return storage_.data() + kGuard; }
  const uint8_t* block() const { return storage_.data() + kGuard; }
  /// Before a read: keeps the last kGuard bytes of the block just walked (n bytes long).
  void keepTail(size_t n);
  /// After a read of n bytes: zeroes the guard that follows them.
  void clearAfter(size_t n);

 private:
  std::vector<uint8_t> storage_;
};

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

/// What the last Demux or Rebuild run created, each file with its form (OutputFile): the files
/// of each stream by slot number, in the order its output created them (one raw file; a WAV
/// file per part; an .idx and a .sub), and the other files (chapters "chapters_txt" and
/// "chapters_xml", a rebuilt program stream "evo") in order.
struct WrittenFiles {
  std::array<std::vector<OutputFile>, kSelectableSlots> streams{};
  std::vector<OutputFile> others;
};

/// Why a pass stopped early. Each pass starts with None.
enum class StopReason : uint8_t {
  None,
  UserCancel,      ///< the Cancel command (or Ctrl-C)
  FastCheckLimit,  ///< a fast scan passed its limit
  WriteFailed,     ///< an output could not be written (RunState::failedSink tells which)
  Scrambled,       ///< a selected stream's packets are scrambled (RunState::scrambled tells which)
  Closing,         ///< the window is closing
};

struct RunState {
  RunState();

  // The registry: the identifier that first claimed each slot in this pass, or -1.
  std::array<int32_t, 16> videoIds{};
  std::array<int32_t, 16> audioIds{};
  std::array<int32_t, kSubTableSlots> subIds{};

  // Flags of the streams whose first payload piece was seen in this pass (their details are
  // shown then, when Details is on), one per slot, cleared at each pass start.
  std::array<bool, kVideoSlots> videoShown{};
  std::array<bool, 16> audioShown{};
  std::array<bool, kSubTableSlots> subShown{};

  // The selection (the window's stream boxes) and the label of each selectable slot. The
  // walker and the rebuild pass read the selection at each decision, so a change made while
  // a run lets events through takes effect at once.
  std::array<bool, kSelectableSlots> selected{};
  std::array<std::string, kSelectableSlots> streamLabel{};
  bool isSelected(Slot slot) const { return selected[slotNumber(slot)]; }

  // Options that the walker reads live.
  bool FastCheck = true;
  bool CountFrames = true;
  bool Details = true;
  bool Continue = true;
  char decimalSeparator = '.';  ///< of the real numbers the analysers print

  // The outputs of the Demux run by selectable slot number (slotNumber); null unless the
  // slot's output is open. Owned by the run that created them.
  std::array<StreamOutput*, kSelectableSlots> outputs{};
  StreamOutput*& outputOf(Slot slot) { return outputs[slotNumber(slot)]; }
  /// The first output whose piece failed during the pass; the pass stops at its next poll.
  StreamOutput* failedOutput = nullptr;

  // The source being walked (owned by the run), the input path as the user gave it, and the
  // base name of the last run's file set (FEATURE_1, or FEATURE_1_FEATURE_2).
  ByteSource* source = nullptr;
  std::string sourcePath;
  std::string baseName;
  ReadBuffer readBuffer;

  // The time stamps of each registry slot in the last Read run, reset when it starts.
  std::array<StreamTimes, 16> videoTimes{};
  std::array<StreamTimes, 16> audioTimes{};
  std::array<StreamTimes, kSubTableSlots> subTimes{};
  void resetTimes() {
    videoTimes = {}, audioTimes = {}, subTimes = {};
    videoDetails = {}, audioDetails = {}, subDetails = {};
    scannedFiles.clear();
    scrambled = {};
  }
  StreamTimes& times(Family family, int slot);
  const StreamTimes& times(Family family, int slot) const;
  /// Where a stream's first PTS lies on the timeline of video stream 0, in milliseconds rounded
  /// to the nearest (the tick difference as 32-bit unsigned arithmetic, taken as signed).
  /// Empty without a first PTS of video stream 0 or of the stream itself.
  std::optional<int32_t> firstEventMs(Family family, int slot) const;
  /// The delay a muxer applies to a stream's file to put it on video stream 0's timeline. For
  /// video and audio their firstEventMs. A subpicture file's ".sup" record times already
  /// count from the earliest audio or video PTS (firstPtsMin), so its delay is that PTS less
  /// the first PTS of video stream 0, the same for every subpicture stream that was seen.
  std::optional<int32_t> delayMs(Family family, int slot) const;

  // The analysers' reports of each registry slot in the last Read run, reset with the times.
  std::array<StreamDetails, 16> videoDetails{};
  std::array<StreamDetails, 16> audioDetails{};
  std::array<StreamDetails, kSubTableSlots> subDetails{};
  StreamDetails& details(Family family, int slot);
  const StreamDetails& details(Family family, int slot) const;
  /// Each file walked by the last Read run, in order; reset with the times.
  std::vector<ScannedFile> scannedFiles;
  /// The selectable slots (by slot number) whose packets carried the PES scrambling bits, as
  /// a copy of an encrypted disc that was not decrypted does: found by the last Read run and
  /// by the passes since, reset with the times. Such payload is never analysed, counted or
  /// written.
  std::array<bool, kSelectableSlots> scrambled{};
  /// The files the last Demux or Rebuild run created.
  WrittenFiles written;
  /// The second file of the last run's set, or empty.
  std::string secondFile;

  // Values handed from one pass to the next.
  std::array<int32_t, kVideoSlots> frameCount{};
  std::array<double, kVideoSlots> frameRate{};
  double duration = 0;
  uint32_t firstPtsMin = 0xFFFFFFFF;

  // Run flags.
  /// Why the running pass is to stop before the end of its file, None while it goes on.
  /// Polled by the walker before each block read and by the rebuild pass after each pack;
  /// read by the runs after a pass (no second file, no frame counts, which message).
  StopReason stopReason = StopReason::None;
  bool demuxing = false;
  /// The run under way, or the last one (Make MKV while its demux step works).
  RunKind runKind = RunKind::Read;
  /// Asks the running pass to stop at its next poll. The first reason stays: a Cancel after a
  /// failed write is still a failed write.
  void requestStop(StopReason reason) {
    if (stopReason == StopReason::None) stopReason = reason;
  }
  bool stopRequested() const { return stopReason != StopReason::None; }

  // Rebuild renumbering state.
  std::array<uint8_t, 256> newId{};
  uint8_t nextVideo = 0;
  uint8_t nextAudio = 0;
  uint8_t nextSub = 0;

  /// Pass start: every registry entry -1, every details-shown flag clear.
  void resetRegistry();
  /// Rebuild start: every newId 0xFF and the three counters 0.
  void resetRenumbering();
  /// Whether the last Read run found a stream in this slot (in any file of its set).
  bool foundInLastRead(Slot slot) const { return details(slot.family, slot.index).id != -1; }
  /// Registry entry of a selectable slot.
  int32_t registeredId(Slot slot) const;
  /// The selectable slot whose registry entry holds `id`, or nothing. A stream claims the slot
  /// its identifier's low bits name unless another stream holds that one already, so the
  /// registry, not the identifier, tells where a stream is.
  std::optional<Slot> slotHolding(Family family, int32_t id) const;
};

/// Every selectable slot unselected and labelled with its empty box's caption.
void resetSelection(RunState& state);

}  // namespace korvell
