// MPEG-2 video (ISO/IEC 13818-2): the summary of a stream's first payload piece.
#pragma once

#include <cstdint>

#include "analysis/analyser.h"

namespace korvell {

/// Walks the bytes of `window` once, start codes and all, and prints what the sequence
/// header, the sequence extension and the picture headers say: the pictures met before the
/// first sequence header, size, aspect ratio, frame rate, bit rate, the progressive flag,
/// every illegal picture_coding_type and, at the second picture after the first sequence
/// header, `pts` as the first video PTS. The frame rate of each reported sequence header is
/// stored in `frameRate` (1.0 for a forbidden or reserved code); without a sequence header
/// `frameRate` is left alone. Only the bytes of the window are read; a header cut off by the
/// window's end reports only the fields that lie inside it.
void analyseMpeg2(const AnalyserWindow& window, uint32_t pts, double& frameRate,
                  AnalyserOutput& out);

}  // namespace korvell
