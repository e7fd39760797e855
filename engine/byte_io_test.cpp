#include "engine/byte_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

// One step of a write sequence: a write() of one piece, or a writeMany() of `count` pieces,
// each `size` bytes.
struct Step {
  bool many;
  size_t count;
  size_t size;
};

struct SequenceCase {
  const char* name;
  std::vector<Step> steps;
};

// Sizes around the sink's buffer (256 KiB) and its direct-write threshold (64 KiB), and
// gathered writes of more pieces than one system call takes (1,024).
const SequenceCase kSequences[] = {
    {"small pieces only", {{false, 1, 100}, {true, 300, 2000}, {false, 1, 7}}},
    {"small then large", {{true, 10, 2018}, {false, 1, 300000}, {false, 1, 5}}},
    {"large piece into an empty buffer", {{false, 1, FileSink::kBufferSize}}},
    {"just below and at the threshold",
     {{false, 1, FileSink::kDirect - 1}, {false, 1, FileSink::kDirect}, {false, 1, 1}}},
    {"buffer filled exactly, then one byte",
     {{true, 4, FileSink::kBufferSize / 4 - 1}, {false, 1, 4}, {false, 1, 1}}},
    {"many pieces past the threshold", {{true, 3000, 100}, {false, 1, 10}}},
    {"many pieces mixed with large", {{true, 1500, 2000}, {true, 2, 500000}, {true, 5, 0}}},
    {"empty pieces", {{false, 1, 0}, {true, 3, 0}, {false, 1, 3}}},
};

TEST(FileSink, MixedSmallAndLargePiecesGiveTheBytesInOrder) {
  const testing::TempFolder dir;
  for (const SequenceCase& c : kSequences) {
    const fs::path path = dir / "out.bin";
    std::unique_ptr<FileSink> sink;
    const Status created = FileSink::create(path.string(), &sink);
    ASSERT_TRUE(created.ok()) << created.reason();
    MemorySink expected;
    uint8_t next = 1;
    for (const Step& step : c.steps) {
      // Each piece its own bytes, so a piece out of order or written twice shows.
      std::vector<std::vector<uint8_t>> pieces(step.count, std::vector<uint8_t>(step.size));
      std::vector<ByteRange> ranges;
      for (auto& piece : pieces) {
        for (size_t i = 0; i < piece.size(); ++i)
          piece[i] = static_cast<uint8_t>(next + i % 251);
        next = static_cast<uint8_t>(next * 5 + 3);
        ranges.push_back({piece.data(), piece.size()});
        expected.write(piece.data(), piece.size());
      }
      if (step.many) {
        ASSERT_TRUE(sink->writeMany(ranges).ok()) << c.name;
      } else {
        ASSERT_TRUE(sink->write(ranges[0].data, ranges[0].size).ok()) << c.name;
      }
      // The pieces may be reused once the call returns.
      for (auto& piece : pieces)
        std::fill(piece.begin(), piece.end(), uint8_t{0xEE});
    }
    ASSERT_TRUE(sink->close().ok()) << c.name;
    const std::vector<uint8_t> written = testing::readFileBytes(path);
    EXPECT_EQ(written.size(), expected.bytes().size()) << c.name;
    EXPECT_TRUE(written == expected.bytes()) << c.name;
  }
}

TEST(FileSink, AFailedWriteIsReportedAndLaterWritesDoNothing) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::unique_ptr<FileSink> sink;
  ASSERT_TRUE(FileSink::create("/dev/full", &sink).ok());
  const std::vector<uint8_t> small(100, 1), large(FileSink::kDirect, 2);
  EXPECT_TRUE(sink->write(small.data(), small.size()).ok());  // buffered
  const ByteRange pieces[] = {{large.data(), large.size()}, {small.data(), small.size()}};
  const Status full = Status::failure(Status::Code::WriteFailed, systemReason(ENOSPC));
  EXPECT_EQ(sink->writeMany(pieces), full);
  EXPECT_EQ(sink->status(), full);
  EXPECT_EQ(sink->write(small.data(), small.size()), full);
  EXPECT_EQ(sink->close(), full);
}

// Small writes stay in the buffer and large ones go straight out, so a seek must put both
// where they belong: back over the start, then past the end.
TEST(SeekableFile, WritesOverAndPastWhatIsThere) {
  testing::TempFolder folder;
  const std::string path = folder / "seekable";
  std::unique_ptr<SeekableFile> file;
  ASSERT_TRUE(SeekableFile::create(path, &file).ok());
  const std::vector<uint8_t> large(SeekableFile::kDirect, 'z');
  const std::string small = "abcdef";
  const auto put = [&file](const std::string& text) {
    return file->write(reinterpret_cast<const uint8_t*>(text.data()), text.size()).ok();
  };
  EXPECT_TRUE(put(small));
  EXPECT_TRUE(file->write(large.data(), large.size()).ok());
  EXPECT_TRUE(file->seek(2).ok() && put("XY"));
  EXPECT_EQ(file->position(), 4u);
  EXPECT_TRUE(file->seek(small.size() + large.size() + 2).ok() && put("end"));
  EXPECT_TRUE(file->seek(0).ok() && put("Q"));
  EXPECT_EQ(file->size(), small.size() + large.size() + 5);
  ASSERT_TRUE(file->close().ok());
  std::vector<uint8_t> expected = {'Q', 'b', 'X', 'Y', 'e', 'f'};
  expected.insert(expected.end(), large.begin(), large.end());
  expected.insert(expected.end(), {0, 0, 'e', 'n', 'd'});
  EXPECT_EQ(testing::readFileBytes(path), expected);
  EXPECT_EQ(SeekableFile::create(folder.path().string(), &file).code(), Status::Code::CreateFailed);
}

}  // namespace
}  // namespace korvell
