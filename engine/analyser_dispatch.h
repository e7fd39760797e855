// The walker's one entry to the stream analysers.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/analyser.h"
#include "engine/run_state.h"
#include "engine/stream_kinds.h"

namespace korvell {

/// The packet values the walker hands to an analyser.
struct AnalyserCall {
  AnalyserWindow window;
  uint32_t pts = 0;  ///< for video: the family's first-PTS register
  uint32_t dts = 0;
  int slot = 0;  ///< the slot index of the stream within its family
  /// DVD-Audio LPCM: the private header bytes after their length field, as far as kept.
  std::span<const uint8_t> privateHeader;
};

/// Runs `analyser` (the stream's, from the table of stream kinds) on the first payload piece
/// of a stream. Video analysers record
/// the stream's frame rate in state.frameRate[call.slot]. The analyser's named values go to
/// `fields` when it is not null.
void analyse(Analyser analyser, const AnalyserCall& call, Console& console, RunState& state,
             FieldSink* fields = nullptr);

}  // namespace korvell
