#include "runs/file_set.h"

#include <algorithm>
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

std::optional<int> titleSetVobPart(const std::string& name) {
  // V T S _ n n _ k . V O B
  // 0 1 2 3 4 5 6 7 8 9 10 11
  constexpr size_t kLength = 12;
  constexpr size_t kPartDigit = 7;
  if (name.size() != kLength) return std::nullopt;
  const auto digit = [&](size_t at) { return std::isdigit(static_cast<unsigned char>(name[at])); };
  std::string upper = name;
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.compare(0, 4, "VTS_") != 0 || !digit(4) || !digit(5) || upper[6] != '_' ||
      !digit(kPartDigit) || upper.compare(8, 4, ".VOB") != 0) {
    return std::nullopt;
  }
  return name[kPartDigit] - '0';
}

std::string getsecond(const std::string& path, const FileSystem& files) {
  const std::string folder = folderPart(path);
  const std::string name = namePart(path);
  if (titleSetVobPart(name)) return {};
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

std::string FilePass::firstName() const {
  return extents.empty() ? std::string() : namePart(extents.front().path);
}

std::vector<std::string> FileSet::inputs() const {
  std::vector<std::string> paths;
  for (const FilePass& pass : passes) {
    for (const FileExtent& extent : pass.extents) {
      if (std::find(paths.begin(), paths.end(), extent.path) == paths.end())
        paths.push_back(extent.path);
    }
  }
  return paths;
}

namespace {

// A title set's VOB parts after the input's, as far as they exist: VTS_01_1.VOB is followed by
// VTS_01_2.VOB, then VTS_01_3.VOB, the name written as the input writes it.
void continueVobParts(const std::string& inputPath, int part, const FileSystem& files,
                      FileSet& set) {
  constexpr size_t kPartDigit = 7;
  const std::string folder = folderPart(inputPath);
  std::string name = namePart(inputPath);
  FilePass& pass = set.passes.front();
  int last = part;
  for (int next = part + 1; next <= 9; ++next) {
    name[kPartDigit] = static_cast<char>('0' + next);
    if (!files.isFile(folder + name)) break;
    pass.extents.push_back({folder + name, 0, 0});
    last = next;
  }
  if (last == part) return;
  // VTS_01 for the title VOBs from their first part, VTS_01_2-3 from a later one.
  set.baseName = name.substr(0, 6);
  if (part > 1) set.baseName += "_" + std::to_string(part) + "-" + std::to_string(last);
}

}  // namespace

FileSet prepareFileSet(const std::string& inputPath, bool continueOn, const FileSystem& files) {
  FileSet set;
  set.firstPath = inputPath;
  set.baseName = CutExt(namePart(inputPath));
  set.passes.push_back({{{inputPath, 0, 0}}, true});
  if (!continueOn) return set;
  if (const std::optional<int> part = titleSetVobPart(namePart(inputPath))) {
    // The menu VOB (part 0) stands alone.
    if (*part > 0) continueVobParts(inputPath, *part, files, set);
    return set;
  }
  set.secondFile = getsecond(inputPath, files);
  if (!set.secondFile.empty()) {
    set.baseName += "_" + CutExt(namePart(set.secondFile));
    set.passes.push_back({{{set.secondFile, 0, 0}}, true});
  }
  return set;
}

FileSet titleFileSet(const Title& title) {
  FileSet set;
  set.firstPath = title.extents.empty() ? std::string() : title.extents.front().path;
  set.baseName = cleanNamePart(title.baseName);
  if (set.baseName.empty()) set.baseName = "TITLE_" + std::to_string(title.number);
  if (title.angle != 1) set.baseName += "_ANGLE_" + std::to_string(title.angle);
  set.passes.push_back({title.extents, false});
  set.titleNumber = title.number;
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
