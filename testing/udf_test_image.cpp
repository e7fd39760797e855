#include "testing/udf_test_image.h"

#include "testing/test_files.h"

namespace korvell::testing {

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlock = 2048;

// A descriptor tag (16 bytes) with its identifier and a checksum that holds.
bool tagAt(const std::vector<uint8_t>& bytes, size_t at, uint16_t id) {
  if (at + 16 > bytes.size() || (bytes[at] | bytes[at + 1] << 8) != id) return false;
  uint8_t sum = 0;
  for (size_t i = 0; i < 16; ++i)
    if (i != 4) sum = static_cast<uint8_t>(sum + bytes[at + i]);
  return sum == bytes[at + 4];
}

}  // namespace

MadeImage makeUdfImage(ImageMaker maker, const fs::path& folder, const fs::path& image) {
  const bool genisoimage = maker == ImageMaker::Genisoimage;
  const std::string tool = genisoimage ? "genisoimage" : "/usr/bin/pycdlib-genisoimage";
  if (runCommand("command -v " + tool).output.empty()) {
    return {std::string(genisoimage ? "genisoimage" : "python3-pycdlib") + " is not installed", ""};
  }
  const bool dvd = fs::exists(folder / "VIDEO_TS" / "VIDEO_TS.IFO");
  const CommandResult result = runCommand(tool +
                                          (!genisoimage ? " -udf"
                                           : dvd        ? " -quiet -udf -dvd-video"
                                                        : " -quiet -udf") +
                                          " -o '" + image.string() + "' '" + folder.string() + "'");
  return {"", result.status == 0 ? "" : result.output + " (exit status not 0)"};
}

std::optional<UdfPlace> findUdfEntry(const std::vector<uint8_t>& image, const std::string& name) {
  for (size_t at = 0; at + 38 <= image.size(); at += 4) {
    if (!tagAt(image, at, 257)) continue;  // a file identifier descriptor
    const size_t length = image[at + 19];
    const size_t nameAt = at + 38 + (image[at + 36] | image[at + 37] << 8);
    if (length != name.size() + 1 || nameAt + length > image.size() || image[nameAt] != 8 ||
        !std::equal(name.begin(), name.end(), image.begin() + static_cast<long>(nameAt) + 1)) {
      continue;
    }
    // The file entry (or extended file entry) records its own block in its tag.
    for (size_t entry = 0; entry + kBlock <= image.size(); entry += kBlock) {
      if ((tagAt(image, entry, 261) || tagAt(image, entry, 266)) &&
          le32(image, entry + 12) == le32(image, at + 24)) {
        return UdfPlace{at, entry};
      }
    }
  }
  return std::nullopt;
}

}  // namespace korvell::testing
