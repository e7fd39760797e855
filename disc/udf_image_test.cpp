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
constexpr size_t kVobBlocks = 600;
constexpr size_t kVobBytes = kVobBlocks * kBlock + 100;  // ends inside a block
constexpr uint32_t kFarBlock = 0x00FFFFF0;

// A folder laid out as a disc, made into an image with genisoimage once for the tests below.
struct Disc {
  testing::TempFolder folder;
  std::vector<uint8_t> vob;
  std::vector<uint8_t> image;  // empty when it could not be made
  testing::MadeImage made;
  Disc() {
    for (size_t i = 0; i < kVobBytes; ++i)
      vob.push_back(static_cast<uint8_t>(i * 7 ^ i >> 11));
    fs::create_directories(folder / "root" / "VIDEO_TS");
    fs::create_directories(folder / "root" / "A" / "B");
    testing::writeFileBytes(folder / "root" / "VIDEO_TS" / "VTS_01_1.VOB", vob);
    testing::writeFileBytes(folder / "root" / "A" / "B" / "x.txt", {'x'});
    made = testing::makeUdfImage(testing::ImageMaker::Genisoimage, folder / "root",
                                 folder / "disc.iso");
    if (!made.path.empty()) image = testing::readFileBytes(made.path);
  }
};

const Disc& disc() {
  static const Disc made;
  return made;
}

#define SKIP_WITHOUT_IMAGE()                                                     \
  if (!disc().made.missingTool.empty()) GTEST_SKIP() << disc().made.missingTool; \
  ASSERT_FALSE(disc().image.empty()) << disc().made.failure

Status openImage(const std::vector<uint8_t>& bytes, const fs::path& path,
                 std::unique_ptr<UdfImage>* image) {
  testing::writeFileBytes(path, bytes);
  return UdfImage::open(realFileSystem(), path.string(), image);
}

std::vector<uint8_t> readAll(ByteSource& source, size_t piece) {
  std::vector<uint8_t> bytes(static_cast<size_t>(source.size()));
  size_t done = 0;
  for (size_t got = 1; got > 0 && done < bytes.size(); done += got)
    EXPECT_TRUE(source.read(bytes.data() + done, std::min(piece, bytes.size() - done), got).ok());
  bytes.resize(done);
  return bytes;
}

// The short allocation descriptors of a file entry (type 0, as genisoimage records them).
size_t firstAllocation(const std::vector<uint8_t>& image, size_t entry) {
  return entry + 176 + le32(image, entry + 168);
}

