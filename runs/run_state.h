// The run state: the values a run reads and leaves for the next, owned by the front end (its
// session) and handed to every run. Each is a value of its own with its own contract; the
// walker and the rebuild pass get the ones a pass needs, the runs the whole.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/read_results.h"
#include "engine/run_options.h"
#include "engine/selection.h"
#include "engine/stop_token.h"
#include "engine/stream_output.h"
#include "engine/stream_registry.h"
#include "report/console.h"

namespace korvell {

/// What the last Demux or Rebuild run created, each file with its form (OutputFile): the files
/// of each stream by slot number, in the order its output created them (one raw file; a WAV
/// file per part; an .idx and a .sub), and the other files (chapters "chapters_txt" and
/// "chapters_xml", a rebuilt program stream "evo", a Matroska file "mkv") in order.
struct WrittenFiles {
  std::array<std::vector<OutputFile>, kSelectableSlots> streams{};
  std::vector<OutputFile> others;
};

struct RunState {
  RunOptions options;
  StreamRegistry registry;  ///< the last pass's
  Selection selection;
  ReadResults results;  ///< the last Read run's, and the values passes hand on
  WrittenFiles written;
  StopToken stop;
  RunKind runKind = RunKind::Read;  ///< the run under way, or the last one
  // The last run's file set: the input as named, its outputs' base name, its second file.
  std::string sourcePath;
  std::string baseName;
  std::string secondFile;
};

}  // namespace korvell
