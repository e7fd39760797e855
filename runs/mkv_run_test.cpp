// The Matroska run with a scripted mkvmerge: what it is given, and how the run ends on each of
// mkvmerge's endings, with its temporary folder gone every time unless it is to be kept.
#include "runs/mkv_run.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runs/read_run.h"
#include "testing/fake_process.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::FakeLauncher;
using testing::RecordingHost;

// An HD DVD file: MPEG-2 video from PTS 9000, E-AC-3 0xC0 from 9000 + 450 (5 ms later) and
// 0xC1 from 9000, an extended subpicture stream.
class MkvRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.path();
    fs::create_directories(dir_ / "out");
    testing::PsWriter ps;
    std::vector<uint8_t> video = {0, 0, 1, 0xB3, 0x16, 0x01, 0x20, 0x13};
    video.resize(400, 0x55);
    for (uint32_t i = 0; i < 3; ++i) {
      const uint32_t base = 9000 + i * 3600;
      ps.packHeader().pes(0xE0, video, {.pts = base, .dts = base}).fillPack();
      ps.packHeader().privateStream1(0xC0, std::vector<uint8_t>(200, 0x0B), {.pts = base + 450});
      ps.fillPack();
      ps.packHeader().privateStream1(0xC1, std::vector<uint8_t>(200, 0x0C), {.pts = base});
      ps.fillPack();
    }
    input_ = (dir_ / "FEATURE_1.EVO").string();
    testing::writeFileBytes(input_, ps.bytes());
    settings_.inputPath = input_;
    settings_.outputFolder = (dir_ / "out").string();
    state_.options.Details = false;
    RecordingHost read;
    ASSERT_EQ(readRun(state_, read, settings_), RunOutcome::Done);
    request_.launcher = &launcher_;
    title_.name = "Feature";
    title_.streams = {{Family::Audio, -1, 0, "en", "English"}, {Family::Audio, -1, 1, "fr", ""}};
    title_.chapters = {{0, "Opening", "en"}};
    request_.playlistTitle = &title_;
  }

  // The arguments of the option file mkvmerge was started with.
  std::vector<std::string> options() const {
    if (launcher_.starts.empty() || launcher_.starts[0].size() < 2) return {};
    const std::string at = launcher_.starts[0].back();
    const std::vector<uint8_t> bytes = testing::readFileBytes(at.substr(1));
    return nlohmann::json::parse(bytes.begin(), bytes.end()).get<std::vector<std::string>>();
  }

  bool temporaryFolderLeft() const {
    for (const auto& entry : fs::directory_iterator(dir_ / "out"))
      if (entry.path().filename().string().find(".mkv-parts") != std::string::npos) return true;
    return false;
  }

  testing::TempFolder folder_;
  fs::path dir_;
  std::string input_;
  RunState state_;
  RunSettings settings_;
  FakeLauncher launcher_;
  Title title_;
  MkvRequest request_;
};

TEST_F(MkvRunTest, OneMkvmergeCallWithTheTracksOfThePlan) {
  request_.keepTemp = true;  // the option file is kept beside the output
  launcher_.script.chunks = {"#GUI#progress 40%\n", "#GUI#progress 100%\n"};
  RecordingHost host;
  ASSERT_EQ(mkvRun(state_, host, settings_, request_), RunOutcome::Done) << host.transcript();
  ASSERT_EQ(launcher_.starts.size(), 1u);
  const std::string out = (dir_ / "out" / "FEATURE_1").string();
  EXPECT_EQ(launcher_.starts[0].back(), "@" + out + ".mkvmerge.json");
  const std::vector<std::string> args = options();
  const auto at = [&](const std::string& what) {
    return std::find(args.begin(), args.end(), what) - args.begin();
  };
  ASSERT_LT(at("-o"), static_cast<long>(args.size()));
  EXPECT_EQ(args[static_cast<size_t>(at("-o")) + 1], out + ".mkv");
  EXPECT_EQ(args[static_cast<size_t>(at("--title")) + 1], "Feature");
  // Video first, then the audio tracks by slot: languages and names from the title, the
  // first audio track the default one, synced by its 5 ms.
  EXPECT_LT(at("0:eng"), at("0:fre"));
  EXPECT_NE(std::find(args.begin(), args.end(), "0:English"), args.end());
  EXPECT_NE(std::find(args.begin(), args.end(), "0:5"), args.end());
  EXPECT_EQ(std::count(args.begin(), args.end(), "0:yes"), 2);
  // The chapters went into the temporary folder, which is kept.
  const auto chapters = at("--chapters");
  ASSERT_LT(chapters, static_cast<long>(args.size()));
  EXPECT_TRUE(fs::exists(args[static_cast<size_t>(chapters) + 1]));
  EXPECT_TRUE(temporaryFolderLeft());
  EXPECT_EQ(host.statusTexts[1].back(), "");
  EXPECT_NE(std::find(host.statusTexts[1].begin(), host.statusTexts[1].end(), "Muxing 40%"),
            host.statusTexts[1].end());
  EXPECT_EQ(host.lines.end()[-2], "Done.");
  EXPECT_EQ(state_.written.others.back(), (OutputFile{out + ".mkv", FileForm::Matroska}));
}

TEST_F(MkvRunTest, EveryEndingRemovesTheTemporaryFolder) {
  struct Case {
    const char* name;
    testing::FakeScript script;
    bool cancel;
    RunOutcome outcome;
    const char* line;
  };
  const Case cases[] = {
      {"done", {{"#GUI#progress 100%\n"}, ExitStatus::exited(0)}, false, RunOutcome::Done, "Done."},
      {"warnings",
       {{"#GUI#warning Something odd.\n"}, ExitStatus::exited(1)},
       false,
       RunOutcome::Done,
       "mkvmerge warning: Something odd."},
      {"error",
       {{"#GUI#error It broke.\n"}, ExitStatus::exited(2)},
       false,
       RunOutcome::MuxFailed,
       "mkvmerge error: It broke."},
      {"cancel", {{}, ExitStatus::exited(0), true}, true, RunOutcome::Cancelled, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    launcher_.script = c.script;
    RecordingHost host;
    if (c.cancel) {
      const int before = launcher_.reads;  // the launcher counts the reads of every case
      launcher_.onRead = [&, before](int read) {
        if (read == before + 3) state_.stop.request(StopReason::UserCancel);
      };
    }
    EXPECT_EQ(mkvRun(state_, host, settings_, request_), c.outcome) << host.transcript();
    launcher_.onRead = nullptr;
    if (*c.line != '\0') {
      EXPECT_NE(std::find(host.lines.begin(), host.lines.end(), c.line), host.lines.end())
          << host.transcript();
    }
    EXPECT_FALSE(temporaryFolderLeft()) << host.transcript();
    EXPECT_EQ(host.finished, std::vector<RunKind>{RunKind::Matroska});  // its Demux step inside
  }
  EXPECT_EQ(launcher_.terminations, 1);
}

TEST_F(MkvRunTest, NoMkvmergeNoWork) {
  launcher_.program.reset();
  RecordingHost host;
  EXPECT_EQ(mkvRun(state_, host, settings_, request_), RunOutcome::MuxFailed);
  EXPECT_EQ(host.lines, (std::vector<std::string>{"mkvmerge was not found; install MKVToolNix",
                                                  "Failed.", ""}));
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
  EXPECT_EQ(defaultMkvPath(settings_, state_.options.Continue),
            (dir_ / "out" / "FEATURE_1.mkv").string());
}

}  // namespace
}  // namespace korvell
