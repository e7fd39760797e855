// The walker over arbitrary bytes: in scan mode (KORVELL_FUZZ_MODE 0) with the analysers and
// the frame counter on, or in demux mode (1) with every slot selected and a memory sink on
// each. The first byte picks the live options; the rest is the input file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/byte_io.h"
#include "engine/walker.h"
#include "fuzz/fuzz_host.h"
#include "testing/memory_outputs.h"
#include "testing/pass_values.h"

using namespace korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  MemorySource source(data + 1, size - 1);
  testing::PassValues state;
  state.options.FastCheck = (options & 1) != 0;
  state.options.CountFrames = (options & 2) != 0;
  state.options.Details = (options & 4) == 0;
  state.options.decimalSeparator = (options & 8) != 0 ? ',' : '.';
  fuzz::QuietHost host;
#if KORVELL_FUZZ_MODE == 0
  if (!demux(state.walker(source), host, WalkMode::Scan).ok())
    std::abort();  // a memory source never fails
#else
  std::array<MemorySink, kSelectableSlots> sinks;
  state.selection.selected.fill(true);
  testing::MemoryOutputs outputs;
  for (int i = 0; i < kSelectableSlots; ++i) {
    outputs.attach(state.sinks, state.results, slotAt(i), sinks[static_cast<size_t>(i)]);
  }
  if (!demux(state.walker(source), host, WalkMode::Demux).ok()) std::abort();
  // Payload only ever comes out of the input, and a ".sup" record adds ten bytes to a packet
  // of at least fourteen (pack header and PES header), so no stream can be longer than it.
  for (const MemorySink& sink : sinks) {
    if (sink.bytes().size() > size) std::abort();
  }
  if (state.sinks.failedOutput != nullptr) std::abort();
#endif
  if (source.position() > source.size()) std::abort();
  return 0;
}
