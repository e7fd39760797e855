#include "runs/rebuild_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "engine/packs.h"
#include "runs/demux_run.h"
#include "runs/read_run.h"
#include "runs/run_support.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::PsWriter;
using testing::RecordingHost;

std::vector<uint8_t> payload(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + (i * 7) % 200);
  return v;
}

// A two-file set: MPEG-2 video, AC-3 0x80, DTS 0x89 and subpictures 0x20 and 0x21, each in
// packs of its own; the first file starts with a navigation pack and its system header.
class RebuildRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.path();
    fs::create_directories(dir_ / "out");
    inputSize_ = 0;
    for (int file = 0; file < 2; ++file) {
      PsWriter ps;
      ps.packHeader().systemHeader(1, 2).navigationPacket(1, 0, 0).fillPack();
      for (int i = 0; i < rounds_; ++i) {
        const auto t = static_cast<uint32_t>(90000 + (file * rounds_ + i) * 3000);
        ps.packHeader().pes(0xE0, payload(1000, 1), {.pts = t, .dts = t}).fillPack();
        ps.packHeader().privateStream1(0x80, payload(700, 2), {.pts = t}).fillPack();
        ps.packHeader().privateStream1(0x89, payload(800, 3), {.pts = t}).fillPack();
        ps.packHeader().privateStream1(0x20, payload(100, 4), {.pts = t}).fillPack();
        ps.packHeader().privateStream1(0x21, payload(120, 5), {.pts = t}).fillPack();
      }
      testing::writeFileBytes(dir_ / (file == 0 ? "FEATURE_1.EVO" : "FEATURE_2.EVO"), ps.bytes());
      inputSize_ += ps.size();
    }
    settings_.inputPath = (dir_ / "FEATURE_1.EVO").string();
    settings_.outputFolder = (dir_ / "out").string();
    state_.options.Details = false;
    output_ = dir_ / "out" / "FEATURE_1_FEATURE_2.rebuilt.EVO";
  }

  void readAndUncheck() {
    ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
    state_.selection.selected[slotNumber({Family::Audio, 0})] = false;       // AC-3 0x80
    state_.selection.selected[slotNumber({Family::Subpicture, 0})] = false;  // subpicture 0x20
  }

  int rounds_ = 4;
  testing::TempFolder folder_;
  fs::path dir_;
  fs::path output_;
  uint64_t inputSize_ = 0;
  RunState state_;
  RecordingHost host_;
  RunSettings settings_;
};

TEST_F(RebuildRunTest, WritesBothFilesWithoutTheUncheckedStreams) {
  readAndUncheck();
  RecordingHost host;
  EXPECT_EQ(rebuildRun(state_, host, settings_), RunOutcome::Done);
  EXPECT_EQ(host.transcript(),
            "Opening file FEATURE_1.EVO\n"
            "File size: 0 Mbytes.\n"
            "Creating " +
                output_.string() +
                "\n"
                "Continue on FEATURE_2.EVO\n"
                "File size: 0 Mbytes.\n"
                "Done.\n"
                "\n");
  EXPECT_EQ(host.statusTexts[0], (std::vector<std::string>{"Opening", "Rebuilding FEATURE_1.EVO",
                                                           "Rebuilding FEATURE_2.EVO", "Ready"}));
  EXPECT_EQ(host.started, std::vector<RunKind>{RunKind::Rebuild});
  EXPECT_EQ(host.finished, std::vector<RunKind>{RunKind::Rebuild});

  const std::vector<uint8_t> rebuilt = testing::readFileBytes(output_);
  ASSERT_EQ(rebuilt.size(), inputSize_ - 2 * 2 * rounds_ * kPackSize);
  for (size_t at = 0; at < rebuilt.size(); at += kPackSize)
    ASSERT_EQ(rebuilt[at + 3], 0xBA) << at;
  // One video and one audio stream are left; the system headers of both files say so.
  for (size_t at : {size_t{0}, rebuilt.size() / 2}) {
    EXPECT_EQ(rebuilt[at + 24] & 0x1F, 1);
    EXPECT_EQ(rebuilt[at + 23] >> 2, 1);
  }

  // Re-reading the rebuilt file finds the kept streams, renumbered from 0.
  RunState again;
  again.options.Details = false;
  RecordingHost readHost;
  RunSettings reread = settings_;
  reread.inputPath = output_.string();
  EXPECT_EQ(readRun(again, readHost, reread), RunOutcome::Done);
  const std::string found = readHost.transcript();
  EXPECT_NE(found.find("[b]MPEG-2[/b] video stream 0 found!\n"
                       "[b]DTS HD (DTS)[/b] audio stream 0 found!\n"
                       "[b]Subpicture[/b] stream 0 found!\n"
                       "Done.\n"),
            std::string::npos)
      << found;
  EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), "Done."), 1);
  EXPECT_EQ(again.registry.audioIds[0], 0x88);
  EXPECT_EQ(again.registry.audioIds[1], -1);
  EXPECT_EQ(again.registry.subIds[0], 0x20);
  EXPECT_EQ(again.registry.subIds[1], -1);

  // Demuxing it gives the kept streams' bytes, as demuxing the source does.
  RunSettings demuxSource = settings_;
  demuxSource.outputFolder = (dir_ / "source").string();
  fs::create_directories(demuxSource.outputFolder);
  for (int number = 0; number < kSelectableSlots; ++number)
    state_.selection.selected[number] = state_.registry.registeredId(slotAt(number)) != -1;
  ASSERT_EQ(demuxRun(state_, host, demuxSource), RunOutcome::Done);
  RunSettings demuxRebuilt = reread;
  demuxRebuilt.outputFolder = (dir_ / "rebuilt").string();
  fs::create_directories(demuxRebuilt.outputFolder);
  ASSERT_EQ(demuxRun(again, readHost, demuxRebuilt), RunOutcome::Done);
  const fs::path s = demuxSource.outputFolder, r = demuxRebuilt.outputFolder;
  const auto video = testing::readFileBytes(s / "FEATURE_1_FEATURE_2.MPEG-2.stream.0.mpv");
  EXPECT_EQ(video.size(), 1000u * 2 * rounds_);
  EXPECT_EQ(testing::readFileBytes(r / "FEATURE_1_FEATURE_2.rebuilt.MPEG-2.stream.0.mpv"), video);
  const auto dts = testing::readFileBytes(s / "FEATURE_1_FEATURE_2.DTSHD.stream.01.mpa");
  EXPECT_EQ(dts.size(), 800u * 2 * rounds_);
  EXPECT_EQ(testing::readFileBytes(r / "FEATURE_1_FEATURE_2.rebuilt.DTSHD.stream.00.mpa"), dts);
  EXPECT_EQ(testing::readFileBytes(r / "FEATURE_1_FEATURE_2.rebuilt.Subpicture.00.sup"),
            testing::readFileBytes(s / "FEATURE_1_FEATURE_2.Subpicture.01.sup"));
}

