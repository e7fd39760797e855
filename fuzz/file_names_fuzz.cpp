// File-set names over arbitrary paths: CutExt, the name parts, getsecond (in a scratch folder
// that holds a few sets, and on the bare name) and the output names built from them; the
// input as a playlist label always gives a stream file inside the output folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "runs/file_set.h"

using namespace korvell;

namespace {

std::string scratchFolder() {
  static const std::string folder = [] {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "korvell_fuzz_file_names";
    std::filesystem::create_directories(dir);
    for (const char* name : {"FEATURE_1.EVO", "FEATURE_2.EVO", "PART1_A.EVO", "PART2_A.EVO",
                             "A_9.EVO", "B_0", "_1.EVO", "_2.EVO", "x_12.evo", "x_22.evo"}) {
      std::ofstream(dir / name) << "";
    }
    return dir.string() + "/";
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const std::string cut = CutExt(name);
  if (cut.size() > name.size() || name.compare(0, cut.size(), cut) != 0) std::abort();
  const std::string folder = folderPart(name);
  if (folder + namePart(name) != name) std::abort();
  const std::string extension = upperExtension(name);
  if (extension.size() > name.size()) std::abort();

  const std::string inFolder = scratchFolder() + name;
  for (const std::string& path : {name, inFolder}) {
    const std::string second = getsecond(path);
    // The second file differs from the first by one digit, in the same folder.
    if (!second.empty() && (second.size() != path.size() || second == path)) std::abort();
  }
  FileSet set{inFolder, getsecond(inFolder), CutExt(namePart(inFolder))};
  const std::string prefix = outputPrefix(std::string(), set);
  streamFileName(prefix, streamLabelFor(Slot{Family::Audio, 3}, 0xC3), "ac3");

  const std::string part = cleanNamePart(name);
  if (part.size() > kMaxNamePart || part.find("..") != std::string::npos) std::abort();
  for (char c : part) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\') std::abort();
  }
  // Cut at a character boundary: the byte after the part, if any, does not continue one.
  if (part.size() < name.size() && part.size() == kMaxNamePart &&
      (static_cast<unsigned char>(name[part.size()]) & 0xC0) == 0x80) {
    std::abort();
  }
  const std::filesystem::path file = streamFileName("/out/BASE", name, name);
  if (file.parent_path() != "/out") std::abort();
  return 0;
}
