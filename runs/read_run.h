// The Read run: scans the file set, reports every stream and fills the selection.
#pragma once

#include "engine/run_state.h"
#include "report/console.h"
#include "runs/run_settings.h"

namespace korvell {

/// Scans settings.inputPath and, while state.Continue is on and the scan was not stopped,
/// the second file of its set; reports into host; then selects every slot that holds a
/// stream and labels it (state.selected, state.streamLabel), logs the frame report and starts
/// the follow-on run. Returns how the Read run itself ended.
RunOutcome readRun(RunState& state, RunHost& host, const RunSettings& settings);

}  // namespace korvell
