// The values one walker or rebuild pass works on, owned together, for the tests, fuzz targets
// and benchmarks that drive the engine directly. The members carry the run state's names, so
// such code reads as the runs do.
#pragma once

#include <string>

#include "engine/file_kinds.h"
#include "engine/rebuild.h"
#include "engine/walker.h"

namespace korvell::testing {

struct PassValues {
  RunOptions options;
  StreamRegistry registry;
  Selection selection;
  ReadResults results;
  StopToken stop;
  DemuxSinks sinks;
  Renumbering renumbering;
  std::string sourcePath;  ///< only its extension matters: .AOB names a DVD-Audio object

  /// A walker pass over `source` with these values, writing to `sinks` in demux mode.
  WalkerPass walker(ByteSource& source) {
    return {source, isAudioObject(sourcePath), options, registry, selection, results, stop, &sinks};
  }
  /// A rebuild pass with these values.
  RebuildPass rebuild() { return {registry, selection, renumbering, results, stop}; }
};

}  // namespace korvell::testing
