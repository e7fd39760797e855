// The DTS core frame header report.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Searches buffer[start .. start + length - 2] for DTS sync words and prints every core
/// frame header found (frame layout, channels, sampling frequency, bit rate, extension, LFE,
/// CRC, encoder revision, source resolution), and a line for each channel-extension and
/// 96 kHz frequency-extension sync word. The header fields are read with a BitReader that
/// shares the search's window and position, so the search goes on after the header.
///
/// A header field is printed only when its last bit lies inside the window. When a header
/// runs past buffer[start + length - 1], the fields that lie wholly inside are printed and the
/// analysis ends there: what follows the window is another packet or not yet read. The reader
/// loads its window four bytes ahead, so it looks at most four bytes past the window end,
/// which the read buffer's guard covers.
void analyseDts(const AnalyserWindow& w, AnalyserOutput& out);

}  // namespace korvell
