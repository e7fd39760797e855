#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/packs.h"
#include "runs/demux_run.h"
#include "runs/read_run.h"
#include "runs/rebuild_run.h"
#include "runs/run_support.h"
#include "testing/memory_file_system.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::PsWriter;
using testing::RecordingHost;
using RunFunction = RunOutcome (*)(RunState&, RunHost&, const RunSettings&);

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
    state_.options.Details = false;
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
  state_.results.frameRate[0] = 25;  // left by an earlier run of this set: durations use it
  state_.results.duration = 2;
  state_.sourcePath = settings_.inputPath;
  state_.baseName = "FEATURE_1_FEATURE_2";
  EXPECT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  const std::string expected =
      "Opening file [b]FEATURE_1.EVO[/b]\n"
      "File size: 0 Mbytes.\n"
      "[b]MPEG-2[/b] video stream 0 found!\n"
      "[b]Dolby Digital[/b] audio stream 0 found!\n"
      "[b]Subpicture[/b] stream 0 found!\n"
      "Continue on FEATURE_2.EVO\n"
      "File size: 0 Mbytes.\n"
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
  EXPECT_TRUE(state_.selection.selected[slotNumber({Family::Video, 0})]);
  EXPECT_EQ(state_.selection.streamLabel[slotNumber({Family::Audio, 0})], "DD.stream.00");
  EXPECT_EQ(state_.selection.streamLabel[slotNumber({Family::Subpicture, 0})], "Subpicture.00");
  EXPECT_EQ(state_.selection.streamLabel[slotNumber({Family::Audio, 1})], "No audio stream");
  EXPECT_FALSE(state_.selection.selected[slotNumber({Family::Audio, 1})]);
  EXPECT_EQ(host_.statusTexts[0].back(), "Ready");
  ASSERT_EQ(host_.finished.size(), 1u);
}

