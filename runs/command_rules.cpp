#include "runs/command_rules.h"

#include <initializer_list>

#include "runs/file_set.h"

namespace korvell {

bool rebuildTakes(const std::string& inputPath, bool dvdTitle) {
  return dvdTitle || upperExtension(inputPath) == ".EVO";
}

CommandRules::CommandRules() {
  setEnabled(Command::BrowseEvo, true);
  setEnabled(Command::BrowseXpl, true);
}

void CommandRules::runStarting(RunKind kind) {
  running_ = true;
  const auto disable = [this](std::initializer_list<Command> commands) {
    for (Command command : commands)
      setEnabled(command, false);
  };
  switch (kind) {
    case RunKind::Read:
      readXplWasEnabled_ = enabled(Command::ReadXpl);
      disable({Command::ReadEvo, Command::ReadXpl, Command::Demux, Command::Rebuild,
               Command::MakeMkv, Command::BrowseEvo, Command::BrowseXpl});
      break;
    case RunKind::Demux:
    case RunKind::Rebuild:
      disable({Command::Demux, Command::Rebuild, Command::MakeMkv});
      break;
    case RunKind::Playlist:
      readEvoWasEnabled_ = enabled(Command::ReadEvo);
      disable({Command::ReadXpl, Command::ReadEvo, Command::BrowseEvo, Command::BrowseXpl});
      break;
  }
}

void CommandRules::runFinished(RunKind kind, bool anySelected, const std::string& inputPath,
                               bool dvdTitle) {
  running_ = false;
  switch (kind) {
    case RunKind::Read:
      setEnabled(Command::ReadEvo, true);
      setEnabled(Command::BrowseEvo, true);
      setEnabled(Command::BrowseXpl, true);
      setEnabled(Command::ReadXpl, readXplWasEnabled_);
      break;
    case RunKind::Demux:
    case RunKind::Rebuild:
      break;
    case RunKind::Playlist:
      setEnabled(Command::ReadXpl, true);
      setEnabled(Command::BrowseEvo, true);
      setEnabled(Command::BrowseXpl, true);
      setEnabled(Command::ReadEvo, readEvoWasEnabled_);
      break;
  }
  selectionChanged(anySelected, inputPath, dvdTitle);
}

void CommandRules::selectionChanged(bool anySelected, const std::string& inputPath, bool dvdTitle) {
  if (running_) return;
  setEnabled(Command::Demux, anySelected);
  setEnabled(Command::MakeMkv, anySelected);
  if (rebuildTakes(inputPath, dvdTitle)) setEnabled(Command::Rebuild, anySelected);
}

}  // namespace korvell
