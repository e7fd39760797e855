// The Demux run: writes every selected stream of the file set to a file of its own.
#pragma once

#include "engine/run_state.h"
#include "report/console.h"
#include "runs/run_settings.h"

namespace korvell {

/// Creates one file per selected slot (named by the output prefix, the slot's label and the
/// family's extension), walks the set in demux mode and closes every file again, also after
/// a cancel or a failure. Relies on the selection, labels, frame rates and firstPtsMin of the
/// last Read run. A missing output folder is created first (prepareOutputFolder). Partial
/// outputs stay on disk.
RunOutcome demuxRun(RunState& state, RunHost& host, const RunSettings& settings);

/// The Demux run's work as one step of another run (Make MKV): all of demuxRun but its start
/// and end notifications (runStarting, runFinished), its end line and its frame lines.
RunOutcome demuxStep(RunState& state, RunHost& host, const RunSettings& settings);

}  // namespace korvell