TEST_F(RunsTest, DemuxRunWritesEveryStreamOfBothFiles) {
  // The subpicture times are rebased on the earliest audio or video PTS (900), with the
  // details shown or not.
  for (bool details : {true, false}) {
    RunState state;
    RecordingHost host;
    state.options.Details = details;
    settings_.followOn = FollowOn::Demux;
    EXPECT_EQ(readRun(state, host, settings_), RunOutcome::Done);
    EXPECT_EQ(state.results.firstPtsMin, 900u) << details;
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
  state_.selection.selected[commentary] = true;
  state_.selection.streamLabel[commentary] = "DD.stream.05.Commentary";
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
  state_.options.Continue = false;
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
  const std::string noFolder = settings_.inputPath + "/out";  // under a file
  const Case cases[] = {
      {missing, "", RunOutcome::Failed,
       "Cannot open file \"" + missing + "\". No such file or directory"},
      {dir_.string(), "", RunOutcome::Failed,
       "Cannot open file \"" + dir_.string() + "\". Is a directory"},
      {settings_.inputPath, noFolder, RunOutcome::Failed,
       "Cannot create folder \"" + noFolder + "\". Not a directory"},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    RunSettings settings = settings_;
    settings.inputPath = c.input;
    settings.outputFolder = c.outputFolder;
    state_.selection.selected[0] = true;
    state_.selection.streamLabel[0] = "MPEG-2.stream.0";
    state_.results.videoDetails[0].id = 0xE0;  // as a Read run that found it leaves it
    EXPECT_EQ(demuxRun(state_, host, settings), c.outcome) << c.message;
    EXPECT_TRUE(host.transcript().ends_with(c.message + "\nFailed.\n\n")) << host.transcript();
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
  EXPECT_EQ(demuxRun(state_, host, settings_), RunOutcome::Failed);
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
  state_.options.Continue = false;
  state_.selection.streamLabel[0] = "x";
  fs::create_symlink(dir_ / "FEATURE_1.EVO", dir_ / "FEATURE_1.x.mpv");
  const auto before = testing::readFileBytes(dir_ / "FEATURE_1.EVO");
  RecordingHost host;
  EXPECT_EQ(demuxRun(state_, host, settings_), RunOutcome::Failed);
  EXPECT_EQ(testing::readFileBytes(dir_ / "FEATURE_1.EVO"), before);
}

TEST_F(RunsTest, ReadRunKeepsTimesAndDemuxNamesFilesWithDelaysAndWritesChapters) {
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  // Video from 1000, AC-3 from 900, the subpicture from 4000; the last packets are in the
  // second file.
  EXPECT_EQ(state_.results.videoTimes[0], (StreamTimes{1000, 16000}));
  EXPECT_EQ(state_.results.audioTimes[0], (StreamTimes{900, 15900}));
  EXPECT_EQ(state_.results.subTimes[0], (StreamTimes{4000, 19000}));
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
  EXPECT_EQ(state_.results.firstEventMs(Family::Subpicture, 0), 33);
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
    state.results.videoTimes[0].firstPts = c.video;
    state.results.audioTimes[3].firstPts = c.audio;
    EXPECT_EQ(state.results.delayMs(Family::Audio, 3), c.delay);
  }
}

TEST(StreamDelay, SubpictureFilesAreShiftedByTheEarliestTimeStamp) {
  // Video from 90,450, the earliest audio from 90,000, a subpicture first shown 5 s later.
  RunState state;
  state.results.videoTimes[0].firstPts = 90450;
  state.results.firstPtsMin = 90000;
  state.results.subTimes[2].firstPts = 90000 + 5 * 90000;
  EXPECT_EQ(state.results.delayMs(Family::Subpicture, 2), -5);
  EXPECT_EQ(state.results.firstEventMs(Family::Subpicture, 2), 4995);
  EXPECT_EQ(state.results.delayMs(Family::Subpicture, 3), std::nullopt);  // never seen
  state.results.firstPtsMin.reset();  // no audio or video time stamp
  EXPECT_EQ(state.results.delayMs(Family::Subpicture, 2), std::nullopt);
}

TEST_F(RunsTest, CancelAsksDuringDemuxOnlyAndNamesTheRun) {
  RecordingHost host;
  state_.runKind = RunKind::Read;
  requestCancel(state_, host);
  EXPECT_EQ(state_.stop.reason(), StopReason::UserCancel);
  EXPECT_TRUE(host.questions.empty());
  state_.stop.clear();
  state_.runKind = RunKind::Demux;
  host.answer = false;
  requestCancel(state_, host);
  EXPECT_FALSE(state_.stop.requested());
  EXPECT_TRUE(host.lines.empty());
  host.answer = true;
  requestCancel(state_, host);
  EXPECT_EQ(state_.stop.reason(), StopReason::UserCancel);
  EXPECT_EQ(host.questions.back(), "Are you sure to stop demuxing?");
  EXPECT_EQ(host.lines.back(), "Cancelled.");
  for (const auto& [kind, question] :
       {std::pair{RunKind::Rebuild, "Are you sure to stop rebuilding?"},
        {RunKind::Matroska, "Stop making the Matroska file?"}}) {
    state_.runKind = kind;
    EXPECT_EQ(cancelQuestion(state_), question);
  }
}

TEST(ScrambledStreams, AreNamedOnceAndNeverWrittenOrCopied) {
  // One pack each: the system header, then video 0xE0 and AC-3 0x80 three times. A scrambled
  // packet has PES_scrambling_control 01 (byte 20 of its pack, after the pack header).
  const auto file = [](std::initializer_list<int> scrambledPacks) {
    PsWriter ps;
    ps.packHeader().systemHeader(1, 1).fillPack();
    for (int i = 0; i < 3; ++i) {
      ps.packHeader().pes(0xE0, bytesOf(600, 1), {.pts = 1000u + i}).fillPack();
      ps.packHeader().privateStream1(0x80, bytesOf(300, 2), {.pts = 900u + i}).fillPack();
    }
    std::vector<uint8_t> bytes = ps.take();
    for (const int pack : scrambledPacks)
      bytes[static_cast<size_t>(pack) * kPackSize + 20] |= 0x10;
    return bytes;
  };
  const std::string audio =
      "the packets of DD.stream.00 are scrambled. Korvell reads decrypted "
      "discs; nothing is written for this stream.";
  struct Case {
    std::initializer_list<int> atRead, atWrite;  // scrambled packs
    bool writesFail;            // the Demux and Rebuild runs meet packets the Read run did not
    std::string message, mark;  // mark: a file of the disc that marks its encryption
  };
  const Case cases[] = {
      {{2, 4, 6}, {2, 4, 6}, false, "The disc is encrypted: " + audio},
      {{1, 2, 3, 4, 5, 6},
       {},
       false,  // the Read run fails: no stream is clear
       "The disc is encrypted: the packets of MPEG-2.stream.0 and DD.stream.00 are scrambled. "
       "Korvell reads decrypted discs; nothing is written for these streams."},
      {{}, {6}, true, "The disc is encrypted: " + audio},
      {{2, 4, 6},
       {2, 4, 6},
       false,
       "The disc is encrypted (it carries AUDIO_TS/DVDAUDIO.MKB): " + audio,
       "AUDIO_TS/dvdaudio.mkb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const testing::TempFolder folder;
    testing::writeFileBytes(folder / "A.EVO", file(c.atRead));
    if (!c.mark.empty()) {
      fs::create_directories((folder / c.mark).parent_path());
      testing::writeFileBytes(folder / c.mark, {});
    }
    RunState state;
    RunSettings settings;
    settings.inputPath = (folder / "A.EVO").string();
    RecordingHost read, demux, rebuild;
    const bool readFails = c.atRead.size() == 6;
    EXPECT_EQ(readRun(state, read, settings), readFails ? RunOutcome::Failed : RunOutcome::Done);
    EXPECT_EQ(std::count(read.lines.begin(), read.lines.end(), c.message), c.atRead.size() > 0);
    EXPECT_EQ(state.selection.selected[slotNumber({Family::Audio, 0})], c.atRead.size() == 0);
    if (readFails) continue;
    testing::writeFileBytes(folder / "A.EVO", file(c.atWrite));
    const RunOutcome written = c.writesFail ? RunOutcome::Failed : RunOutcome::Done;
    EXPECT_EQ(demuxRun(state, demux, settings), written);
    EXPECT_EQ(rebuildRun(state, rebuild, settings), written);
    for (const RecordingHost* host : {&demux, &rebuild})
      EXPECT_EQ(std::count(host->lines.begin(), host->lines.end(), c.message), c.writesFail);
    // Written: the two clear audio packets before the stop; copied: the system header and the
    // video packs, and the clear audio packs before the stop.
    EXPECT_EQ(testing::readFileBytes(folder / "A.DD.stream.00.mpa").size(),
              c.writesFail ? 600u : 0u);
    EXPECT_EQ(testing::readFileBytes(folder / "A.rebuilt.EVO").size(),
              kPackSize * (c.writesFail ? 6 : 4));
  }
}

// A DVD title set's VOB files cut at a pack boundary: one video picture's start code lies
// half in VTS_01_1.VOB and half in VTS_01_2.VOB. VTS_11_1.VOB, another title set's film,
// holds a stream of its own.
class VobSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.path();
    fs::create_directories(dir_ / "out");
    PsWriter first, second, other;
    first.packHeader().systemHeader(1, 1).fillPack();
    // 00 00 01 00 is a picture: two in each packet, and the last packet of the first file ends
    // with 00 00, whose 01 00 begins the first packet of the second.
    std::vector<uint8_t> video = {0, 0, 1, 0, 0x11, 0x22, 0, 0, 1, 0, 0x33};
    video.resize(500, 0x77);
    std::vector<uint8_t> cutEnd = video;
    cutEnd.insert(cutEnd.end(), {0, 0});
    std::vector<uint8_t> cutStart = {1, 0, 0x44};
    cutStart.resize(400, 0x66);
    for (int i = 0; i < 3; ++i) {
      const auto& piece = i == 2 ? cutEnd : video;
      first.packHeader().pes(0xE0, piece, {.pts = 1000u + 3000u * i}).fillPack();
      first.packHeader().privateStream1(0x80, bytesOf(300, static_cast<uint8_t>(i))).fillPack();
      append(expectedVideo_, piece);
      append(expectedAudio_, bytesOf(300, static_cast<uint8_t>(i)));
    }
    second.packHeader().pes(0xE0, cutStart, {.pts = 10000}).fillPack();
    second.packHeader().privateStream1(0x80, bytesOf(300, 7)).fillPack();
    append(expectedVideo_, cutStart);
    append(expectedAudio_, bytesOf(300, 7));
    other.packHeader().privateStream1(0x81, bytesOf(300, 9)).fillPack();
    testing::writeFileBytes(dir_ / "VTS_01_1.VOB", first.bytes());
    testing::writeFileBytes(dir_ / "VTS_01_2.VOB", second.bytes());
    testing::writeFileBytes(dir_ / "VTS_11_1.VOB", other.bytes());
    settings_.inputPath = (dir_ / "VTS_01_1.VOB").string();
    settings_.outputFolder = (dir_ / "out").string();
    state_.options.Details = false;
  }
  static void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
  }

  testing::TempFolder folder_;
  fs::path dir_;
  RunState state_;
  RecordingHost host_;
  RunSettings settings_;
  std::vector<uint8_t> expectedVideo_;
  std::vector<uint8_t> expectedAudio_;
};

TEST_F(VobSetTest, EveryRunWalksTheTitleSetsVobFilesAsOneFile) {
  settings_.followOn = FollowOn::Demux;
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done) << host_.transcript();
  const std::string opening =
      "Opening file [b]VTS_01_1.VOB[/b]\n"
      "VTS_01_1.VOB goes on in VTS_01_2.VOB: they are read as one file.\n"
      "File size: 0 Mbytes.\n"
      "[b]MPEG-2[/b] video stream 0 found!\n"
      "[b]Dolby Digital[/b] audio stream 0 found!\n"
      "Done.\n"
      "\n"
      "7 frames count in video stream 0.\n";  // the picture cut in two counts once
  EXPECT_TRUE(host_.transcript().starts_with(opening)) << host_.transcript();
  EXPECT_EQ(host_.transcript().find("Continue on"), std::string::npos);
  EXPECT_EQ(state_.baseName, "VTS_01");
  ASSERT_EQ(state_.results.scannedFiles.size(), 1u);
  EXPECT_EQ(state_.results.scannedFiles[0].size,
            fs::file_size(dir_ / "VTS_01_1.VOB") + fs::file_size(dir_ / "VTS_01_2.VOB"));
  EXPECT_FALSE(state_.results.foundInLastRead({Family::Audio, 1}));  // VTS_11_1.VOB was not read
  const fs::path out = dir_ / "out";
  EXPECT_TRUE(testing::readFileBytes(out / "VTS_01.MPEG-2.stream.0.mpv") == expectedVideo_);
  EXPECT_TRUE(testing::readFileBytes(out / "VTS_01.DD.stream.00.mpa") == expectedAudio_);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
  // Without Continue the first file stands alone.
  state_.options.Continue = false;
  RecordingHost alone;
  ASSERT_EQ(demuxRun(state_, alone, settings_), RunOutcome::Done);
  EXPECT_EQ(alone.transcript().find("goes on"), std::string::npos);
  EXPECT_TRUE(fs::exists(out / "VTS_01_1.MPEG-2.stream.0.mpv"));
}

