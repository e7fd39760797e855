#include "runs/file_set.h"

#include <algorithm>

#include "engine/stream_kinds.h"

namespace korvell {

namespace {

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
  set.dvdTitle = title.titleSet != 0;
  return set;
}

std::string outputPrefix(const std::string& outputFolder, const FileSet& set) {
  // Without an output folder the files go beside the input, never into the working folder.
  std::string folder = outputFolder.empty() ? folderPart(set.firstPath) : outputFolder;
  if (!folder.empty() && !isPathSeparator(folder.back())) folder += pathSeparator();
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
  return streamBaseName(prefix, label) + "." + cleanNamePart(extension);
}

std::string streamBaseName(const std::string& prefix, const std::string& label) {
  return prefix + "." + cleanNamePart(label);
}

std::string chapterFileName(const std::string& prefix, FileForm form) {
  return prefix + (form == FileForm::ChaptersXml ? ".chapters.xml" : ".chapters.txt");
}

std::string rebuiltFileName(const std::string& prefix, bool dvdTitle) {
  return prefix + (dvdTitle ? ".rebuilt.VOB" : ".rebuilt.EVO");
}

std::string matroskaFileName(const std::string& prefix) {
  return prefix + ".mkv";
}

std::string temporaryFolderName(const std::string& prefix, int n) {
  return prefix + ".mkv-parts" + (n <= 1 ? "" : "." + std::to_string(n));
}

std::string keptOptionFileName(const std::string& mkvPath) {
  return CutExt(mkvPath) + ".mkvmerge.json";
}

}  // namespace korvell
