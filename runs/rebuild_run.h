// The Rebuild command: a copy of the file set without the unselected streams.
#pragma once

#include <string>

#include "report/console.h"
#include "runs/file_set.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// Creates the rebuilt file anew (replacing an earlier one), runs the rebuild pass over the
/// first pass of the run's set (runFileSet: the chosen title's cells, or the chosen file) and,
/// while state.options.Continue is on and the pass was not stopped, over the second file of its set
/// into the same output, then closes every file, also after a cancel or a failure. Nothing
/// is created when the input cannot be opened. Relies on the registry and selection of the last
/// Read run; renumbering starts afresh at each run and carries over from the first file to the
/// second. A finished or cancelled run ends with "Done."; a failed one does not (it logs its
/// message instead). A partial output stays on disk.
RunOutcome rebuildRun(RunState& state, RunHost& host, const RunSettings& settings);

}  // namespace korvell
