#include "runs/file_set.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "engine/stream_kinds.h"

namespace korvell {

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

bool isSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == kSeparator;
#endif
}

size_t folderLength(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (isSeparator(path[i - 1])) return i;
  }
  return 0;
}

bool advanceableDigit(char c) {
  return c >= '0' && c <= '8';
}

std::string codecLabel(int32_t id, Family family) {
  switch (family) {
    case Family::Video:
      return VideoLabel(id);
    case Family::Audio:
      return AudioLabel(id);
    case Family::Subpicture:
      return SubLabel(id);
  }
  return {};
}

}  // namespace

std::string folderPart(const std::string& path) {
  return path.substr(0, folderLength(path));
}

std::string namePart(const std::string& path) {
  return path.substr(folderLength(path));
}

std::string CutExt(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot < folderLength(name)) return name;
  return name.substr(0, dot);
}

std::string getsecond(const std::string& path, const FileSystem& files) {
  const std::string folder = folderPart(path);
  const std::string name = namePart(path);
  const size_t underscore = name.find('_');
  if (underscore == std::string::npos) return {};
  std::string candidate = name;
  if (underscore + 1 < name.size() && advanceableDigit(name[underscore + 1])) {
    ++candidate[underscore + 1];
  } else if (underscore > 0 && advanceableDigit(name[underscore - 1])) {
    ++candidate[underscore - 1];
  } else {
    return {};
  }
  const std::string candidatePath = folder + candidate;
  return files.isFile(candidatePath) ? candidatePath : std::string();
}

FileSet prepareFileSet(const std::string& inputPath, bool continueOn, const FileSystem& files) {
  FileSet set;
  set.firstPath = inputPath;
  set.baseName = CutExt(namePart(inputPath));
  if (continueOn) {
    set.secondFile = getsecond(inputPath, files);
    if (!set.secondFile.empty()) set.baseName += "_" + CutExt(namePart(set.secondFile));
  }
  return set;
}

std::string outputPrefix(const std::string& outputFolder, const FileSet& set) {
  // Without an output folder the files go beside the input, never into the working folder.
  std::string folder = outputFolder.empty() ? folderPart(set.firstPath) : outputFolder;
  if (!folder.empty() && !isSeparator(folder.back())) folder += kSeparator;
  return folder + set.baseName;
}

namespace {

// The label follows the identifier alone: a DVD-Audio MLP stream (0xA1) is "LPCM.stream".
std::string labelOf(Family family, int32_t id, const char* none) {
  const StreamKindInfo* kind = registeredKind(family, id);
  return kind != nullptr && kind->label != nullptr ? kind->label : none;
}

}  // namespace

std::string VideoLabel(int32_t id) {
  return labelOf(Family::Video, id, "No video stream");
}

std::string AudioLabel(int32_t id) {
  return labelOf(Family::Audio, id, "No audio stream");
}

std::string SubLabel(int32_t id) {
  return labelOf(Family::Subpicture, id, "No subpicture stream");
}

std::string streamLabelFor(Slot slot, int32_t id) {
  return codecLabel(id, slot.family) + "." + slotDigits(slot);
}

namespace {

// The folder next to `folder` when its last part is `from`: the same parent, then `to`.
std::string siblingFolder(const std::string& folder, const std::string& from,
                          const std::string& to) {
  const std::string tail = from + static_cast<char>(std::filesystem::path::preferred_separator);
  if (folder.size() < tail.size() ||
      folder.compare(folder.size() - tail.size(), tail.size(), tail) != 0) {
    return "";
  }
  return folder.substr(0, folder.size() - tail.size()) + to +
         static_cast<char>(std::filesystem::path::preferred_separator);
}

}  // namespace

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

std::string cleanNamePart(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unsafe = byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
    const bool secondDot = c == '.' && !out.empty() && out.back() == '.';
    out += unsafe || secondDot ? '_' : c;
  }
  if (out.size() > kMaxNamePart) {
    size_t cut = kMaxNamePart;
    // Never end inside a multi-byte sequence: back up to the byte that starts it.
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
      --cut;
    out.resize(cut);
  }
  return out;
}

std::string streamFileName(const std::string& prefix, const std::string& label,
                           const std::string& extension) {
  return prefix + "." + cleanNamePart(label) + "." + cleanNamePart(extension);
}

}  // namespace korvell
