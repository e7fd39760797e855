// korvell-cli mkv with the real mkvmerge, read back with mkvmerge -J and ffmpeg: an HD DVD
// title with its playlist, a DVD title with its IFO, and a VOB whose audio starts late. Each
// case skips with a line where a tool is missing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/dvd_test_disc.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

bool have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

testing::CommandResult run(const std::string& commandLine) {
  return testing::runCommand(commandLine);
}

std::string cli() {
  return KORVELL_CLI;
}

// What mkvmerge -J says of each track: "type codec language name default".
std::vector<std::string> trackSummary(const json& info) {
  std::vector<std::string> tracks;
  for (const json& track : info["tracks"]) {
    const json& p = track["properties"];
    tracks.push_back(track["type"].get<std::string>() + " " + track["codec"].get<std::string>() +
                     " " + p.value("language", "") + " " + p.value("track_name", "") + " " +
                     (p.value("default_track", false) ? "default" : "-"));
  }
  return tracks;
}

class CliMkv : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed: korvell-cli mkv skipped";
  }
  testing::TempFolder folder_;
  const fs::path root_ = folder_.path();
};

TEST_F(CliMkv, AnHdDvdTitleWithItsPlaylistsNamesLanguagesAndChapters) {
  std::string error;
  ASSERT_TRUE(testing::writeSampleDisc(root_.string(),
                                       std::string(KORVELL_SOURCE_DIR) + "/testdata", 0, &error))
      << error;
  const fs::path mkv = root_ / "out" / "feature.mkv";
  fs::create_directories(mkv.parent_path());
  const testing::CommandResult made =
      run(cli() + " mkv --color=never " + (root_ / "HVDVD_TS" / "FEATURE_1.EVO").string() +
          " --playlist -o " + mkv.string());
  ASSERT_EQ(made.status, 0) << made.output;
  const json info = json::parse(run("mkvmerge -J " + mkv.string()).output);
  EXPECT_EQ(info["container"]["properties"]["title"], "Feature Presentation");
  // The sample's subpictures are no real units: they are left out, with a line each.
  EXPECT_EQ(
      trackSummary(info),
      (std::vector<std::string>{"video VC-1 und VC-1 default", "audio E-AC-3 eng English default",
                                "audio TrueHD eng English -", "audio DTS fre French -"}));
  EXPECT_NE(made.output.find("2bitRLE.stream.00.English is left out of the Matroska file"),
            std::string::npos);
  EXPECT_EQ(info["chapters"][0]["num_entries"], 3);
  // Only the Matroska file is left in the output folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(mkv.parent_path()), fs::directory_iterator()), 1);
  if (have("ffmpeg")) {  // the sample's VC-1 is headers only: the audio must decode
    const testing::CommandResult decoded =
        run("ffmpeg -v error -i " + mkv.string() + " -map 0:a -f null - 2>&1");
    EXPECT_EQ(decoded.output, "");
  }
}

TEST_F(CliMkv, ADvdTitleWithTheIfosLanguagesPaletteAndChapters) {
  const testing::DvdTestDisc& disc = testing::dvdTestDisc();
  if (disc.folder.empty()) GTEST_SKIP() << disc.missingTool << disc.failure;
  const fs::path mkv = root_ / "title1.mkv";
  const testing::CommandResult made =
      run(cli() + " mkv --title 1 " + disc.folder.string() + " -o " + mkv.string());
  ASSERT_EQ(made.status, 0) << made.output;
  const json info = json::parse(run("mkvmerge -J " + mkv.string()).output);
  EXPECT_EQ(trackSummary(info),
            (std::vector<std::string>{
                "video MPEG-1/2 und MPEG-2 default", "audio AC-3 eng English AC-3 default",
                "audio AC-3 ger German AC-3 -", "subtitles VobSub fre French VobSub -"}));
  EXPECT_EQ(info["chapters"][0]["num_entries"], 4);
  if (have("ffmpeg")) {
    EXPECT_EQ(run("ffmpeg -v error -i " + mkv.string() + " -f null - 2>&1").output, "");
  }
  // The palette is the IFO's: the VobSub track's private data carries it.
  if (have("mkvextract")) {
    const fs::path idx = root_ / "subs.idx";
    ASSERT_EQ(run("mkvextract " + mkv.string() + " tracks 3:" + idx.string()).status, 0);
    const std::vector<uint8_t> bytes = testing::readFileBytes(idx);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("palette: "), std::string::npos);
    EXPECT_EQ(text.find("palette: 000000, 0000ff, 00ff00"), std::string::npos)
        << "the default palette, not the IFO's: " << text;
  }
}

TEST_F(CliMkv, LpcmAsFlacAndAnAudioTrackSyncedByItsDelay) {
  if (!have("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed: the sync check skipped";
  // AC-3 starting 200 ms after the video, and 16-bit LPCM with it.
  const fs::path vob = root_ / "VTS_01_1.VOB";
  ASSERT_EQ(run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                "testsrc=size=720x576:rate=25 -itsoffset 0.2 -f lavfi -i "
                "sine=frequency=440:sample_rate=48000 -t 3 -map 0:v -map 1:a -map 1:a "
                "-c:v mpeg2video -c:a:0 ac3 -c:a:1 pcm_s16be -f dvd " +
                vob.string())
                .status,
            0);
  const fs::path mkv = root_ / "late.mkv";
  const testing::CommandResult made = run(cli() + " mkv " + vob.string() + " -o " + mkv.string());
  ASSERT_EQ(made.status, 0) << made.output;
  const json info = json::parse(run("mkvmerge -J " + mkv.string()).output);
  ASSERT_EQ(info["tracks"].size(), 3u);
  EXPECT_EQ(info["tracks"][2]["codec"], "FLAC");
  // Each audio track starts where its first time stamp lies against the video's in the VOB
  // (the AC-3 encoder's first frame makes that 194.667 ms, not the 200 asked for), to the
  // millisecond of Matroska's timestamps.
  const auto start = [&](const fs::path& file, const char* stream) {
    const testing::CommandResult probed =
        run("ffprobe -v error -select_streams " + std::string(stream) +
            " -show_entries packet=pts_time -of csv=p=0 " + file.string() + " | head -1");
    return std::stod(probed.output);
  };
  const double delay = start(vob, "a:0") - start(vob, "v:0");
  EXPECT_GT(delay, 0.19);
  EXPECT_NEAR(start(mkv, "a:0") - start(mkv, "v:0"), delay, 0.001);
  // The FLAC holds the LPCM's samples: the same as ffmpeg decodes from the VOB.
  const auto md5 = [&](const std::string& input, const char* stream) {
    return run("ffmpeg -v error -i " + input + " -map 0:" + stream +
               " -c:a pcm_s16le -f s16le - | md5sum")
        .output;
  };
  EXPECT_EQ(md5(mkv.string(), "a:1"), md5(vob.string(), "a:1"));
}

}  // namespace
}  // namespace korvell
