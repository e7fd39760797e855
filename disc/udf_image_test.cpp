#include "disc/udf_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "testing/temp_folder.h"
#include "testing/test_files.h"
#include "testing/udf_test_image.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::findUdfEntry;
using testing::le32;
using testing::putLe32;

constexpr size_t kBlock = 2048;
constexpr size_t kVobBytes = 600 * kBlock + 100;  // ends inside a block
constexpr uint32_t kHalf = 300 * kBlock;
constexpr uint32_t kFarBlock = 0x00FFFFF0;  // far past the image's end

// A folder laid out as a disc and its genisoimage image, made once for the tests below.
struct Disc {
  testing::TempFolder folder;
  std::vector<uint8_t> vob, image;
  testing::MadeImage made;
  Disc() {
    for (size_t i = 0; i < kVobBytes; ++i)
      vob.push_back(static_cast<uint8_t>(i * 7 ^ i >> 11));
    fs::create_directories(folder / "root/VIDEO_TS");
    fs::create_directories(folder / "root/A/B");
    testing::writeFileBytes(folder / "root/VIDEO_TS/VTS_01_1.VOB", vob);
    testing::writeFileBytes(folder / "root/A/B/x.txt", {'x'});
    made = makeUdfImage(testing::ImageMaker::Genisoimage, folder / "root", folder / "disc.iso");
    image = testing::readFileBytes(folder / "disc.iso");
  }
};

const Disc& disc() {
  static const Disc made;
  return made;
}

#define SKIP_WITHOUT_IMAGE()                                                     \
  if (!disc().made.missingTool.empty()) GTEST_SKIP() << disc().made.missingTool; \
  ASSERT_TRUE(disc().made.failure.empty()) << disc().made.failure

Status openImage(const std::vector<uint8_t>& bytes, const fs::path& path,
                 std::unique_ptr<UdfImage>* image) {
  testing::writeFileBytes(path, bytes);
  return UdfImage::open(realFileSystem(), path.string(), image);
}

// The short allocation descriptors of a file entry (type 0, as genisoimage records them).
size_t allocations(const std::vector<uint8_t>& image, size_t entry) {
  return entry + 176 + le32(image, entry + 168);
}

