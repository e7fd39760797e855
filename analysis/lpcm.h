// The LPCM private header report.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Prints the seven-byte LPCM private header that the walker skipped: it lies in
/// buffer[start - 7 .. start - 1], which may reach back into the read buffer's front guard
/// (the previous block's tail). Frame headers, first access unit pointer, emphasis and mute,
/// frame number, quantization, sampling frequency, channels and, unless byte C is 0x80, the
/// dynamic range. An empty window (length 0) prints nothing.
void analyseLpcm(const AnalyserWindow& w, AnalyserOutput& out);

}  // namespace korvell
