// Every run against the faults a disk can have, on files in memory: no root, no mounts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runs/demux_run.h"
#include "runs/read_run.h"
#include "runs/rebuild_run.h"
#include "testing/memory_file_system.h"
#include "testing/recording_host.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;
using RunFunction = RunOutcome (*)(RunState&, RunHost&, const RunSettings&);

const std::string kFirst = "/disc/HVDVD_TS/FEATURE_1.EVO";
const std::string kSecond = "/disc/HVDVD_TS/FEATURE_2.EVO";

// The sample disc's two files, in memory.
void addSampleDisc(MemoryFileSystem& files) {
  const testing::TempFolder folder;
  std::string error;
  ASSERT_TRUE(testing::writeSampleDisc(folder.path().string(),
                                       std::string(KORVELL_SOURCE_DIR) + "/testdata", 0, &error))
      << error;
  files.add(kFirst, testing::readFileBytes(folder / "HVDVD_TS/FEATURE_1.EVO"));
  files.add(kSecond, testing::readFileBytes(folder / "HVDVD_TS/FEATURE_2.EVO"));
}

bool logged(const RecordingHost& host, const std::string& line) {
  for (const auto& l : host.lines) {
    if (l == line) return true;
  }
  return false;
}

TEST(FileFaults, EveryRunEndsWithTheFaultsMessageClosesItsFilesAndNeverSaysDone) {
  struct Case {
    const char* fault;
    void (*inject)(MemoryFileSystem&);
    bool read, demux, rebuild;  // the runs the fault touches
    RunOutcome outcome;
    std::string message;
  };
  const std::string shrunk = "Cannot read file \"" + kFirst +
                             "\". The file became shorter while it was read: it ended at byte "
                             "262144 of 311296.";
  const Case cases[] = {
      {"unreadable first file",
       [](MemoryFileSystem& f) { f.refuseOpen(kFirst, "Permission denied"); }, true, true, true,
       RunOutcome::Failed, "Cannot open file \"" + kFirst + "\". Permission denied"},
      {"second file gone", [](MemoryFileSystem& f) { f.refuseOpen(kSecond, "No such file"); }, true,
       true, true, RunOutcome::Failed, "Cannot open file \"" + kSecond + "\". No such file"},
      {"read error in the second block",
       [](MemoryFileSystem& f) { f.failRead(kFirst, 2, "Input/output error"); }, true, true, true,
       RunOutcome::Failed, "Cannot read file \"" + kFirst + "\". Input/output error"},
      {"file cut while read", [](MemoryFileSystem& f) { f.shrinkAfterRead(kFirst, 1, 100000); },
       true, true, true, RunOutcome::Failed, shrunk},
      {"read-only output folder",
       [](MemoryFileSystem& f) { f.refuseCreate("/out/", "Read-only file system"); }, false, true,
       true, RunOutcome::Failed, "\". Read-only file system"},
      {"disk full after 100,000 bytes", [](MemoryFileSystem& f) { f.limitSpace("/out/", 100000); },
       false, true, true, RunOutcome::Failed, "\". No space left on device"},
  };
  const std::pair<const char*, RunFunction> runs[] = {
      {"read", readRun}, {"demux", demuxRun}, {"rebuild", rebuildRun}};
  for (const Case& c : cases) {
    for (const auto& [runName, run] : runs) {
      const bool touched = runName == std::string("read")    ? c.read
                           : runName == std::string("demux") ? c.demux
                                                             : c.rebuild;
      MemoryFileSystem files;
      addSampleDisc(files);
      RunState state;
      RunSettings settings;
      settings.inputPath = kFirst;
      settings.outputFolder = "/out";
      settings.files = &files;
      RecordingHost reading;
      ASSERT_EQ(readRun(state, reading, settings), RunOutcome::Done);
      c.inject(files);
      RecordingHost host;
      const RunOutcome outcome = run(state, host, settings);
      const std::string where = std::string(c.fault) + ", " + runName;
      EXPECT_EQ(files.openFiles(), 0) << where;
      if (!touched) {
        EXPECT_EQ(outcome, RunOutcome::Done) << where;
        continue;
      }
      EXPECT_EQ(outcome, c.outcome) << where << "\n" << host.transcript();
      bool found = false;
      for (const auto& line : host.lines)
        found = found || line.find(c.message) != std::string::npos;
      EXPECT_TRUE(found) << where << "\n" << host.transcript();
      EXPECT_FALSE(logged(host, "Done.")) << where;
      EXPECT_EQ(host.statusTexts[0].back(), "Ready") << where;
      EXPECT_FALSE(host.cancelEnabled) << where;
    }
  }
}

TEST(FileFaults, ADiskThatFillsKeepsWhatFitAndTheOtherFilesWhole) {
  MemoryFileSystem files;
  addSampleDisc(files);
  RunState state;
  RunSettings settings;
  settings.inputPath = kFirst;
  settings.outputFolder = "/out";
  settings.files = &files;
  RecordingHost host;
  ASSERT_EQ(readRun(state, host, settings), RunOutcome::Done);
  ASSERT_EQ(demuxRun(state, host, settings), RunOutcome::Done);
  const std::string audio = "/out/FEATURE_1_FEATURE_2.DD+.stream.00.mpa";
  const std::vector<uint8_t> whole = *files.file(audio);
  files.limitSpace(audio, 1000);
  RecordingHost full;
  EXPECT_EQ(demuxRun(state, full, settings), RunOutcome::Failed);
  EXPECT_TRUE(logged(full, "Cannot write file \"" + audio + "\". No space left on device"));
  // The pass stops at its next poll: the file holds the bytes that fitted, in order.
  const std::vector<uint8_t>& partial = *files.file(audio);
  EXPECT_EQ(partial.size(), 1000u);
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), whole.begin()));
  EXPECT_EQ(files.openFiles(), 0);
}

}  // namespace
}  // namespace korvell
