#include "runs/rebuild_run.h"

#include <memory>
#include <string>

#include "engine/rebuild.h"
#include "report/markup.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

RunOutcome rebuildSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                      const std::string& outputFolder, std::unique_ptr<ByteSink>& out) {
  const std::string outputPath = rebuiltFileName(outputPrefix(outputFolder, set), set.dvdTitle);
  host.log(openingLine(set, false));
  host.status("Opening", 0);
  RunOutcome failure = RunOutcome::OpenFailed;
  std::unique_ptr<ExtentSource> source = openPass(files, set.passes.front(), host, &failure);
  if (!source) return failure;
  host.log(fileSizeLine(source->size()));
  if (!prepareOutputFolder(files, outputFolder, host)) return RunOutcome::CreateFailed;
  out = createOutput(files, outputPath, set, host);
  if (!out) return RunOutcome::CreateFailed;
  state.written.others.push_back({outputPath, FileForm::ProgramStream});
  host.log("Creating " + escapeMarkup(outputPath));

  host.status("Rebuilding " + set.passes.front().firstName(), 0);
  // The kept streams' new identifiers carry over from one pass of the set to the next.
  Renumbering renumbering;
  const RebuildPass pass{state.registry, state.selection, renumbering, state.results, state.stop};
  // A write failure comes back as WriteFailed and is reported once, when the output is closed.
  return walkPasses(state, host, set, files, std::move(source), "Rebuilding",
                    [&](size_t index, ExtentSource& input) {
                      return Rebuild(pass, input, host, *out, set.passes[index].firstName());
                    });
}

}  // namespace

RunOutcome rebuildRun(RunState& state, RunHost& host, const RunSettings& settings) {
  const FileSet set = beginRun(state, host, RunKind::Rebuild, settings);

  std::unique_ptr<ByteSink> out;
  RunOutcome outcome = rebuildSet(state, host, set, *settings.files, settings.outputFolder, out);
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
    logFailed(host);
  }
  host.runFinished(RunKind::Rebuild);
  return outcome;
}

}  // namespace korvell
