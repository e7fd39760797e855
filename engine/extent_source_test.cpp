#include "engine/extent_source.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "testing/memory_file_system.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

using testing::MemoryFileSystem;

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return bytes;
}

// Two files and extents that start mid-file, skip bytes, go back, and hold an empty one.
struct Fixture {
  MemoryFileSystem files;
  std::vector<FileExtent> extents = {{"a", 100, 2000}, {"b", 0, 3000},    {"a", 5000, 0},
                                     {"a", 2100, 500}, {"b", 4000, 1000}, {"a", 0, 50}};
  std::vector<uint8_t> expected;
  Fixture() {
    files.add("a", pattern(10000, 1));
    files.add("b", pattern(5000, 99));
    for (const FileExtent& e : extents) {
      const auto& file = *files.file(e.path);
      expected.insert(expected.end(), file.begin() + static_cast<ptrdiff_t>(e.offset),
                      file.begin() + static_cast<ptrdiff_t>(e.offset + e.length));
    }
  }
  std::unique_ptr<ExtentSource> open() {
    std::unique_ptr<ExtentSource> source;
    std::string failedPath;
    const Status opened = ExtentSource::open(files, extents, &source, &failedPath);
    EXPECT_TRUE(opened.ok()) << failedPath << ": " << opened.reason();
    return source;
  }
};

TEST(ExtentSource, ReadsTheExtentsInOrderAndFillsEachRequest) {
  for (size_t request : {size_t{1}, size_t{7}, size_t{2048}, size_t{4096}, size_t{100000}}) {
    Fixture f;
    auto source = f.open();
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size(), f.expected.size());
    std::vector<uint8_t> all;
    std::vector<uint8_t> block(request);
    for (size_t got = 1; got > 0;) {
      ASSERT_TRUE(source->read(block.data(), request, got).ok());
      all.insert(all.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(got));
      EXPECT_EQ(source->position(), all.size());
      // Short only at the end, so the walker's blocks stay whole across extents.
      if (got < request) {
        EXPECT_EQ(all.size(), f.expected.size()) << request;
      }
      EXPECT_LE(f.files.openFiles(), 1);
    }
    EXPECT_TRUE(all == f.expected) << request;
  }
}

TEST(ExtentSource, SeeksToAnyPositionOverTheExtents) {
  Fixture f;
  auto source = f.open();
  for (uint64_t position : {uint64_t{4000}, uint64_t{0}, uint64_t{1999}, uint64_t{2000},
                            uint64_t{5490}, uint64_t{6550}, uint64_t{6545}}) {
    ASSERT_TRUE(source->seek(position).ok()) << position;
    uint8_t bytes[10];
    size_t got = 0;
    ASSERT_TRUE(source->read(bytes, sizeof bytes, got).ok());
    const size_t want = std::min<size_t>(10, f.expected.size() - position);
    ASSERT_EQ(got, want) << position;
    EXPECT_TRUE(
        std::equal(bytes, bytes + got, f.expected.begin() + static_cast<ptrdiff_t>(position)))
        << position;
  }
  const Status past = source->seek(f.expected.size() + 1);
  EXPECT_EQ(past.code(), Status::Code::ReadFailed);
  EXPECT_EQ(source->status(), past);
}

