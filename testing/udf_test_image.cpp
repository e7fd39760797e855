#include "testing/udf_test_image.h"

#include <unistd.h>
#include <system_error>

#include "testing/dvd_test_disc.h"
#include "testing/test_files.h"

namespace korvell::testing {

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlock = 2048;
constexpr uint16_t kFileIdentifierTag = 257;
constexpr uint16_t kFileEntryTag = 261;
constexpr uint16_t kExtendedFileEntryTag = 266;

uint16_t le16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// A descriptor tag (16 bytes) with its identifier and a checksum that holds.
bool tagAt(const std::vector<uint8_t>& bytes, size_t at, uint16_t id) {
  if (at + 16 > bytes.size() || le16(bytes, at) != id) return false;
  uint8_t sum = 0;
  for (size_t i = 0; i < 16; ++i)
    if (i != 4) sum = static_cast<uint8_t>(sum + bytes[at + i]);
  return sum == bytes[at + 4];
}

}  // namespace

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t le32(const std::vector<uint8_t>& bytes, size_t at) {
  return le16(bytes, at) | static_cast<uint32_t>(le16(bytes, at + 2)) << 16;
}

MadeImage makeUdfImage(ImageMaker maker, const fs::path& folder, const fs::path& image) {
  MadeImage made;
  const std::string tool =
      maker == ImageMaker::Genisoimage ? "genisoimage" : "/usr/bin/pycdlib-genisoimage";
  if (runCommand("command -v " + tool).output.empty()) {
    made.missingTool = (maker == ImageMaker::Genisoimage ? "genisoimage" : "python3-pycdlib") +
                       std::string(" is not installed");
    return made;
  }
  std::error_code ec;
  const bool dvd = fs::is_regular_file(folder / "VIDEO_TS" / "VIDEO_TS.IFO", ec);
  const std::string options = maker == ImageMaker::Genisoimage
                                  ? (dvd ? " -quiet -udf -dvd-video" : " -quiet -udf")
                                  : " -udf";
  const CommandResult result =
      runCommand(tool + options + " -o '" + image.string() + "' '" + folder.string() + "'");
  if (result.status != 0) {
    made.failure = result.output;
    return made;
  }
  made.path = image;
  return made;
}

const MadeImage& dvdTestImage(ImageMaker maker) {
  static const auto make = [](ImageMaker which) {
    MadeImage made;
    const DvdTestDisc& disc = dvdTestDisc();
    made.missingTool = disc.missingTool;
    made.failure = disc.failure;
    if (disc.folder.empty()) return made;
    const fs::path image =
        disc.folder / (which == ImageMaker::Genisoimage ? "genisoimage.iso" : "pycdlib.iso");
    std::error_code ec;
    if (fs::is_regular_file(image, ec)) {
      made.path = image;
      return made;
    }
    // Made in a folder of its own and renamed into place, as the disc is.
    const fs::path making = disc.folder / ("image." + std::to_string(::getpid()));
    fs::remove_all(making, ec);
    fs::create_directories(making / "root", ec);
    fs::copy(disc.folder / "VIDEO_TS", making / "root" / "VIDEO_TS", fs::copy_options::recursive,
             ec);
    made = makeUdfImage(which, making / "root", making / "image.iso");
    if (!made.path.empty()) {
      fs::rename(making / "image.iso", image, ec);
      made.path = image;
    }
    fs::remove_all(making, ec);
    return made;
  };
  static const MadeImage genisoimage = make(ImageMaker::Genisoimage);
  static const MadeImage pycdlib = make(ImageMaker::Pycdlib);
  return maker == ImageMaker::Genisoimage ? genisoimage : pycdlib;
}

std::optional<UdfPlace> findUdfEntry(const std::vector<uint8_t>& image, const std::string& name) {
  for (size_t at = 0; at + 38 <= image.size(); at += 4) {
    if (!tagAt(image, at, kFileIdentifierTag)) continue;
    const size_t length = image[at + 19];
    const size_t nameAt = at + 38 + le16(image, at + 36);
    if (length != name.size() + 1 || nameAt + length > image.size() || image[nameAt] != 8 ||
        std::string(image.begin() + static_cast<std::ptrdiff_t>(nameAt) + 1,
                    image.begin() + static_cast<std::ptrdiff_t>(nameAt + length)) != name) {
      continue;
    }
    // The file entry records its own block (within the partition) in its tag.
    const uint32_t block = le32(image, at + 24);
    for (size_t entry = 0; entry + kBlock <= image.size(); entry += kBlock) {
      if ((tagAt(image, entry, kFileEntryTag) || tagAt(image, entry, kExtendedFileEntryTag)) &&
          le32(image, entry + 12) == block) {
        return UdfPlace{at, entry};
      }
    }
  }
  return std::nullopt;
}

}  // namespace korvell::testing
