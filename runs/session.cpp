#include "runs/session.h"

#include <utility>

#include "disc/disc_layout.h"
#include "disc/udf_image.h"
#include "engine/file_kinds.h"
#include "engine/path_names.h"
#include "runs/titles_run.h"

namespace korvell {

NamedFileRole namedFileRole(const std::string& path) {
  if (isProgramStream(path) || isDiscImage(path)) return NamedFileRole::Source;
  if (upperExtension(path) == ".XPL") return NamedFileRole::Playlist;
  return NamedFileRole::None;
}

Status Session::open(const std::string& named, const std::string& inside, FileSystem& real) {
  titles_.clear();
  chosen_ = -1;
  loaded_.reset();
  forgetPlaylist();
  input_ = NamedInput{};
  return resolveInput(named, inside, real, &input_);
}

std::string Session::baseName() const {
  return CutExt(namePart(input_.path));
}

std::vector<std::string> Session::offerTitles(bool continueOn) {
  InputTitles offered = titlesForInput(input_.path, continueOn, *input_.files);
  titles_ = std::move(offered.titles);
  loaded_.reset();
  chooseTitle(offered.chosen);
  return std::move(offered.notes);
}

void Session::chooseTitle(int index) {
  chosen_ = index >= 0 && index < static_cast<int>(titles_.size()) ? index : -1;
}

bool Session::loadTitle(int number, int angle, const std::string& playlistPath, Console& console) {
  Title title;
  if (!loadDiscTitle(input_.path, number, angle, playlistPath, console, &title, *input_.files)) {
    return false;
  }
  loaded_ = std::move(title);
  chosen_ = -1;
  return true;
}

const Title* Session::chosenTitle() const {
  if (loaded_) return &*loaded_;
  return chosen_ >= 0 ? &titles_[static_cast<size_t>(chosen_)] : nullptr;
}

std::string Session::discPlaylist() const {
  const std::string playlist = discPlaylistPath(input_.path);
  return !playlist.empty() && input_.files->isFile(playlist) ? playlist : "";
}

std::string Session::playlistFolder() const {
  return discPlaylistFolder(folderPart(input_.path));
}

bool Session::readPlaylist(RunState& state, RunHost& host, const std::string& playlistPath,
                           const std::optional<std::string>& playedName) {
  playlistInput_ = input_.path;
  return korvell::readPlaylist(state, host, playlistPath, playedName.value_or(baseName()),
                               &playlist_, *input_.files);
}

void Session::forgetPlaylist() {
  playlist_ = PlaylistResult{};
  playlistInput_.clear();
}

const Title* Session::playlistTitle() const {
  return playlist_.title && playlistInput_ == input_.path ? &playlist_.title->title : nullptr;
}

void Session::applyTo(RunSettings& settings, const std::string& outputFolder) const {
  settings.inputPath = input_.path;
  settings.files = input_.files;
  settings.outputFolder = outputFolder.empty() ? input_.outputFolder : outputFolder;
  if (const Title* title = chosenTitle()) settings.title = *title;
  // The chapters of the title the playlist reading chose, and the input it chose it for: the
  // runs write them only for that input.
  settings.chapters = playlist_.chapters;
  settings.chaptersSource = playlistInput_;
}

}  // namespace korvell
