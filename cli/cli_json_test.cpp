// korvell-cli --json: the document parses, stands alone on stdout, and says what the console
// report of the same run says; it stays valid JSON for damaged and random inputs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>

#include "cli/json_report.h"
#include "disc/chapters.h"
#include "disc/ifo.h"
#include "report/text_format.h"
#include "runs/read_run.h"
#include "runs/run_report.h"
#include "testing/dvd_test_disc.h"
#include "testing/null_host.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Split {
  int status = -1;
  std::string out;  // stdout
  std::string err;  // stderr
};

std::string fileText(const fs::path& path) {
  const std::vector<uint8_t> bytes = testing::readFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

class CliJson : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = folder_.path();
    std::string error;
    ASSERT_TRUE(testing::writeSampleDisc(root_.string(), testdata(), 0, &error)) << error;
    feature1_ = (root_ / "HVDVD_TS" / "FEATURE_1.EVO").string();
    playlist_ = (root_ / "ADV_OBJ" / "VPLST000.XPL").string();
    fs::create_directories(root_ / "out");
  }
  static std::string testdata() { return std::string(KORVELL_SOURCE_DIR) + "/testdata"; }

  // Runs korvell-cli with stdout and stderr apart.
  Split run(const std::string& arguments) {
    const fs::path err = root_ / "stderr.txt";
    const testing::CommandResult result = testing::runCommand(
        "(" + std::string(KORVELL_CLI) + " " + arguments + " 2>" + err.string() + ")");
    return {result.status, result.output, fileText(err)};
  }

  testing::TempFolder folder_;
  fs::path root_;
  std::string feature1_;
  std::string playlist_;
};

// Every stream of the document against the console of the same run: its "found!" line, the
// first PTS and substream id lines, and its detail lines in the order printed.
void expectConsoleAgrees(const json& doc, const std::string& console) {
  ASSERT_TRUE(doc["streams"].is_array());
  for (const json& stream : doc["streams"]) {
    const std::string family = stream["family"];
    const int slot = stream["slot"];
    const std::string what = family + " " + std::to_string(slot);
    const std::string found = (family == "subpicture" ? "stream " : family + " stream ") +
                              std::to_string(slot) + " found!";
    EXPECT_NE(console.find(found), std::string::npos) << what;
    const json& id =
        stream["substream_id"].is_null() ? stream["stream_id"] : stream["substream_id"];
    const std::string idText = id.get<std::string>().substr(2);
    const std::string pts = hexText(stream["first_pts"].get<uint32_t>(), 8);
    const size_t at = console.find("First PTS = " + pts + "\n   Substream id = " + idText + "\n");
    ASSERT_NE(at, std::string::npos) << what << " PTS " << pts << " id " << idText;
    size_t from = at;
    for (const json& line : stream["detail_lines"]) {
      const size_t next = console.find(line.get<std::string>() + "\n", from);
      EXPECT_NE(next, std::string::npos) << what << ": " << line;
      if (next != std::string::npos) from = next;
    }
  }
  for (const json& frames : doc["frames"]) {
    const std::string stream = " in video stream " + std::to_string(frames["slot"].get<int>());
    if (frames["counted"].is_number() && frames["counted"].get<int>() > 0) {
      EXPECT_NE(console.find(std::to_string(frames["counted"].get<int>()) + " counted frames"),
                std::string::npos);
    }
    if (frames["calculated"].is_number()) {
      EXPECT_NE(console.find(std::to_string(frames["calculated"].get<long long>()) +
                             " calculated frames."),
                std::string::npos);
    }
  }
}

