// The LPCM private header report.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/analyser.h"

namespace korvell {

/// Prints the seven-byte LPCM private header that the walker skipped: it lies in
/// buffer[start - 7 .. start - 1], which may reach back into the read buffer's front guard
/// (the previous block's tail). Frame headers, first access unit pointer, emphasis and mute,
/// frame number, quantization, sampling frequency, channels and, unless byte C is 0x80, the
/// dynamic range. An empty window (length 0) prints nothing.
void analyseLpcm(const AnalyserWindow& w, AnalyserOutput& out);

/// Prints the private header of a DVD-Audio LPCM packet: `header` holds the header bytes that
/// follow its 16-bit length field (as many as the walker kept). Laid out as the first access
/// unit pointer (2 bytes), one byte not interpreted, the word lengths of channel groups 1 and
/// 2 (high and low nibble), their sampling frequencies (likewise), one byte not interpreted
/// and the channel assignment. Group 2 is reported unless its codes are 0xF (group unused).
/// Lines whose bytes the header does not have are left out.
void analyseAobLpcm(std::span<const uint8_t> header, AnalyserOutput& out);

}  // namespace korvell
