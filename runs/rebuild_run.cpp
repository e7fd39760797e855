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
  std::unique_ptr<ExtentSource> source = openPass(files, set.passes.front(), host);
  if (!source) return RunOutcome::Failed;
  host.log(fileSizeLine(source->size()));
  if (!prepareOutputFolder(files, outputFolder, host)) return RunOutcome::Failed;
  out = createOutput(files, outputPath, set, host);
  if (!out) return RunOutcome::Failed;
  state.written.others.push_back({outputPath, FileForm::ProgramStream});
  host.log("Creating " + escapeMarkup(outputPath));

  host.status("Rebuilding " + set.passes.front().firstName(), 0);
  // The kept streams' new identifiers carry over from one pass of the set to the next.
  Renumbering renumbering;
  const RebuildPass pass{state.registry, state.selection, renumbering, state.results, state.stop};
  // A write failure ends the walk unreported: it is reported once, when the output is closed.
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
  const bool writeFailed = out && !out->status().ok();
  const Status closed = out ? out->close() : Status();
  if (writeFailed || (!closed.ok() && !failed(outcome))) {
    reportFailure(out->path(), out->status(), host);
    outcome = RunOutcome::Failed;
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