TEST_F(CliJson, ReadDocumentMatchesTheConsoleOfTheSameRun) {
  const Split text = run("read --color=never " + feature1_);
  const Split doc = run("read --json " + feature1_);
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_EQ(doc.status, 0) << doc.err;
  const json parsed = json::parse(doc.out);  // throws, failing the test, unless valid
  EXPECT_EQ(parsed["command"], "read");
  EXPECT_EQ(parsed["outcome"], "done");
  ASSERT_EQ(parsed["files"].size(), 2u);
  EXPECT_EQ(parsed["system_header"], json({{"video_bound", 1}, {"audio_bound", 3}}));
  EXPECT_EQ(parsed["navigation"]["vob_number"], 1);
  // The six streams of the sample disc with their identifiers as the table has them.
  struct Expected {
    const char* box;
    const char* streamId;
    const char* substreamId;
    const char* codec;
  };
  const Expected expected[] = {
      {"v0", "0xFD", "0x55", "vc1"},           {"a00", "0xBD", "0xC0", "eac3"},
      {"a01", "0xBD", "0xB1", "truehd"},       {"a02", "0xBD", "0x8A", "dts"},
      {"s00", "0xBD", "0x20", "dvd_subtitle"}, {"s01", "0xBD", "0x21", "dvd_subtitle"}};
  ASSERT_EQ(parsed["streams"].size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const json& stream = parsed["streams"][i];
    EXPECT_EQ(stream["box"], expected[i].box);
    EXPECT_EQ(stream["stream_id"], expected[i].streamId) << expected[i].box;
    EXPECT_EQ(stream["substream_id"], expected[i].substreamId) << expected[i].box;
    EXPECT_EQ(stream["codec_name"], expected[i].codec) << expected[i].box;
    EXPECT_TRUE(stream["last_pts"].is_number()) << expected[i].box;
    EXPECT_GE(stream["last_pts"].get<int64_t>(), stream["first_pts"].get<int64_t>());
  }
  const json& video = parsed["streams"][0]["details"];
  EXPECT_EQ(video["width"], 1920);
  EXPECT_EQ(video["height"], 1080);
  EXPECT_NEAR(video["frame_rate"].get<double>(), 24000.0 / 1001.0, 1e-9);
  EXPECT_EQ(parsed["streams"][1]["details"]["sample_rate"], 48000);
  EXPECT_EQ(parsed["streams"][1]["details"]["channels"], 6);
  EXPECT_TRUE(parsed["streams"][3]["details"].contains("bit_rate"));
  ASSERT_EQ(parsed["frames"].size(), 1u);
  expectConsoleAgrees(parsed, text.out);
}

TEST_F(CliJson, EverySubcommandPrintsOneDocumentAndNothingElse) {
  const std::string out = (root_ / "out").string();
  struct Case {
    std::string args;
    const char* command;
  };
  const Case cases[] = {
      {"read --json --no-details " + feature1_, "read"},
      {"read --json --no-count-frames --no-continue " + feature1_, "read"},
      {"demux --json " + feature1_ + " -o " + out + " --playlist " + playlist_ + " --delay-names",
       "demux"},
      {"rebuild --json " + feature1_ + " -o " + out + " --select v0,a00", "rebuild"},
      {"xpl --json " + playlist_ + " --source " + feature1_, "xpl"},
      {"xpl --json " + playlist_, "xpl"},
  };
  for (const Case& c : cases) {
    const Split result = run(c.args);
    ASSERT_EQ(result.status, 0) << c.args << "\n" << result.err;
    json doc;
    ASSERT_NO_THROW(doc = json::parse(result.out)) << c.args << "\n" << result.out;
    EXPECT_EQ(doc["command"], c.command) << c.args;
    EXPECT_TRUE(result.err.empty()) << c.args << ": " << result.err;
  }
}

TEST_F(CliJson, DemuxNamesTheFilesItWroteAndTheyHoldTheStreams) {
  const std::string out = (root_ / "out").string();
  const Split result = run("demux --json " + feature1_ + " -o " + out);
  ASSERT_EQ(result.status, 0) << result.err;
  const json doc = json::parse(result.out);
  const auto streams = testing::sampleDiscStreams(testdata());
  ASSERT_EQ(doc["streams"].size(), streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    const json& file = doc["streams"][i]["file"];
    ASSERT_TRUE(file.is_string()) << i;
    EXPECT_EQ(fs::path(file.get<std::string>()).filename().string(),
              "FEATURE_1_FEATURE_2." + streams[i].label + "." + streams[i].extension);
    EXPECT_TRUE(testing::readFileBytes(file.get<std::string>()) == streams[i].bytes) << file;
  }
}

