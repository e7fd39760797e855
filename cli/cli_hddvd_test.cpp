// korvell-cli on the HD DVD test disc as a disc: titles lists what the playlist and the time
// maps say, demux --title writes what a demux of the title's byte ranges joined writes, mkv
// --title carries the track list's languages and names and the named chapters.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

testing::CommandResult runCli(const std::string& arguments) {
  return testing::runCommand(std::string(KORVELL_CLI) + " " + arguments);
}

// The files of a folder by name, with their bytes, the prefix cut from each name.
std::map<std::string, std::vector<uint8_t>> filesOf(const fs::path& folder,
                                                    const std::string& prefix) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    files[name.substr(name.starts_with(prefix) ? prefix.size() : 0)] =
        testing::readFileBytes(entry.path());
  }
  return files;
}

class CliHdDvd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(testing::writeHdDvdTestDisc(disc_.string(),
                                            std::string(KORVELL_SOURCE_DIR) + "/testdata", &error))
        << error;
  }
  testing::TempFolder folder_;
  const fs::path root_ = folder_.path();
  const fs::path disc_ = root_ / "disc";
};

TEST_F(CliHdDvd, TitlesListsWhatThePlaylistAndTheMapsSay) {
  const testing::CommandResult text = runCli("titles " + (disc_ / "ADV_OBJ").string());
  ASSERT_EQ(text.status, 0) << text.output;
  for (const char* line :
       {"VPLST001.XPL\" has no clip", "First play FIRST_PLAY: 0:00:00.500, 1 clip",
        "Title 1 TITLE_1 \"Feature\": 0:00:01.000, 2 clips, 3 chapters, 1 angle; audio: en, en, "
        "de; subtitles: en, de",
        "   Chapter 2: 0:00:00.500 The Crossing",
        "   Audio 1: id B1, TrueHD, en, 6 channels, 48000 Hz, Director's comments",
        "   Subpicture 1: id 21, de, forced, Forced", "   FEATURE_1.EVO: sectors 101 to 201",
        "Title 2 TITLE_2 \"Extras\": 0:00:01.500, 1 clip"}) {
    EXPECT_NE(text.output.find(line), std::string::npos) << line << "\n" << text.output;
  }
  const json doc = json::parse(runCli("titles --json " + disc_.string()).output);
  EXPECT_EQ(doc["kind"], "hd_dvd");
  EXPECT_EQ(doc["playlist"], (disc_ / "ADV_OBJ" / "VPLST000.XPL").string());
  const json& feature = doc["titles"][0];
  EXPECT_EQ(feature["name"], "Feature");
  EXPECT_EQ(feature["chapters"][1]["name"], "The Crossing");
  EXPECT_EQ(feature["audio"][2]["language"], "de");
  EXPECT_EQ(feature["subpictures"][1]["forced"], true);
  // The middle EVOBU of FEATURE_1, then the whole of FEATURE_2.
  EXPECT_EQ(feature["files"][0]["offset"], 101 * 2048);
  EXPECT_EQ(feature["files"][0]["length"], 101 * 2048);
  EXPECT_EQ(feature["files"][1]["offset"], 0);
  EXPECT_EQ(feature["files"][1]["length"], fs::file_size(disc_ / "HVDVD_TS" / "FEATURE_2.EVO"));
}

TEST_F(CliHdDvd, DemuxOfATitleIsTheDemuxOfItsByteRangesJoined) {
  const json doc = json::parse(runCli("titles --json " + disc_.string()).output);
  const fs::path joined = root_ / "joined" / "JOINED.EVO";
  fs::create_directories(joined.parent_path());
  {
    std::ofstream out(joined, std::ios::binary);
    for (const json& file : doc["titles"][0]["files"]) {
      const std::vector<uint8_t> bytes = testing::readFileBytes(file["path"].get<std::string>());
      out.write(reinterpret_cast<const char*>(bytes.data()) + file["offset"].get<size_t>(),
                file["length"].get<std::streamsize>());
    }
  }
  fs::create_directories(root_ / "t");
  fs::create_directories(root_ / "j");
  // The playlist named with the title only says where the title is read from.
  const testing::CommandResult title =
      runCli("demux --no-chapters --title 1 " + disc_.string() + " --playlist " +
             (disc_ / "ADV_OBJ" / "VPLST000.XPL").string() + " -o " + (root_ / "t").string());
  ASSERT_EQ(title.status, 0) << title.output;
  const testing::CommandResult file =
      runCli("demux --no-continue " + joined.string() + " -o " + (root_ / "j").string());
  ASSERT_EQ(file.status, 0) << file.output;
  // The title's labels carry the languages: the same files apart from those.
  std::map<std::string, std::vector<uint8_t>> fromTitle;
  for (auto& [name, bytes] : filesOf(root_ / "t", "TITLE_1.")) {
    std::string bare = name;
    for (const char* language : {".en.", ".de."}) {
      if (const size_t at = bare.find(language); at != std::string::npos) bare.erase(at, 3);
    }
    fromTitle[bare] = std::move(bytes);
  }
  const auto fromFile = filesOf(root_ / "j", "JOINED.");
  EXPECT_EQ(fromTitle.size(), 6u);
  EXPECT_TRUE(fromTitle == fromFile);
}

TEST_F(CliHdDvd, MkvOfATitleCarriesItsLanguagesNamesAndChapters) {
  if (std::system("command -v mkvmerge >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "mkvmerge is not installed: korvell-cli mkv skipped";
  }
  const fs::path mkv = root_ / "feature.mkv";
  const testing::CommandResult made =
      runCli("mkv --title 1 " + disc_.string() + " -o " + mkv.string());
  ASSERT_EQ(made.status, 0) << made.output;
  const json info = json::parse(
      testing::runCommand(testing::withUtf8Locale("mkvmerge -J " + mkv.string())).output);
  EXPECT_EQ(info["container"]["properties"]["title"], "Feature");
  std::vector<std::string> tracks;
  for (const json& track : info["tracks"]) {
    const json& p = track["properties"];
    tracks.push_back(track["codec"].get<std::string>() + " " + p.value("language", "") + " " +
                     p.value("track_name", ""));
  }
  // The test disc's subpictures are no real units: they are left out.
  EXPECT_EQ(tracks,
            (std::vector<std::string>{"VC-1 und VC-1", "E-AC-3 eng English",
                                      "TrueHD eng Director's comments", "DTS ger Deutsch"}));
  const testing::CommandResult chapters =
      testing::runCommand(testing::withUtf8Locale("mkvextract " + mkv.string() + " chapters -s -"));
  EXPECT_NE(chapters.output.find("CHAPTER02=00:00:00.500\nCHAPTER02NAME=The Crossing"),
            std::string::npos)
      << chapters.output;
}

}  // namespace
}  // namespace korvell
