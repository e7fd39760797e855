// Pieces the runs share: opening inputs with the error message, the end lines, the frame
// report and the Cancel command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/byte_io.h"
#include "engine/extent_source.h"
#include "engine/file_messages.h"
#include "engine/file_system.h"
#include "engine/status.h"
#include "engine/walker.h"
#include "report/console.h"
#include "runs/file_set.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// Starts a run of `kind` and returns the file set it walks (runFileSet). The one place where
/// a run clears what it remakes: state.runKind names the run (for the Cancel question) and
/// the host disables its commands (runStarting); the set is recorded (sourcePath, baseName,
/// secondFile). A Read run clears the selection (selectionChanged is called), the Read
/// results and the frame counts, and for another source than the last also the frame rates
/// and the duration; a Demux run and a Matroska run clear the frame counts and the written
/// files, a Rebuild run the written files.
FileSet beginRun(RunState& state, RunHost& host, RunKind kind, const RunSettings& settings);

/// Makes sure the output folder is there before a run creates anything in it: an empty folder
/// (beside the input) or an existing one needs nothing; a missing one is created with its
/// missing parents, "Creating folder <folder>". When it cannot be, logs the error "Cannot
/// create folder "<folder>". <reason>" and returns false.
bool prepareOutputFolder(FileSystem& files, const std::string& folder, Console& console);

/// The error of a folder that could not be created: "Cannot create folder "<path>". <reason>".
void reportFolderFailure(const std::string& path, const std::string& reason, Console& console);

/// Creates an output; on failure reports it and returns null. Refuses a path that is one of
/// the run's inputs ("Cannot create file "<path>". It is an input file of this run."), so a
/// run never truncates its input.
std::unique_ptr<ByteSink> createOutput(FileSystem& files, const std::string& path,
                                       const std::string& firstInput,
                                       const std::string& secondInput, Console& console);
/// The same, refusing every file the set reads.
std::unique_ptr<ByteSink> createOutput(FileSystem& files, const std::string& path,
                                       const FileSet& set, Console& console);

/// The set a run works on: the title's (titleFileSet) when settings.title holds one, else the
/// input's (prepareFileSet, continued as continueOn says).
FileSet runFileSet(const RunSettings& settings, bool continueOn);

/// The run's first line: "Opening file NAME", or for a title "Opening title BASE in NAME,
/// NAME"; the name in bold when `bold`.
std::string openingLine(const FileSet& set, bool bold);

/// Opens what a pass walks as one source. Whole files are measured first (each opened once).
/// On failure logs it ("Cannot open file ...", or "Cannot read file ..." for a file that ends
/// before its extent) and returns null. After an opened pass of several whole files, logs
/// that they are read as one file.
std::unique_ptr<ExtentSource> openPass(FileSystem& files, const FilePass& pass, Console& console);

/// Walks the set's passes in order, the first already open in `first` (the caller has shown
/// its status): `pass` walks the source it is given. While state.options.Continue is on and the
/// last pass neither failed nor was stopped, each next pass is opened: "Continue on <name>", status
/// panel 0 `verb` + " " + name. Closes the sources. Returns Done, Cancelled (stopped, but not
/// by the fast check), or Failed: when `pass` returned a write failure (not logged here: the
/// sink that failed reports it), or after logging any other failure with the file it concerns.
RunOutcome walkPasses(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                      std::unique_ptr<ExtentSource> first, const std::string& verb,
                      const std::function<Status(size_t pass, ExtentSource& source)>& pass);

/// walkPasses with the walker in `mode`, writing to `sinks` in demux mode; a Read run (Scan)
/// records each pass in
/// state.results.scannedFiles under its first file's path, with the size of the whole pass.
RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                   std::unique_ptr<ExtentSource> first, WalkMode mode, const std::string& verb,
                   DemuxSinks* sinks = nullptr);

/// "File size: 123 Mbytes."
std::string fileSizeLine(uint64_t bytes);

/// The one message of streams whose packets are scrambled (state.results.scrambled), as an error
/// line's markup: that the disc is encrypted (with its encryption mark, encryptionMark of
/// `path` in `files`, when it has one), the labels of those streams, and that Korvell reads
/// decrypted discs and writes nothing for them.
std::string scrambledMessage(const RunState& state, const FileSystem& files,
                             const std::string& path);

/// Every run's end: "Done.", an empty line, status "Ready" and an empty detail panel.
void logDone(Console& console);

/// The status returns to "Ready" with an empty detail panel.
void showReady(Console& console);

/// The end line of a failed run, which follows its message: "Failed.", an empty line, then
/// showReady.
inline constexpr const char* kFailedLine = "Failed.";
void logFailed(Console& console);

/// "A, B and C": the file names of the set's inputs, escaped for markup.
std::string inputNames(const FileSet& set);

/// count / rate seconds as "h:mm:ss.zzz".
std::string frameTime(int32_t count, double rate);

/// The frames a video slot's duration holds at its frame rate, rounded to the nearest (ties
/// to even): duration × frameRate. Empty while the slot has no frame rate.
std::optional<int64_t> calculatedFrames(const RunState& state, int slot);

/// The question the Cancel command asks before it stops the run under way (state.runKind):
/// during a Demux run "Are you sure to stop demuxing?", a Rebuild "Are you sure to stop
/// rebuilding?", Make MKV "Stop making the Matroska file?". Empty during a Read run or a
/// playlist reading, which Cancel stops at once without asking.
std::string cancelQuestion(const RunState& state);

/// A confirmed Cancel: the run stops at its next poll; "Cancelled." is logged.
void confirmCancel(RunState& state, Console& console);

/// The Cancel command answered on the spot: a scan stops silently; otherwise host.ask() puts
/// cancelQuestion and Yes confirms (confirmCancel). The command line's Ctrl-C, whose answer is
/// always Yes. (The window asks without blocking the run, so a run that ends while the question
/// is open ends as it would have.)
void requestCancel(RunState& state, RunHost& host);

}  // namespace korvell