// Every file written is named with its form, in written_files and under its stream; a file
// named with its delay carries the stream's delay_ms. VobSub pairs count from video 0.
TEST_F(CliJson, DemuxNamesEveryFileWithItsFormAndDelay) {
  const std::string out = (root_ / "out").string();
  const Split result = run("demux --json --subs vobsub --codec-extensions --delay-names " +
                           feature1_ + " -o " + out);
  ASSERT_EQ(result.status, 0) << result.err;
  const json doc = json::parse(result.out);
  std::vector<json> fromStreams;
  std::map<std::string, std::vector<std::string>> formats;  // by box
  for (const json& stream : doc["streams"]) {
    for (const json& file : stream["files"]) {
      fromStreams.push_back(file);
      formats[stream["box"]].push_back(file["format"]);
      const std::string path = file["path"];
      EXPECT_TRUE(fs::exists(path)) << path;
      EXPECT_EQ(stream["file"], stream["files"][0]["path"]);
      if (stream["family"] == "video") continue;
      ASSERT_TRUE(stream["delay_ms"].is_number()) << path;
      EXPECT_NE(path.find(" DELAY " + std::to_string(stream["delay_ms"].get<int>()) + "ms."),
                std::string::npos)
          << path << " " << stream["delay_ms"];
    }
  }
  EXPECT_EQ(doc["written_files"], json(fromStreams));
  using Forms = std::vector<std::string>;
  EXPECT_EQ(formats["v0"], Forms{"raw"});
  EXPECT_EQ(formats["a00"], Forms{"raw"});
  EXPECT_EQ(formats["s00"], (Forms{"idx", "sub"}));
  EXPECT_EQ(formats["s01"], (Forms{"idx", "sub"}));  // no sound unit: an empty pair
  EXPECT_NE(doc["written_files"][0]["path"].get<std::string>().find(".vc1"), std::string::npos);
  for (const json& stream : doc["streams"]) {
    if (stream["family"] == "subpicture" && stream["box"].is_string()) {
      EXPECT_EQ(stream["delay_ms"], 0) << stream["box"];
    }
  }
}

TEST_F(CliJson, FailuresGoToStderrWithTheUsualStatus) {
  struct Case {
    std::string args;
    int status;
    const char* message;
    bool quiet;  // nothing on stdout: the failure comes before any report line
  };
  const Case cases[] = {
      {"read --json " + (root_ / "NONE.EVO").string(), 1, "Cannot open file", true},
      {"demux --json " + feature1_ + " --playlist " + (root_ / "NONE.XPL").string(), 1,
       "Cannot open file", true},
      {"demux --json " + feature1_ + " --select a09", 2, "no stream 'a09'", true},
      {"xpl --json " + (root_ / "NONE.XPL").string(), 1, "Cannot open file", true},
      {"xpl " + playlist_ + " --chapters-file " + (root_ / "c.txt").string(), 1,
       "no title selected", false},
      {"xpl " + playlist_ + " --source " + feature1_ + " --chapters-file " +
           (root_ / "no" / "such" / "c.txt").string(),
       1, "cannot write file", false},
      {"read --delay-names " + feature1_, 2, "--delay-names", true},
      {"xpl " + playlist_ + " --chapters-format xml", 2, "--chapters-file", true},
      // Without --json too: the report lines on stdout, the failure on stderr.
      {"read " + (root_ / "NONE.EVO").string(), 1, "Cannot open file", false},
      {"xpl " + (root_ / "NONE.XPL").string(), 1, "Cannot open file", true},
      {"demux " + feature1_ + " -o " + feature1_ + "/out", 1, "Cannot create folder", false},
      {"demux " + feature1_ + " --playlist " + (root_ / "NONE.XPL").string(), 1, "Cannot open file",
       false},
      {"read " + feature1_ + " --video-ext x", 2, "--video-ext", true},
      {"xpl " + playlist_ + " --no-details", 2, "--no-details", true},
      {"demux " + feature1_ + " --chapters x.txt", 2, "--chapters takes no value", true},
  };
  for (const Case& c : cases) {
    const Split result = run(c.args);
    EXPECT_EQ(result.status, c.status) << c.args;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.args << ": " << result.err;
    EXPECT_EQ(result.out.find(c.message), std::string::npos) << c.args << ": " << result.out;
    if (c.quiet) {
      EXPECT_EQ(result.out, "") << c.args;
    }
  }
  EXPECT_FALSE(fs::exists(root_ / "c.txt"));
}

