// The mux step against a fake mkvmerge: what reaches the host, the exit codes, Cancel.
#include "mux/mkvmerge_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "report/markup.h"
#include "testing/fake_process.h"
#include "testing/memory_file_system.h"
#include "testing/recording_host.h"

namespace korvell {
namespace {

using std::chrono::milliseconds;

constexpr const char* kOptions = "/tmp/k/mkvmerge.json";
constexpr const char* kOutput = "/out/F.mkv";

MuxDescription description() {
  MuxDescription d;
  d.outputPath = kOutput;
  d.tracks = {{Family::Video, "/tmp/k/v.m2v", "", "", true, 0},
              {Family::Audio, "/tmp/k/a.ac3", "en", "English AC-3", true, 200}};
  return d;
}

class MkvmergeRun : public ::testing::Test {
 protected:
  MuxOutcome run(milliseconds grace = milliseconds{50}) {
    return muxWithMkvmerge(stop_, host_, launcher_, files_, description(), kOptions, grace);
  }
  bool logged(const std::string& line) const {
    return std::find(host_.lines.begin(), host_.lines.end(), line) != host_.lines.end();
  }
  // The fake mkvmerge makes its output file when it starts writing.
  void writesOutputAtFirstRead() {
    launcher_.onRead = [this](int read) {
      if (read == 1) files_.add(kOutput, {0x1A, 0x45, 0xDF, 0xA3});
    };
  }

  StopToken stop_;
  testing::RecordingHost host_;
  testing::FakeLauncher launcher_;
  testing::MemoryFileSystem files_;
};

TEST_F(MkvmergeRun, ProgressReachesTheStatusPanel) {
  launcher_.script.chunks = {"mkvmerge v74.0.0 ('You Oughta Know') 64-bit\n#GUI#prog",
                             "ress 6%\n#GUI#progress 6%\n", "#GUI#progress 45%\n",
                             "#GUI#progress 100%\n#GUI#progress 100%\nMultiplexing took 1 second."};
  writesOutputAtFirstRead();
  EXPECT_EQ(run(), MuxOutcome::Done);

  // Started as "mkvmerge @file", never through a shell, with the file written first.
  ASSERT_EQ(launcher_.starts.size(), 1u);
  EXPECT_EQ(launcher_.starts[0],
            (std::vector<std::string>{"/usr/bin/mkvmerge", std::string("@") + kOptions}));
  EXPECT_EQ(launcher_.environments[0], std::vector<std::string>{"LC_ALL=C.UTF-8"});
  const std::vector<uint8_t>* options = files_.file(kOptions);
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(std::string(options->begin(), options->end()).substr(0, 17), "[\n  \"--gui-mode\",");

  EXPECT_EQ(host_.statusTexts[0], std::vector<std::string>{"Muxing F.mkv"});
  EXPECT_EQ(host_.statusTexts[1],
            (std::vector<std::string>{"Muxing 0%", "Muxing 6%", "Muxing 45%", "Muxing 100%"}));
  EXPECT_EQ(host_.lines, (std::vector<std::string>{std::string("Creating ") + kOptions,
                                                   std::string("Muxing ") + kOutput}));
  EXPECT_GE(host_.eventPoints, 4);  // events processed after every read
  EXPECT_FALSE(host_.cancelEnabled);
  EXPECT_NE(files_.file(kOutput), nullptr);
  EXPECT_EQ(launcher_.processesAlive, 0);
}

TEST_F(MkvmergeRun, WarningsAndExitCodeOne) {
  launcher_.script.chunks = {
      "#GUI#progress 100%\n#GUI#warning 'a.ac3' track 0: This audio track contains 1558 bytes "
      "of invalid data [which] were skipped\n",
      "Warning: second [b]warning[/b]\n"};
  launcher_.script.exit = ExitStatus::exited(1);
  writesOutputAtFirstRead();
  EXPECT_EQ(run(), MuxOutcome::DoneWithWarnings);
  EXPECT_TRUE(
      logged("mkvmerge warning: 'a.ac3' track 0: This audio track contains 1558 bytes "
             "of invalid data [[which] were skipped"));
  EXPECT_TRUE(logged("mkvmerge warning: second [[b]warning[[/b]"));
  EXPECT_EQ(host_.lines.back(), "mkvmerge finished with warnings.");
  EXPECT_TRUE(host_.errors.empty());  // warnings are no failure
  for (const std::string& line : host_.lines)
    EXPECT_EQ(markupProblem(line), "") << line;
  EXPECT_NE(files_.file(kOutput), nullptr);
}

TEST_F(MkvmergeRun, ErrorsAndExitCodeTwo) {
  launcher_.script.chunks = {
      "'a.ac3': Using the demultiplexer for the format 'AC-3'.\n#GUI#progress 30%\n",
      "#GUI#error The file '/out/F.mkv' could not be opened for writing: open file error.\n"};
  launcher_.script.exit = ExitStatus::exited(2);
  writesOutputAtFirstRead();
  EXPECT_EQ(run(), MuxOutcome::Failed);
  EXPECT_TRUE(muxFailed(MuxOutcome::Failed));
  const std::vector<std::string> tail(host_.lines.end() - 3, host_.lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "mkvmerge error: The file '/out/F.mkv' could not be opened for writing: "
                      "open file error.",
                      "mkvmerge failed with exit code 2.", std::string("Removing ") + kOutput}));
  EXPECT_EQ(host_.errors, std::vector<std::string>(tail.begin(), tail.end() - 1));
  EXPECT_EQ(files_.file(kOutput), nullptr);  // the partial file is gone
}

