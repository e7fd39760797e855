#include "runs/run_support.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {

std::unique_ptr<ByteSink> createOutput(FileSystem& files, const std::string& path,
                                       const std::string& firstInput,
                                       const std::string& secondInput, Console& console) {
  if (files.sameFile(path, firstInput) || files.sameFile(path, secondInput)) {
    reportFailure(path,
                  Status::failure(Status::Code::CreateFailed, "It is an input file of this run."),
                  console);
    return nullptr;
  }
  std::unique_ptr<ByteSink> sink;
  const Status created = files.create(path, &sink);
  reportFailure(path, created, console);
  return created.ok() ? std::move(sink) : nullptr;
}

RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                   std::unique_ptr<ByteSource> first, WalkMode mode, const std::string& verb) {
  std::unique_ptr<ByteSource> source = std::move(first);
  state.source = source.get();
  if (mode == WalkMode::Scan) state.scannedFiles.push_back({set.firstPath, source->size()});
  Status read = demux(state, host, mode);
  if (mode == WalkMode::Scan) {
    state.scannedFiles.back().fastCheckStopped = state.stopReason == StopReason::FastCheckLimit;
  }
  std::string readPath = set.firstPath;
  // A failed sink write stops the pass as a cancel does: no second file then either.
  if (read.ok() && state.Continue && !state.stopRequested() && !set.secondFile.empty()) {
    state.source = nullptr;
    source = openInput(files, set.secondFile, host);
    if (!source) return RunOutcome::OpenFailed;
    const std::string secondName = namePart(set.secondFile);
    host.log("Continue on " + escapeMarkup(secondName));
    host.status(verb + " " + secondName, 0);
    state.source = source.get();
    if (mode == WalkMode::Scan) state.scannedFiles.push_back({set.secondFile, source->size()});
    read = demux(state, host, mode);
    if (mode == WalkMode::Scan) {
      state.scannedFiles.back().fastCheckStopped = state.stopReason == StopReason::FastCheckLimit;
    }
    readPath = set.secondFile;
  }
  state.source = nullptr;
  if (!read.ok()) {
    reportFailure(readPath, read, host);
    return RunOutcome::ReadFailed;
  }
  // The fast check ends a scan early by design: the run is done, and the files say where it
  // stopped.
  const bool cancelled = state.stopRequested() && state.stopReason != StopReason::FastCheckLimit;
  return cancelled ? RunOutcome::Cancelled : RunOutcome::Done;
}

std::string fileSizeLine(uint64_t bytes) {
  return "File size: " + std::to_string(wholeMebibytes(bytes)) + " Mbytes.";
}

void logDone(Console& console) {
  console.log("Done.");
  console.log("");
  showReady(console);
}

void showReady(Console& console) {
  console.status("Ready", 0);
  console.status("", 1);
}

std::optional<int64_t> calculatedFrames(const RunState& state, int slot) {
  const double rate = state.frameRate[static_cast<size_t>(slot)];
  if (rate <= 0) return std::nullopt;
  // nearbyint rounds half to even in the default rounding mode.
  return static_cast<int64_t>(std::nearbyint(state.duration * rate));
}

std::string frameTime(int32_t count, double rate) {
  return clockText(static_cast<double>(count) / rate, true);
}

void requestCancel(RunState& state, RunHost& host) {
  if (!state.demuxing) {
    state.requestStop(StopReason::UserCancel);
    return;
  }
  if (host.ask("Are you sure to stop demuxing?")) {
    state.requestStop(StopReason::UserCancel);
    host.log("Cancelled.");
  }
}

}  // namespace korvell
