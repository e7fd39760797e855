// The Dolby Digital (AC-3) and Dolby Digital Plus (E-AC-3) frame header report.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Scans buffer[start .. start + length - 1] for the 0x0B77 sync word and prints the header
/// behind it: sampling frequency, bit rate and channel arrangement, and for E-AC-3 (bsid 11 to
/// 16) the frame size, blocks per frame and LFE. A header is printed once per payload unless
/// its sampling frequency or bit rate is unknown; then the next sync word is reported as well.
/// `slot` is the stream's audio slot, printed as its number. Reads only inside the window.
void analyseAc3(const AnalyserWindow& w, int slot, AnalyserOutput& out);

}  // namespace korvell
