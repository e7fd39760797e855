// Outputs over memory sinks, for tests that drive the walker in demux mode directly.
#pragma once

#include <memory>
#include <vector>

#include "engine/byte_io.h"
#include "engine/raw_outputs.h"
#include "engine/read_results.h"
#include "engine/stream_output.h"

namespace korvell::testing {

/// Keeps the outputs it attaches alive for as long as it lives.
class MemoryOutputs {
 public:
  /// Attaches an output over `sink` (which must outlive this object) to `slot` of `sinks`: the
  /// payload as it stands for video and audio, ".sup" records rebased on `results.firstPtsMin`
  /// as it is now for subpictures.
  void attach(DemuxSinks& sinks, const ReadResults& results, Slot slot, ByteSink& sink) {
    if (slot.family == Family::Subpicture) {
      outputs_.push_back(
          std::make_unique<SupRecordOutput>(sink, results.firstPtsMin.value_or(0xFFFFFFFF)));
    } else {
      outputs_.push_back(std::make_unique<RawOutput>(sink));
    }
    sinks.outputOf(slot) = outputs_.back().get();
  }

 private:
  std::vector<std::unique_ptr<StreamOutput>> outputs_;
};

}  // namespace korvell::testing
