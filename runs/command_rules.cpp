#include "runs/command_rules.h"

#include "runs/file_set.h"

namespace korvell {

bool rebuildTakes(const std::string& inputPath, bool dvdTitle) {
  return dvdTitle || upperExtension(inputPath) == ".EVO";
}

CommandRules::CommandRules() {
  setEnabled(Command::BrowseEvo, true);
  setEnabled(Command::BrowseXpl, true);
}

void CommandRules::runStarting(RunKind) {
  running_ = true;
  before_ = enabled_;
  enabled_.fill(false);
}

void CommandRules::runFinished(RunKind kind, bool anySelected, const std::string& inputPath,
                               bool dvdTitle) {
  running_ = false;
  enabled_ = before_;
  setEnabled(Command::BrowseEvo, true);
  setEnabled(Command::BrowseXpl, true);
  // A Read run and a playlist reading make the selection anew: what Rebuild showed for the
  // old one goes.
  if (kind == RunKind::Read || kind == RunKind::Playlist) setEnabled(Command::Rebuild, false);
  if (kind == RunKind::Read) setEnabled(Command::ReadEvo, true);
  if (kind == RunKind::Playlist) setEnabled(Command::ReadXpl, true);
  selectionChanged(anySelected, inputPath, dvdTitle);
}

void CommandRules::selectionChanged(bool anySelected, const std::string& inputPath, bool dvdTitle) {
  if (running_) return;
  setEnabled(Command::Demux, anySelected);
  setEnabled(Command::MakeMkv, anySelected);
  if (rebuildTakes(inputPath, dvdTitle)) setEnabled(Command::Rebuild, anySelected);
}

}  // namespace korvell
