#include "cli/cli_app.h"

#include <array>
#include <cstdio>

#include "runs/demux_run.h"
#include "runs/read_run.h"

namespace korvell::cli {

namespace {

// v0, v1, a00..a15, s00..s15 (a single digit is accepted for audio and subpicture too).
int slotNumberOfName(const std::string& name) {
  if (name.size() < 2 || name.size() > 3) return -1;
  int index = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    index = index * 10 + (name[i] - '0');
  }
  if (name[0] == 'v' && index < kVideoSlots && name.size() == 2) {
    return slotNumber({Family::Video, index});
  }
  if (name[0] == 'a' && index < kAudioSlots) return slotNumber({Family::Audio, index});
  if (name[0] == 's' && index < kSubSlots) return slotNumber({Family::Subpicture, index});
  return -1;
}

RunSettings settingsOf(const CliOptions& options) {
  RunSettings settings;
  settings.inputPath = options.input;
  settings.outputFolder = options.outputFolder;
  settings.videoExt = options.videoExt;
  settings.audioExt = options.audioExt;
  settings.subExt = options.subExt;
  return settings;
}

int exitStatus(RunOutcome outcome, const TerminalHost& host) {
  if (failed(outcome)) return kExitFileError;
  return host.interrupted() ? kExitInterrupted : kExitDone;
}

}  // namespace

bool applySelection(const std::vector<std::string>& names, RunState& state, std::string* error) {
  if (names.empty()) return true;
  std::array<bool, kSelectableSlots> chosen{};
  for (const auto& name : names) {
    int number = slotNumberOfName(name);
    if (number < 0) {
      for (int n = 0; n < kSelectableSlots; ++n) {
        if (state.selected[n] && state.streamLabel[n] == name) number = n;
      }
    }
    if (number < 0 || !state.selected[number]) {
      *error = "--select: no stream '" + name + "' was found";
      return false;
    }
    chosen[number] = true;
  }
  state.selected = chosen;
  return true;
}

int runCommand(const CliOptions& options, RunState& state, TerminalHost& host) {
  state.Continue = options.continueOn;
  state.FastCheck = options.fastCheck;
  state.CountFrames = options.countFrames;
  state.Details = options.details;
  const RunSettings settings = settingsOf(options);

  const RunOutcome read = readRun(state, host, settings);
  if (options.command == Command::Read || failed(read) || host.interrupted()) {
    return exitStatus(read, host);
  }
  std::string error;
  if (!applySelection(options.select, state, &error)) {
    std::fprintf(stderr, "korvell-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  return exitStatus(demuxRun(state, host, settings), host);
}

}  // namespace korvell::cli