TEST(UdfImage, TheImageIsAFolderAtItsOwnPathAndNothingIsWrittenInsideIt) {
  SKIP_WITHOUT_IMAGE();
  std::unique_ptr<UdfImage> image;
  const std::string root = (disc().folder / "disc.iso").string();
  ASSERT_TRUE(UdfImage::open(realFileSystem(), root, &image).ok());
  std::vector<std::string> names;
  ASSERT_TRUE(image->listFolder(root + "/", &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A", "VIDEO_TS"}));
  EXPECT_TRUE(image->isFolder(root) && image->isFolder(root + "/A/B") &&
              image->isFile(root + "/A/B/x.txt") && !image->isFile(root + "/A/y"));
  const std::string vob = root + "/VIDEO_TS/VTS_01_1.VOB";
  EXPECT_TRUE(image->sameFile(root + "/./VIDEO_TS//VTS_01_1.VOB", vob));
  std::unique_ptr<ByteSink> sink;
  for (const std::string& inside : {root, vob, root + "/A/new.txt"})
    EXPECT_NE(image->create(inside, &sink).reason().find("read-only"), std::string::npos);
  EXPECT_TRUE(image->create((disc().folder / "beside.txt").string(), &sink).ok());
}

TEST(UdfImage, AFileInTwoPiecesReadsAcrossThemAndSeeksBack) {
  SKIP_WITHOUT_IMAGE();
  // The VOB's one extent recorded as two, its second half first.
  std::vector<uint8_t> bytes = disc().image;
  const size_t entry = findUdfEntry(bytes, "VTS_01_1.VOB")->fileEntry;
  const size_t ads = allocations(bytes, entry);
  const uint32_t start = le32(bytes, ads + 4);
  putLe32(bytes, entry + 172, 16);
  putLe32(bytes, ads, kHalf);
  putLe32(bytes, ads + 4, start + kHalf / kBlock);
  putLe32(bytes, ads + 8, static_cast<uint32_t>(kVobBytes - kHalf));
  putLe32(bytes, ads + 12, start);
  testing::TempFolder scratch;
  std::unique_ptr<UdfImage> image;
  ASSERT_TRUE(openImage(bytes, scratch / "two.iso", &image).ok());
  std::vector<uint8_t> expected(disc().vob.begin() + kHalf, disc().vob.begin() + 2 * kHalf);
  expected.insert(expected.end(), disc().vob.begin(), disc().vob.begin() + kVobBytes - kHalf);
  std::unique_ptr<ByteSource> file;
  ASSERT_TRUE(
      image->openForReading((scratch / "two.iso/VIDEO_TS/VTS_01_1.VOB").string(), &file).ok());
  // Reads that straddle the border, then one back across it.
  std::vector<uint8_t> got(expected.size() + 4);
  for (size_t done = 0, n = 1; n > 0; done += n)
    ASSERT_TRUE(file->read(&got[done], std::min<size_t>(7777, got.size() - done), n).ok());
  size_t n = 0;
  ASSERT_TRUE(file->seek(kHalf - 2).ok() && file->read(&got[expected.size()], 4, n).ok());
  expected.insert(expected.end(), expected.begin() + kHalf - 2, expected.begin() + kHalf + 2);
  EXPECT_EQ(got, expected);
}

TEST(UdfImage, ADamagedImageIsRefusedWithOneLineNamingTheImageAndTheFile) {
  SKIP_WITHOUT_IMAGE();
  const auto entry = [](const std::vector<uint8_t>& b, const char* name) {
    return *findUdfEntry(b, name);
  };
  const auto nameByte = [&](std::vector<uint8_t>& b, const char* name, size_t index) {
    const size_t at = entry(b, name).identifier;
    return &b[at + 38 + (b[at + 36] | b[at + 37] << 8) + index];
  };
  const auto vobExtent = [&](const std::vector<uint8_t>& b) {
    return allocations(b, entry(b, "VTS_01_1.VOB").fileEntry);
  };
  const std::string vob = "the file \"VIDEO_TS/VTS_01_1.VOB\" ";
  const std::pair<std::function<void(std::vector<uint8_t>&)>, std::string> cases[] = {
      // An image without the volume recognition sequence is ISO 9660 alone.
      {[](auto& b) {
         for (size_t at = 16 * kBlock; at < 64 * kBlock; at += kBlock)
           if (std::equal(b.begin() + at + 1, b.begin() + at + 4, "NSR"))
             std::fill_n(b.begin() + at, kBlock, 0);
       },
       "it is not a UDF image"},
      // Both volume descriptor sequences (the anchor at block 256 gives them) begin with a
      // pointer to themselves, which libudfread would follow for ever.
      {[](auto& b) {
         for (const size_t field : {16, 24}) {
           const size_t at = le32(b, 256 * kBlock + field + 4) * kBlock;
           std::fill_n(b.begin() + at, kBlock, 0);
           b[at] = 3;
           putLe32(b, at + 20, kBlock);
           putLe32(b, at + 24, static_cast<uint32_t>(at / kBlock));
           for (size_t i = 0; i < 16; ++i)
             if (i != 4) b[at + 4] = static_cast<uint8_t>(b[at + 4] + b[at + i]);
         }
       },
       "its volume descriptors loop"},
      {[&](auto& b) {
         const size_t at = entry(b, "VTS_01_1.VOB").fileEntry;
         b.resize((at / kBlock - le32(b, at + 12) + le32(b, vobExtent(b) + 4) + 10) * kBlock);
       },
       vob + "runs past the image's end (the image is truncated)"},
      {[&](auto& b) { putLe32(b, vobExtent(b) + 4, 0); },  // libudfread reads zeros there
       vob + "is damaged (parts of it lie nowhere in the image)"},
      {[&](auto& b) { putLe32(b, entry(b, "VIDEO_TS").identifier + 24, kFarBlock); },
       "the folder \"VIDEO_TS\" lies past the image's end"},
      {[&](auto& b) {
         putLe32(b, entry(b, "B").identifier + 24, le32(b, entry(b, "A").identifier + 24));
       },
       "the folder \"A/B\" is the folder \"A\" again"},
      {[&](auto& b) { b[entry(b, "VIDEO_TS").fileEntry + 4] ^= 1; },
       "the folder \"VIDEO_TS\" is damaged"},
      {[&](auto& b) { *nameByte(b, "VTS_01_1.VOB", 4) = 0; },
       "is not valid UTF-8: \"VTS\\xC0\\x8001_1.VOB\""},
      {[&](auto& b) { *nameByte(b, "x.txt", 2) = '/'; },
       "the entry \"x/txt\" of \"A/B\" has a name that no file can have"},
  };
  testing::TempFolder scratch;
  const std::string start =
      "Cannot read the disc image \"" + (scratch / "bad.iso").string() + "\": ";
  for (const auto& [patch, says] : cases) {
    std::vector<uint8_t> bytes = disc().image;
    patch(bytes);
    std::unique_ptr<UdfImage> image;
    const Status opened = openImage(bytes, scratch / "bad.iso", &image);
    EXPECT_EQ(opened.code(), Status::Code::ReadFailed) << says;
    EXPECT_TRUE(opened.reason().starts_with(start) &&
                opened.reason().find(says) != std::string::npos &&
                opened.reason().find('\n') == std::string::npos)
        << says << "\n"
        << opened.reason();
    EXPECT_FALSE(image) << says;
  }
}

}  // namespace
}  // namespace korvell
