// The mux step: mkvmerge run once over the demuxed streams, with its progress in the status
// panel, its warnings and errors in the console, and Cancel able to stop it.
#pragma once

#include <chrono>
#include <string>

#include "engine/file_system.h"
#include "engine/stop_token.h"
#include "mux/mkvmerge_options.h"
#include "mux/process.h"
#include "report/console.h"

namespace korvell {

enum class MuxOutcome {
  Done,              ///< mkvmerge exit code 0
  DoneWithWarnings,  ///< exit code 1: the file is made, its warnings are in the console
  Cancelled,         ///< the run was asked to stop; mkvmerge was ended, its file removed
  NotFound,          ///< no mkvmerge on the PATH; nothing was started
  Failed,            ///< the option file, the start or mkvmerge itself failed (message logged)
};

inline bool muxFailed(MuxOutcome outcome) {
  return outcome == MuxOutcome::NotFound || outcome == MuxOutcome::Failed;
}

/// How long mkvmerge has to end after SIGTERM before it is killed.
inline constexpr std::chrono::milliseconds kMkvmergeGrace{5000};
/// The longest the step waits for output before it lets the host process events.
inline constexpr std::chrono::milliseconds kMkvmergePoll{100};

/// Muxes `description` with mkvmerge: finds it on the PATH (else logs "mkvmerge was not
/// found; install MKVToolNix" and returns NotFound), writes the option file to `optionsPath`
/// through `files` ("Creating <path>"), logs "Muxing <output>", and runs "mkvmerge
/// @<optionsPath>" (with LC_ALL=C.UTF-8, so that mkvmerge reads the option file's UTF-8
/// paths as the bytes they are and prints its messages in English).
///
/// While it runs, status panel 0 says "Muxing <output name>" and panel 1 "Muxing <n>%"; each
/// warning is logged as "mkvmerge warning: <text>" and each error as "mkvmerge error: <text>"
/// (escaped, valid UTF-8). At least every kMkvmergePoll the host processes events, with Cancel
/// enabled. Like every pass the step clears `stop` when it starts; once a stop is
/// requested it sends SIGTERM, waits up to `grace` (still processing events), then SIGKILL;
/// but when mkvmerge has ended by then, the stop came too late to stop anything: the step
/// logs "mkvmerge had finished before the stop: its file is kept." and ends as mkvmerge did.
/// Each progress line also reaches host.progress (the percent; no remaining time).
///
/// Exit code 0 is Done, 1 DoneWithWarnings ("mkvmerge finished with warnings."), 2 or any
/// other end Failed ("mkvmerge failed with exit code 2.", "mkvmerge was ended by signal 9.";
/// before that the last plain lines it printed when it printed no error). After a cancel or a
/// failure the output file is removed ("Removing <path>") when mkvmerge made it: when it did
/// not exist before, or mkvmerge had reported progress (it has opened the file for writing by
/// then). The step logs no end line ("Done.") and leaves the option file in place; the run
/// around it does both.
MuxOutcome muxWithMkvmerge(StopToken& stop, RunHost& host, Launcher& launcher, FileSystem& files,
                           const MuxDescription& description, const std::string& optionsPath,
                           std::chrono::milliseconds grace = kMkvmergeGrace);

}  // namespace korvell
