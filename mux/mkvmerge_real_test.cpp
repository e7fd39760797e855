// The plan and the mux step with the real mkvmerge over streams ffmpeg makes at test time,
// checked with what mkvmerge -J, mkvextract and ffprobe read back from the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "disc/chapters.h"
#include "mux/mkvmerge_run.h"
#include "mux/mux_plan.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

const std::string kFfmpeg = "ffmpeg -hide_banner -loglevel error -y ";

bool have(const std::string& programs) {
  return testing::runCommand("command -v " + programs).status == 0;
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";  // the test's paths hold no apostrophe
}

std::string run(const std::string& command) {
  const testing::CommandResult result = testing::runCommand(command);
  EXPECT_EQ(result.status, 0) << command << "\n" << result.output;
  return result.output;
}

void writeText(const fs::path& path, const std::string& text) {
  testing::writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The time of the first packet of an output stream ("a:1"), in seconds, as ffprobe reads it.
double firstPacketTime(const fs::path& mkv, const std::string& stream) {
  return std::atof(run("ffprobe -v error -select_streams " + stream +
                       " -show_entries packet=pts_time -of csv=p=0 " + quoted(mkv) + " | head -n 1")
                       .c_str());
}

class RealMkvmerge : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have("ffmpeg ffprobe")) GTEST_SKIP() << "ffmpeg is not installed: real mux skipped";
    if (!have("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed: real mux skipped";
    // Blanks and letters beyond ASCII in every path, as real titles have them.
    dir_ = folder_.path() / "Film \xC3\xBC";
    fs::create_directories(dir_);
    run(kFfmpeg + "-f lavfi -i testsrc=size=320x240:rate=25:duration=3 -c:v mpeg2video " +
        "-f mpeg2video " + quoted(dir_ / "F MPEG-2.stream"));
    for (const char* tone : {"440", "880"}) {
      run(kFfmpeg + "-f lavfi -i sine=frequency=" + tone + ":duration=3 -ac 2 -ar 48000 " +
          "-c:a ac3 -f ac3 " + quoted(dir_ / ("F DD " + std::string(tone) + ".stream")));
    }
    streams_ = {{Family::Audio,
                 1,
                 0x81,
                 kindOfCodec(Codec::Ac3),
                 {{(dir_ / "F DD 880.stream").string(), FileForm::Raw}},
                 200},
                {Family::Video,
                 0,
                 0xE0,
                 kindOfCodec(Codec::Mpeg2),
                 {{(dir_ / "F MPEG-2.stream").string(), FileForm::Raw}}},
                {Family::Audio,
                 0,
                 0x80,
                 kindOfCodec(Codec::Ac3),
                 {{(dir_ / "F DD 440.stream").string(), FileForm::Raw}},
                 0}};
    output_ = dir_ / "F \xC3\xBC.mkv";
  }

  MuxOutcome mux(const MuxDescription& description) {
    return muxWithMkvmerge(stop_, host_, realLauncher(), realFileSystem(), description,
                           (dir_ / "mkvmerge.json").string());
  }

  // A VobSub pair: a subpicture spumux puts into an ffmpeg program stream, carried into
  // Matroska by ffmpeg and out as .idx/.sub by mkvextract.
  DemuxedStream vobSub() {
    const fs::path vob = dir_ / "base.vob", png = dir_ / "sub.png", xml = dir_ / "spu.xml";
    run(kFfmpeg + "-f lavfi -i testsrc=size=720x576:rate=25:duration=3 -f lavfi -i " +
        "anullsrc=r=48000:cl=stereo -t 3 -c:v mpeg2video -c:a ac3 -f dvd " + quoted(vob));
    run(kFfmpeg + "-f lavfi -i color=c=black@0.0:size=720x576,format=rgba -frames:v 1 -vf " +
        "drawbox=x=100:y=450:w=300:h=60:color=white@1:t=fill " + quoted(png));
    writeText(xml, "<subpictures><stream><spu start=\"00:00:01.00\" end=\"00:00:02.00\" image=\"" +
                       png.string() + "\"/></stream></subpictures>\n");
    run("spumux -s0 " + quoted(xml) + " < " + quoted(vob) + " > " + quoted(dir_ / "s.vob"));
    run(kFfmpeg + "-i " + quoted(dir_ / "s.vob") + " -map 0:s -c copy -f matroska " +
        quoted(dir_ / "s.mkv"));
    run(testing::withUtf8Locale("mkvextract " + quoted(dir_ / "s.mkv") +
                                " tracks 0:" + quoted(dir_ / "S 0.idx")));
    return {Family::Subpicture,
            0,
            0x20,
            kindOfCodec(Codec::Subpicture),
            {{(dir_ / "S 0.sub").string(), FileForm::VobSubData},
             {(dir_ / "S 0.idx").string(), FileForm::VobSubIndex}},
            500};
  }

  testing::TempFolder folder_;
  fs::path dir_, output_;
  std::vector<DemuxedStream> streams_;
  StopToken stop_;
  testing::RecordingHost host_;
};

