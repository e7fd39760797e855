// H.264 / AVC (ISO/IEC 14496-10): the summary of a stream's first payload piece.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// The frame rate every H.264 stream is given: the stream's own timing is not parsed.
constexpr double kH264FrameRate = 24000.0 / 1001.0;

/// Stores kH264FrameRate in `frameRate`, then walks the bytes of `window` once and prints
/// the access units met before the first one that announces an I picture, and the profile
/// and level of every sequence parameter set (nal_ref_idc 1 or 3). Only the bytes of the
/// window are read.
void analyseH264(const AnalyserWindow& window, double& frameRate, AnalyserOutput& out);

}  // namespace korvell
