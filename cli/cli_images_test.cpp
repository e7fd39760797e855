// korvell-cli on images of the test DVD made by the real image tools: each command gives on the
// image what it gives on the disc's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "testing/dvd_test_disc.h"
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

class CliImages : public ::testing::TestWithParam<ImageMaker> {};

TEST_P(CliImages, EachCommandGivesOnTheImageWhatItGivesOnTheFolder) {
  const testing::MadeImage& made = testing::dvdTestImage(GetParam());
  if (!made.missingTool.empty()) GTEST_SKIP() << made.missingTool;
  ASSERT_FALSE(made.path.empty()) << made.failure;
  const testing::TempFolder scratch;
  const fs::path image = scratch / "movie.iso";
  fs::copy_file(made.path, image);
  const std::string folder = testing::dvdTestDisc().folder.string();
  // Commands whose report names no path, and what each writes (none, or into -o).
  struct Case {
    std::string onImage;
    std::string onFolder;
    bool writes;
  };
  const Case cases[] = {
      {"titles " + image.string(), "titles " + folder, false},
      {"read --title 1 " + image.string(), "read --title 1 " + folder, false},
      {"read " + image.string() + " --file VIDEO_TS/VTS_01_2.VOB",
       "read " + folder + "/VIDEO_TS/VTS_01_2.VOB", false},
      {"demux --title 1 --subs vobsub " + image.string(), "demux --title 1 --subs vobsub " + folder,
       true},
      {"demux --title 2 " + image.string(), "demux --title 2 " + folder, true},
      {"rebuild --title 1 " + image.string(), "rebuild --title 1 " + folder, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.onImage);
    const testing::TempFolder out;
    fs::create_directories(out / "image");
    fs::create_directories(out / "folder");
    const auto onImage = runCli(c.onImage + (c.writes ? " -o " + (out / "image").string() : ""));
    const auto onFolder = runCli(c.onFolder + (c.writes ? " -o " + (out / "folder").string() : ""));
    ASSERT_EQ(onImage.status, 0) << onImage.output;
    ASSERT_EQ(onFolder.status, 0) << onFolder.output;
    // The titles listing begins with the disc's path; the runs name their output folder.
    const auto body = [&](const std::string& text, const char* name) {
      return std::regex_replace(text.substr(text.find('\n')), std::regex((out / name).string()),
                                "OUT");
    };
    EXPECT_EQ(body(onImage.output, "image"), body(onFolder.output, "folder"));
    EXPECT_EQ(filesOf(out / "image"), filesOf(out / "folder"));
    EXPECT_EQ(filesOf(out / "image").empty(), !c.writes);
  }

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
    std::string languages;
    static const std::regex language("\"language\": \"([a-z]+)\"");
    for (auto it = std::sregex_iterator(tracks.begin(), tracks.end(), language);
         it != std::sregex_iterator(); ++it)
      languages += (*it)[1].str() + " ";
    EXPECT_EQ(languages, "und eng ger fre ");
  }

  // A damaged image: one line naming it and the file, exit 1, nothing written.
  std::vector<uint8_t> bytes = testing::readFileBytes(image);
  bytes.resize(bytes.size() - 300 * 2048);
  testing::writeFileBytes(scratch / "cut.iso", bytes);
  const testing::TempFolder out;
  const auto refused =
      runCli("demux --title 1 " + (scratch / "cut.iso").string() + " -o " + out.path().string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(std::regex_match(refused.output,
                               std::regex("Cannot read the disc image \".*cut.iso\": the file "
                                          "\"VIDEO_TS/[^\"]+\" runs past .*\n")))
      << refused.output;
  EXPECT_TRUE(fs::is_empty(out.path()));
}

INSTANTIATE_TEST_SUITE_P(Makers, CliImages,
                         ::testing::Values(ImageMaker::Genisoimage, ImageMaker::Pycdlib),
                         [](const auto& maker) {
                           return maker.param == ImageMaker::Genisoimage ? "genisoimage"
                                                                         : "pycdlib";
                         });

}  // namespace
}  // namespace korvell