TEST_F(RealMkvmerge, TracksLanguagesNamesFlagsChaptersAndSync) {
  const bool withSub = have("spumux mkvextract");
  if (withSub) {
    streams_.push_back(vobSub());
  } else {
    std::cout << "spumux or mkvextract is not installed: no VobSub track\n";
  }
  const std::vector<Chapter> chapters = {{0, "Opening", "en"},
                                         {2'000'000'000, "Zweites \xE2\x80\x93 Ende", "de"}};
  const fs::path chapterFile = dir_ / "F.chapters.txt";
  writeText(chapterFile, simpleChapterText(chapters));
  Title title;
  title.name = "Feature \xE2\x80\x9C\xC3\x9C\xE2\x80\x9D [b] $HOME `x`";
  title.streams = {{Family::Audio, 0x80, 0, "en", "", "AC-3"},
                   {Family::Audio, 0x81, 1, "de", "Kommentar", "AC-3"},
                   {Family::Subpicture, 0x20, 0, "fr", "", ""}};
  title.chapters = chapters;
  const MuxPlan plan = planMux(streams_, &title, output_.string(), chapterFile.string());
  ASSERT_TRUE(plan.leftOut.empty());

  // A C locale in the caller's environment must not keep mkvmerge from the UTF-8 paths.
  const char* oldLocale = std::getenv("LC_ALL");
  const std::string savedLocale = oldLocale != nullptr ? oldLocale : "";
  ::setenv("LC_ALL", "C", 1);
  const MuxOutcome outcome = mux(plan.description);
  oldLocale != nullptr ? ::setenv("LC_ALL", savedLocale.c_str(), 1) : ::unsetenv("LC_ALL");
  ASSERT_EQ(outcome, MuxOutcome::Done) << host_.transcript();
  EXPECT_EQ(host_.statusTexts[1].back(), "Muxing 100%");

  const nlohmann::json info = nlohmann::json::parse(
      run(testing::withUtf8Locale("mkvmerge -J " + quoted(output_))), nullptr, false);
  ASSERT_FALSE(info.is_discarded());
  EXPECT_EQ(info["container"]["properties"]["title"], title.name);
  struct Expected {
    const char* type;
    const char* codec;
    const char* language;
    const char* name;
    bool isDefault;
  };
  const Expected expected[] = {{"video", "MPEG-1/2", "und", "MPEG-2", true},
                               {"audio", "AC-3", "eng", "English AC-3", true},
                               {"audio", "AC-3", "ger", "Kommentar", false},
                               {"subtitles", "VobSub", "fre", "French VobSub", false}};
  ASSERT_EQ(info["tracks"].size(), withSub ? 4u : 3u);
  for (size_t i = 0; i < info["tracks"].size(); ++i) {
    const nlohmann::json& track = info["tracks"][i];
    EXPECT_EQ(track["type"], expected[i].type) << i;
    EXPECT_EQ(track["codec"], expected[i].codec) << i;
    EXPECT_EQ(track["properties"]["language"], expected[i].language) << i;
    EXPECT_EQ(track["properties"]["track_name"], expected[i].name) << i;
    EXPECT_EQ(track["properties"]["default_track"], expected[i].isDefault) << i;
  }
  EXPECT_EQ(info["chapters"][0]["num_entries"], 2);
  if (have("mkvextract")) {
    run(testing::withUtf8Locale("mkvextract " + quoted(output_) + " chapters -s " +
                                quoted(dir_ / "out.txt")));
    const std::vector<uint8_t> bytes = testing::readFileBytes(dir_ / "out.txt");
    // The extracted text has no byte-order mark.
    EXPECT_EQ(std::string(kUtf8ByteOrderMark) + std::string(bytes.begin(), bytes.end()),
              simpleChapterText(chapters));
  }

  // The delayed track starts at its sync, the other at the video's start.
  EXPECT_NEAR(firstPacketTime(output_, "v:0"), 0.0, 0.0005);
  EXPECT_NEAR(firstPacketTime(output_, "a:0"), 0.0, 0.0005);
  EXPECT_NEAR(firstPacketTime(output_, "a:1"), 0.200, 0.0005);
}

// mkvmerge's own exit codes: 1 with a warning (an AC-3 track with garbage inside), 2 with an
// error (a source that is not there), each with its messages in the console.
TEST_F(RealMkvmerge, WarningsAndErrorsAsMkvmergeGivesThem) {
  const fs::path english = streams_[2].files[0].path;
  std::vector<uint8_t> damaged = testing::readFileBytes(english);
  ASSERT_GT(damaged.size(), 40000u);
  damaged.insert(damaged.begin() + 20000, 1000, 0x5A);
  testing::writeFileBytes(english, damaged);
  const MuxPlan plan = planMux(streams_, nullptr, output_.string(), "");
  EXPECT_EQ(mux(plan.description), MuxOutcome::DoneWithWarnings) << host_.transcript();
  EXPECT_TRUE(std::any_of(host_.lines.begin(), host_.lines.end(), [](const std::string& l) {
    return l.starts_with("mkvmerge warning: '") && l.find("invalid data") != std::string::npos;
  })) << host_.transcript();
  EXPECT_EQ(host_.lines.back(), "mkvmerge finished with warnings.");
  EXPECT_TRUE(fs::exists(output_));

  MuxDescription missing = plan.description;
  missing.tracks[1].path = (dir_ / "gone.ac3").string();
  fs::remove(output_);
  EXPECT_EQ(mux(missing), MuxOutcome::Failed) << host_.transcript();
  const std::string error = "mkvmerge error: The file '" + missing.tracks[1].path +
                            "' could not be opened for reading: open file error.";
  EXPECT_EQ(host_.lines.end()[-2], error) << host_.transcript();
  EXPECT_EQ(host_.lines.back(), "mkvmerge failed with exit code 2.");
  EXPECT_FALSE(fs::exists(output_));
}

// Cancel at the first event point: mkvmerge is ended and its file removed, however far it got.
TEST_F(RealMkvmerge, CancelRemovesTheFile) {
  host_.onEvents = [this](int) { stop_.request(StopReason::UserCancel); };
  const MuxPlan plan = planMux(streams_, nullptr, output_.string(), "");
  EXPECT_EQ(mux(plan.description), MuxOutcome::Cancelled) << host_.transcript();
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_FALSE(host_.cancelEnabled);
}

}  // namespace
}  // namespace korvell
