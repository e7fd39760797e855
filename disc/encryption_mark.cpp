#include "disc/encryption_mark.h"

#include <filesystem>

#include "disc/disc_layout.h"

namespace korvell {

std::string encryptionMark(const FileSystem& files, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path named = fs::path(path).lexically_normal();
  const fs::path folder = files.isFolder(path) ? named : named.parent_path();
  for (const fs::path& root : {folder, folder.parent_path()}) {
    if (root.empty()) continue;
    for (const char* mark : {"AACS", "ANY!", "AAC!"}) {
      const std::string found = findEntryIgnoringCase(files, root.string(), mark);
      if (!found.empty() && files.isFolder(found)) return fs::path(found).filename().string();
    }
    const std::string audio = findEntryIgnoringCase(files, root.string(), "AUDIO_TS");
    if (!audio.empty() && !findEntryIgnoringCase(files, audio, "DVDAUDIO.MKB").empty()) {
      return fs::path(audio).filename().string() + "/DVDAUDIO.MKB";
    }
  }
  return {};
}

}  // namespace korvell
