// The plan and the mux step with the real mkvmerge over streams ffmpeg makes at test time,
// checked with what mkvmerge -J, mkvextract and ffprobe read back from the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mux/mkvmerge_run.h"
#include "mux/mux_plan.h"
#include "playlist/chapters.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

bool have(const std::string& programs) {
  return testing::runCommand("command -v " + programs).status == 0;
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// Runs a command the test builds (paths without apostrophes), expecting it to succeed.
std::string run(const std::string& command) {
  const testing::CommandResult result = testing::runCommand(command);
  EXPECT_EQ(result.status, 0) << command << "\n" << result.output;
  return result.output;
}

nlohmann::json identify(const fs::path& mkv) {
  // -J prints JSON on stdout; runCommand joins stderr, which mkvmerge leaves empty here.
  return nlohmann::json::parse(run("mkvmerge -J " + quoted(mkv)), nullptr, false);
}

// The time of the first packet of an output stream ("a:1"), in seconds, as ffprobe reads it.
double firstPacketTime(const fs::path& mkv, const std::string& stream) {
  const std::string out =
      run("ffprobe -v error -select_streams " + stream +
          " -show_entries packet=pts_time -of csv=p=0 " + quoted(mkv) + " | head -n 1");
  return std::atof(out.c_str());
}

// The environment variable `name` set to `value` while the object lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class RealMkvmerge : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have("ffmpeg ffprobe")) GTEST_SKIP() << "ffmpeg is not installed: real mux skipped";
    if (!have("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed: real mux skipped";
    // Blanks and letters beyond ASCII in every path, as real titles have them.
    dir_ = folder_.path() / "Film \xC3\xBC";
    fs::create_directories(dir_);
    video_ = dir_ / "F MPEG-2.stream";
    english_ = dir_ / "F DD 0.stream";
    german_ = dir_ / "F DD 1 DELAY 200ms.stream";
    const std::string ffmpeg = "ffmpeg -hide_banner -loglevel error -y ";
    run(ffmpeg + "-f lavfi -i testsrc=size=320x240:rate=25:duration=3 -c:v mpeg2video " +
        "-f mpeg2video " + quoted(video_));
    run(ffmpeg + "-f lavfi -i sine=frequency=440:duration=3 -ac 2 -ar 48000 -c:a ac3 " + "-f ac3 " +
        quoted(english_));
    run(ffmpeg + "-f lavfi -i sine=frequency=880:duration=3 -ac 2 -ar 48000 -c:a ac3 " + "-f ac3 " +
        quoted(german_));
    chapters_ = {{0, "Opening", "en"}, {2'000'000'000, "Zweites Kapitel \xE2\x80\x93 Ende", "de"}};
    chaptersFile_ = dir_ / "F.chapters.txt";
    const std::string text = simpleChapterText(chapters_);
    testing::writeFileBytes(chaptersFile_, std::vector<uint8_t>(text.begin(), text.end()));
    output_ = dir_ / "F \xC3\xBC.mkv";
  }

  std::vector<DemuxedStream> streams() const {
    return {{Family::Audio, 1, 0x81, "ac3", {{german_.string(), "raw"}}, 200},
            {Family::Video, 0, 0xE0, "mpeg2video", {{video_.string(), "raw"}}, 0},
            {Family::Audio, 0, 0x80, "ac3", {{english_.string(), "raw"}}, 0}};
  }

  Title title() const {
    Title t;
    t.name = "Feature \xE2\x80\x9C\xC3\x9C\xE2\x80\x9D [b] $HOME `x`";
    t.streams = {{Family::Audio, 0x80, 0, "en", "", "AC-3"},
                 {Family::Audio, 0x81, 1, "de", "Kommentar", "AC-3"}};
    t.chapters = chapters_;
    return t;
  }

  MuxOutcome mux(const MuxDescription& description) {
    return muxWithMkvmerge(state_, host_, realLauncher(), realFileSystem(), description,
                           (dir_ / "mkvmerge.json").string());
  }

  testing::TempFolder folder_;
  fs::path dir_, video_, english_, german_, chaptersFile_, output_;
  std::vector<Chapter> chapters_;
  RunState state_;
  testing::RecordingHost host_;
};

TEST_F(RealMkvmerge, TracksLanguagesNamesFlagsChaptersAndSync) {
  const Title t = title();
  const MuxPlan plan = planMux(streams(), &t, output_.string(), chaptersFile_.string());
  ASSERT_TRUE(plan.leftOut.empty());
  {
    // A C locale in the caller's environment must not keep mkvmerge from the UTF-8 paths.
    const ScopedEnv locale("LC_ALL", "C");
    ASSERT_EQ(mux(plan.description), MuxOutcome::Done) << host_.transcript();
  }
  EXPECT_EQ(host_.statusTexts[1].back(), "Muxing 100%");

  const nlohmann::json info = identify(output_);
  ASSERT_FALSE(info.is_discarded());
  EXPECT_EQ(info["container"]["properties"]["title"], t.name);
  ASSERT_EQ(info["tracks"].size(), 3u);
  struct Expected {
    const char* type;
    const char* codec;
    const char* language;
    const char* name;
    bool isDefault;
  };
  const Expected expected[] = {{"video", "MPEG-1/2", "und", "MPEG-2", true},
                               {"audio", "AC-3", "eng", "English AC-3", true},
                               {"audio", "AC-3", "ger", "Kommentar", false}};
  for (size_t i = 0; i < 3; ++i) {
    const nlohmann::json& track = info["tracks"][i];
    EXPECT_EQ(track["type"], expected[i].type) << i;
    EXPECT_EQ(track["codec"], expected[i].codec) << i;
    EXPECT_EQ(track["properties"]["language"], expected[i].language) << i;
    EXPECT_EQ(track["properties"]["track_name"], expected[i].name) << i;
    EXPECT_EQ(track["properties"]["default_track"], expected[i].isDefault) << i;
  }
  ASSERT_EQ(info["chapters"].size(), 1u);
  EXPECT_EQ(info["chapters"][0]["num_entries"], 2);
  if (have("mkvextract")) {
    const fs::path extracted = dir_ / "extracted.txt";
    run("mkvextract " + quoted(output_) + " chapters -s " + quoted(extracted));
    const std::vector<uint8_t> bytes = testing::readFileBytes(extracted);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), simpleChapterText(chapters_));
  }

  // The delayed track starts at its sync, the other at the video's start.
  EXPECT_NEAR(firstPacketTime(output_, "a:0"), 0.0, 0.0005);
  EXPECT_NEAR(firstPacketTime(output_, "a:1"), 0.200, 0.0005);
  EXPECT_NEAR(firstPacketTime(output_, "v:0"), 0.0, 0.0005);
}

TEST_F(RealMkvmerge, VobSubGoesInAsItsIdx) {
  if (!have("spumux mkvextract")) GTEST_SKIP() << "spumux or mkvextract is not installed";
  // A DVD subpicture made by spumux over an ffmpeg program stream, carried into VobSub files
  // by ffmpeg (into Matroska) and mkvextract (out as .idx/.sub).
  const std::string ffmpeg = "ffmpeg -hide_banner -loglevel error -y ";
  const fs::path vob = dir_ / "base.vob", png = dir_ / "sub.png", xml = dir_ / "spu.xml";
  run(ffmpeg + "-f lavfi -i testsrc=size=720x576:rate=25:duration=3 -f lavfi -i " +
      "anullsrc=r=48000:cl=stereo -t 3 -c:v mpeg2video -c:a ac3 -f dvd " + quoted(vob));
  run(ffmpeg + "-f lavfi -i color=c=black@0.0:size=720x576,format=rgba -frames:v 1 -vf " +
      "drawbox=x=100:y=450:w=300:h=60:color=white@1:t=fill " + quoted(png));
  const std::string spu =
      "<subpictures><stream><spu start=\"00:00:01.00\" end=\"00:00:02.00\" "
      "image=\"" +
      png.string() + "\"/></stream></subpictures>\n";
  testing::writeFileBytes(xml, std::vector<uint8_t>(spu.begin(), spu.end()));
  run("spumux -s0 " + quoted(xml) + " < " + quoted(vob) + " > " + quoted(dir_ / "sub.vob"));
  run(ffmpeg + "-i " + quoted(dir_ / "sub.vob") + " -map 0:s -c copy -f matroska " +
      quoted(dir_ / "sub.mkv"));
  run("mkvextract " + quoted(dir_ / "sub.mkv") + " tracks 0:" + quoted(dir_ / "S 0.idx"));

  std::vector<DemuxedStream> all = streams();
  all.push_back({Family::Subpicture,
                 0,
                 0x20,
                 "dvd_subtitle",
                 {{(dir_ / "S 0.sub").string(), "sub"}, {(dir_ / "S 0.idx").string(), "idx"}},
                 500});
  Title t = title();
  t.streams.push_back({Family::Subpicture, 0x20, 0, "fr", "", ""});
  const MuxPlan plan = planMux(all, &t, output_.string(), chaptersFile_.string());
  ASSERT_EQ(mux(plan.description), MuxOutcome::Done) << host_.transcript();
  const nlohmann::json info = identify(output_);
  ASSERT_EQ(info["tracks"].size(), 4u);
  const nlohmann::json& sub = info["tracks"][3];
  EXPECT_EQ(sub["codec"], "VobSub");
  EXPECT_EQ(sub["properties"]["language"], "fre");
  EXPECT_EQ(sub["properties"]["track_name"], "French VobSub");
  EXPECT_EQ(sub["properties"]["default_track"], false);
}

// mkvmerge's own exit codes: 1 with a warning (an AC-3 track with garbage inside), 2 with an
// error (a source that is not there), each with its messages in the console.
TEST_F(RealMkvmerge, WarningsAndErrorsAsMkvmergeGivesThem) {
  std::vector<uint8_t> damaged = testing::readFileBytes(english_);
  ASSERT_GT(damaged.size(), 40000u);
  damaged.insert(damaged.begin() + 20000, 1000, 0x5A);
  testing::writeFileBytes(english_, damaged);
  const MuxPlan plan = planMux(streams(), nullptr, output_.string(), "");
  EXPECT_EQ(mux(plan.description), MuxOutcome::DoneWithWarnings) << host_.transcript();
  const auto warning = std::find_if(host_.lines.begin(), host_.lines.end(), [](const auto& l) {
    return l.starts_with("mkvmerge warning: '") && l.find("invalid data") != std::string::npos;
  });
  EXPECT_NE(warning, host_.lines.end()) << host_.transcript();
  EXPECT_EQ(host_.lines.back(), "mkvmerge finished with warnings.");
  EXPECT_TRUE(fs::exists(output_));

  host_.lines.clear();
  MuxDescription missing = plan.description;
  missing.tracks[1].path = (dir_ / "gone.ac3").string();
  fs::remove(output_);
  EXPECT_EQ(mux(missing), MuxOutcome::Failed) << host_.transcript();
  EXPECT_TRUE(std::find(host_.lines.begin(), host_.lines.end(),
                        "mkvmerge error: The file '" + (dir_ / "gone.ac3").string() +
                            "' could not be opened for reading: open file error.") !=
              host_.lines.end())
      << host_.transcript();
  EXPECT_EQ(host_.lines.back(), "mkvmerge failed with exit code 2.");
  EXPECT_FALSE(fs::exists(output_));
}

// Cancel at the first event point: mkvmerge is ended and its file removed, whether it had
// got far or not.
TEST_F(RealMkvmerge, CancelRemovesTheFile) {
  host_.onEvents = [this](int) { state_.requestStop(StopReason::UserCancel); };
  const MuxPlan plan = planMux(streams(), nullptr, output_.string(), "");
  EXPECT_EQ(mux(plan.description), MuxOutcome::Cancelled) << host_.transcript();
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_FALSE(host_.cancelEnabled);
}

}  // namespace
}  // namespace korvell
