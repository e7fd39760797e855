// UDF disc images of test folders made by the real image tools, and the places in an image's
// bytes that the tests of damaged images change.
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

/// Makes an image of `folder` at `image` with `maker`: the tool that is not installed ("genisoimage
/// is not installed"), or what the tool printed when it failed; both empty when it made it.
struct MadeImage {
  std::string missingTool;
  std::string failure;
};
MadeImage makeUdfImage(ImageMaker maker, const std::filesystem::path& folder,
                       const std::filesystem::path& image);

/// Where an entry, found by its name (recorded in 8-bit characters), lies in an image's bytes:
/// its file identifier descriptor and the file entry (a whole block) that it points to.
struct UdfPlace {
  size_t identifier = 0;
  size_t fileEntry = 0;
};
std::optional<UdfPlace> findUdfEntry(const std::vector<uint8_t>& image, const std::string& name);

/// Little-endian fields, as UDF records them.
inline uint32_t le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}
inline void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace korvell::testing
