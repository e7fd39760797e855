// Counts video frame start codes in a payload piece: the hot loop of a scan.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvell {

/// The carry of a stream that has had no piece yet: no start code can end in its first bytes.
constexpr uint32_t kNoCarry = 0xFFFFFF;

/// Counts the start codes 00 00 01 <code> that end inside the piece, reading the piece as the
/// continuation of the stream's earlier pieces. `carry` holds the last three bytes of those
/// pieces in its low 24 bits (kNoCarry before the first piece) and is updated to the last
/// three bytes including this piece, so a start code split between two pieces counts once and
/// the first bytes of a stream never fake one. Searches many bytes at a time (AVX2 where the
/// processor has it, SSE2, or scalar); only the seam with the carry is read byte by byte.
uint32_t countStartCodes(const uint8_t* data, size_t size, uint8_t code, uint32_t& carry);

/// The same count, one byte at a time through a 32-bit register; the reference for tests and
/// benchmarks.
uint32_t countStartCodesScalar(const uint8_t* data, size_t size, uint8_t code, uint32_t& carry);

}  // namespace korvell
