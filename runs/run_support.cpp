#include "runs/run_support.h"

#include <filesystem>
#include <system_error>

#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {

namespace {

bool sameFile(const std::string& a, const std::string& b) {
  if (b.empty()) return false;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

std::unique_ptr<FileSource> openInput(const std::string& path, Console& console) {
  std::string reason;
  auto source = FileSource::open(path, &reason);
  if (!source)
    console.log("Cannot open file \"" + escapeMarkup(path) + "\". " + escapeMarkup(reason));
  return source;
}

std::unique_ptr<FileSink> createOutput(const std::string& path, const std::string& firstInput,
                                       const std::string& secondInput, Console& console) {
  if (sameFile(path, firstInput) || sameFile(path, secondInput)) {
    console.log("Cannot create file \"" + escapeMarkup(path) +
                "\". It is an input file of this run.");
    return nullptr;
  }
  std::string reason;
  auto sink = FileSink::create(path, &reason);
  if (!sink)
    console.log("Cannot create file \"" + escapeMarkup(path) + "\". " + escapeMarkup(reason));
  return sink;
}

void reportWriteFailure(const ByteSink& sink, Console& console) {
  console.log("Cannot write file \"" + escapeMarkup(sink.path()) + "\". " +
              escapeMarkup(sink.error()));
}

void reportReadFailure(const std::string& path, const ByteSource& source, Console& console) {
  console.log("Cannot read file \"" + escapeMarkup(path) + "\". " + escapeMarkup(source.error()));
}

RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set,
                   std::unique_ptr<FileSource> first, WalkMode mode, const std::string& verb) {
  std::unique_ptr<FileSource> source = std::move(first);
  state.source = source.get();
  if (mode == WalkMode::Scan) state.scannedFiles.push_back({set.firstPath, source->size()});
  bool readOk = demux(state, host, mode);
  if (mode == WalkMode::Scan) {
    state.scannedFiles.back().fastCheckStopped = state.stopReason == StopReason::FastCheckLimit;
  }
  std::string readPath = set.firstPath;
  // A failed sink write stops the pass as a cancel does: no second file then either.
  if (readOk && state.Continue && !state.stopRequested() && !set.secondFile.empty()) {
    state.source = nullptr;
    source = openInput(set.secondFile, host);
    if (!source) return RunOutcome::OpenFailed;
    const std::string secondName = namePart(set.secondFile);
    host.log("Continue on " + escapeMarkup(secondName));
    host.status(verb + " " + secondName, 0);
    state.source = source.get();
    if (mode == WalkMode::Scan) state.scannedFiles.push_back({set.secondFile, source->size()});
    readOk = demux(state, host, mode);
    if (mode == WalkMode::Scan) {
      state.scannedFiles.back().fastCheckStopped = state.stopReason == StopReason::FastCheckLimit;
    }
    readPath = set.secondFile;
  }
  state.source = nullptr;
  if (!readOk) {
    reportReadFailure(readPath, *source, host);
    return RunOutcome::ReadFailed;
  }
  return state.stopRequested() ? RunOutcome::Cancelled : RunOutcome::Done;
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