TEST_F(VobSetTest, APartThatCannotBeOpenedEndsEveryRunBeforeAnyFileIsCreated) {
  testing::MemoryFileSystem files;
  for (const char* name : {"VTS_01_1.VOB", "VTS_01_2.VOB"})
    files.add((dir_ / name).string(), testing::readFileBytes(dir_ / name));
  settings_.files = &files;
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  const std::string second = (dir_ / "VTS_01_2.VOB").string();
  files.refuseOpen(second, "Permission denied");
  for (RunFunction run : {RunFunction{readRun}, RunFunction{demuxRun}}) {
    RecordingHost host;
    EXPECT_EQ(run(state_, host, settings_), RunOutcome::Failed);
    EXPECT_TRUE(host.transcript().ends_with("Cannot open file \"" + second +
                                            "\". Permission denied\nFailed.\n\n"))
        << host.transcript();
    EXPECT_EQ(files.openFiles(), 0);
    EXPECT_EQ(files.file(settings_.outputFolder + "/VTS_01.DD.stream.00.mpa"), nullptr);
  }
}

// A title whose cells lie out of file order, over a stream whose DTS identifier 0x88 shares
// the low bits of AC-3 0x80, which holds slot 0 first.
class TitleRunTest : public VobSetTest {
 protected:
  void SetUp() override {
    VobSetTest::SetUp();
    PsWriter ps;
    for (int cell = 0; cell < 3; ++cell) {
      const auto seed = static_cast<uint8_t>(16 * cell);
      ps.packHeader().privateStream1(0x80, bytesOf(200, seed)).fillPack();
      ps.packHeader().privateStream1(0x88, bytesOf(300, seed + 1)).fillPack();
    }
    testing::writeFileBytes(dir_ / "VTS_02_1.VOB", ps.bytes());
    const std::string vob = (dir_ / "VTS_02_1.VOB").string();
    title_.number = 3;
    title_.titleSet = 2;
    title_.baseName = "VTS_02_TITLE_3";
    // Cell 2, then cell 0; cell 1 is not played.
    title_.extents = {{vob, 4 * kPackSize, 2 * kPackSize}, {vob, 0, 2 * kPackSize}};
    title_.streams = {{Family::Audio, 0x88, 0, "de"},
                      {Family::Audio, 0x80, 1, "en"},
                      {Family::Audio, 0x82, 2, "fr"}};  // not in the program stream
    title_.chapters = {{0, "", ""}, {1'500'000'000, "", ""}};
    for (int cell : {2, 0}) {
      const auto seed = static_cast<uint8_t>(16 * cell);
      append(ac3_, bytesOf(200, seed));
      append(dts_, bytesOf(300, seed + 1));
    }
    settings_.inputPath = dir_.string();
    settings_.title = title_;
  }
  Title title_;
  std::vector<uint8_t> ac3_, dts_;
};

TEST_F(TitleRunTest, ReadAndDemuxWalkTheCellsAndLabelTheStreamsWithTheirLanguages) {
  settings_.followOn = FollowOn::Demux;
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done) << host_.transcript();
  EXPECT_TRUE(
      host_.transcript().starts_with("Opening title [b]VTS_02_TITLE_3[/b] in VTS_02_1.VOB\n"
                                     "File size: 0 Mbytes.\n"))
      << host_.transcript();
  EXPECT_EQ(state_.baseName, "VTS_02_TITLE_3");
  EXPECT_EQ(state_.selection.streamLabel[slotNumber({Family::Audio, 0})], "DD.stream.00.en");
  EXPECT_EQ(state_.selection.streamLabel[slotNumber({Family::Audio, 1})], "DTSHD.stream.01.de");
  EXPECT_EQ(state_.selection.streamLabel[slotNumber({Family::Audio, 2})], "No audio stream");
  const fs::path out = dir_ / "out";
  EXPECT_TRUE(testing::readFileBytes(out / "VTS_02_TITLE_3.DD.stream.00.en.mpa") == ac3_);
  EXPECT_TRUE(testing::readFileBytes(out / "VTS_02_TITLE_3.DTSHD.stream.01.de.mpa") == dts_);
  const auto chapters = testing::readFileBytes(out / "VTS_02_TITLE_3.chapters.txt");
  EXPECT_EQ(std::string(chapters.begin(), chapters.end()), simpleChapterText(title_.chapters));
  EXPECT_TRUE(fs::exists(out / "VTS_02_TITLE_3.chapters.xml"));
  // The playlist's chapters for the same input give way to the title's.
  settings_.chapters = {{0, "Other", ""}};
  settings_.chaptersSource = settings_.inputPath;
  ASSERT_EQ(demuxRun(state_, host_, settings_), RunOutcome::Done);
  const auto again = testing::readFileBytes(out / "VTS_02_TITLE_3.chapters.txt");
  EXPECT_EQ(again, chapters);
}

TEST_F(TitleRunTest, ACellOutsideItsFileStopsEveryRunBeforeAnyFileIsCreated) {
  const std::string vob = (dir_ / "VTS_02_1.VOB").string();
  const std::string missing = (dir_ / "VTS_02_2.VOB").string();
  const uint64_t size = fs::file_size(vob);
  struct Case {
    std::vector<FileExtent> extents;
    RunOutcome outcome;
    std::string message;
  };
  const Case cases[] = {
      {{{vob, 0, kPackSize}, {vob, size, kPackSize}},
       RunOutcome::Failed,
       "Cannot read file \"" + vob + "\". The file has " + std::to_string(size) +
           " bytes, but bytes " + std::to_string(size) + " to " + std::to_string(size + kPackSize) +
           " of it are to be read."},
      {{{vob, 0, kPackSize}, {missing, 0, kPackSize}},
       RunOutcome::Failed,
       "Cannot open file \"" + missing + "\". No such file or directory"},
  };
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  for (const Case& c : cases) {
    settings_.title->extents = c.extents;
    const std::pair<const char*, RunFunction> runs[] = {
        {"read", readRun}, {"demux", demuxRun}, {"rebuild", rebuildRun}};
    for (const auto& [name, run] : runs) {
      RecordingHost host;
      RunState state = state_;
      EXPECT_EQ(run(state, host, settings_), c.outcome) << name;
      EXPECT_EQ(host.lines.size(), 4u) << name << "\n" << host.transcript();
      EXPECT_TRUE(host.transcript().ends_with(c.message + "\nFailed.\n\n")) << name;
      EXPECT_TRUE(fs::is_empty(dir_ / "out")) << name;
    }
  }
}

TEST_F(TitleRunTest, RebuildWritesAVobOfTheTitlesCellsWithoutTheUncheckedStreams) {
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  state_.selection.selected[slotNumber({Family::Audio, 0})] = false;
  ASSERT_EQ(rebuildRun(state_, host_, settings_), RunOutcome::Done) << host_.transcript();
  const fs::path rebuilt = dir_ / "out" / "VTS_02_TITLE_3.rebuilt.VOB";
  // The DTS stream alone, renumbered to the first DTS identifier.
  RunState check;
  check.options.Details = false;
  RunSettings settings;
  settings.inputPath = rebuilt.string();
  settings.outputFolder = (dir_ / "out").string();
  RecordingHost host;
  ASSERT_EQ(readRun(check, host, settings), RunOutcome::Done);
  EXPECT_EQ(check.registry.audioIds[0], 0x88);
  EXPECT_EQ(check.registry.audioIds[1], -1);
  EXPECT_EQ(fs::file_size(rebuilt), 2 * kPackSize);
}

}  // namespace
}  // namespace korvell
