// Folders and removal, which the mux run needs, alike in the real and the in-memory FileSystem.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/file_system.h"
#include "testing/memory_file_system.h"
#include "testing/temp_folder.h"

namespace korvell {
namespace {

void createAndRemove(FileSystem& files, const std::string& base) {
  const std::string folder = base + "/k";
  const std::string file = folder + "/a.ac3";
  EXPECT_TRUE(files.createFolder(folder).ok());
  const Status again = files.createFolder(folder);
  EXPECT_EQ(again.code(), Status::Code::CreateFailed);
  EXPECT_EQ(again.reason(), "File exists");
  std::unique_ptr<ByteSink> sink;
  ASSERT_TRUE(files.create(file, &sink).ok());
  ASSERT_TRUE(sink->close().ok());
  EXPECT_EQ(files.createFolder(file).code(), Status::Code::CreateFailed);

  const Status full = files.remove(folder);
  EXPECT_EQ(full.code(), Status::Code::RemoveFailed);
  EXPECT_EQ(full.reason(), "Directory not empty");
  EXPECT_TRUE(files.remove(file).ok());
  EXPECT_FALSE(files.isFile(file));
  EXPECT_EQ(files.remove(file).reason(), "No such file or directory");
  EXPECT_TRUE(files.remove(folder).ok());
  EXPECT_TRUE(files.createFolder(folder).ok());  // gone, so it can be made again
}

TEST(FileSystemFolders, Real) {
  const testing::TempFolder temp;
  createAndRemove(realFileSystem(), temp.path().string());
}

TEST(FileSystemFolders, InMemory) {
  testing::MemoryFileSystem files;
  createAndRemove(files, "/tmp");
  EXPECT_TRUE(files.isFolder("/tmp/k"));
  files.refuseRemove("/tmp/k", "Permission denied");
  const Status refused = files.remove("/tmp/k");
  EXPECT_EQ(refused.code(), Status::Code::RemoveFailed);
  EXPECT_EQ(refused.reason(), "Permission denied");
}

}  // namespace
}  // namespace korvell
