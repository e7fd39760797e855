#include "runs/read_run.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/walker.h"
#include "report/markup.h"
#include "runs/demux_run.h"
#include "runs/file_set.h"
#include "runs/rebuild_run.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

// Every stream found is selected, but for those whose packets are scrambled.
void fillSelection(RunState& state) {
  for (int number = 0; number < kSelectableSlots; ++number) {
    const Slot slot = slotAt(number);
    const int32_t id = state.registry.registeredId(slot);
    state.selection.selected[number] = id != -1 && !state.results.scrambled[number];
    if (id != -1) state.selection.streamLabel[number] = streamLabelFor(slot, id);
  }
}

void logFrameReport(RunState& state, Console& console) {
  for (int slot = 0; slot < kVideoSlots; ++slot) {
    const int32_t count = state.results.frameCount[slot];
    const double rate = state.results.frameRate[slot];
    const std::string stream = " in video stream " + std::to_string(slot) + ".";
    if (count > 0 && rate > 0) {
      console.log(std::to_string(count) + " counted frames ([b]" + frameTime(count, rate) +
                  "[/b])" + stream);
    } else if (count > 0) {
      console.log(std::to_string(count) + " frames count" + stream);
    }
    if (const std::optional<int64_t> frames = calculatedFrames(state, slot)) {
      console.log(std::to_string(*frames) + " calculated frames.");
    }
  }
  if (state.results.frameCount[0] + state.results.frameCount[1] > 0) console.log("");
}

// A disc title's streams carry the language the disc gives them in their labels
// (DD.stream.00.en).
void addTitleLanguages(RunState& state, const Title& title) {
  for (int number = 0; number < kSelectableSlots; ++number) {
    const Slot slot = slotAt(number);
    const int32_t id = state.registry.registeredId(slot);
    if (id == -1) continue;
    const TitleStream* stream = titleStreamFor(&title, slot.family, slot.index, id);
    if (stream != nullptr && !stream->language.empty()) {
      state.selection.streamLabel[number] += "." + stream->language;
    }
  }
}

bool anyStreamFound(const RunState& state) {
  for (int number = 0; number < kSelectableSlots; ++number) {
    const Slot slot = slotAt(number);
    if (state.results.foundInLastRead(slot) || state.registry.registeredId(slot) != -1) return true;
  }
  return false;
}

// The set's duration: the sum of its files' durations, each from the file's first navigation
// packet. Without any the duration stays as it was.
void setDuration(RunState& state) {
  std::optional<double> sum;
  for (const ScannedFile& file : state.results.scannedFiles) {
    if (file.navigation && file.navigation->durationSeconds) {
      sum = sum.value_or(0) + *file.navigation->durationSeconds;
    }
  }
  if (sum) state.results.duration = *sum;
}

// The scan of the set, from "Opening file" on. Returns how it ended; the sources are closed.
RunOutcome scanSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files) {
  host.log(openingLine(set, true));
  std::unique_ptr<ExtentSource> source = openPass(files, set.passes.front(), host);
  if (!source) return RunOutcome::Failed;
  host.status("Reading " + set.passes.front().firstName() + " ", 0);
  host.log(fileSizeLine(source->size()));
  return walkSet(state, host, set, files, std::move(source), WalkMode::Scan, "Reading");
}

}  // namespace

RunOutcome readRun(RunState& state, RunHost& host, const RunSettings& settings) {
  if (settings.autoClear) host.clearConsole();
  const FileSet set = beginRun(state, host, RunKind::Read, settings);

  RunOutcome outcome = scanSet(state, host, set, *settings.files);
  if (outcome == RunOutcome::Done && !anyStreamFound(state)) {
    host.logError("No stream found in " + inputNames(set) + ".");
    outcome = RunOutcome::NoStreamFound;
  }
  if (failed(outcome)) {
    logFailed(host);
    host.runFinished(RunKind::Read);
    return outcome;
  }
  setDuration(state);
  fillSelection(state);
  if (settings.title) addTitleLanguages(state, *settings.title);
  host.selectionChanged();
  // An encrypted disc is named once; the streams that are clear can still be taken apart.
  if (std::ranges::any_of(state.results.scrambled, std::identity())) {
    host.logError(scrambledMessage(state, *settings.files, set.firstPath));
    if (std::ranges::none_of(state.selection.selected, std::identity())) {
      showReady(host);
      host.runFinished(RunKind::Read);
      return RunOutcome::Failed;
    }
  }
  logDone(host);
  logFrameReport(state, host);
  host.runFinished(RunKind::Read);

  // The follow-on run starts even when the scan was stopped, but not while the front end is
  // closing.
  if (host.closing()) return outcome;
  if (settings.followOn == FollowOn::Demux) demuxRun(state, host, settings);
  if (settings.followOn == FollowOn::Rebuild) rebuildRun(state, host, settings);
  return outcome;
}

}  // namespace korvell
