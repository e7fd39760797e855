#include "disc/encryption_mark.h"

#include <array>
#include <filesystem>
#include <vector>

#include "disc/dvd_layout.h"

namespace korvell {

namespace {

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::string encryptionMark(const FileSystem& files, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path named = fs::path(path).lexically_normal();
  const fs::path folder = files.isFolder(path) ? named : named.parent_path();
  for (const fs::path& root : {folder, folder.parent_path()}) {
    std::vector<std::string> names;
    if (root.empty() || !files.listFolder(root.string(), &names).ok()) continue;
    for (const std::string& name : names) {
      const std::string wanted = upper(name);
      if ((wanted == "AACS" || wanted == "ANY!" || wanted == "AAC!") &&
          files.isFolder((root / name).string())) {
        return name;
      }
      if (wanted == "AUDIO_TS" &&
          files.isFile(dvd::findFileIgnoringCase(files, root / name, "DVDAUDIO.MKB").string())) {
        return name + "/DVDAUDIO.MKB";
      }
    }
  }
  return {};
}

}  // namespace korvell
