// VC-1 advanced profile (SMPTE 421M): the summary of a stream's first payload piece.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Walks the bytes of `window` once and prints what the sequence headers say: the frames met
/// before the first one, profile, level, chroma format, size and, from the display
/// extension, display size, aspect ratio and frame rate. The first valid frame rate is
/// stored in `frameRate` and ends all further sequence-header lines. A header without
/// display extension, without aspect-ratio flag or with a forbidden or reserved rate leaves
/// `frameRate` alone. Only the bytes of the window are read.
void analyseVc1(const AnalyserWindow& window, double& frameRate, AnalyserOutput& out);

}  // namespace korvell
