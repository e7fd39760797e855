// The rebuild pass over arbitrary bytes, after a scan of the same bytes has filled the
// registry as a Read run would. Bytes 0-4 are the selection (one bit per selectable slot);
// the rest is the input file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/byte_io.h"
#include "engine/rebuild.h"
#include "engine/walker.h"
#include "fuzz/fuzz_host.h"
#include "testing/pass_values.h"

using namespace korvell;

namespace {
constexpr size_t kMaskBytes = 5;  // 34 selectable slots
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kMaskBytes) return 0;
  const uint8_t* file = data + kMaskBytes;
  const size_t fileSize = size - kMaskBytes;
  testing::PassValues state;
  state.options.Details = false;
  state.options.CountFrames = false;
  fuzz::QuietHost host;
  MemorySource scanSource(file, fileSize);
  if (!demux(state.walker(scanSource), host, WalkMode::Scan).ok()) std::abort();

  for (int i = 0; i < kSelectableSlots; ++i) {
    state.selection.selected[static_cast<size_t>(i)] = (data[i / 8] >> (i % 8) & 1) != 0;
  }
  state.renumbering = Renumbering{};
  MemorySource source(file, fileSize);
  MemorySink out;
  if (!Rebuild(state.rebuild(), source, host, out, "FUZZ.EVO").ok())
    std::abort();  // memory never fails
  // Packs are only dropped or rewritten in place, never grown or invented.
  if (out.bytes().size() > fileSize) std::abort();
  if (source.position() != fileSize) std::abort();
  return 0;
}
