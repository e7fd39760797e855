#include "cli/cli_app.h"

#include <array>
#include <cstdio>
#include <memory>

#include "cli/json_report.h"
#include "disc/chapters.h"
#include "report/display_text.h"
#include "report/markup.h"
#include "runs/demux_run.h"
#include "runs/file_set.h"
#include "runs/mkv_run.h"
#include "runs/playlist_run.h"
#include "runs/read_run.h"
#include "runs/rebuild_run.h"
#include "runs/run_report.h"
#include "runs/run_support.h"
#include "runs/session.h"
#include "runs/titles_run.h"

namespace korvell::cli {

namespace {

RunSettings settingsOf(const CliOptions& options, const Session& session) {
  RunSettings settings;
  session.applyTo(settings, options.outputFolder);
  settings.videoExt = options.videoExt;
  settings.audioExt = options.audioExt;
  settings.subExt = options.subExt;
  settings.delayNames = options.delayNames;
  settings.lpcmForm = options.lpcmForm;
  settings.subpictureForm = options.subpictureForm;
  settings.codecExtensions = options.codecExtensions;
  settings.writeChapters = options.writeChapters;
  return settings;
}

int exitStatus(RunOutcome outcome, const TerminalHost& host) {
  if (failed(outcome)) return kExitFileError;
  return host.interrupted() ? kExitInterrupted : kExitDone;
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

void printTree(const std::vector<PlaylistNode>& nodes, int depth) {
  for (const auto& node : nodes) {
    printLine(std::string(2 * static_cast<size_t>(depth), ' ') + displayUtf8(node.text));
    printTree(node.children, depth + 1);
  }
}

void printError(const std::string& message) {
  std::fprintf(stderr, "korvell-cli: %s\n", message.c_str());
}

// A failure's message went to stderr as the run logged it. With --json the other console
// lines are kept, not printed: when the run gave no error line, its last line tells why.
int failedStatus(const CliOptions& options, const TerminalHost& host) {
  if (options.json && !host.errorShown() && !host.lastLine().empty()) printError(host.lastLine());
  return kExitFileError;
}

// xpl --chapters-file FILE: the selected title's chapters in the chosen format.
bool writeChapterFile(const CliOptions& options, const PlaylistResult& result) {
  if (!result.titleFound) {
    printError("--chapters-file: no title selected" +
               std::string(options.source.empty() ? ": name the file it plays with --source"
                                                  : " plays " + options.source));
    return false;
  }
  const std::string text = options.chaptersFormat == ChapterFormat::Xml
                               ? matroskaChapterXml(result.chapters)
                               : simpleChapterText(result.chapters);
  std::unique_ptr<ByteSink> sink;
  Status written = realFileSystem().create(options.chaptersFile, &sink);
  if (written.ok()) {
    sink->write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    written = sink->close();
  }
  if (written.ok()) return true;
  printError("cannot write file \"" + options.chaptersFile + "\". " + written.reason());
  return false;
}

// The playlist on its own: the title that plays --source, as a tree, and the labels.
int showPlaylist(const CliOptions& options, Session& session, RunState& state, TerminalHost& host) {
  // The input is the playlist itself; --source names the file whose title is shown.
  const std::string playedName = options.source.empty() ? "" : CutExt(namePart(options.source));
  if (options.json) host.keepLines();
  if (!session.readPlaylist(state, host, session.path(), playedName)) {
    return failedStatus(options, host);
  }
  const PlaylistResult& result = session.playlist();
  if (!options.chaptersFile.empty() && !writeChapterFile(options, result)) return kExitFileError;
  if (options.json) {
    std::fputs(jsonText(playlistJson(options.input, options.source, result, state.selection,
                                     options.chaptersFile))
                   .c_str(),
               stdout);
    return kExitDone;
  }
  if (options.tags) {
    for (const auto& line : result.lines)
      printLine(displayUtf8(line));
  }
  if (!result.titleFound) return kExitDone;  // the reading said why, on stderr
  printTree(result.tree.roots, 0);
  for (int number = 0; number < kSelectableSlots; ++number) {
    if (result.enabled[number]) {
      printLine(slotName(slotAt(number)) + " " + displayUtf8(state.selection.streamLabel[number]));
    }
  }
  return kExitDone;
}

// titles DISC: the listing, or with --json its document. A disc without a title to play fails.
int listTitles(const CliOptions& options, const Session& session, TerminalHost& host) {
  if (options.json) host.keepLines();
  const TitlesReport report = titlesRun(session.path(), host, options.playlist, session.files());
  if (failed(report.outcome)) {
    if (!host.errorShown()) printError(report.failure.reason());
    return kExitFileError;
  }
  if (options.json) std::fputs(jsonText(titlesJson(options.input, report)).c_str(), stdout);
  return kExitDone;
}

}  // namespace

bool applySelection(const std::vector<std::string>& names, RunState& state, std::string* error) {
  if (names.empty()) return true;
  std::array<bool, kSelectableSlots> chosen{};
  for (const auto& name : names) {
    const std::optional<Slot> named = slotNamed(name);
    int number = named ? slotNumber(*named) : -1;
    if (number < 0) {
      for (int n = 0; n < kSelectableSlots; ++n) {
        if (state.selection.selected[n] && state.selection.streamLabel[n] == name) number = n;
      }
    }
    if (number < 0 || !state.selection.selected[number]) {
      *error = "--select: no stream '" + name + "' was found";
      return false;
    }
    chosen[number] = true;
  }
  state.selection.selected = chosen;
  return true;
}

int runCommand(const CliOptions& options, RunState& state, TerminalHost& host) {
  // A Matroska file needs mkvmerge: without it nothing is read.
  if (options.command == Command::Mkv && !mkvmergeAvailable(realLauncher(), host)) {
    return failedStatus(options, host);
  }
  // A disc image is opened, and checked, before anything is read from it.
  Session session;
  if (const Status opened = session.open(options.input, options.file); !opened.ok()) {
    if (options.json) host.keepLines();
    host.logError(escapeMarkup(opened.reason()));
    return failedStatus(options, host);
  }
  if (options.command == Command::Xpl) return showPlaylist(options, session, state, host);
  if (options.command == Command::Titles) return listTitles(options, session, host);
  state.options.Continue = options.continueOn;
  state.options.FastCheck = options.fastCheck;
  state.options.CountFrames = options.countFrames;
  state.options.Details = options.details;
  if (options.json) host.keepLines();
  // A title that cannot be played stops here, before any run opens or creates a file.
  if (options.title &&
      !session.loadTitle(*options.title, options.angle.value_or(1), options.playlist, host)) {
    return failedStatus(options, host);
  }
  RunSettings settings = settingsOf(options, session);
  const char* const command = options.command == Command::Read    ? "read"
                              : options.command == Command::Demux ? "demux"
                              : options.command == Command::Mkv   ? "mkv"
                                                                  : "rebuild";
  // mkv -o FILE.mkv names the Matroska file itself; its folder takes the temporary one.
  MkvRequest mkv;
  mkv.keepTemp = options.keepTemp;
  if (options.command == Command::Mkv && upperExtension(options.outputFolder) == ".MKV") {
    mkv.outputPath = options.outputFolder;
    settings.outputFolder = folderPart(options.outputFolder);
  }
  // The document of the run that ended last, after a run that did not fail.
  const auto finish = [&](RunOutcome outcome) {
    if (failed(outcome)) return failedStatus(options, host);
    if (options.json) {
      const std::string text = jsonText(
          runReportJson(buildRunReport(state), command,
                        outcome == RunOutcome::Done ? "done" : "cancelled", settings.title));
      std::fputs(text.c_str(), stdout);
    }
    return exitStatus(outcome, host);
  };

  const RunOutcome read = readRun(state, host, settings);
  if (options.command == Command::Read || failed(read) || host.interrupted()) {
    return finish(read);
  }
  // With a disc title the playlist only chose where the title is read from: the title carries
  // its names and chapters already.
  if (!options.playlist.empty() && !options.title) {
    // As the window's Read XPL: the title of the chosen file itself, not of the whole set.
    if (!session.readPlaylist(state, host, options.playlist) || !session.playlist().titleFound) {
      return failedStatus(options, host);
    }
    session.applyTo(settings, settings.outputFolder);  // with the reading's chapters now
    mkv.playlistTitle = session.playlistTitle();
  }
  std::string error;
  if (!applySelection(options.select, state, &error)) {
    printError(error);
    return kExitUsage;
  }
  switch (options.command) {
    case Command::Rebuild:
      return finish(rebuildRun(state, host, settings));
    case Command::Mkv:
      return finish(mkvRun(state, host, settings, mkv));
    default:
      return finish(demuxRun(state, host, settings));
  }
}

}  // namespace korvell::cli
