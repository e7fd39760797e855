// The walker's one entry to the stream analysers.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/analyser.h"
#include "engine/run_state.h"

namespace korvell {

/// The stream kinds the walker tells apart; AC-3 and E-AC-3 share one analyser.
/// AobLpcm is LPCM in a DVD-Audio file, whose private header says what the stream is.
enum class StreamKind { Mpeg2, H264, Vc1, Ac3, Eac3, Dts, Lpcm, AobLpcm, TrueHd, Mlp, Subpicture };

/// The packet values the walker hands to an analyser.
struct AnalyserCall {
  AnalyserWindow window;
  uint32_t pts = 0;  ///< for video: the family's first-PTS register
  uint32_t dts = 0;
  int slot = 0;  ///< the slot index of the stream within its family
  /// DVD-Audio LPCM: the private header bytes after their length field, as far as kept.
  std::span<const uint8_t> privateHeader;
};

/// Runs the analyser of `kind` on the first payload piece of a stream. Video analysers record
/// the stream's frame rate in state.frameRate[call.slot].
void analyse(StreamKind kind, const AnalyserCall& call, Console& console, RunState& state);

}  // namespace korvell