TEST_F(CliJson, TheTitleLengthAndItsChaptersCountFramesAtTheTitleSetsRate) {
  const fs::path xpl = root_ / "RATE.XPL";
  const std::string text =
      "<Playlist><TitleSet timeBase=\"24fps\"><Title id=\"t\" timeBase=\"60Hz\" "
      "titleDuration=\"00:02:00:12\"><Clip src=\"FEATURE_1.MAP\"/><ChapterList><Chapter "
      "titleTimeBegin=\"00:01:00:12\" displayName=\"c\"/></ChapterList></Title></TitleSet>"
      "</Playlist>";
  testing::writeFileBytes(xpl, std::vector<uint8_t>(text.begin(), text.end()));
  const Split result = run("xpl --json " + xpl.string() + " --source " + feature1_);
  ASSERT_EQ(result.status, 0) << result.err;
  const json doc = json::parse(result.out);
  EXPECT_EQ(doc["title"]["duration_s"], 120.5);
  EXPECT_EQ(doc["chapters"][0]["start_s"], 60.5);
}

TEST_F(CliJson, XplWritesTheTitlesChaptersInEitherFormat) {
  for (const char* format : {"simple", "xml"}) {
    const fs::path file = root_ / (std::string("chapters.") + format);
    const Split result = run("xpl --json " + playlist_ + " --source " + feature1_ +
                             " --chapters-file " + file.string() + " --chapters-format " + format);
    ASSERT_EQ(result.status, 0) << result.err;
    const json doc = json::parse(result.out);
    EXPECT_EQ(doc["title"]["name"], "Feature Presentation");
    EXPECT_EQ(doc["title"]["duration_s"], 120.0);
    ASSERT_EQ(doc["chapters"].size(), 3u);
    std::vector<Chapter> chapters;
    for (const json& chapter : doc["chapters"]) {
      chapters.push_back({static_cast<int64_t>(chapter["start_s"].get<double>() * 1e9),
                          chapter["name"].get<std::string>(), chapter["language"]});
    }
    EXPECT_EQ(doc["chapters"][1]["start"], "00:00:40.000");
    EXPECT_EQ(fileText(file), std::string(format) == "xml" ? matroskaChapterXml(chapters)
                                                           : simpleChapterText(chapters));
  }
}

TEST(ChapterClock, RoundsHalfUpAndClampsNegatives) {
  EXPECT_EQ(cli::chapterClock(-5), "00:00:00.000");
  EXPECT_EQ(cli::chapterClock(499999), "00:00:00.000");
  EXPECT_EQ(cli::chapterClock(500000), "00:00:00.001");
  EXPECT_EQ(cli::chapterClock(3723004000000), "01:02:03.004");
  EXPECT_EQ(cli::chapterClock(int64_t{100} * 3600 * 1000000000), "100:00:00.000");
}

// Random and damaged program streams, read in process: the document is built and dumped
// without an exception, parses back, and each stream's identifiers are those of its family.
TEST(JsonProperty, DamagedAndRandomInputsGiveValidDocuments) {
  testing::TempFolder folder;
  std::string error;
  ASSERT_TRUE(testing::writeSampleDisc(folder.path().string(),
                                       std::string(KORVELL_SOURCE_DIR) + "/testdata", 0, &error));
  const fs::path evo = folder.path() / "HVDVD_TS" / "FEATURE_1.EVO";
  const std::vector<uint8_t> original = testing::readFileBytes(evo);
  std::mt19937 random(20240607);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> bytes = original;
    if (round % 4 == 3) {
      bytes.resize(random() % 40000);
      for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    } else {
      const int flips = 1 + static_cast<int>(random() % 400);
      for (int i = 0; i < flips; ++i)
        bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      if (round % 4 == 1) bytes.resize(random() % bytes.size());
    }
    const fs::path damaged = folder.path() / ("D" + std::to_string(round) + ".EVO");
    testing::writeFileBytes(damaged, bytes);
    RunState state;
    testing::NullHost host;
    RunSettings settings;
    settings.inputPath = damaged.string();
    const RunOutcome read = readRun(state, host, settings);
    ASSERT_TRUE(!failed(read) || read == RunOutcome::NoStreamFound) << round;
    std::string text;
    ASSERT_NO_THROW(text =
                        cli::jsonText(cli::runReportJson(buildRunReport(state), "read", "done")));
    json doc;
    ASSERT_NO_THROW(doc = json::parse(text)) << round;
    for (const json& stream : doc["streams"]) {
      const std::string family = stream["family"];
      const std::string id = stream["stream_id"];
      if (family == "video") {
        EXPECT_TRUE(id == "0xFD" || id.starts_with("0xE")) << id;
      } else {
        EXPECT_EQ(id, "0xBD") << round;
      }
      EXPECT_EQ(stream["box"].is_null(), family == "subpicture" && stream["slot"] >= 16);
    }
  }
}

