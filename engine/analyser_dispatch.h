// The walker's one entry to the stream analysers.
#pragma once

#include <cstdint>

#include "analysis/analyser.h"
#include "engine/run_state.h"

namespace korvell {

/// The stream kinds the walker tells apart; AC-3 and E-AC-3 share one analyser.
enum class StreamKind { Mpeg2, H264, Vc1, Ac3, Eac3, Dts, Lpcm, TrueHd, Mlp, Subpicture };

/// The packet values the walker hands to an analyser.
struct AnalyserCall {
  AnalyserWindow window;
  uint32_t pts = 0;  ///< for video: the family's first-PTS register
  uint32_t dts = 0;
  int slot = 0;  ///< the slot index of the stream within its family
};

/// Runs the analyser of `kind` on the first payload piece of a stream. Video analysers record
/// the stream's frame rate in state.frameRate[call.slot].
void analyse(StreamKind kind, const AnalyserCall& call, Console& console, RunState& state);

}  // namespace korvell
