#include "engine/frame_counter.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define KORVELL_X86 1
#endif

namespace korvell {

uint32_t countStartCodesScalar(const uint8_t* data, size_t size, uint8_t code, uint32_t& carry) {
  const uint32_t wanted = 0x00000100u | code;
  uint32_t reg = carry & 0xFFFFFF;
  uint32_t count = 0;
  for (size_t i = 0; i < size; ++i) {
    reg = (reg << 8) | data[i];
    if (reg == wanted) ++count;
  }
  carry = reg & 0xFFFFFF;
  return count;
}

namespace {

// The seam: start codes whose first byte lies in the carry end within the piece's first three
// bytes. Shifting those bytes after the carry through the register finds exactly them.
uint32_t countAtSeam(const uint8_t* data, size_t size, uint8_t code, uint32_t carry) {
  const uint32_t wanted = 0x00000100u | code;
  uint32_t reg = carry & 0xFFFFFF;
  uint32_t count = 0;
  for (size_t i = 0; i < size && i < 3; ++i) {
    reg = (reg << 8) | data[i];
    if (reg == wanted) ++count;
  }
  return count;
}

// The last three bytes of the stream after this piece.
uint32_t carryAfter(const uint8_t* data, size_t size, uint32_t carry) {
  if (size >= 3)
    return static_cast<uint32_t>(data[size - 3]) << 16 | data[size - 2] << 8 | data[size - 1];
  for (size_t i = 0; i < size; ++i)
    carry = (carry << 8) | data[i];
  return carry & 0xFFFFFF;
}

// Full patterns 00 00 01 code starting at offsets from..size-4.
uint32_t countPatternsScalar(const uint8_t* data, size_t from, size_t size, uint8_t code) {
  uint32_t count = 0;
  for (size_t j = from; j + 3 < size; ++j) {
    if (data[j + 2] == 1 && data[j] == 0 && data[j + 1] == 0 && data[j + 3] == code) ++count;
  }
  return count;
}

#if KORVELL_X86
// Compares four shifted loads, one per byte of the pattern, 16 offsets at a time.
uint32_t countPatternsSse2(const uint8_t* data, size_t size, uint8_t code, size_t* done) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi8(1);
  const __m128i last = _mm_set1_epi8(static_cast<char>(code));
  uint32_t count = 0;
  size_t j = 0;
  for (; j + 3 + 16 <= size; j += 16) {
    const auto* p = reinterpret_cast<const __m128i*>(data + j);
    const __m128i a = _mm_loadu_si128(p);
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 2));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 3));
    const __m128i hit =
        _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(b, zero)),
                      _mm_and_si128(_mm_cmpeq_epi8(c, one), _mm_cmpeq_epi8(d, last)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) count += static_cast<uint32_t>(__builtin_popcount(static_cast<unsigned>(mask)));
  }
  *done = j;
  return count;
}

__attribute__((target("avx2"))) uint32_t countPatternsAvx2(const uint8_t* data, size_t size,
                                                           uint8_t code, size_t* done) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i last = _mm256_set1_epi8(static_cast<char>(code));
  uint32_t count = 0;
  size_t j = 0;
  for (; j + 3 + 32 <= size; j += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 1));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 2));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 3));
    const __m256i hit =
        _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(a, zero), _mm256_cmpeq_epi8(b, zero)),
                         _mm256_and_si256(_mm256_cmpeq_epi8(c, one), _mm256_cmpeq_epi8(d, last)));
    const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(hit));
    if (mask != 0) count += static_cast<uint32_t>(__builtin_popcount(mask));
  }
  *done = j;
  return count;
}

bool haveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

}  // namespace

uint32_t countStartCodes(const uint8_t* data, size_t size, uint8_t code, uint32_t& carry) {
  uint32_t count = countAtSeam(data, size, code, carry);
  carry = carryAfter(data, size, carry);
  size_t done = 0;
#if KORVELL_X86
  count += haveAvx2() ? countPatternsAvx2(data, size, code, &done)
                      : countPatternsSse2(data, size, code, &done);
#endif
  return count + countPatternsScalar(data, done, size, code);
}

}  // namespace korvell
