// Exit statuses and messages of korvell-cli when its files fail it: the built binary, run as
// a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

testing::CommandResult runCli(const std::string& arguments) {
  return testing::runCommand(std::string(KORVELL_CLI) + " " + arguments);
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

class CliRobustness : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = folder_.path();
    std::string error;
    ASSERT_TRUE(testing::writeSampleDisc(root_.string(),
                                         std::string(KORVELL_SOURCE_DIR) + "/testdata", 0, &error))
        << error;
    feature1_ = root_ / "HVDVD_TS" / "FEATURE_1.EVO";
    out_ = root_ / "out";
    fs::create_directories(out_);
  }

  testing::TempFolder folder_;
  fs::path root_, feature1_, out_;
};

TEST_F(CliRobustness, AFullDiskExitsWithOneAndNamesTheIncompleteFile) {
  const fs::path video = out_ / "FEATURE_1_FEATURE_2.VC-1.stream.0.mpv";
  fs::create_symlink("/dev/full", video);
  testing::CommandResult result = runCli("demux " + quoted(feature1_) + " -o " + quoted(out_));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(
      result.output.find("Cannot write file \"" + video.string() + "\". No space left on device"),
      std::string::npos)
      << result.output;
  EXPECT_EQ(result.output.find("Done.", result.output.find("Cannot write")), std::string::npos);

  const fs::path rebuilt = out_ / "FEATURE_1_FEATURE_2.rebuilt.EVO";
  fs::create_symlink("/dev/full", rebuilt);
  result = runCli("rebuild " + quoted(feature1_) + " -o " + quoted(out_));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(
      result.output.find("Cannot write file \"" + rebuilt.string() + "\". No space left on device"),
      std::string::npos)
      << result.output;
}

TEST_F(CliRobustness, AnOutputThatIsTheInputExitsWithOneAndKeepsTheInput) {
  const std::vector<uint8_t> before = testing::readFileBytes(feature1_);
  fs::create_symlink(feature1_, out_ / "FEATURE_1_FEATURE_2.rebuilt.EVO");
  const testing::CommandResult result =
      runCli("rebuild " + quoted(feature1_) + " -o " + quoted(out_));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("It is an input file of this run."), std::string::npos)
      << result.output;
  EXPECT_EQ(testing::readFileBytes(feature1_), before);
}

TEST_F(CliRobustness, EmptyAndOneByteFilesHoldNoStreamAndExitWithOne) {
  for (const char* bytes : {"", "\x01"}) {
    const fs::path tiny = root_ / "TINY.EVO";
    std::ofstream(tiny, std::ios::binary) << bytes;
    const testing::CommandResult result = runCli("demux " + quoted(tiny) + " -o " + quoted(out_));
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("No stream found in TINY.EVO."), std::string::npos);
    EXPECT_EQ(result.output.find("Done."), std::string::npos);
    EXPECT_TRUE(fs::is_empty(out_));  // nothing written
  }
}

TEST_F(CliRobustness, ANameThatIsNotUtf8IsDemuxed) {
  const fs::path input = root_ / "F\xff\xfe_1.EVO";
  fs::copy_file(feature1_, input);
  const testing::CommandResult result = runCli("demux " + quoted(input) + " -o " + quoted(out_));
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(fs::exists(out_ / "F\xff\xfe_1.VC-1.stream.0.mpv"));
}

}  // namespace
}  // namespace korvell
