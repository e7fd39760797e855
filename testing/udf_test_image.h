// UDF disc images made by the real image tools, of the test DVD or of any folder, and the
// places in an image's bytes that the tests of damaged images change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvell::testing {

/// genisoimage -udf (UDF 1.02 beside ISO 9660; -dvd-video for a DVD-Video folder), or
/// pycdlib's genisoimage -udf (UDF 2.60).
enum class ImageMaker { Genisoimage, Pycdlib };

struct MadeImage {
  std::filesystem::path path;  ///< empty when not made
  std::string missingTool;     ///< "genisoimage is not installed"; empty when it is
  std::string failure;         ///< what the tool printed when it failed
};

/// Makes an image of `folder` at `image` with `maker`.
MadeImage makeUdfImage(ImageMaker maker, const std::filesystem::path& folder,
                       const std::filesystem::path& image);

/// An image of the test DVD's VIDEO_TS folder (dvdTestDisc), made once per maker into the build
/// folder beside the disc; the disc's own missing tool or failure when it is not built.
const MadeImage& dvdTestImage(ImageMaker maker);

/// Where an entry lies in an image's bytes: its file identifier descriptor (in its folder's
/// data) and the file entry that descriptor points to (a whole block). Found by the entry's
/// name, recorded in 8-bit characters.
struct UdfPlace {
  size_t identifier = 0;
  size_t fileEntry = 0;
};
std::optional<UdfPlace> findUdfEntry(const std::vector<uint8_t>& image, const std::string& name);

/// Little-endian fields, as UDF records them.
void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
uint32_t le32(const std::vector<uint8_t>& bytes, size_t at);

}  // namespace korvell::testing
