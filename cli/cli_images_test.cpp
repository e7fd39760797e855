// korvell-cli on images of the test DVD made by the real image tools: each command gives on the
// image what it gives on the disc's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "testing/dvd_test_disc.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"
#include "testing/udf_test_image.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::ImageMaker;

testing::CommandResult runCli(const std::string& arguments) {
  return testing::runCommand(std::string(KORVELL_CLI) + " " + arguments + " --color=never");
}

// Every file of a folder by name, with its bytes.
std::map<std::string, std::vector<uint8_t>> filesOf(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = testing::readFileBytes(entry.path());
  return files;
}

// Every `from` in text replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Commands run on the image and on the folder ("{}" stands for either), and what each writes
// (nothing, or its files into -o): the same report, the disc and the output folder aside, and
// the same files, byte for byte.
struct Case {
  std::string onImage;
  std::string onFolder;
  bool writes;
};

void expectTheSame(const std::vector<Case>& cases, const fs::path& image, const fs::path& folder) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.onImage);
    const testing::TempFolder out;
    std::string reports[2];
    for (const int side : {0, 1}) {
      const fs::path into = out / (side == 0 ? "image" : "folder");
      const fs::path& disc = side == 0 ? image : folder;
      fs::create_directories(into);
      const auto run = runCli(replaced(side == 0 ? c.onImage : c.onFolder, "{}", disc.string()) +
                              (c.writes ? " -o " + into.string() : ""));
      ASSERT_EQ(run.status, 0) << run.output;
      reports[side] = replaced(replaced(run.output, into.string(), "OUT"), disc.string(), "DISC");
    }
    EXPECT_EQ(reports[0], reports[1]);
    EXPECT_EQ(filesOf(out / "image"), filesOf(out / "folder"));
    EXPECT_EQ(filesOf(out / "image").empty(), !c.writes);
  }
}

class CliImages : public ::testing::TestWithParam<ImageMaker> {};

TEST_P(CliImages, EachCommandGivesOnTheImageWhatItGivesOnTheFolder) {
  const testing::DvdTestDisc& disc = testing::dvdTestDisc();
  if (!disc.missingTool.empty()) GTEST_SKIP() << disc.missingTool;
  const testing::TempFolder scratch;
  const fs::path image = scratch / "movie.iso";
  const testing::MadeImage made = testing::makeUdfImage(GetParam(), disc.folder, image);
  if (!made.missingTool.empty()) GTEST_SKIP() << made.missingTool;
  ASSERT_TRUE(made.failure.empty()) << made.failure;
  expectTheSame({{"titles {}", "titles {}", false},
                 {"read {} --file VIDEO_TS/VTS_01_2.VOB", "read {}/VIDEO_TS/VTS_01_2.VOB", false},
                 {"demux --title 1 --subs vobsub {}", "demux --title 1 --subs vobsub {}", true},
                 {"rebuild --title 1 {}", "rebuild --title 1 {}", true}},
                image, disc.folder);

  // Without -o the files go beside the image; mkv muxes a title of it.
  ASSERT_EQ(runCli("demux --title 2 " + image.string()).status, 0);
  EXPECT_TRUE(fs::exists(scratch / "VTS_01_TITLE_2.MPEG-2.stream.0.mpv"));
  if (!testing::runCommand("command -v mkvmerge").output.empty()) {
    const auto muxed =
        runCli("mkv --title 1 " + image.string() + " -o " + (scratch / "title.mkv").string());
    ASSERT_EQ(muxed.status, 0) << muxed.output;
    const std::string tracks =
        testing::runCommand(
            testing::withUtf8Locale("mkvmerge -J " + (scratch / "title.mkv").string()))
            .output;
    for (const char* language : {"eng", "ger", "fre"})
      EXPECT_NE(tracks.find("\"language\": \"" + std::string(language)), std::string::npos);
  }

  // A damaged image: one line naming it and the file, exit 1, nothing written.
  std::filesystem::resize_file(image, fs::file_size(image) - 300 * 2048);
  const testing::TempFolder out;
  const auto refused = runCli("demux --title 1 " + image.string() + " -o " + out.path().string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(std::regex_match(
      refused.output, std::regex("Cannot read the disc image \".*\": the file .* runs past .*\n")))
      << refused.output;
  EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST(CliHdDvdImage, EachCommandGivesOnAPycdlibImageWhatItGivesOnTheFolder) {
  const testing::TempFolder scratch;
  std::string error;
  ASSERT_TRUE(testing::writeHdDvdTestDisc((scratch / "disc").string(),
                                          std::string(KORVELL_SOURCE_DIR) + "/testdata", &error))
      << error;
  const testing::MadeImage made =
      testing::makeUdfImage(ImageMaker::Pycdlib, scratch / "disc", scratch / "hddvd.iso");
  if (!made.missingTool.empty()) GTEST_SKIP() << made.missingTool;
  ASSERT_TRUE(made.failure.empty()) << made.failure;
  expectTheSame({{"titles --json {}", "titles --json {}", false},
                 {"demux --title 1 {}", "demux --title 1 {}", true},
                 {"demux --title 2 --subs pgs {}", "demux --title 2 --subs pgs {}", true},
                 {"demux {} --file HVDVD_TS/FEATURE_1.EVO --playlist auto",
                  "demux {}/HVDVD_TS/FEATURE_1.EVO --playlist auto", true},
                 {"xpl {} --file ADV_OBJ/VPLST000.XPL --source FEATURE_1.EVO",
                  "xpl {}/ADV_OBJ/VPLST000.XPL --source FEATURE_1.EVO", false}},
                scratch / "hddvd.iso", scratch / "disc");
}

INSTANTIATE_TEST_SUITE_P(Makers, CliImages,
                         ::testing::Values(ImageMaker::Genisoimage, ImageMaker::Pycdlib),
                         [](const auto& maker) {
                           return maker.param == ImageMaker::Genisoimage ? "genisoimage"
                                                                         : "pycdlib";
                         });

}  // namespace
}  // namespace korvell
