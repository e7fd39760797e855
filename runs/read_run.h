// The Read run: scans the file set, reports every stream and fills the selection.
#pragma once

#include "report/console.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// Scans settings.inputPath and, while state.options.Continue is on and the scan was not stopped,
/// the second file of its set; reports into host; then selects every slot that holds a
/// stream and labels it (state.selection.selected, state.selection.streamLabel), logs the frame
/// report and starts the follow-on run. Returns how the Read run itself ended.
RunOutcome readRun(RunState& state, RunHost& host, const RunSettings& settings);

}  // namespace korvell