TEST(ExtentSource, FailuresComeWithTheirFile) {
  struct Case {
    const char* name;
    std::function<void(MemoryFileSystem&)> fault;
    bool atOpen;  // the fault is there before open() and found by it; otherwise a read finds it
    Status::Code code;
    std::string reason;
    size_t bytesBefore;  // what reads hand out before the failure
  };
  const Case cases[] = {
      {"a missing file", [](MemoryFileSystem& fs) { fs.refuseOpen("b", std::strerror(ENOENT)); },
       true, Status::Code::OpenFailed, std::strerror(ENOENT), 0},
      {"a file gone once the source is open",
       [](MemoryFileSystem& fs) { fs.refuseOpen("b", std::strerror(ENOENT)); }, false,
       Status::Code::OpenFailed, std::strerror(ENOENT), 2000},
      {"a file shorter than its extent",
       [](MemoryFileSystem& fs) { fs.add("b", pattern(4500, 0)); }, true, Status::Code::ReadFailed,
       "The file has 4500 bytes, but bytes 4000 to 5000 of it are to be read.", 0},
      {"a read error", [](MemoryFileSystem& fs) { fs.failRead("b", 2, "Input/output error"); },
       false, Status::Code::ReadFailed, "Input/output error", 2000 + 1000},
      {"a file cut while read", [](MemoryFileSystem& fs) { fs.shrinkAfterRead("b", 1, 100); },
       false, Status::Code::ReadFailed, shrunkReason(1000, 5000), 2000 + 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    if (c.atOpen) c.fault(f.files);
    std::unique_ptr<ExtentSource> source;
    std::string failedPath;
    Status status = ExtentSource::open(f.files, f.extents, &source, &failedPath);
    if (!c.atOpen) {
      ASSERT_TRUE(status.ok()) << status.reason();
      c.fault(f.files);
      // Requests of 1,000 bytes: the failing read's earlier bytes come out first.
      std::vector<uint8_t> all(f.expected.size());
      size_t got = 1;
      while (got > 0 && (status = source->read(all.data() + source->position(), 1000, got)).ok()) {
      }
      EXPECT_EQ(source->position(), c.bytesBefore);
      EXPECT_TRUE(std::equal(all.begin(), all.begin() + static_cast<ptrdiff_t>(c.bytesBefore),
                             f.expected.begin()));
      failedPath = source->failedPath();
      EXPECT_EQ(source->status(), status);
    }
    EXPECT_EQ(status.code(), c.code);
    EXPECT_EQ(status.reason(), c.reason);
    EXPECT_EQ(failedPath, "b");
  }
}

// A source that can only read on: seek uses the default skip.
class OnwardSource final : public ByteSource {
 public:
  explicit OnwardSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)), inner_(bytes_) {}
  Status read(uint8_t* dst, size_t n, size_t& got) override { return inner_.read(dst, n, got); }
  uint64_t size() const override { return inner_.size(); }
  uint64_t position() const override { return inner_.position(); }
  const Status& status() const override { return inner_.status(); }

 private:
  std::vector<uint8_t> bytes_;
  MemorySource inner_;
};

TEST(ByteSources, SeekOfEachKind) {
  const auto bytes = pattern(300000, 3);
  const testing::TempFolder folder;
  testing::writeFileBytes(folder / "file", bytes);
  MemoryFileSystem files;
  files.add("memory", bytes);
  std::unique_ptr<FileSource> file;
  ASSERT_TRUE(FileSource::open((folder / "file").string(), &file).ok());
  std::unique_ptr<ByteSource> inMemoryFileSystem;
  ASSERT_TRUE(files.openForReading("memory", &inMemoryFileSystem).ok());
  MemorySource memory(bytes);
  OnwardSource onward(bytes);
  struct Case {
    const char* name;
    ByteSource* source;
    bool goesBack;
  };
  const Case cases[] = {{"file", file.get(), true},
                        {"memory", &memory, true},
                        {"memory file system", inMemoryFileSystem.get(), true},
                        {"onward only", &onward, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Forward past several skip blocks, then back.
    for (uint64_t position : {uint64_t{200001}, uint64_t{5}, uint64_t{300000}}) {
      const Status sought = c.source->seek(position);
      if (position < c.source->position() && !c.goesBack) {
        EXPECT_EQ(sought.reason(), "This input cannot go back.");
        continue;
      }
      ASSERT_TRUE(sought.ok()) << sought.reason();
      EXPECT_EQ(c.source->position(), position);
      uint8_t got[4] = {};
      size_t n = 0;
      ASSERT_TRUE(c.source->read(got, sizeof got, n).ok());
      EXPECT_EQ(n, std::min<size_t>(4, bytes.size() - position));
      EXPECT_TRUE(std::equal(got, got + n, bytes.begin() + static_cast<ptrdiff_t>(position)));
    }
    const Status past = c.source->seek(bytes.size() + 1);
    EXPECT_EQ(past.code(), Status::Code::ReadFailed);
  }
}

}  // namespace
}  // namespace korvell
