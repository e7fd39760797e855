// Pieces the runs share: opening inputs with the error message, the end lines, the frame
// report and the Cancel command.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/byte_io.h"
#include "engine/file_messages.h"
#include "engine/file_system.h"
#include "engine/run_state.h"
#include "engine/status.h"
#include "engine/walker.h"
#include "report/console.h"
#include "runs/file_set.h"
#include "runs/run_settings.h"

namespace korvell {

/// Creates an output; on failure reports it and returns null. Refuses a path that is one of
/// the run's inputs ("Cannot create file "<path>". It is an input file of this run."), so a
/// run never truncates its input.
std::unique_ptr<ByteSink> createOutput(FileSystem& files, const std::string& path,
                                       const std::string& firstInput,
                                       const std::string& secondInput, Console& console);

/// Walks the open first file of the set (the caller has shown its status) and then, while
/// state.Continue is on and the pass was not stopped, the second file: "Continue on <name>",
/// status panel 0 `verb` + " " + name, and a second pass in the same mode. Closes the
/// sources. Returns Done, Cancelled, or OpenFailed / ReadFailed after logging the failure.
RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                   std::unique_ptr<ByteSource> first, WalkMode mode, const std::string& verb);

/// "File size: 123 Mbytes."
std::string fileSizeLine(uint64_t bytes);

/// Every run's end: "Done.", an empty line, status "Ready" and an empty detail panel.
void logDone(Console& console);

/// After a failure: the status returns to "Ready" (the failure itself is in the console).
void showReady(Console& console);

/// count / rate seconds as "h:mm:ss.zzz".
std::string frameTime(int32_t count, double rate);

/// The frames a video slot's duration holds at its frame rate, rounded to the nearest (ties
/// to even): duration × frameRate. Empty while the slot has no frame rate.
std::optional<int64_t> calculatedFrames(const RunState& state, int slot);

/// The Cancel command: during a demux or rebuild pass the user confirms first ("Are you sure
/// to stop demuxing?") and "Cancelled." is logged; a scan stops at once, silently.
void requestCancel(RunState& state, RunHost& host);

}  // namespace korvell
