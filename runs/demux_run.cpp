#include "runs/demux_run.h"

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "disc/chapters.h"
#include "engine/walker.h"
#include "report/markup.h"
#include "runs/file_set.h"
#include "runs/output_forms.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

// A small output written whole: "Creating <path>", or the failure's message.
RunOutcome writeTextFile(FileSystem& files, const std::string& path, const std::string& text,
                         const FileSet& set, RunHost& host) {
  std::unique_ptr<ByteSink> sink = createOutput(files, path, set, host);
  if (!sink) return RunOutcome::Failed;
  host.log("Creating " + escapeMarkup(path));
  sink->write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (const Status closed = sink->close(); !closed.ok()) {
    reportFailure(path, closed, host);
    return RunOutcome::Failed;
  }
  return RunOutcome::Done;
}

void logFrameLines(const RunState& state, Console& console) {
  for (int slot = 0; slot < kVideoSlots; ++slot) {
    const int32_t count = state.results.frameCount[slot];
    if (count <= 0) continue;
    const std::string stream = " in video stream " + std::to_string(slot) + ".";
    if (state.results.frameRate[slot] > 0) {
      console.log(std::to_string(count) + " frames ([b]" +
                  frameTime(count, state.results.frameRate[slot]) + "[/b]) count" + stream);
    } else {
      console.log(std::to_string(count) + " frames count" + stream);
    }
  }
  if (state.results.frameCount[0] + state.results.frameCount[1] > 0) console.log("");
}

RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set, const RunSettings& settings,
                   DemuxOutputs& outputs) {
  host.log(openingLine(set, false));
  host.status("Opening", 0);
  FileSystem& files = *settings.files;
  std::unique_ptr<ExtentSource> source = openPass(files, set.passes.front(), host);
  if (!source) return RunOutcome::Failed;
  host.log(fileSizeLine(source->size()));

  if (!prepareOutputFolder(files, settings.outputFolder, host)) return RunOutcome::Failed;
  const std::string prefix = outputPrefix(settings.outputFolder, set);
  int missing = 0;
  int opened = 0;
  for (int number = 0; number < kSelectableSlots; ++number) {
    if (!state.selection.selected[number]) continue;
    const Slot slot = slotAt(number);
    // A box the playlist checked for a stream the Read run did not find gets no empty file.
    if (!state.results.foundInLastRead(slot)) {
      host.log(escapeMarkup(state.selection.streamLabel[number]) +
               ": the playlist lists this stream, but " + escapeMarkup(namePart(set.firstPath)) +
               " has none; no file is written for it.");
      ++missing;
      continue;
    }
    if (!outputs.open(slot, prefix, state.selection.streamLabel[number])) return RunOutcome::Failed;
    ++opened;
  }

  // Streams were asked for and none of them is there: a run that would write nothing fails.
  if (missing > 0 && opened == 0) {
    host.logError("Nothing to write: " + escapeMarkup(namePart(set.firstPath)) +
                  " has none of the selected streams.");
    return RunOutcome::NothingToWrite;
  }

  // A title's own chapters, or those a playlist reading chose for this input.
  const std::vector<Chapter> none;
  const std::vector<Chapter>& chapters = settings.title ? settings.title->chapters
                                         : settings.chaptersSource == settings.inputPath
                                             ? settings.chapters
                                             : none;
  if (settings.writeChapters && !chapters.empty()) {
    const std::pair<FileForm, std::string> chapterFiles[] = {
        {FileForm::ChaptersText, simpleChapterText(chapters)},
        {FileForm::ChaptersXml, matroskaChapterXml(chapters)}};
    for (const auto& [form, text] : chapterFiles) {
      const std::string path = chapterFileName(prefix, form);
      const RunOutcome written = writeTextFile(files, path, text, set, host);
      if (written != RunOutcome::Done) return written;
      state.written.others.push_back({path, form});
    }
  }

  host.status("Demuxing " + set.passes.front().firstName(), 0);
  return walkSet(state, host, set, files, std::move(source), WalkMode::Demux, "Demuxing",
                 &outputs.sinks());
}

}  // namespace

RunOutcome demuxRun(RunState& state, RunHost& host, const RunSettings& settings) {
  const FileSet set = beginRun(state, host, RunKind::Demux, settings);
  const RunOutcome outcome = demuxStep(state, host, settings, set);
  if (failed(outcome)) {
    logFailed(host);
  } else {
    logDone(host);
    logFrameLines(state, host);
  }
  host.runFinished(RunKind::Demux);
  return outcome;
}

RunOutcome demuxStep(RunState& state, RunHost& host, const RunSettings& settings,
                     const FileSet& set) {
  DemuxOutputs outputs(state, settings, host, set.inputs());
  RunOutcome outcome = walkSet(state, host, set, settings, outputs);
  if (const StreamOutput* failedOutput = outputs.finishAll(); failedOutput != nullptr) {
    const Status& status = failedOutput->status();
    reportFailure(failedOutput->failedPath(), status, host);
    // An output that creates its files late can fail to create them during the pass.
    outcome = RunOutcome::Failed;
  }
  if (failed(outcome)) state.results.frameCount.fill(0);
  return outcome;
}

}  // namespace korvell
