// The MLP (DVD-Audio) and Dolby TrueHD major sync report.
#pragma once

#include "analysis/analyser.h"

namespace korvell {

/// Searches buffer[start .. start + length - 2] for major sync words and prints the format
/// information behind each one: for MLP the quantization, sampling frequency and channel
/// assignment, for TrueHD the sampling frequency and the 2-, 6- and 8-channel presentations;
/// for both the dynamic range pair at bytes 5 and 6, unless byte 5 is 0x80. Fields after the
/// window are not read: a major sync near the window end prints only what arrived.
void analyseMlp(const AnalyserWindow& w, AnalyserOutput& out);

}  // namespace korvell
