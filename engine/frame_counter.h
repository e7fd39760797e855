// Counts video frame start codes in a payload piece: the hot loop of a scan.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvell {

/// Counts the positions where a 32-bit register that starts at 0 and takes the piece's bytes
/// one by one equals 0x00000100 | code. Bytes before the piece count as zero, so a piece that
/// begins with 01 <code> or 00 01 <code> counts; a start code split between two pieces does
/// not. Searches many bytes at a time (AVX2 where the processor has it, SSE2, or scalar).
uint32_t countStartCodes(const uint8_t* data, size_t size, uint8_t code);

/// The same count, one byte at a time; the reference for tests and benchmarks.
uint32_t countStartCodesScalar(const uint8_t* data, size_t size, uint8_t code);

}  // namespace korvell
