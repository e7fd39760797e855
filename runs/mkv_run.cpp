#include "runs/mkv_run.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_kinds.h"
#include "mux/mkvmerge_run.h"
#include "mux/mux_plan.h"
#include "report/markup.h"
#include "runs/demux_run.h"
#include "runs/file_set.h"
#include "runs/output_forms.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

constexpr int kMostTemporaryFolders = 99;

std::string joined(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

// A folder of its own inside the output folder: PREFIX.mkv-parts, or .2, .3 ... after it when
// that name is taken. A folder that cannot be created for another reason ends the search.
std::optional<std::string> createTemporaryFolder(FileSystem& files, const std::string& prefix,
                                                 Console& console) {
  for (int n = 1; n <= kMostTemporaryFolders; ++n) {
    const std::string path = temporaryFolderName(prefix, n);
    if (files.isFolder(path) || files.isFile(path)) continue;
    if (const Status created = files.createFolder(path); !created.ok()) {
      reportFolderFailure(path, created.reason(), console);
      return std::nullopt;
    }
    console.log("Creating " + escapeMarkup(path));
    return path;
  }
  reportFolderFailure(
      temporaryFolderName(prefix, 1),
      "It and the names .2 to ." + std::to_string(kMostTemporaryFolders) + " after it are taken.",
      console);
  return std::nullopt;
}

// Removes what the run put into its temporary folder, and the folder.
void removeTemporaryFolder(FileSystem& files, const std::string& folder,
                           const std::vector<std::string>& written, Console& console) {
  for (const std::string& path : written) {
    if (const Status removed = files.remove(path); !removed.ok()) {
      console.logError("Cannot remove \"" + escapeMarkup(path) +
                       "\": " + escapeMarkup(removed.reason()));
    }
  }
  if (const Status removed = files.remove(folder); !removed.ok()) {
    console.logError("Cannot remove \"" + escapeMarkup(folder) +
                     "\": " + escapeMarkup(removed.reason()));
  }
}

bool isEmptyFile(FileSystem& files, const std::string& path) {
  std::unique_ptr<ByteSource> source;
  return files.openForReading(path, &source).ok() && source->size() == 0;
}

// What the Demux run wrote, stream by stream, as the mux plan takes it. A stream whose files
// are empty (subpictures none of which could be converted) is left out, with a line: mkvmerge
// refuses an empty file.
std::vector<DemuxedStream> demuxedStreams(const RunState& state, FileSystem& fileSystem,
                                          Console& console) {
  std::vector<DemuxedStream> streams;
  for (int number = 0; number < kSelectableSlots; ++number) {
    const std::vector<OutputFile>& files = state.written.streams[static_cast<size_t>(number)];
    if (files.empty()) continue;
    if (std::all_of(files.begin(), files.end(),
                    [&](const OutputFile& file) { return isEmptyFile(fileSystem, file.path); })) {
      console.log(escapeMarkup(state.selection.streamLabel[static_cast<size_t>(number)]) +
                  " is left out of the Matroska file: nothing of it was written.");
      continue;
    }
    const Slot slot = slotAt(number);
    DemuxedStream stream;
    stream.family = slot.family;
    stream.slot = slot.index;
    stream.id = state.results.details(slot.family, slot.index).id;
    stream.kind = foundKind(state, slot);
    stream.files = files;
    stream.delayMs = fileDelayMs(state, slot, files.front().form);
    streams.push_back(std::move(stream));
  }
  return streams;
}

// Matroska chapter XML keeps nanoseconds and languages; the simple text is the fallback.
std::string chapterFile(const RunState& state) {
  std::string simple;
  for (const OutputFile& file : state.written.others) {
    if (file.form == FileForm::ChaptersXml) return file.path;
    if (file.form == FileForm::ChaptersText) simple = file.path;
  }
  return simple;
}

RunOutcome outcomeOf(MuxOutcome mux) {
  switch (mux) {
    case MuxOutcome::Done:
    case MuxOutcome::DoneWithWarnings:
      return RunOutcome::Done;
    case MuxOutcome::Cancelled:
      return RunOutcome::Cancelled;
    case MuxOutcome::NotFound:
    case MuxOutcome::Failed:
      break;
  }
  return RunOutcome::MuxFailed;
}

}  // namespace

std::string defaultMkvPath(const RunSettings& settings, bool continueOn) {
  return matroskaFileName(outputPrefix(settings.outputFolder, runFileSet(settings, continueOn)));
}

bool mkvmergeAvailable(Launcher& launcher, Console& console) {
  if (launcher.findProgram("mkvmerge")) return true;
  console.logError("mkvmerge was not found; install MKVToolNix");
  return false;
}

RunOutcome mkvRun(RunState& state, RunHost& host, const RunSettings& settings,
                  const MkvRequest& request) {
  Launcher& launcher = request.launcher != nullptr ? *request.launcher : realLauncher();
  FileSystem& files = *settings.files;
  const FileSet set = beginRun(state, host, RunKind::Matroska, settings);
  const auto failBefore = [&](RunOutcome outcome) {
    logFailed(host);
    host.runFinished(RunKind::Matroska);
    return outcome;
  };
  if (!mkvmergeAvailable(launcher, host)) return failBefore(RunOutcome::MuxFailed);
  const std::string prefix = outputPrefix(settings.outputFolder, set);
  const std::string output =
      request.outputPath.empty() ? matroskaFileName(prefix) : request.outputPath;
  if (!prepareOutputFolder(files, settings.outputFolder, host)) {
    return failBefore(RunOutcome::Failed);
  }
  const std::optional<std::string> folder = createTemporaryFolder(files, prefix, host);
  if (!folder) return failBefore(RunOutcome::Failed);

  // The forms mkvmerge reads: LPCM as FLAC, DVD subpictures as VobSub, the 8-bit subpictures
  // of HD DVD as PGS; everything else as it stands.
  RunSettings demux = settings;
  demux.outputFolder = *folder;
  demux.lpcmForm = LpcmForm::Flac;
  demux.subpictureForm = isHdDvdSource(settings) ? SubpictureForm::Pgs : SubpictureForm::VobSub;
  demux.delayNames = false;
  demux.codecExtensions = true;
  demux.writeChapters = true;
  if (!settings.title && request.playlistTitle != nullptr) {
    demux.chapters = request.playlistTitle->chapters;
    demux.chaptersSource = settings.inputPath;
  }
  const Title* title = settings.title ? &*settings.title : request.playlistTitle;

  const RunOutcome demuxed = demuxStep(state, host, demux, set);
  std::vector<std::string> temporary;
  for (const std::vector<OutputFile>& stream : state.written.streams) {
    for (const OutputFile& file : stream)
      temporary.push_back(file.path);
  }
  for (const OutputFile& file : state.written.others)
    temporary.push_back(file.path);
  const auto finish = [&](RunOutcome outcome) {
    if (!request.keepTemp) {
      removeTemporaryFolder(files, *folder, temporary, host);
      state.written = {};  // none of them is there any more
    }
    if (failed(outcome)) {
      logFailed(host);
    } else {
      if (outcome == RunOutcome::Done) state.written.others.push_back({output, FileForm::Matroska});
      logDone(host);
    }
    host.runFinished(RunKind::Matroska);
    return outcome;
  };
  if (demuxed != RunOutcome::Done) return finish(demuxed);

  const MuxPlan plan =
      planMux(demuxedStreams(state, files, host), title, output, chapterFile(state));
  for (const LeftOutStream& left : plan.leftOut) {
    const std::string& label =
        state.selection.streamLabel[static_cast<size_t>(slotNumber({left.family, left.slot}))];
    host.log(escapeMarkup(label) +
             " is left out of the Matroska file: " + escapeMarkup(left.reason));
  }
  if (plan.description.tracks.empty()) {
    host.logError("Nothing to mux: no stream of " + escapeMarkup(namePart(settings.inputPath)) +
                  " can go into a Matroska file.");
    return finish(RunOutcome::NothingToWrite);
  }
  const std::string optionsPath =
      request.keepTemp ? keptOptionFileName(output) : joined(*folder, "mkvmerge.json");
  if (!request.keepTemp) temporary.push_back(optionsPath);
  const MuxOutcome muxed =
      muxWithMkvmerge(state.stop, host, launcher, files, plan.description, optionsPath);
  return finish(outcomeOf(muxed));
}

}  // namespace korvell
