// Damaged disc images through the image file system: libudfread reads their structures, the
// image's checks decide, and what opens is read as the runs read it: every folder listed,
// every file read whole, and the DVD titles listed. Nothing may crash or hang, a refused image
// gives one line, and a file that opened reads exactly its size.
//
// Input: records of a two-byte block number (big-endian, modulo kMaxBlocks) and up to 2,048
// bytes of that block; the image is all zeros but for them, and ends where the furthest
// record ends (so it may end inside a block). Images are mostly zeros, so the seeds stay small.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "disc/udf_image.h"
#include "fuzz/fuzz_host.h"
#include "runs/titles_run.h"
#include "testing/memory_file_system.h"

using namespace korvell;

namespace {

constexpr size_t kBlock = 2048;
constexpr size_t kMaxBlocks = 2048;  // images of up to 4 MiB
constexpr uint64_t kMostRead = uint64_t{16} << 20;
constexpr const char* kImage = "/fuzz/disc.iso";

std::vector<uint8_t> imageOf(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image;
  for (size_t at = 0; at + 2 < size;) {
    const size_t block = (size_t{data[at]} << 8 | data[at + 1]) % kMaxBlocks;
    const size_t length = std::min(kBlock, size - at - 2);
    const size_t end = block * kBlock + length;
    if (image.size() < end) image.resize(end);
    std::copy_n(data + at + 2, length, image.begin() + static_cast<std::ptrdiff_t>(block * kBlock));
    at += 2 + length;
  }
  return image;
}

// Lists every folder and reads every file; false when a file reads other than its size.
bool readTree(UdfImage& image, const std::string& folder, uint64_t& budget) {
  std::vector<std::string> names;
  if (!image.listFolder(folder, &names).ok()) return false;
  std::vector<uint8_t> buffer(64 * 1024);
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    if (image.isFolder(path)) {
      if (!readTree(image, path, budget)) return false;
      continue;
    }
    std::unique_ptr<ByteSource> file;
    if (!image.openForReading(path, &file).ok()) return false;
    uint64_t total = 0;
    size_t got = 0;
    do {
      if (!file->read(buffer.data(), buffer.size(), got).ok()) return false;
      total += got;
    } while (got > 0 && total < budget);
    budget -= std::min(budget, total);
    // A file read to its end holds exactly its size.
    if (got == 0 && total != file->size()) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing::MemoryFileSystem files;
  files.add(kImage, imageOf(data, size));
  std::unique_ptr<UdfImage> image;
  const Status opened = UdfImage::open(files, kImage, &image);
  if (!opened.ok()) {
    const std::string& reason = opened.reason();
    if (reason.find('\n') != std::string::npos || !reason.starts_with("Cannot ") ||
        reason.find(kImage) == std::string::npos || image != nullptr) {
      std::abort();
    }
    return 0;
  }
  uint64_t budget = kMostRead;
  if (!readTree(*image, kImage, budget)) std::abort();
  fuzz::QuietHost host;
  titlesRun(kImage, host, "", *image);
  return 0;
}