// Without an error line (a crash, a message before --gui-mode) the last plain lines show why.
TEST_F(MkvmergeRun, AnEndWithoutAnErrorLineShowsThePlainLines) {
  launcher_.script.chunks = {
      "terminate called after throwing an instance of 'std::runtime_error'"
      "\n  what():  locale::facet::_S_create_c_locale name not valid"};
  launcher_.script.exit = ExitStatus::signalled(6);
  files_.add(kOutput, {1, 2, 3});  // the user's file, which mkvmerge never reached
  EXPECT_EQ(run(), MuxOutcome::Failed);
  EXPECT_TRUE(
      logged("mkvmerge: terminate called after throwing an instance of "
             "'std::runtime_error'"));
  EXPECT_TRUE(logged("mkvmerge:   what():  locale::facet::_S_create_c_locale name not valid"));
  EXPECT_EQ(host_.lines.back(), "mkvmerge was ended by signal 6.");
  EXPECT_NE(files_.file(kOutput), nullptr);  // existed before and no progress: kept
}

TEST_F(MkvmergeRun, CancelEndsMkvmergeAndRemovesThePartialFile) {
  launcher_.script.chunks = {"#GUI#progress 10%\n", "#GUI#progress 20%\n"};
  launcher_.script.hangs = true;
  writesOutputAtFirstRead();
  host_.onEvents = [this](int point) {
    EXPECT_TRUE(host_.cancelEnabled);
    if (point == 5) stop_.request(StopReason::UserCancel);
  };
  stop_.request(StopReason::FastCheckLimit);  // left from an earlier pass: cleared
  EXPECT_EQ(run(), MuxOutcome::Cancelled);
  EXPECT_EQ(launcher_.terminations, 1);
  EXPECT_EQ(launcher_.kills, 0);
  EXPECT_EQ(host_.eventPoints, 5);
  EXPECT_EQ(files_.file(kOutput), nullptr);
  EXPECT_EQ(host_.lines.back(), std::string("Removing ") + kOutput);
  EXPECT_EQ(host_.statusTexts[1].back(), "Muxing 20%");
  EXPECT_FALSE(host_.cancelEnabled);
  EXPECT_EQ(launcher_.processesAlive, 0);
}

// A stop asked for after mkvmerge ended, before the step saw it end: the finished file stays.
TEST_F(MkvmergeRun, AStopAfterMkvmergeEndedKeepsItsFile) {
  launcher_.script.chunks = {"#GUI#progress 100%\n"};  // its last line, then it exits with 0
  writesOutputAtFirstRead();
  host_.onEvents = [this](int) { stop_.request(StopReason::UserCancel); };
  EXPECT_EQ(run(), MuxOutcome::Done);
  EXPECT_NE(files_.file(kOutput), nullptr);
  EXPECT_EQ(host_.lines.back(), "mkvmerge had finished before the stop: its file is kept.");
}

TEST_F(MkvmergeRun, AProcessThatIgnoresSigtermIsKilledAfterTheGrace) {
  launcher_.script.chunks = {"#GUI#progress 10%\n"};
  launcher_.script.hangs = true;
  launcher_.script.ignoresTerm = true;
  writesOutputAtFirstRead();
  host_.onEvents = [this](int point) {
    if (point == 2) stop_.request(StopReason::UserCancel);
  };
  EXPECT_EQ(run(milliseconds{150}), MuxOutcome::Cancelled);
  EXPECT_EQ(launcher_.terminations, 1);
  EXPECT_EQ(launcher_.kills, 1);
  EXPECT_EQ(files_.file(kOutput), nullptr);
}

TEST_F(MkvmergeRun, MkvmergeMissing) {
  launcher_.program.reset();
  EXPECT_EQ(run(), MuxOutcome::NotFound);
  EXPECT_TRUE(muxFailed(MuxOutcome::NotFound));
  EXPECT_EQ(host_.lines, std::vector<std::string>{"mkvmerge was not found; install MKVToolNix"});
  EXPECT_EQ(host_.errors, host_.lines);
  EXPECT_EQ(launcher_.lookedUp, std::vector<std::string>{"mkvmerge"});
  EXPECT_TRUE(launcher_.starts.empty());
  EXPECT_EQ(files_.file(kOptions), nullptr);  // nothing written either
}

TEST_F(MkvmergeRun, NothingStartsWhenTheOptionFileCannotBeWritten) {
  files_.refuseCreate("/tmp/k/", "No space left on device");
  EXPECT_EQ(run(), MuxOutcome::Failed);
  EXPECT_EQ(host_.lines, std::vector<std::string>{std::string("Cannot create file \"") + kOptions +
                                                  "\". No space left on device"});
  EXPECT_TRUE(launcher_.starts.empty());
}

TEST_F(MkvmergeRun, AStartThatFailsIsReported) {
  launcher_.startError = "Permission denied";
  EXPECT_EQ(run(), MuxOutcome::Failed);
  EXPECT_EQ(host_.lines.back(), "Cannot start mkvmerge. Permission denied");
  EXPECT_EQ(host_.errors, std::vector<std::string>{host_.lines.back()});
  EXPECT_FALSE(host_.cancelEnabled);
}

}  // namespace
}  // namespace korvell
