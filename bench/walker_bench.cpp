// The walker over program streams held in memory: a scan with frame counting and details,
// and a demux of every stream into memory sinks.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/walker.h"
#include "testing/memory_outputs.h"
#include "testing/null_host.h"
#include "testing/pass_values.h"
#include "testing/ps_writer.h"
#include "testing/sample_disc.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kStreamSize = 32 * 1048576;

// The HD DVD sample title (VC-1, E-AC-3, TrueHD, DTS, two subpictures) of kStreamSize bytes,
// as the sample disc writer lays it out on disc.
const std::vector<uint8_t>& evoStream() {
  static const std::vector<uint8_t> bytes = [] {
    const fs::path root = fs::temp_directory_path() / "korvell_walker_bench";
    std::string error;
    std::vector<uint8_t> out;
    if (testing::writeSampleDisc(root.string(), std::string(KORVELL_SOURCE_DIR) + "/testdata",
                                 kStreamSize, &error)) {
      out = testing::readFileBytes(root / "HVDVD_TS" / "FEATURE_1.EVO");
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return out;
  }();
  return bytes;
}

// A DVD-like stream: MPEG-2 video (0xE0) and AC-3 (0x80) in 2,048-byte packs, a navigation
// pack every 64 packs, built from the encoder samples.
const std::vector<uint8_t>& vobStream() {
  static const std::vector<uint8_t> bytes = [] {
    const fs::path testdata = fs::path(KORVELL_SOURCE_DIR) / "testdata";
    const auto video = testing::readFileBytes(testdata / "mpeg2_pal_25.m2v");
    const auto audio = testing::readFileBytes(testdata / "ac3_448k_5ch.ac3");
    testing::PsWriter ps;
    if (video.empty() || audio.empty()) return ps.take();
    constexpr size_t kVideoRoom = 2048 - testing::PsWriter::kPackHeaderSize - 6 - 13;
    constexpr size_t kAudioRoom = 2048 - testing::PsWriter::kPackHeaderSize - 6 - 8 - 4;
    size_t videoAt = 0;
    size_t audioAt = 0;
    uint32_t time = 90000;
    for (int pack = 0; ps.size() < kStreamSize; ++pack, time += 300) {
      ps.packHeader(time);
      if (pack % 64 == 0) {
        ps.navigationPacket(1, 90000, 90000 + 3000);
      } else if (pack % 8 == 7) {
        std::vector<uint8_t> piece(kAudioRoom);
        for (auto& b : piece)
          b = audio[audioAt++ % audio.size()];
        ps.privateStream1(0x80, piece, {.pts = time});
      } else {
        std::vector<uint8_t> piece(kVideoRoom);
        for (auto& b : piece)
          b = video[videoAt++ % video.size()];
        ps.pes(0xE0, piece, {.pts = time, .dts = time});
      }
      ps.fillPack();
    }
    return ps.take();
  }();
  return bytes;
}

void scan(benchmark::State& bench, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) {
    bench.SkipWithError("sample stream could not be built");
    return;
  }
  testing::NullHost host;  // the benchmark measures the walk alone
  for (auto _ : bench) {
    testing::PassValues state;
    state.options.FastCheck = false;
    state.options.CountFrames = true;
    state.options.Details = true;
    MemorySource source(bytes);
    benchmark::DoNotOptimize(demux(state.walker(source), host, WalkMode::Scan));
    benchmark::DoNotOptimize(state.results.frameCount);
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * bytes.size()));
}

void demuxAll(benchmark::State& bench, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) {
    bench.SkipWithError("sample stream could not be built");
    return;
  }
  testing::NullHost host;  // the benchmark measures the walk alone
  testing::PassValues state;
  state.options.FastCheck = false;
  // The scan fills the registry and the earliest PTS, as the Read run does before a demux.
  {
    MemorySource source(bytes);
    demux(state.walker(source), host, WalkMode::Scan);
  }
  state.selection.selected.fill(true);
  for (auto _ : bench) {
    std::array<MemorySink, kSelectableSlots> sinks;
    testing::MemoryOutputs outputs;
    for (int number = 0; number < kSelectableSlots; ++number) {
      outputs.attach(state.sinks, state.results, slotAt(number),
                     sinks[static_cast<size_t>(number)]);
    }
    MemorySource source(bytes);
    benchmark::DoNotOptimize(demux(state.walker(source), host, WalkMode::Demux));
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * bytes.size()));
}

void BM_WalkerScan_Evo(benchmark::State& bench) {
  scan(bench, evoStream());
}
void BM_WalkerScan_Vob(benchmark::State& bench) {
  scan(bench, vobStream());
}
void BM_WalkerDemux_Evo(benchmark::State& bench) {
  demuxAll(bench, evoStream());
}
void BM_WalkerDemux_Vob(benchmark::State& bench) {
  demuxAll(bench, vobStream());
}

BENCHMARK(BM_WalkerScan_Evo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkerScan_Vob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkerDemux_Evo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkerDemux_Vob)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvell
