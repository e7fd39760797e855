#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runs/demux_run.h"
#include "runs/read_run.h"
#include "runs/run_support.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::PsWriter;
using testing::RecordingHost;

std::vector<uint8_t> bytesOf(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + i * 13);
  return v;
}

// A two-file set: MPEG-2 video with two frames per packet, AC-3 on 0x80 and a subpicture.
class RunsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.path();
    fs::create_directories(dir_ / "out");
    std::vector<uint8_t> video = {0, 0, 1, 0, 0x11, 0x22, 0, 0, 1, 0, 0x33};
    video.resize(500, 0x77);
    for (int file = 0; file < 2; ++file) {
      PsWriter ps;
      if (file == 0) ps.packHeader().systemHeader(1, 1).fillPack();
      for (int i = 0; i < 3; ++i) {
        const auto base = static_cast<uint32_t>(file * 9000 + i * 3000);
        ps.packHeader().pes(0xE0, video, {.pts = base + 1000, .dts = base + 1000}).fillPack();
        ps.packHeader()
            .privateStream1(0x80, bytesOf(300, static_cast<uint8_t>(i)), {.pts = base + 900})
            .fillPack();
        ps.packHeader().privateStream1(0x20, bytesOf(40, 9), {.pts = base + 4000}).fillPack();
        expectedVideo_.insert(expectedVideo_.end(), video.begin(), video.end());
        const auto audio = bytesOf(300, static_cast<uint8_t>(i));
        expectedAudio_.insert(expectedAudio_.end(), audio.begin(), audio.end());
      }
      testing::writeFileBytes(dir_ / (file == 0 ? "FEATURE_1.EVO" : "FEATURE_2.EVO"), ps.bytes());
    }
    settings_.inputPath = (dir_ / "FEATURE_1.EVO").string();
    settings_.outputFolder = (dir_ / "out").string();
    state_.Details = false;
  }

  testing::TempFolder folder_;
  fs::path dir_;
  RunState state_;
  RecordingHost host_;
  RunSettings settings_;
  std::vector<uint8_t> expectedVideo_;
  std::vector<uint8_t> expectedAudio_;
};

TEST_F(RunsTest, ReadRunReportsTheSetAndSelectsEveryStream) {
  state_.frameRate[0] = 25;  // left by an earlier run: durations use it
  state_.duration = 2;
  EXPECT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  const std::string expected =
      "Opening file [b]FEATURE_1.EVO[/b]\n"
      "File size: 0 Mbytes.\n"
      "[b]MPEG-2[/b] video stream 0 found!\n"
      "[b]Dolby Digital[/b] audio stream 0 found!\n"
      "[b]Subpicture[/b] stream 0 found!\n"
      "Continue on FEATURE_2.EVO\n"
      "[b]MPEG-2[/b] video stream 0 found!\n"
      "[b]Dolby Digital[/b] audio stream 0 found!\n"
      "[b]Subpicture[/b] stream 0 found!\n"
      "Done.\n"
      "\n"
      "12 counted frames ([b]0:00:00.480[/b]) in video stream 0.\n"
      "50 calculated frames.\n"
      "\n";
  EXPECT_EQ(host_.transcript(), expected);
  EXPECT_EQ(state_.baseName, "FEATURE_1_FEATURE_2");
  EXPECT_TRUE(state_.selected[slotNumber({Family::Video, 0})]);
  EXPECT_EQ(state_.streamLabel[slotNumber({Family::Audio, 0})], "DD.stream.00");
  EXPECT_EQ(state_.streamLabel[slotNumber({Family::Subpicture, 0})], "Subpicture.00");
  EXPECT_EQ(state_.streamLabel[slotNumber({Family::Audio, 1})], "No audio stream");
  EXPECT_FALSE(state_.selected[slotNumber({Family::Audio, 1})]);
  EXPECT_EQ(host_.statusTexts[0].back(), "Ready");
  ASSERT_EQ(host_.finished.size(), 1u);
}

TEST_F(RunsTest, DemuxRunWritesEveryStreamOfBothFiles) {
  // The subpicture times are rebased on the earliest audio or video PTS (900), with the
  // details shown or not.
  for (bool details : {true, false}) {
    RunState state;
    RecordingHost host;
    state.Details = details;
    settings_.followOn = FollowOn::Demux;
    EXPECT_EQ(readRun(state, host, settings_), RunOutcome::Done);
    EXPECT_EQ(state.firstPtsMin, 900u) << details;
    const fs::path out = dir_ / "out";
    EXPECT_EQ(testing::readFileBytes(out / "FEATURE_1_FEATURE_2.MPEG-2.stream.0.mpv"),
              expectedVideo_);
    EXPECT_EQ(testing::readFileBytes(out / "FEATURE_1_FEATURE_2.DD.stream.00.mpa"), expectedAudio_);
    const auto sup = testing::readFileBytes(out / "FEATURE_1_FEATURE_2.Subpicture.00.sup");
    ASSERT_EQ(sup.size(), 6u * 50);
    EXPECT_EQ(sup[0], 'S');
    EXPECT_EQ(sup[2] | sup[3] << 8, 4000 - 900) << details;
    EXPECT_NE(host.transcript().find("Creating " +
                                     (out / "FEATURE_1_FEATURE_2.DD.stream.00.mpa").string()),
              std::string::npos);
    EXPECT_NE(host.transcript().find("12 frames count in video stream 0.\n"), std::string::npos);
    EXPECT_EQ(host.transcript().find("First PTS") != std::string::npos, details);
  }
}

TEST_F(RunsTest, AStreamTheReadRunDidNotFindGetsNoFile) {
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  // A playlist lists a commentary in audio slot 5, which these files do not carry.
  const int commentary = slotNumber({Family::Audio, 5});
  state_.selected[commentary] = true;
  state_.streamLabel[commentary] = "DD.stream.05.Commentary";
  RecordingHost host;
  ASSERT_EQ(demuxRun(state_, host, settings_), RunOutcome::Done);
  EXPECT_FALSE(fs::exists(dir_ / "out" / "FEATURE_1_FEATURE_2.DD.stream.05.Commentary.mpa"));
  EXPECT_NE(std::find(host.lines.begin(), host.lines.end(),
                      "DD.stream.05.Commentary: the playlist lists this stream, but "
                      "FEATURE_1.EVO has none; no file is written for it."),
            host.lines.end())
      << host.transcript();
  EXPECT_TRUE(fs::exists(dir_ / "out" / "FEATURE_1_FEATURE_2.DD.stream.00.mpa"));
}

TEST_F(RunsTest, AClosingFrontEndStartsNoFollowOnRun) {
  settings_.followOn = FollowOn::Demux;
  host_.closingNow = true;
  EXPECT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  EXPECT_EQ(host_.started, std::vector<RunKind>{RunKind::Read});
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(RunsTest, EmptyOutputFolderWritesBesideTheInput) {
  settings_.outputFolder.clear();
  state_.Continue = false;
  readRun(state_, host_, settings_);
  EXPECT_EQ(demuxRun(state_, host_, settings_), RunOutcome::Done);
  EXPECT_TRUE(fs::exists(dir_ / "FEATURE_1.MPEG-2.stream.0.mpv"));
}

TEST_F(RunsTest, FailuresEndWithTheirMessageAndNeverWithDone) {
  struct Case {
    std::string input;
    std::string outputFolder;
    RunOutcome outcome;
    std::string message;
  };
  const std::string missing = (dir_ / "MISSING.EVO").string();
  const std::string noFolder = (dir_ / "nowhere").string();
  const Case cases[] = {
      {missing, "", RunOutcome::OpenFailed,
       "Cannot open file \"" + missing + "\". No such file or directory"},
      {dir_.string(), "", RunOutcome::OpenFailed,
       "Cannot open file \"" + dir_.string() + "\". Is a directory"},
      {settings_.inputPath, noFolder, RunOutcome::CreateFailed,
       "Cannot create file \"" + noFolder +
           "/FEATURE_1_FEATURE_2.MPEG-2.stream.0.mpv\". No such file or directory"},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    RunSettings settings = settings_;
    settings.inputPath = c.input;
    settings.outputFolder = c.outputFolder;
    state_.selected[0] = true;
    state_.streamLabel[0] = "MPEG-2.stream.0";
    state_.videoDetails[0].id = 0xE0;  // as a Read run that found it leaves it
    EXPECT_EQ(demuxRun(state_, host, settings), c.outcome) << c.message;
    EXPECT_NE(host.transcript().find(c.message + "\n"), std::string::npos) << host.transcript();
    EXPECT_EQ(host.transcript().find("Done."), std::string::npos);
    EXPECT_EQ(host.finished.size(), 1u);
  }
}

TEST_F(RunsTest, FullDiskIsReportedAsAWriteFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  readRun(state_, host_, settings_);
  const fs::path target = dir_ / "out" / "FEATURE_1_FEATURE_2.DD.stream.00.mpa";
  fs::create_symlink("/dev/full", target);
  RecordingHost host;
  EXPECT_EQ(demuxRun(state_, host, settings_), RunOutcome::WriteFailed);
  EXPECT_NE(host.transcript().find("Cannot write file \"" + target.string() +
                                   "\". No space left on device"),
            std::string::npos)
      << host.transcript();
  EXPECT_EQ(host.transcript().find("Done."), std::string::npos);
}

TEST_F(RunsTest, AnOutputNameThatIsTheInputIsRefused) {
  readRun(state_, host_, settings_);
  // With the extension field "EVO" and a label equal to the input's name part, the name would
  // be the input itself: the run refuses it instead of truncating its input.
  settings_.outputFolder = dir_.string();
  state_.Continue = false;
  state_.streamLabel[0] = "x";
  fs::create_symlink(dir_ / "FEATURE_1.EVO", dir_ / "FEATURE_1.x.mpv");
  const auto before = testing::readFileBytes(dir_ / "FEATURE_1.EVO");
  RecordingHost host;
  EXPECT_EQ(demuxRun(state_, host, settings_), RunOutcome::CreateFailed);
  EXPECT_EQ(testing::readFileBytes(dir_ / "FEATURE_1.EVO"), before);
}

TEST_F(RunsTest, ReadRunKeepsTimesAndDemuxNamesFilesWithDelaysAndWritesChapters) {
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  // Video from 1000, AC-3 from 900, the subpicture from 4000; the last packets are in the
  // second file.
  EXPECT_EQ(state_.videoTimes[0], (StreamTimes{1000, 16000}));
  EXPECT_EQ(state_.audioTimes[0], (StreamTimes{900, 15900}));
  EXPECT_EQ(state_.subTimes[0], (StreamTimes{4000, 19000}));
  settings_.delayNames = true;
  settings_.chapters = {{0, "Opening", "en"}, {40'000'000'000, "Middle", ""}};
  settings_.chaptersSource = settings_.inputPath;
  ASSERT_EQ(demuxRun(state_, host_, settings_), RunOutcome::Done);
  const fs::path out = dir_ / "out";
  EXPECT_TRUE(testing::readFileBytes(out / "FEATURE_1_FEATURE_2.MPEG-2.stream.0.mpv") ==
              expectedVideo_);
  EXPECT_TRUE(testing::readFileBytes(out / "FEATURE_1_FEATURE_2.DD.stream.00 DELAY -1ms.mpa") ==
              expectedAudio_);
  // The ".sup" record times count from the earliest PTS (the audio's 900): the subpicture file
  // is shifted by 900 less the video's 1000, not by where its first unit lies (33 ms).
  EXPECT_TRUE(fs::exists(out / "FEATURE_1_FEATURE_2.Subpicture.00 DELAY -1ms.sup"));
  EXPECT_EQ(state_.firstEventMs(Family::Subpicture, 0), 33);
  const auto text = testing::readFileBytes(out / "FEATURE_1_FEATURE_2.chapters.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()), simpleChapterText(settings_.chapters));
  EXPECT_TRUE(fs::exists(out / "FEATURE_1_FEATURE_2.chapters.xml"));
  const std::string created = "Creating " + (out / "FEATURE_1_FEATURE_2.chapters.xml").string();
  EXPECT_NE(std::find(host_.lines.begin(), host_.lines.end(), created), host_.lines.end());

  // Chapters read for another input, or the option off: no chapter file is written.
  fs::remove(out / "FEATURE_1_FEATURE_2.chapters.txt");
  settings_.chaptersSource = (dir_ / "FEATURE_2.EVO").string();
  ASSERT_EQ(demuxRun(state_, host_, settings_), RunOutcome::Done);
  EXPECT_FALSE(fs::exists(out / "FEATURE_1_FEATURE_2.chapters.txt"));
  settings_.chaptersSource = settings_.inputPath;
  settings_.writeChapters = false;
  ASSERT_EQ(demuxRun(state_, host_, settings_), RunOutcome::Done);
  EXPECT_FALSE(fs::exists(out / "FEATURE_1_FEATURE_2.chapters.txt"));
}

TEST(StreamDelay, AgainstVideoStreamZeroInRoundedMilliseconds) {
  struct Case {
    std::optional<uint32_t> video;
    std::optional<uint32_t> audio;
    std::optional<int32_t> delay;
  };
  const Case cases[] = {
      {90000, 87300, -30},
      {90000, 90000, 0},
      {90000, 90045, 1},  // ties away
      {90000, 89955, -1},
      {90000, 90044, 0},
      {0xFFFFFF00u, 0x100, 6},  // wraps
      {std::nullopt, 90000, std::nullopt},
      {90000, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    RunState state;
    state.videoTimes[0].firstPts = c.video;
    state.audioTimes[3].firstPts = c.audio;
    EXPECT_EQ(state.delayMs(Family::Audio, 3), c.delay);
  }
}

TEST(StreamDelay, SubpictureFilesAreShiftedByTheEarliestTimeStamp) {
  // Video from 90,450, the earliest audio from 90,000, a subpicture first shown 5 s later.
  RunState state;
  state.videoTimes[0].firstPts = 90450;
  state.firstPtsMin = 90000;
  state.subTimes[2].firstPts = 90000 + 5 * 90000;
  EXPECT_EQ(state.delayMs(Family::Subpicture, 2), -5);
  EXPECT_EQ(state.firstEventMs(Family::Subpicture, 2), 4995);
  EXPECT_EQ(state.delayMs(Family::Subpicture, 3), std::nullopt);  // never seen
  state.firstPtsMin = 0xFFFFFFFF;                                 // no audio or video time stamp
  EXPECT_EQ(state.delayMs(Family::Subpicture, 2), std::nullopt);
}

TEST_F(RunsTest, CancelAsksDuringDemuxOnly) {
  RecordingHost host;
  state_.demuxing = false;
  requestCancel(state_, host);
  EXPECT_EQ(state_.stopReason, StopReason::UserCancel);
  EXPECT_TRUE(host.questions.empty());
  state_.stopReason = StopReason::None;
  state_.demuxing = true;
  host.answer = false;
  requestCancel(state_, host);
  EXPECT_FALSE(state_.stopRequested());
  EXPECT_TRUE(host.lines.empty());
  host.answer = true;
  requestCancel(state_, host);
  EXPECT_EQ(state_.stopReason, StopReason::UserCancel);
  EXPECT_EQ(host.questions.back(), "Are you sure to stop demuxing?");
  EXPECT_EQ(host.lines.back(), "Cancelled.");
}

}  // namespace
}  // namespace korvell
