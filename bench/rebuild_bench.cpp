// The rebuild pass alone, file to file, against a plain copy of the same file in blocks of
// 256 KiB through the same source and sink: the pass's cost over the copy the system makes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/rebuild.h"
#include "engine/walker.h"
#include "testing/null_host.h"
#include "testing/pass_values.h"
#include "testing/sample_disc.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kFileSize = 64 * 1048576;

const fs::path& folder() {
  static const fs::path dir = fs::temp_directory_path() / "korvell_rebuild_bench";
  return dir;
}

// The HD DVD sample title of kFileSize bytes on disk, or an empty path.
const fs::path& sampleFile() {
  static const fs::path path = [] {
    std::string error;
    if (!testing::writeSampleDisc(folder().string(), std::string(KORVELL_SOURCE_DIR) + "/testdata",
                                  kFileSize, &error)) {
      return fs::path();
    }
    return folder() / "HVDVD_TS" / "FEATURE_1.EVO";
  }();
  return path;
}

void BM_RebuildPass_File(benchmark::State& bench) {
  const fs::path& input = sampleFile();
  if (input.empty()) {
    bench.SkipWithError("sample file could not be written");
    return;
  }
  testing::NullHost host;
  testing::PassValues state;
  {
    std::unique_ptr<FileSource> source;
    FileSource::open(input.string(), &source);
    demux(state.walker(*source), host, WalkMode::Scan);
  }
  // Every stream but the last audio and the last subpicture stream, as the comparison does.
  int lastAudio = -1, lastSub = -1;
  for (int number = 0; number < kSelectableSlots; ++number) {
    const Slot slot = slotAt(number);
    if (state.registry.registeredId(slot) == -1) continue;
    state.selection.selected[number] = true;
    if (slot.family == Family::Audio) lastAudio = number;
    if (slot.family == Family::Subpicture) lastSub = number;
  }
  if (lastAudio >= 0) state.selection.selected[lastAudio] = false;
  if (lastSub >= 0) state.selection.selected[lastSub] = false;
  uint64_t bytes = 0;
  for (auto _ : bench) {
    state.renumbering = Renumbering();
    std::unique_ptr<FileSource> source;
    std::unique_ptr<FileSink> out;
    FileSource::open(input.string(), &source);
    FileSink::create((folder() / "rebuilt.EVO").string(), &out);
    benchmark::DoNotOptimize(Rebuild(state.rebuild(), *source, host, *out, "FEATURE_1.EVO"));
    out->close();
    bytes += source->size();
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_CopyFile(benchmark::State& bench) {
  const fs::path& input = sampleFile();
  if (input.empty()) {
    bench.SkipWithError("sample file could not be written");
    return;
  }
  std::vector<uint8_t> block(kReadBlock);
  uint64_t bytes = 0;
  for (auto _ : bench) {
    std::unique_ptr<FileSource> source;
    std::unique_ptr<FileSink> out;
    FileSource::open(input.string(), &source);
    FileSink::create((folder() / "copy.EVO").string(), &out);
    size_t n = 0;
    while (source->read(block.data(), block.size(), n).ok() && n > 0)
      out->write(block.data(), n);
    out->close();
    bytes += source->size();
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK(BM_RebuildPass_File)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvell
