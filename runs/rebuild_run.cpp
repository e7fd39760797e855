#include "runs/rebuild_run.h"

#include <memory>
#include <string>

#include "engine/rebuild.h"
#include "report/markup.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

// Runs the pass over the current source and turns its end into the run's outcome.
RunOutcome rebuildFile(RunState& state, RunHost& host, ByteSink& out, const std::string& path) {
  const Status pass = Rebuild(state, host, out, namePart(path));
  if (pass.code() == Status::Code::ReadFailed) {
    reportFailure(path, pass, host);
    return RunOutcome::ReadFailed;
  }
  // A write failure is reported once, when the output is closed.
  if (!pass.ok()) return RunOutcome::WriteFailed;
  return state.stopRequested() ? RunOutcome::Cancelled : RunOutcome::Done;
}

RunOutcome rebuildSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                      const std::string& outputPath, std::unique_ptr<ByteSink>& out) {
  const std::string firstName = namePart(set.firstPath);
  host.log("Opening file " + escapeMarkup(firstName));
  host.status("Opening", 0);
  std::unique_ptr<ByteSource> source = openInput(files, set.firstPath, host);
  if (!source) return RunOutcome::OpenFailed;
  host.log(fileSizeLine(source->size()));
  out = createOutput(files, outputPath, set.firstPath, set.secondFile, host);
  if (!out) return RunOutcome::CreateFailed;
  state.written.others.push_back({outputPath, "evo"});
  host.log("Creating " + escapeMarkup(outputPath));

  host.status("Rebuilding " + firstName, 0);
  state.source = source.get();
  RunOutcome outcome = rebuildFile(state, host, *out, set.firstPath);
  state.source = nullptr;
  if (outcome == RunOutcome::Done && state.Continue && !set.secondFile.empty()) {
    source.reset();
    source = openInput(files, set.secondFile, host);
    if (!source) return RunOutcome::OpenFailed;
    const std::string secondName = namePart(set.secondFile);
    host.log("Continue on " + escapeMarkup(secondName));
    host.status("Rebuilding " + secondName, 0);
    state.source = source.get();
    outcome = rebuildFile(state, host, *out, set.secondFile);
    state.source = nullptr;
  }
  return outcome;
}

}  // namespace

std::string rebuiltFileName(const std::string& outputFolder, const FileSet& set) {
  return outputPrefix(outputFolder, set) + ".rebuilt.EVO";
}

RunOutcome rebuildRun(RunState& state, RunHost& host, const RunSettings& settings) {
  host.runStarting(RunKind::Rebuild);
  state.resetRenumbering();
  state.sourcePath = settings.inputPath;
  const FileSet set = prepareFileSet(settings.inputPath, state.Continue, *settings.files);
  state.baseName = set.baseName;
  state.secondFile = set.secondFile;
  state.written = {};

  std::unique_ptr<ByteSink> out;
  RunOutcome outcome = rebuildSet(state, host, set, *settings.files,
                                  rebuiltFileName(settings.outputFolder, set), out);
  // The output is closed whatever happened; a failed write or final flush is reported once.
  const Status closed = out ? out->close() : Status();
  if (outcome == RunOutcome::WriteFailed || (!closed.ok() && !failed(outcome))) {
    reportFailure(out->path(), out->status(), host);
    outcome = RunOutcome::WriteFailed;
  }
  // A cancelled rebuild ends like a finished one: its partial output stays on disk.
  if (!failed(outcome)) {
    logDone(host);
  } else {
    showReady(host);
  }
  host.runFinished(RunKind::Rebuild);
  return outcome;
}

}  // namespace korvell
