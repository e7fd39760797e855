// The Demux run: writes every selected stream of the file set to a file of its own.
#pragma once

#include "report/console.h"
#include "runs/file_set.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// Creates one file per selected slot (named by the output prefix, the slot's label and the
/// family's extension), walks the set in demux mode and closes every file again, also after
/// a cancel or a failure. Relies on the selection, labels, frame rates and firstPtsMin of the
/// last Read run. A missing output folder is created first (prepareOutputFolder). Partial
/// outputs stay on disk.
RunOutcome demuxRun(RunState& state, RunHost& host, const RunSettings& settings);

/// The Demux run's work on `set` (beginRun's) as one step of another run (Make MKV): all of
/// demuxRun but its start (beginRun) and end (runFinished), its end line and its frame lines.
RunOutcome demuxStep(RunState& state, RunHost& host, const RunSettings& settings,
                     const FileSet& set);

}  // namespace korvell
