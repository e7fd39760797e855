#include "disc/disc_layout.h"

#include <algorithm>
#include <utility>

#include "engine/path_names.h"
#include "report/ascii_text.h"

namespace korvell {

namespace {

// The folder next to `folder` when its last part is `from`: the same parent, then `to`.
std::string siblingFolder(const std::string& folder, const std::string& from,
                          const std::string& to) {
  const std::string tail = from + pathSeparator();
  if (folder.size() < tail.size() ||
      folder.compare(folder.size() - tail.size(), tail.size(), tail) != 0) {
    return "";
  }
  return folder.substr(0, folder.size() - tail.size()) + to + pathSeparator();
}

// The path without separators at its end ("/" stays as it is).
std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && isPathSeparator(path.back()))
    path.pop_back();
  return path;
}

// The folder a path names, or "." for the empty folder part of a bare name.
std::string folderOrCurrent(const std::string& folder) {
  return folder.empty() ? "." : withoutTrailingSeparators(folder);
}

bool isDiscFolderName(const std::string& name) {
  return equalsIgnoringAsciiCase(name, "HVDVD_TS") || equalsIgnoringAsciiCase(name, "ADV_OBJ");
}

}  // namespace

std::optional<int> titleSetVobPart(const std::string& name) {
  // V T S _ n n _ k . V O B
  // 0 1 2 3 4 5 6 7 8 9 10 11
  constexpr size_t kLength = 12;
  constexpr size_t kPartDigit = 7;
  if (name.size() != kLength) return std::nullopt;
  const std::string shout = asciiUppered(name);
  if (shout.compare(0, 4, "VTS_") != 0 || !isAsciiDigit(shout[4]) || !isAsciiDigit(shout[5]) ||
      shout[6] != '_' || !isAsciiDigit(shout[kPartDigit]) || shout.compare(8, 4, ".VOB") != 0) {
    return std::nullopt;
  }
  return name[kPartDigit] - '0';
}

std::string discPlaylistFolder(const std::string& sourceFolder) {
  return siblingFolder(sourceFolder, "HVDVD_TS", "ADV_OBJ");
}

std::string discSourceFolder(const std::string& playlistFolder) {
  return siblingFolder(playlistFolder, "ADV_OBJ", "HVDVD_TS");
}

std::string discPlaylistPath(const std::string& inputPath) {
  const std::string folder = discPlaylistFolder(folderPart(inputPath));
  return folder.empty() ? "" : folder + kPlaylistName;
}

std::optional<int> playlistNumber(const std::string& name) {
  // V P L S T $ $ $ . X P L
  // 0 1 2 3 4 5 6 7 8 9 10 11
  const std::string shout = asciiUppered(name);
  if (shout.size() != 12 || !shout.starts_with("VPLST") || !shout.ends_with(".XPL") ||
      !isAsciiDigit(shout[5]) || !isAsciiDigit(shout[6]) || !isAsciiDigit(shout[7])) {
    return std::nullopt;
  }
  return (shout[5] - '0') * 100 + (shout[6] - '0') * 10 + (shout[7] - '0');
}

std::string findEntryIgnoringCase(const FileSystem& files, const std::string& folder,
                                  const std::string& name) {
  std::vector<std::string> names;
  if (!files.listFolder(folderOrCurrent(folder), &names).ok()) return "";
  if (std::find(names.begin(), names.end(), name) != names.end()) return joinPath(folder, name);
  std::sort(names.begin(), names.end());
  for (const std::string& entry : names) {
    if (equalsIgnoringAsciiCase(entry, name)) return joinPath(folder, entry);
  }
  return "";
}

std::optional<HdDvdFolders> findHdDvd(const std::string& path, const FileSystem& files) {
  const std::string named = withoutTrailingSeparators(path);
  std::string root;
  if (files.isFolder(folderOrCurrent(named))) {
    root = isDiscFolderName(namePart(named)) ? folderPart(named) : named;
  } else {
    const std::string folder = withoutTrailingSeparators(folderPart(named));
    if (!isDiscFolderName(namePart(folder))) return std::nullopt;
    root = folderPart(folder);
  }
  HdDvdFolders disc;
  disc.root = withoutTrailingSeparators(root);
  const auto folderNamed = [&](const char* name) {
    std::string found = findEntryIgnoringCase(files, disc.root, name);
    return !found.empty() && files.isFolder(found) ? found : std::string();
  };
  disc.hvdvdTs = folderNamed("HVDVD_TS");
  disc.advObj = folderNamed("ADV_OBJ");
  if (disc.hvdvdTs.empty() && disc.advObj.empty()) return std::nullopt;
  return disc;
}

std::vector<std::string> discPlaylists(const FileSystem& files, const std::string& advObj) {
  std::vector<std::string> names;
  if (!files.listFolder(folderOrCurrent(advObj), &names).ok()) return {};
  std::vector<std::pair<int, std::string>> numbered;
  for (const std::string& name : names) {
    if (const std::optional<int> number = playlistNumber(name))
      numbered.emplace_back(*number, name);
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<std::string> paths;
  for (const auto& [number, name] : numbered)
    paths.push_back(joinPath(advObj, name));
  return paths;
}

}  // namespace korvell