// Labels and chapter names with bytes that are not UTF-8 come out as valid UTF-8.
TEST_F(CliJson, InvalidUtf8InThePlaylistStillGivesValidJson) {
  std::string text = fileText(playlist_);
  const std::string from = "displayName=\"Opening\"";
  ASSERT_NE(text.find(from), std::string::npos);
  text.replace(text.find(from), from.size(), "displayName=\"Op\xff\xfe\xc3ning\"");
  const std::string english = "description=\"English\"";
  ASSERT_NE(text.find(english), std::string::npos);
  text.replace(text.find(english), english.size(), "description=\"Eng\x80\xc0lish\"");
  testing::writeFileBytes(playlist_, std::vector<uint8_t>(text.begin(), text.end()));
  const Split result = run("xpl --json " + playlist_ + " --source " + feature1_);
  ASSERT_EQ(result.status, 0) << result.err;
  json doc;
  ASSERT_NO_THROW(doc = json::parse(result.out)) << result.out;
  EXPECT_NE(doc["chapters"][0]["name"].get<std::string>().find("Op"), std::string::npos);
  const Split demux = run("demux --json " + feature1_ + " -o " + (root_ / "out").string() +
                          " --playlist " + playlist_);
  ASSERT_EQ(demux.status, 0) << demux.err;
  ASSERT_NO_THROW(doc = json::parse(demux.out)) << demux.out;
  // The stream files the playlist names, then the two chapter files.
  const json& written = doc["written_files"];
  ASSERT_GE(written.size(), 2u);
  EXPECT_EQ(written[written.size() - 2]["format"], "chapters_txt");
  EXPECT_EQ(written[written.size() - 1]["format"], "chapters_xml");
}

// A DVD VOB that ffmpeg wrote: MPEG-2 (stream_id 0xE0, no substream id), AC-3 0x80 and the
// rest, against the console of the same run.
TEST_F(CliJson, FfmpegDvdVobAgreesWithTheConsole) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ffmpeg is not installed: DVD VOB JSON check skipped";
  }
  const fs::path vob = root_ / "VTS_01_1.VOB";
  const testing::CommandResult made =
      testing::runCommand(std::string(KORVELL_SOURCE_DIR) + "/testdata/make_dvd_vob.sh " +
                          vob.string() + " " + feature1_);
  ASSERT_EQ(made.status, 0) << made.output;
  const Split text = run("read --color=never --no-fast-check " + vob.string());
  const Split doc = run("read --json --no-fast-check " + vob.string());
  ASSERT_EQ(doc.status, 0) << doc.err;
  const json parsed = json::parse(doc.out);
  ASSERT_FALSE(parsed["streams"].empty());
  const json& video = parsed["streams"][0];
  EXPECT_EQ(video["stream_id"], "0xE0");
  EXPECT_TRUE(video["substream_id"].is_null());
  EXPECT_EQ(video["codec_name"], "mpeg2video");
  EXPECT_EQ(video["details"]["width"], 720);
  EXPECT_EQ(video["details"]["height"], 576);
  EXPECT_EQ(video["details"]["frame_rate"], 25.0);
  EXPECT_EQ(parsed["streams"][1]["substream_id"], "0x80");
  EXPECT_EQ(parsed["streams"][1]["details"]["sample_rate"], 48000);
  EXPECT_EQ(parsed["streams"][1]["details"]["bit_rate"], 448000);
  expectConsoleAgrees(parsed, text.out);
}

