// The demux of one LPCM stream from a program stream in memory, written as WAV (decoded) against
// the same stream written as it stands, both to files in the system's temporary folder; the
// decoder alone for its own speed. The argument is the header's format byte: 0x01 16 bits,
// 48 kHz, stereo; 0x91 24 bits, 96 kHz, stereo; 0x85 24 bits, 48 kHz, 6 channels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/raw_outputs.h"
#include "engine/walker.h"
#include "outputs/lpcm_decoder.h"
#include "outputs/pcm_output.h"
#include "testing/null_host.h"
#include "testing/pass_values.h"
#include "testing/ps_writer.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

constexpr size_t kStreamSize = 64 * 1048576;
// A pack of 2,048 bytes: pack header (14), PES header (9), LPCM header (7), payload. 2,018
// bytes cut the sample groups of every format, as real muxers do.
constexpr size_t kPayload = 2018;

const fs::path& folder() {
  static const fs::path dir = [] {
    fs::path path = fs::temp_directory_path() / "korvell_lpcm_bench";
    fs::create_directories(path);
    return path;
  }();
  return dir;
}

const std::vector<uint8_t>& stream(uint8_t format) {
  static std::vector<uint8_t> streams[256];
  std::vector<uint8_t>& bytes = streams[format];
  if (bytes.empty()) {
    std::mt19937 random(format);
    std::vector<uint8_t> payload(kPayload);
    testing::PsWriter ps;
    while (ps.size() < kStreamSize) {
      for (uint8_t& b : payload)
        b = static_cast<uint8_t>(random());
      ps.packHeader().dvdLpcm(0xA0, format, payload).fillPack();
    }
    bytes = ps.take();
  }
  return bytes;
}

void demuxOnce(const std::vector<uint8_t>& bytes, StreamOutput& output) {
  testing::NullHost host;
  testing::PassValues state;
  state.selection.selected[slotNumber({Family::Audio, 0})] = true;
  state.sinks.outputOf({Family::Audio, 0}) = &output;
  MemorySource source(bytes);
  demux(state.walker(source), host, WalkMode::Demux);
  output.finish();
}

void BM_LpcmDemux_Raw(benchmark::State& bench) {
  const std::vector<uint8_t>& bytes = stream(static_cast<uint8_t>(bench.range(0)));
  for (auto _ : bench) {
    std::unique_ptr<FileSink> sink;
    FileSink::create((folder() / "stream.lpcm").string(), &sink);
    RawOutput output(std::move(sink));
    demuxOnce(bytes, output);
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * bytes.size()));
}

void BM_LpcmDemux_Wav(benchmark::State& bench) {
  const std::vector<uint8_t>& bytes = stream(static_cast<uint8_t>(bench.range(0)));
  testing::NullHost console;
  const std::string base = (folder() / "stream").string();
  for (auto _ : bench) {
    auto output =
        makePcmOutput(realFileSystem(), console, {base, PcmForm::Wav, base + ".lpcm", false});
    demuxOnce(bytes, *output);
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * bytes.size()));
}

void BM_LpcmDemux_Flac(benchmark::State& bench) {
  const std::vector<uint8_t>& bytes = stream(static_cast<uint8_t>(bench.range(0)));
  testing::NullHost console;
  const std::string base = (folder() / "stream").string();
  for (auto _ : bench) {
    auto output =
        makePcmOutput(realFileSystem(), console, {base, PcmForm::Flac, base + ".lpcm", false});
    demuxOnce(bytes, *output);
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * bytes.size()));
}

// The decoder alone over the payload bytes, in packet-sized pieces, into WAV data bytes.
void BM_LpcmDecode(benchmark::State& bench) {
  const auto format = static_cast<uint8_t>(bench.range(0));
  const uint8_t header[3] = {0x00, format, 0x80};
  std::vector<uint8_t> payload(kStreamSize);
  std::mt19937 random(format);
  for (uint8_t& b : payload)
    b = static_cast<uint8_t>(random());
  WavBytes samples[2];
  PcmFormat pcm;
  if (!dvdLpcmFormat(header, &pcm).ok()) {
    bench.SkipWithError("the header gives no format");
    return;
  }
  for (auto _ : bench) {
    LpcmDecoder decoder(pcm);
    for (size_t at = 0; at + kPayload <= payload.size(); at += kPayload) {
      samples[0].clear();
      decoder.decodeWav(payload.data() + at, kPayload, samples);
      benchmark::DoNotOptimize(samples[0].data());
    }
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * payload.size()));
}

BENCHMARK(BM_LpcmDemux_Raw)
    ->Arg(0x01)
    ->Arg(0x91)
    ->Arg(0x85)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_LpcmDemux_Wav)
    ->Arg(0x01)
    ->Arg(0x91)
    ->Arg(0x85)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_LpcmDemux_Flac)->Arg(0x91)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LpcmDecode)->Arg(0x01)->Arg(0x91)->Arg(0x85)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvell
