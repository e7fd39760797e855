#include "runs/run_support.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "disc/encryption_mark.h"
#include "report/markup.h"
#include "report/text_format.h"

namespace korvell {

namespace {

std::unique_ptr<ByteSink> createOutputBeside(FileSystem& files, const std::string& path,
                                             const std::vector<std::string>& inputs,
                                             Console& console) {
  for (const std::string& input : inputs) {
    if (!files.sameFile(path, input)) continue;
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

// "A, B and C".
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace

FileSet beginRun(RunState& state, RunHost& host, RunKind kind, const RunSettings& settings) {
  state.runKind = kind;
  host.runStarting(kind);
  FileSet set = runFileSet(settings, state.options.Continue);
  switch (kind) {
    case RunKind::Read:
      state.selection.reset();
      host.selectionChanged();
      state.results.reset();
      state.results.frameCount.fill(0);
      // The frame rates and the duration stay from one run to the next only for the same
      // source: another file's would give it frames it does not have.
      if (settings.inputPath != state.sourcePath || set.baseName != state.baseName) {
        state.results.frameRate.fill(0);
        state.results.duration = 0;
      }
      break;
    case RunKind::Demux:
    case RunKind::Matroska:
      state.results.frameCount.fill(0);
      state.written = {};
      break;
    case RunKind::Rebuild:
      state.written = {};
      break;
    case RunKind::Playlist:
      break;
  }
  state.sourcePath = settings.inputPath;
  state.baseName = set.baseName;
  state.secondFile = set.secondFile;
  return set;
}

void reportFolderFailure(const std::string& path, const std::string& reason, Console& console) {
  console.logError("Cannot create folder \"" + escapeMarkup(path) + "\". " + escapeMarkup(reason));
}

bool prepareOutputFolder(FileSystem& files, const std::string& folder, Console& console) {
  if (folder.empty() || files.isFolder(folder)) return true;
  // The folder and each missing parent, innermost first, up to the first that exists.
  std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
  if (path.filename().empty()) path = path.parent_path();  // a trailing separator
  std::vector<std::string> missing;
  for (;; path = path.parent_path()) {
    // A file in the way: creating the folder below it says why that cannot be.
    if (files.isFolder(path.string()) || (files.isFile(path.string()) && !missing.empty())) break;
    missing.push_back(path.string());
    if (!path.has_relative_path() || !path.has_parent_path()) break;
  }
  for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
    if (const Status created = files.createFolder(*level); !created.ok()) {
      reportFolderFailure(folder, created.reason(), console);
      return false;
    }
  }
  console.log("Creating folder " + escapeMarkup(folder));
  return true;
}

std::unique_ptr<ByteSink> createOutput(FileSystem& files, const std::string& path,
                                       const std::string& firstInput,
                                       const std::string& secondInput, Console& console) {
  return createOutputBeside(files, path, {firstInput, secondInput}, console);
}

std::unique_ptr<ByteSink> createOutput(FileSystem& files, const std::string& path,
                                       const FileSet& set, Console& console) {
  return createOutputBeside(files, path, set.inputs(), console);
}

FileSet runFileSet(const RunSettings& settings, bool continueOn) {
  if (settings.title) return titleFileSet(*settings.title);
  return prepareFileSet(settings.inputPath, continueOn, *settings.files);
}

std::string openingLine(const FileSet& set, bool bold) {
  const auto shown = [bold](const std::string& text) {
    return bold ? "[b]" + escapeMarkup(text) + "[/b]" : escapeMarkup(text);
  };
  if (set.titleNumber == 0) return "Opening file " + shown(namePart(set.firstPath));
  return "Opening title " + shown(set.baseName) + " in " + inputNames(set);
}

std::string inputNames(const FileSet& set) {
  std::vector<std::string> names;
  for (const std::string& path : set.inputs())
    names.push_back(escapeMarkup(namePart(path)));
  return listed(names);
}

std::unique_ptr<ExtentSource> openPass(FileSystem& files, const FilePass& pass, Console& console) {
  if (pass.extents.empty()) {
    // A title that plays no part of any file: nothing to read, and nothing to name outputs by.
    console.logError("Nothing to read: the title plays no part of any file.");
    return nullptr;
  }
  std::vector<FileExtent> extents = pass.extents;
  if (pass.wholeFiles) {
    for (FileExtent& extent : extents) {
      std::unique_ptr<ByteSource> file;
      const Status opened = files.openForReading(extent.path, &file);
      if (!opened.ok()) {
        reportFailure(extent.path, opened, console);
        return nullptr;
      }
      extent.offset = 0;
      extent.length = file->size();
    }
  }
  std::unique_ptr<ExtentSource> source;
  std::string failedPath;
  const Status opened = ExtentSource::open(files, std::move(extents), &source, &failedPath);
  if (!opened.ok()) {
    reportFailure(failedPath, opened, console);
    return nullptr;
  }
  if (pass.wholeFiles && pass.extents.size() > 1) {
    std::vector<std::string> later;
    for (size_t i = 1; i < pass.extents.size(); ++i)
      later.push_back(escapeMarkup(namePart(pass.extents[i].path)));
    console.log(escapeMarkup(pass.firstName()) + " goes on in " + listed(later) +
                ": they are read as one file.");
  }
  return source;
}

RunOutcome walkPasses(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                      std::unique_ptr<ExtentSource> first, const std::string& verb,
                      const std::function<Status(size_t pass, ExtentSource& source)>& pass) {
  std::unique_ptr<ExtentSource> source = std::move(first);
  Status walked;
  for (size_t index = 0; index < set.passes.size(); ++index) {
    if (index > 0) {
      // A failed sink write stops the pass as a cancel does: no next pass then either.
      if (!state.options.Continue || state.stop.requested()) break;
      source.reset();
      source = openPass(files, set.passes[index], host);
      if (!source) return RunOutcome::Failed;
      const std::string name = set.passes[index].firstName();
      host.log("Continue on " + escapeMarkup(name));
      host.log(fileSizeLine(source->size()));
      host.status(verb + " " + name, 0);
    }
    walked = pass(index, *source);
    if (!walked.ok()) break;
  }
  if (walked.code() == Status::Code::WriteFailed) return RunOutcome::Failed;
  if (state.stop.reason() == StopReason::Scrambled) {
    host.logError(scrambledMessage(state, files, set.firstPath));
    return RunOutcome::Failed;
  }
  if (!walked.ok()) {
    reportFailure(source->failedPath(), walked, host);
    return RunOutcome::Failed;
  }
  // The fast check ends a scan early by design: the run is done, and the files say where it
  // stopped.
  const bool cancelled =
      state.stop.requested() && state.stop.reason() != StopReason::FastCheckLimit;
  return cancelled ? RunOutcome::Cancelled : RunOutcome::Done;
}

RunOutcome walkSet(RunState& state, RunHost& host, const FileSet& set, FileSystem& files,
                   std::unique_ptr<ExtentSource> first, WalkMode mode, const std::string& verb,
                   DemuxSinks* sinks) {
  return walkPasses(state, host, set, files, std::move(first), verb,
                    [&](size_t index, ExtentSource& source) {
                      if (mode == WalkMode::Scan) {
                        state.results.scannedFiles.push_back(
                            {set.passes[index].extents.front().path, source.size()});
                      }
                      const WalkerPass walked{source,          isAudioObject(state.sourcePath),
                                              state.options,   state.registry,
                                              state.selection, state.results,
                                              state.stop,      sinks};
                      const Status read = demux(walked, host, mode);
                      if (mode == WalkMode::Scan) {
                        state.results.scannedFiles.back().fastCheckStopped =
                            state.stop.reason() == StopReason::FastCheckLimit;
                      }
                      return read;
                    });
}

std::string scrambledMessage(const RunState& state, const FileSystem& files,
                             const std::string& path) {
  std::vector<std::string> labels;
  for (int number = 0; number < kSelectableSlots; ++number) {
    const Slot slot = slotAt(number);
    if (state.results.scrambled[number] && state.registry.registeredId(slot) != -1)
      labels.push_back(escapeMarkup(streamLabelFor(slot, state.registry.registeredId(slot))));
  }
  const std::string mark = encryptionMark(files, path);
  return "The disc is encrypted" +
         (mark.empty() ? std::string() : " (it carries " + escapeMarkup(mark) + ")") +
         ": the packets of " + listed(labels) +
         " are scrambled. Korvell reads decrypted discs; nothing is written for " +
         (labels.size() == 1 ? "this stream." : "these streams.");
}

std::string fileSizeLine(uint64_t bytes) {
  return "File size: " + std::to_string(wholeMebibytes(bytes)) + " Mbytes.";
}

bool isHdDvdSource(const RunSettings& settings) {
  return settings.title ? settings.title->titleSet == 0
                        : upperExtension(settings.inputPath) == ".EVO";
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

void logFailed(Console& console) {
  console.log(kFailedLine);
  console.log("");
  showReady(console);
}

std::optional<int64_t> calculatedFrames(const RunState& state, int slot) {
  const double rate = state.results.frameRate[static_cast<size_t>(slot)];
  if (rate <= 0) return std::nullopt;
  // nearbyint rounds half to even in the default rounding mode.
  return static_cast<int64_t>(std::nearbyint(state.results.duration * rate));
}

std::string frameTime(int32_t count, double rate) {
  return clockText(static_cast<double>(count) / rate, true);
}

std::string cancelQuestion(const RunState& state) {
  switch (state.runKind) {
    case RunKind::Demux:
      return "Are you sure to stop demuxing?";
    case RunKind::Rebuild:
      return "Are you sure to stop rebuilding?";
    case RunKind::Matroska:
      return "Stop making the Matroska file?";
    case RunKind::Read:
    case RunKind::Playlist:
      break;
  }
  return "";
}

void confirmCancel(RunState& state, Console& console) {
  state.stop.request(StopReason::UserCancel);
  console.log("Cancelled.");
}

void requestCancel(RunState& state, RunHost& host) {
  const std::string question = cancelQuestion(state);
  if (question.empty()) {
    state.stop.request(StopReason::UserCancel);
  } else if (host.ask(question)) {
    confirmCancel(state, host);
  }
}

}  // namespace korvell