// titles --json and --title on the test DVD: the same values as the IFO module's titles, and
// a failure on stderr alone.
TEST_F(CliJson, TitlesDocumentHoldsEveryFieldOfTheDiscsTitles) {
  if (!testing::dvdTestDisc().missingTool.empty())
    GTEST_SKIP() << testing::dvdTestDisc().missingTool << ": the test DVD cannot be authored";
  ASSERT_EQ(testing::dvdTestDisc().failure, "");
  const std::string disc = testing::dvdTestDisc().folder.string();
  const Split result = run("titles --json " + disc);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const json doc = json::parse(result.out);
  const DvdDisc expected = readDvdTitles(disc, realFileSystem());
  ASSERT_EQ(doc["command"], "titles");
  EXPECT_EQ(doc["video_ts"], expected.videoTsFolder);
  EXPECT_EQ(doc["problems"], json::array());
  ASSERT_EQ(doc["titles"].size(), expected.titles.size());
  for (size_t t = 0; t < expected.titles.size(); ++t) {
    const Title& title = expected.titles[t];
    const json& entry = doc["titles"][t];
    SCOPED_TRACE(title.baseName);
    EXPECT_EQ(entry["number"], title.number);
    EXPECT_EQ(entry["title_set"], title.titleSet);
    EXPECT_EQ(entry["base_name"], title.baseName);
    EXPECT_EQ(entry["length_s"], title.durationSeconds);
    EXPECT_EQ(entry["angles"], title.angles);
    ASSERT_EQ(entry["chapters"].size(), title.chapters.size());
    for (size_t c = 0; c < title.chapters.size(); ++c)
      EXPECT_EQ(entry["chapters"][c]["start_s"],
                static_cast<double>(title.chapters[c].startNs) / 1e9);
    size_t audio = 0, subpictures = 0;
    for (const TitleStream& stream : title.streams) {
      if (stream.family == Family::Video) continue;
      const bool isAudio = stream.family == Family::Audio;
      const json& field = isAudio ? entry["audio"][audio++] : entry["subpictures"][subpictures++];
      EXPECT_EQ(field["substream_id"], cli::hexId(static_cast<uint8_t>(stream.id)));
      EXPECT_EQ(field["language"], stream.language);
      if (isAudio) {
        EXPECT_EQ(field["codec"], stream.codec);
        EXPECT_EQ(field["channels"], stream.channels);
        EXPECT_EQ(field["sample_rate"], stream.sampleRate);
      }
    }
    EXPECT_EQ(entry["audio"].size(), audio);
    EXPECT_EQ(entry["subpictures"].size(), subpictures);
    ASSERT_EQ(entry["palette"].size(), 16u);
    EXPECT_EQ(entry["palette"][0], hexText(title.palette.value()[0], 6));
    ASSERT_EQ(entry["vob_files"].size(), title.extents.size());
    for (size_t e = 0; e < title.extents.size(); ++e) {
      const json& file = entry["vob_files"][e];
      EXPECT_EQ(file["path"], title.extents[e].path);
      EXPECT_EQ(file["offset"], title.extents[e].offset);
      EXPECT_EQ(file["length"], title.extents[e].length);
      EXPECT_EQ(file["first_sector"].get<uint64_t>() * 2048, title.extents[e].offset);
      EXPECT_EQ((file["last_sector"].get<uint64_t>() + 1) * 2048,
                title.extents[e].offset + title.extents[e].length);
    }
  }

  // A run on a title names it, and its streams carry their languages.
  const Split demux = run("demux --json --title 1 " + disc + " -o " + (root_ / "out").string());
  ASSERT_EQ(demux.status, 0) << demux.err;
  const json done = json::parse(demux.out);
  EXPECT_EQ(done["title"]["number"], 1);
  EXPECT_EQ(done["title"]["base_name"], "VTS_01_TITLE_1");
  EXPECT_EQ(done["title"]["vob_files"].size(), 2u);
  EXPECT_EQ(done["base_name"], "VTS_01_TITLE_1");
  EXPECT_EQ(done["streams"][1]["label"], "DD.stream.00.en");
  EXPECT_EQ(done["streams"][2]["label"], "DD.stream.01.de");
  // Video, two audio streams and the subpicture stream, then the title's two chapter files.
  ASSERT_EQ(done["written_files"].size(), 6u);
  EXPECT_EQ(done["written_files"][4]["format"], "chapters_txt");
  EXPECT_EQ(done["written_files"][5]["format"], "chapters_xml");
  EXPECT_TRUE(json::parse(run("read --json " + feature1_).out)["title"].is_null());

  // A disc that cannot be read (a folder of neither kind): its reason on stderr, nothing on
  // stdout.
  const std::string none = (root_ / "out").string();
  for (const std::string& args :
       {"titles --json " + none, "titles " + none, "demux --json --title 1 " + none}) {
    const Split failed = run(args);
    EXPECT_EQ(failed.status, 1) << args;
    if (args.find("--json") != std::string::npos) {
      EXPECT_EQ(failed.out, "") << args;
    }
    EXPECT_EQ(failed.out.find("Cannot find"), std::string::npos) << args;
    EXPECT_NE(failed.err.find("Cannot find a VIDEO_TS folder or a VIDEO_TS.IFO file in"),
              std::string::npos)
        << args << ": " << failed.err;
  }
}

}  // namespace
}  // namespace korvell