TEST_F(RebuildRunTest, ASecondRunReplacesTheFirstOutput) {
  readAndUncheck();
  testing::writeFileBytes(output_, std::vector<uint8_t>(inputSize_ * 2, 0xEE));
  ASSERT_EQ(rebuildRun(state_, host_, settings_), RunOutcome::Done);
  const auto first = testing::readFileBytes(output_);
  ASSERT_EQ(first.size(), inputSize_ - 2 * 2 * rounds_ * kPackSize);
  ASSERT_EQ(rebuildRun(state_, host_, settings_), RunOutcome::Done);
  EXPECT_EQ(testing::readFileBytes(output_), first);  // renumbering starts afresh
}

TEST_F(RebuildRunTest, OneFileSetAndEmptyOutputFolder) {
  readAndUncheck();
  state_.options.Continue = false;
  settings_.outputFolder.clear();
  RecordingHost host;
  EXPECT_EQ(rebuildRun(state_, host, settings_), RunOutcome::Done);
  EXPECT_EQ(host.transcript().find("Continue on"), std::string::npos);
  EXPECT_EQ(fs::file_size(dir_ / "FEATURE_1.rebuilt.EVO"),
            fs::file_size(dir_ / "FEATURE_1.EVO") - 2 * rounds_ * kPackSize);
}

TEST_F(RebuildRunTest, CancelLeavesAPartialFileAndEndsTheRun) {
  rounds_ = 420;  // 2,101 packs per file: one event point, at 4 MiB in the first file
  SetUp();
  ASSERT_EQ(readRun(state_, host_, settings_), RunOutcome::Done);
  RecordingHost host;
  host.onEvents = [&](int) { requestCancel(state_, host); };
  EXPECT_EQ(rebuildRun(state_, host, settings_), RunOutcome::Cancelled);
  EXPECT_EQ(host.questions, std::vector<std::string>{"Are you sure to stop rebuilding?"});
  EXPECT_NE(host.transcript().find("Cancelled.\nDone.\n\n"), std::string::npos);
  EXPECT_EQ(host.transcript().find("Continue on"), std::string::npos);
  EXPECT_EQ(host.statusTexts[0].back(), "Ready");
  EXPECT_EQ(fs::file_size(output_), 4u * 1048576);  // every stream kept, up to the event point
  EXPECT_FALSE(host.cancelEnabled);
}

TEST_F(RebuildRunTest, FailuresEndWithTheirMessageAndNeverWithDone) {
  readAndUncheck();
  fs::create_symlink("/dev/full", output_);
  struct Case {
    std::string input, outputFolder;
    RunOutcome outcome;
    std::string message;
  };
  const std::string missing = (dir_ / "MISSING.EVO").string();
  const std::string nowhere = settings_.inputPath + "/out";  // under a file
  const Case cases[] = {
      {missing, settings_.outputFolder, RunOutcome::Failed,
       "Cannot open file \"" + missing + "\". No such file or directory"},
      {settings_.inputPath, nowhere, RunOutcome::Failed,
       "Cannot create folder \"" + nowhere + "\". Not a directory"},
      {settings_.inputPath, settings_.outputFolder, RunOutcome::Failed,
       "Cannot write file \"" + output_.string() + "\". No space left on device"},
  };
  for (const Case& c : cases) {
    RecordingHost host;
    RunSettings settings = settings_;
    settings.inputPath = c.input;
    settings.outputFolder = c.outputFolder;
    EXPECT_EQ(rebuildRun(state_, host, settings), c.outcome) << c.message;
    EXPECT_TRUE(host.transcript().ends_with(c.message + "\nFailed.\n\n")) << host.transcript();
    EXPECT_EQ(host.transcript().find("Done."), std::string::npos);
    EXPECT_EQ(host.statusTexts[0].back(), "Ready");
    EXPECT_EQ(host.finished, std::vector<RunKind>{RunKind::Rebuild});
  }
}

TEST_F(RebuildRunTest, AutoRebuildFollowsTheReadRun) {
  settings_.followOn = FollowOn::Rebuild;
  RecordingHost host;
  EXPECT_EQ(readRun(state_, host, settings_), RunOutcome::Done);
  EXPECT_EQ(host.finished, (std::vector<RunKind>{RunKind::Read, RunKind::Rebuild}));
  EXPECT_EQ(fs::file_size(output_), inputSize_);  // everything was selected
}

// The sample disc, with one audio and one subpicture stream removed, checked by the two
// external readers when they are installed.
TEST(RebuildSampleDisc, ExternalReadersSeeTheKeptStreams) {
  const testing::TempFolder folder;
  const fs::path root = folder.path();
  std::string error;
  ASSERT_TRUE(testing::writeSampleDisc(root.string(), KORVELL_SOURCE_DIR "/testdata", 0, &error))
      << error;
  RunState state;
  RecordingHost host;
  RunSettings settings;
  settings.inputPath = (root / "HVDVD_TS" / "FEATURE_1.EVO").string();
  ASSERT_EQ(readRun(state, host, settings), RunOutcome::Done);
  ASSERT_EQ(state.registry.audioIds[1], 0xB1);
  ASSERT_EQ(state.registry.subIds[0], 0x20);
  state.selection.selected[slotNumber({Family::Audio, 1})] = false;       // TrueHD
  state.selection.selected[slotNumber({Family::Subpicture, 0})] = false;  // subpicture 0x20
  ASSERT_EQ(rebuildRun(state, host, settings), RunOutcome::Done);
  const fs::path rebuilt = root / "HVDVD_TS" / "FEATURE_1_FEATURE_2.rebuilt.EVO";

  RunState again;
  RecordingHost readHost;
  RunSettings reread;
  reread.inputPath = rebuilt.string();
  ASSERT_EQ(readRun(again, readHost, reread), RunOutcome::Done);
  EXPECT_EQ(again.registry.videoIds[0], 0x55);
  EXPECT_EQ(again.registry.audioIds[0], 0xC0);
  EXPECT_EQ(again.registry.audioIds[1], 0x89);  // DTS 0x8A, the second kept audio stream
  EXPECT_EQ(again.registry.audioIds[2], -1);
  EXPECT_EQ(again.registry.subIds[0], 0x20);  // 0x21
  EXPECT_EQ(again.registry.subIds[1], -1);
  std::printf("%s", readHost.transcript().c_str());

  if (testing::runCommand("command -v ffprobe").output.empty() ||
      testing::runCommand("command -v mkvmerge").output.empty()) {
    GTEST_SKIP() << "ffprobe or mkvmerge is not installed";
  }
  const std::string probe =
      testing::runCommand(
          "ffprobe -v error -show_entries stream=index,id,codec_name,codec_type -of csv=p=0 '" +
          rebuilt.string() + "'")
          .output;
  std::printf("ffprobe:\n%s", probe.c_str());
  const std::string identify = testing::runCommand("mkvmerge -i '" + rebuilt.string() + "'").output;
  std::printf("mkvmerge:\n%s", identify.c_str());
  EXPECT_NE(probe.find("eac3"), std::string::npos);
  EXPECT_NE(probe.find("dts"), std::string::npos);
  EXPECT_EQ(probe.find("truehd"), std::string::npos);
  EXPECT_NE(identify.find("E-AC-3"), std::string::npos);
  EXPECT_NE(identify.find("DTS"), std::string::npos);
  EXPECT_EQ(identify.find("TrueHD"), std::string::npos);
  fs::remove_all(root);
}

}  // namespace
}  // namespace korvell
