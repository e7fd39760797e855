// The frame counter over video payload built from the encoder samples, vectorised against
// the byte-register reference.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame_counter.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

constexpr size_t kPayloadSize = 4 * 1048576;

// A sample elementary stream repeated up to kPayloadSize bytes: real start-code density.
const std::vector<uint8_t>& payload(const std::string& name) {
  static std::vector<std::pair<std::string, std::vector<uint8_t>>> cache;
  for (const auto& [cachedName, bytes] : cache) {
    if (cachedName == name) return bytes;
  }
  const std::filesystem::path path = std::filesystem::path(KORVELL_SOURCE_DIR) / "testdata" / name;
  const std::vector<uint8_t> sample = testing::readFileBytes(path);
  std::vector<uint8_t> bytes;
  bytes.reserve(kPayloadSize);
  while (!sample.empty() && bytes.size() < kPayloadSize) {
    bytes.insert(bytes.end(), sample.begin(), sample.end());
  }
  bytes.resize(kPayloadSize);
  cache.emplace_back(name, std::move(bytes));
  return cache.back().second;
}

// The walker hands the counter one packet's payload at a time, about 2 KiB.
constexpr size_t kPieceSize = 2018;

template <uint32_t (*Count)(const uint8_t*, size_t, uint8_t, uint32_t&)>
void countInPieces(benchmark::State& bench, const std::string& name, uint8_t code) {
  const auto& bytes = payload(name);
  if (bytes.empty()) {
    bench.SkipWithError("sample missing");
    return;
  }
  for (auto _ : bench) {
    uint32_t frames = 0;
    uint32_t carry = kNoCarry;
    for (size_t at = 0; at < bytes.size(); at += kPieceSize) {
      frames += Count(bytes.data() + at, std::min(kPieceSize, bytes.size() - at), code, carry);
    }
    benchmark::DoNotOptimize(frames);
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * bytes.size()));
}

void BM_CountStartCodes_Mpeg2(benchmark::State& bench) {
  countInPieces<countStartCodes>(bench, "mpeg2_pal_25.m2v", 0x00);
}
void BM_CountStartCodesScalar_Mpeg2(benchmark::State& bench) {
  countInPieces<countStartCodesScalar>(bench, "mpeg2_pal_25.m2v", 0x00);
}
void BM_CountStartCodes_H264(benchmark::State& bench) {
  countInPieces<countStartCodes>(bench, "h264_high_41.264", 0x09);
}
void BM_CountStartCodesScalar_H264(benchmark::State& bench) {
  countInPieces<countStartCodesScalar>(bench, "h264_high_41.264", 0x09);
}
void BM_CountStartCodes_Vc1(benchmark::State& bench) {
  countInPieces<countStartCodes>(bench, "vc1_ap_sample.vc1", 0x0D);
}
void BM_CountStartCodesScalar_Vc1(benchmark::State& bench) {
  countInPieces<countStartCodesScalar>(bench, "vc1_ap_sample.vc1", 0x0D);
}

BENCHMARK(BM_CountStartCodes_Mpeg2);
BENCHMARK(BM_CountStartCodesScalar_Mpeg2);
BENCHMARK(BM_CountStartCodes_H264);
BENCHMARK(BM_CountStartCodesScalar_H264);
BENCHMARK(BM_CountStartCodes_Vc1);
BENCHMARK(BM_CountStartCodesScalar_Vc1);

}  // namespace
}  // namespace korvell
