#include "runs/demux_run.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "disc/chapters.h"
#include "engine/raw_outputs.h"
#include "engine/walker.h"
#include "report/markup.h"
#include "runs/file_set.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

const std::string& extensionOf(Family family, const RunSettings& settings) {
  switch (family) {
    case Family::Video:
      return settings.videoExt;
    case Family::Audio:
      return settings.audioExt;
    case Family::Subpicture:
      break;
  }
  return settings.subExt;
}

// The label part of a stream file's name: the slot's label, and for audio and subpictures
// with delay names on " DELAY <n>ms", the convention muxing front ends read delays from.
std::string fileLabel(const RunState& state, const RunSettings& settings, Slot slot, int number) {
  const std::string& label = state.streamLabel[number];
  if (!settings.delayNames || slot.family == Family::Video) return label;
  const std::optional<int32_t> delay = state.delayMs(slot.family, slot.index);
  return delay ? label + " DELAY " + std::to_string(*delay) + "ms" : label;
}

// A small output written whole: "Creating <path>", or the failure's message.
RunOutcome writeTextFile(FileSystem& files, const std::string& path, const std::string& text,
                         const FileSet& set, RunHost& host) {
  std::unique_ptr<ByteSink> sink = createOutput(files, path, set, host);
  if (!sink) return RunOutcome::CreateFailed;
  host.log("Creating " + escapeMarkup(path));
  sink->write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (const Status closed = sink->close(); !closed.ok()) {
    reportFailure(path, closed, host);
    return RunOutcome::WriteFailed;
  }
  return RunOutcome::Done;
}

// The outputs of one run: attached to the run state while open, detached and finished
// together.
class OutputSet {
 public:
  explicit OutputSet(RunState& state) : state_(state) {}
  ~OutputSet() { finishAll(); }
  bool empty() const { return outputs_.empty(); }
  void add(Slot slot, std::unique_ptr<StreamOutput> output) {
    state_.outputOf(slot) = output.get();
    outputs_.push_back({slot, std::move(output)});
  }
  /// Finishes every output; returns the first that failed (a piece or the final writes), or
  /// null.
  const StreamOutput* finishAll() {
    const StreamOutput* failedOutput = state_.failedOutput;
    for (auto& [slot, output] : outputs_) {
      state_.outputOf(slot) = nullptr;
      if (!output->finish().ok() && failedOutput == nullptr) failedOutput = output.get();
    }
    return failedOutput;
  }

 private:
  RunState& state_;
  std::vector<std::pair<Slot, std::unique_ptr<StreamOutput>>> outputs_;
};

void logFrameLines(const RunState& state, Console& console) {
  for (int slot = 0; slot < kVideoSlots; ++slot) {
    const int32_t count = state.frameCount[slot];
    if (count <= 0) continue;
    const std::string stream = " in video stream " + std::to_string(slot) + ".";
    if (state.frameRate[slot] > 0) {
      console.log(std::to_string(count) + " frames ([b]" + frameTime(count, state.frameRate[slot]) +
                  "[/b]) count" + stream);
    } else {
      console.log(std::to_string(count) + " frames count" + stream);
    }
  }
  if (state.frameCount[0] + state.frameCount[1] > 0) console.log("");
}

RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set, const RunSettings& settings,
                   OutputSet& outputs) {
  host.log(openingLine(set, false));
  host.status("Opening", 0);
  FileSystem& files = *settings.files;
  RunOutcome failure = RunOutcome::OpenFailed;
  std::unique_ptr<ExtentSource> source = openPass(files, set.passes.front(), host, &failure);
  if (!source) return failure;
  host.log(fileSizeLine(source->size()));

  const std::string prefix = outputPrefix(settings.outputFolder, set);
  int missing = 0;
  for (int number = 0; number < kSelectableSlots; ++number) {
    if (!state.selected[number]) continue;
    const Slot slot = slotAt(number);
    // A box the playlist checked for a stream the Read run did not find gets no empty file.
    if (!state.foundInLastRead(slot)) {
      host.log(escapeMarkup(state.streamLabel[number]) + ": the playlist lists this stream, but " +
               escapeMarkup(namePart(set.firstPath)) + " has none; no file is written for it.");
      ++missing;
      continue;
    }
    const std::string name = streamFileName(prefix, fileLabel(state, settings, slot, number),
                                            extensionOf(slot.family, settings));
    auto sink = createOutput(files, name, set, host);
    if (!sink) return RunOutcome::CreateFailed;
    if (slot.family == Family::Subpicture) {
      outputs.add(slot, std::make_unique<SupRecordOutput>(std::move(sink), state.firstPtsMin));
    } else {
      outputs.add(slot, std::make_unique<RawOutput>(std::move(sink)));
    }
    state.written.streams[number] = name;
    host.log("Creating " + escapeMarkup(name));
  }

  // Streams were asked for and none of them is there: a run that would write nothing fails.
  if (missing > 0 && outputs.empty()) {
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
    const std::pair<const char*, std::string> chapterFiles[] = {
        {".chapters.txt", simpleChapterText(chapters)},
        {".chapters.xml", matroskaChapterXml(chapters)}};
    for (const auto& [suffix, text] : chapterFiles) {
      const RunOutcome written = writeTextFile(files, prefix + suffix, text, set, host);
      if (written != RunOutcome::Done) return written;
      state.written.others.push_back(prefix + suffix);
    }
  }

  host.status("Demuxing " + set.passes.front().firstName(), 0);
  return walkSet(state, host, set, files, std::move(source), WalkMode::Demux, "Demuxing");
}

}  // namespace

RunOutcome demuxRun(RunState& state, RunHost& host, const RunSettings& settings) {
  host.runStarting(RunKind::Demux);
  state.frameCount.fill(0);
  state.sourcePath = settings.inputPath;
  const FileSet set = runFileSet(settings, state.Continue);
  state.baseName = set.baseName;
  state.secondFile = set.secondFile;
  state.written = {};

  OutputSet outputs(state);
  RunOutcome outcome = walkSet(state, host, set, settings, outputs);
  if (const StreamOutput* failedOutput = outputs.finishAll(); failedOutput != nullptr) {
    reportFailure(failedOutput->failedPath(), failedOutput->status(), host);
    if (!failed(outcome)) outcome = RunOutcome::WriteFailed;
  }
  state.failedOutput = nullptr;
  if (failed(outcome)) {
    state.frameCount.fill(0);
    showReady(host);
  } else {
    logDone(host);
    logFrameLines(state, host);
  }
  host.runFinished(RunKind::Demux);
  return outcome;
}

}  // namespace korvell