TEST(UdfImage, ReadsTheImageInPlaceAsAFolderAndWritesNothingInsideIt) {
  SKIP_WITHOUT_IMAGE();
  const fs::path path = disc().folder / "disc.iso";
  std::unique_ptr<UdfImage> image;
  ASSERT_TRUE(UdfImage::open(realFileSystem(), path.string(), &image).ok());
  const std::string root = path.string();
  std::vector<std::string> names;
  ASSERT_TRUE(image->listFolder(root, &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A", "VIDEO_TS"}));
  EXPECT_TRUE(image->isFolder(root) && !image->isFile(root));
  EXPECT_TRUE(image->isFolder(root + "/A/B/") && image->isFile(root + "/A/B/x.txt"));
  EXPECT_FALSE(image->isFile(root + "/A/none") || image->isFolder(root + "/A/B/x.txt"));
  const std::string vob = root + "/VIDEO_TS/VTS_01_1.VOB";
  EXPECT_TRUE(image->sameFile(root + "/./VIDEO_TS//VTS_01_1.VOB", vob));
  EXPECT_FALSE(image->sameFile(vob, (disc().folder / "root/VIDEO_TS/VTS_01_1.VOB").string()));

  std::unique_ptr<ByteSource> file;
  ASSERT_TRUE(image->openForReading(vob, &file).ok());
  EXPECT_EQ(readAll(*file, 100000), disc().vob);
  uint8_t tail[8];
  size_t got = 0;
  ASSERT_TRUE(file->seek(kVobBytes - 5).ok());
  ASSERT_TRUE(file->read(tail, sizeof tail, got).ok());
  EXPECT_TRUE(got == 5 && std::equal(tail, tail + 5, disc().vob.end() - 5));
  EXPECT_EQ(image->openForReading(root + "/A", &file).code(), Status::Code::OpenFailed);
  EXPECT_EQ(image->openForReading(root + "/A/y", &file).code(), Status::Code::OpenFailed);

  // Inside the image, the image itself included, nothing is created or removed; beside it
  // the real files are.
  std::unique_ptr<ByteSink> sink;
  for (const std::string& inside : {root, vob, root + "/A/new.txt"}) {
    const Status created = image->create(inside, &sink);
    EXPECT_EQ(created.code(), Status::Code::CreateFailed) << inside;
    EXPECT_NE(created.reason().find("read-only"), std::string::npos) << created.reason();
  }
  std::string reason;
  EXPECT_FALSE(image->remove(vob, &reason));
  EXPECT_TRUE(image->create((disc().folder / "beside.txt").string(), &sink).ok());
  EXPECT_TRUE(image->isFile((disc().folder / "beside.txt").string()));
}

TEST(UdfImage, AFileInTwoPiecesReadsAcrossThemAndSeeksBack) {
  SKIP_WITHOUT_IMAGE();
  // The VOB's one extent recorded as two, its second half first: the file's bytes are then
  // the source's from block 300 on, followed by its first 300 blocks.
  std::vector<uint8_t> bytes = disc().image;
  const size_t entry = findUdfEntry(bytes, "VTS_01_1.VOB")->fileEntry;
  const size_t ads = firstAllocation(bytes, entry);
  const uint32_t start = le32(bytes, ads + 4);
  constexpr uint32_t kHalf = 300 * kBlock;
  putLe32(bytes, entry + 172, 16);
  putLe32(bytes, ads, kHalf);
  putLe32(bytes, ads + 4, start + 300);
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
  EXPECT_EQ(readAll(*file, 7777), expected);  // reads that straddle the pieces' border
  ASSERT_TRUE(file->seek(kHalf - 2).ok());
  uint8_t border[4];
  size_t got = 0;
  ASSERT_TRUE(file->read(border, sizeof border, got).ok());
  EXPECT_TRUE(got == 4 && std::equal(border, border + 4, expected.begin() + kHalf - 2));
}

TEST(UdfImage, ADamagedImageIsRefusedWithOneLineNamingTheImageAndTheFile) {
  SKIP_WITHOUT_IMAGE();
  using Patch = std::function<void(std::vector<uint8_t>&)>;
  const auto entry = [](const std::vector<uint8_t>& bytes, const char* name) {
    return *findUdfEntry(bytes, name);
  };
  const auto nameByte = [&](std::vector<uint8_t>& bytes, const char* name, size_t index) {
    const size_t at = entry(bytes, name).identifier;
    return &bytes[at + 38 + (bytes[at + 36] | bytes[at + 37] << 8) + index];
  };
  const auto allocation = [&](const std::vector<uint8_t>& bytes) {
    return firstAllocation(bytes, entry(bytes, "VTS_01_1.VOB").fileEntry);
  };
  struct Case {
    const char* what;
    Patch patch;
    const char* says;
  };
  const Case cases[] = {
      {"no volume recognition sequence (an ISO 9660 image)",
       [](auto& b) {
         for (size_t block = 16; block < 64; ++block)
           if (std::equal(b.begin() + block * kBlock + 1, b.begin() + block * kBlock + 4, "NSR"))
             std::fill_n(b.begin() + block * kBlock, kBlock, 0);
       },
       "it is not a UDF image"},
      {"no image at all", [](auto& b) { b.assign(300 * kBlock, 0x55); }, "it is not a UDF image"},
      // Both volume descriptor sequences (the anchor at block 256 gives their blocks) begin
      // with a pointer to themselves, which libudfread would follow for ever.
      {"volume descriptors that loop",
       [](auto& b) {
         for (const size_t field : {16, 24}) {
           const uint32_t block = le32(b, 256 * kBlock + field + 4);
           uint8_t* tag = &b[block * kBlock];
           std::fill_n(tag, kBlock, 0);
           tag[0] = 3;  // a volume descriptor pointer
           putLe32(b, block * kBlock + 12, block);
           putLe32(b, block * kBlock + 20, kBlock);
           putLe32(b, block * kBlock + 24, block);
           for (size_t i = 0; i < 16; ++i)
             if (i != 4) tag[4] = static_cast<uint8_t>(tag[4] + tag[i]);
         }
       },
       "its volume descriptors loop"},
      {"cut inside the last file",
       [&](auto& b) {
         const size_t at = entry(b, "VTS_01_1.VOB").fileEntry;
         const size_t partition = at / kBlock - le32(b, at + 12);
         b.resize((partition + le32(b, allocation(b) + 4) + 10) * kBlock);
       },
       "the file \"VIDEO_TS/VTS_01_1.VOB\" runs past the image's end"},
      {"an extent past the end", [&](auto& b) { putLe32(b, allocation(b) + 4, kFarBlock); },
       "the file \"VIDEO_TS/VTS_01_1.VOB\" runs past the image's end"},
      {"an extent libudfread reads as zeros", [&](auto& b) { putLe32(b, allocation(b) + 4, 0); },
       "the file \"VIDEO_TS/VTS_01_1.VOB\" is damaged (parts of it lie nowhere in the image)"},
      {"a size past the end",
       [&](auto& b) { putLe32(b, entry(b, "VTS_01_1.VOB").fileEntry + 60, 1); },
       "the file \"VIDEO_TS/VTS_01_1.VOB\" runs past the image's end"},
      {"a folder outside the image",
       [&](auto& b) { putLe32(b, entry(b, "VIDEO_TS").identifier + 24, kFarBlock); },
       "the folder \"VIDEO_TS\" lies past the image's end"},
      {"a folder that is its parent again",
       [&](auto& b) {
         putLe32(b, entry(b, "B").identifier + 24, le32(b, entry(b, "A").identifier + 24));
       },
       "the folder \"A/B\" is the folder \"A\" again"},
      {"a damaged folder entry", [&](auto& b) { b[entry(b, "VIDEO_TS").fileEntry + 4] ^= 1; },
       "the folder \"VIDEO_TS\" is damaged"},
      {"a NUL in a name", [&](auto& b) { *nameByte(b, "VTS_01_1.VOB", 4) = 0; },
       "is not valid UTF-8: \"VTS\\xC0\\x8001_1.VOB\""},
      {"a lone UTF-16 surrogate",
       [&](auto& b) {
         uint8_t* name = nameByte(b, "VTS_01_1.VOB", 0);
         name[0] = 16, name[1] = 0xD8, name[2] = 0x00;
       },
       "of \"VIDEO_TS\" is not valid UTF-8"},
      {"a slash in a name", [&](auto& b) { *nameByte(b, "x.txt", 2) = '/'; },
       "the entry \"x/txt\" of \"A/B\" has a name that no file can have"},
  };
  testing::TempFolder scratch;
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = disc().image;
    c.patch(bytes);
    std::unique_ptr<UdfImage> image;
    const Status opened = openImage(bytes, scratch / "bad.iso", &image);
    EXPECT_EQ(opened.code(), Status::Code::ReadFailed) << c.what;
    EXPECT_TRUE(opened.reason().starts_with("Cannot read the disc image \"" +
                                            (scratch / "bad.iso").string() + "\": "))
        << c.what << ": " << opened.reason();
    EXPECT_NE(opened.reason().find(c.says), std::string::npos) << c.what << ": " << opened.reason();
    EXPECT_EQ(opened.reason().find('\n'), std::string::npos) << c.what;
    EXPECT_FALSE(image) << c.what;
  }
}

}  // namespace
}  // namespace korvell
