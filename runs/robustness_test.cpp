// Damaged, hostile and vanishing inputs, and outputs that cannot be written: what each run
// does, end to end through the real files. Every test also checks that the run closed every
// file it opened.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/byte_io.h"
#include "engine/packs.h"
#include "engine/walker.h"
#include "report/display_text.h"
#include "runs/demux_run.h"
#include "runs/playlist_run.h"
#include "runs/read_run.h"
#include "runs/rebuild_run.h"
#include "runs/run_state.h"
#include "runs/run_support.h"
#include "testing/memory_outputs.h"
#include "testing/pass_values.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::RecordingHost;

constexpr uint64_t kMib = 1048576;

using RunFunction = RunOutcome (*)(RunState&, RunHost&, const RunSettings&);

std::vector<uint8_t> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::string readFileText(const fs::path& path) {
  const std::vector<uint8_t> bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

size_t openDescriptors() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

bool logged(const RecordingHost& host, const std::string& text) {
  return host.transcript().find(text) != std::string::npos;
}

std::string testdata() {
  return std::string(KORVELL_SOURCE_DIR) + "/testdata";
}

class Robustness : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = folder_.path();
    fs::create_directories(root_ / "out");
    descriptors_ = openDescriptors();
  }
  void TearDown() override {
    EXPECT_EQ(openDescriptors(), descriptors_) << "a run left a file open";
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }

  // The sample disc; feature1Size 0 keeps its natural size.
  std::string writeDisc(uint64_t feature1Size = 0) {
    std::string error;
    EXPECT_TRUE(testing::writeSampleDisc(root_.string(), testdata(), feature1Size, &error))
        << error;
    return (root_ / "HVDVD_TS" / "FEATURE_1.EVO").string();
  }
  RunSettings settingsFor(const std::string& input) {
    RunSettings settings;
    settings.inputPath = input;
    settings.outputFolder = (root_ / "out").string();
    return settings;
  }

  testing::TempFolder folder_;
  fs::path root_;
  size_t descriptors_ = 0;
  RunState state_;
  RecordingHost host_;
};

TEST_F(Robustness, EmptyAndOneByteFilesAreReadAsHoldingNoStream) {
  for (size_t size : {0u, 1u}) {
    const fs::path input = root_ / "TINY_1.EVO";
    writeFile(input, std::vector<uint8_t>(size, 0x00));
    RecordingHost host;
    RunSettings settings = settingsFor(input.string());
    settings.followOn = FollowOn::Demux;
    EXPECT_EQ(readRun(state_, host, settings), RunOutcome::NoStreamFound);
    EXPECT_TRUE(host.transcript().ends_with(
        "File size: 0 Mbytes.\nNo stream found in TINY_1.EVO.\nFailed.\n\n"))
        << host.transcript();
    EXPECT_EQ(host.started, std::vector<RunKind>{RunKind::Read});  // no follow-on run
    EXPECT_TRUE(fs::is_empty(root_ / "out"));
    EXPECT_EQ(rebuildRun(state_, host, settings), RunOutcome::Done);
    EXPECT_EQ(fs::file_size(root_ / "out" / "TINY_1.rebuilt.EVO"), 0u);
    fs::remove(root_ / "out" / "TINY_1.rebuilt.EVO");
  }
}

// The first pack of every stream, cut at every byte of its pack header, PES header,
// substream header and the start of the codec header; and the first pack (system header,
// navigation packet) cut everywhere. A cut file reports a subset of the streams, and demuxes
// to a beginning of each stream.
TEST_F(Robustness, AFileCutInsideEveryHeaderFieldGivesABeginningOfEachStream) {
  const std::vector<uint8_t> disc = readFile(writeDisc());
  std::vector<size_t> cuts;
  for (size_t n = 0; n <= kPackSize; ++n)
    cuts.push_back(n);
  std::map<int, size_t> firstPack;  // stream id (substream id for private stream 1) -> offset
  for (size_t p = kPackSize; p + kPackSize <= disc.size(); p += kPackSize) {
    const uint8_t id = disc[p + 17];
    const int key = id == 0xBD ? disc[p + 14 + 9 + disc[p + 22]] : id;
    firstPack.emplace(key, p);
  }
  ASSERT_GE(firstPack.size(), 6u);  // video, four audio kinds, subpictures
  size_t end = 0;
  for (const auto& [key, p] : firstPack) {
    for (size_t n = p; n <= p + 96; ++n)
      cuts.push_back(n);
    end = std::max(end, p + kPackSize);
  }

  auto walk = [&](size_t size, WalkMode mode, testing::PassValues& state,
                  std::array<MemorySink, kSelectableSlots>& sinks) {
    RecordingHost host;
    MemorySource source(disc.data(), size);
    state.selection.selected.fill(true);
    testing::MemoryOutputs outputs;
    for (int i = 0; i < kSelectableSlots; ++i) {
      outputs.attach(state.sinks, state.results, slotAt(i), sinks[static_cast<size_t>(i)]);
    }
    EXPECT_TRUE(demux(state.walker(source), host, mode).ok());
  };
  testing::PassValues whole;
  std::array<MemorySink, kSelectableSlots> wholeOut;
  walk(end, WalkMode::Demux, whole, wholeOut);
  for (size_t n : cuts) {
    SCOPED_TRACE("cut at byte " + std::to_string(n));
    testing::PassValues scan;
    std::array<MemorySink, kSelectableSlots> unused;
    walk(n, WalkMode::Scan, scan, unused);
    for (int i = 0; i < kSelectableSlots; ++i) {
      const int32_t id = scan.registry.registeredId(slotAt(i));
      if (id != -1) {
        EXPECT_EQ(id, whole.registry.registeredId(slotAt(i)));
      }
    }
    testing::PassValues cut;
    std::array<MemorySink, kSelectableSlots> cutOut;
    walk(n, WalkMode::Demux, cut, cutOut);
    for (size_t i = 0; i < cutOut.size(); ++i) {
      const auto& got = cutOut[i].bytes();
      const auto& full = wholeOut[i].bytes();
      ASSERT_LE(got.size(), full.size());
      EXPECT_TRUE(std::equal(got.begin(), got.end(), full.begin())) << "slot " << i;
    }
  }
}

// A PES_packet_length of 0 carries no payload; the walk goes on with the next start code.
TEST_F(Robustness, PesPacketLengthZeroIsSkippedAndTheNextPacketIsFound) {
  testing::PsWriter ps;
  const std::vector<uint8_t> payload(64, 0x5A);
  ps.packHeader().pesWithLength(0xE0, 0, {}).pesWithLength(0xBD, 0, {}).fillPack();
  ps.packHeader().privateStream1(0x80, payload, {.pts = 0x1234}).fillPack();
  const fs::path input = root_ / "ZERO_1.EVO";
  writeFile(input, ps.bytes());
  RunSettings settings = settingsFor(input.string());
  settings.followOn = FollowOn::Demux;
  EXPECT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  EXPECT_TRUE(logged(host_, "[b]Dolby Digital[/b] audio stream 0 found!"));
  EXPECT_EQ(readFile(root_ / "out" / "ZERO_1.DD.stream.00.mpa"), payload);
}

TEST_F(Robustness, HundredMebibytesOfRandomBytesAreReadAndDemuxedToTheEnd) {
  const fs::path input = root_ / "NOISE_1.EVO";
  {
    std::vector<uint8_t> block(kMib);
    std::mt19937_64 random(8);
    std::ofstream out(input, std::ios::binary);
    for (int i = 0; i < 100; ++i) {
      for (size_t j = 0; j < block.size(); j += 8) {
        const uint64_t word = random();
        std::memcpy(block.data() + j, &word, 8);
      }
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(kMib));
    }
  }
  RunSettings settings = settingsFor(input.string());
  // Noise holds no stream, as far as the Read run reads; the Demux run walks it all the same.
  EXPECT_EQ(readRun(state_, host_, settings), RunOutcome::NoStreamFound);
  EXPECT_TRUE(logged(host_, "File size: 100 Mbytes."));
  EXPECT_EQ(demuxRun(state_, host_, settings), RunOutcome::Done);
  EXPECT_EQ(host_.eventPoints, 2 * 25);  // every 4 MiB of both passes: nothing stopped early
  EXPECT_EQ(std::count(host_.lines.begin(), host_.lines.end(), "Done."), 1);
  uint64_t written = 0;
  for (const auto& entry : fs::directory_iterator(root_ / "out"))
    written += entry.file_size();
  EXPECT_LT(written, 100 * kMib);
}

// Both files of the set hold the 12 MiB first file of the sample disc, so that each has
// event points (every 4 MiB) at which the tests act.
class LargeSet : public Robustness {
 protected:
  void SetUp() override {
    Robustness::SetUp();
    const std::string disc = writeDisc(12 * kMib);
    fs::create_directories(root_ / "SET");
    first_ = root_ / "SET" / "BIG_1.EVO";
    second_ = root_ / "SET" / "BIG_2.EVO";
    fs::copy_file(disc, first_);
    fs::copy_file(disc, second_);
  }
  // A Read run with the stream boxes left as it fills them.
  void read() {
    RecordingHost host;
    ASSERT_EQ(readRun(state_, host, settingsFor(first_.string())), RunOutcome::Done);
  }
  fs::path first_, second_;
};

TEST_F(LargeSet, AFileThatShrinksDuringAnyRunIsAReadFailureWithoutDone) {
  for (RunFunction run : {RunFunction{readRun}, RunFunction{demuxRun}, RunFunction{rebuildRun}}) {
    fs::copy_file(second_, first_, fs::copy_options::overwrite_existing);
    read();
    RecordingHost host;
    host.onEvents = [&](int point) {
      if (point == 1) fs::resize_file(first_, 5 * kMib + 100);
    };
    EXPECT_EQ(run(state_, host, settingsFor(first_.string())), RunOutcome::Failed);
    EXPECT_TRUE(logged(host, "Cannot read file \"" + first_.string() +
                                 "\". The file became shorter while it was read: it ended at "
                                 "byte 5242980 of " +
                                 std::to_string(fs::file_size(second_)) + "."))
        << host.transcript();
    EXPECT_FALSE(logged(host, "Done."));
    EXPECT_FALSE(logged(host, "Continue on"));
    EXPECT_FALSE(host.cancelEnabled);
    EXPECT_EQ(host.statusTexts[0].back(), "Ready");
    EXPECT_EQ(host.finished.size(), 1u);
  }
}

// An open file stays readable after it is deleted, so the run reads it to its end.
TEST_F(LargeSet, AFileDeletedDuringTheDemuxRunIsStillDemuxedWhole) {
  read();
  RecordingHost calm;
  ASSERT_EQ(demuxRun(state_, calm, settingsFor(first_.string())), RunOutcome::Done);
  std::map<std::string, std::vector<uint8_t>> expected;
  for (const auto& entry : fs::directory_iterator(root_ / "out")) {
    expected[entry.path().filename().string()] = readFile(entry.path());
  }
  fs::remove_all(root_ / "out");
  fs::create_directories(root_ / "out");
  host_.onEvents = [&](int point) {
    if (point == 1) fs::remove(first_);
    if (point == 5) fs::remove(second_);  // the second file's first event point
  };
  EXPECT_EQ(demuxRun(state_, host_, settingsFor(first_.string())), RunOutcome::Done);
  for (const auto& [name, bytes] : expected)
    EXPECT_EQ(readFile(root_ / "out" / name), bytes);
}

TEST_F(Robustness, AnUnreadableFileIsAnOpenFailure) {
  const std::string input = writeDisc();
  fs::permissions(input, fs::perms::none);
  auto check = [&]() {
    RecordingHost host;
    RunState state;
    const RunOutcome outcome = readRun(state, host, settingsFor(input));
    return outcome == RunOutcome::Failed &&
           logged(host, "Cannot open file \"" + input + "\". Permission denied") &&
           !logged(host, "Done.");
  };
  if (geteuid() != 0) {
    EXPECT_TRUE(check());
    return;
  }
  // Root reads any file whatever its mode, so a child process gives up root first.
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Robustness, AFolderAsInputIsAnOpenFailureOfEveryRun) {
  const std::string input = (root_ / "out").string();
  for (RunFunction run : {RunFunction{readRun}, RunFunction{demuxRun}, RunFunction{rebuildRun}}) {
    RecordingHost host;
    EXPECT_EQ(run(state_, host, settingsFor(input)), RunOutcome::Failed);
    EXPECT_TRUE(logged(host, "Cannot open file \"" + input + "\". Is a directory"));
    EXPECT_FALSE(logged(host, "Done."));
    EXPECT_EQ(host.statusTexts[0].back(), "Ready");
  }
}

// The Demux run forms its file set anew: without FEATURE_2.EVO it demuxes FEATURE_1.EVO
// alone, and its file names say so.
TEST_F(Robustness, Feature2DeletedBetweenTheReadAndTheDemuxRun) {
  const std::string input = writeDisc();
  RunSettings settings = settingsFor(input);
  ASSERT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  ASSERT_TRUE(logged(host_, "Continue on FEATURE_2.EVO"));
  fs::remove(root_ / "HVDVD_TS" / "FEATURE_2.EVO");
  RecordingHost host;
  EXPECT_EQ(demuxRun(state_, host, settings), RunOutcome::Done);
  EXPECT_FALSE(logged(host, "Continue on"));
  for (const auto& stream : testing::sampleDiscStreams(testdata())) {
    const fs::path half = root_ / "out" / ("FEATURE_1." + stream.label + "." + stream.extension);
    EXPECT_FALSE(fs::exists(root_ / "out" /
                            ("FEATURE_1_FEATURE_2." + stream.label + "." + stream.extension)));
    const std::vector<uint8_t> got = readFile(half);
    EXPECT_GT(got.size(), 0u) << half;
    EXPECT_LT(got.size(), stream.bytes.size()) << half;
    EXPECT_TRUE(std::equal(got.begin(), got.end(), stream.bytes.begin())) << half;
  }
}

// Demux and Rebuild (and Make MKV, through the same step) create a missing output folder
// with its parents; one that cannot be is named with its reason, then the run's end line.
TEST_F(Robustness, AMissingOutputFolderIsCreatedOrNamedWithItsReason) {
  const std::string input = writeDisc();
  RunSettings settings = settingsFor(input);
  ASSERT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  for (RunFunction run : {RunFunction{demuxRun}, RunFunction{rebuildRun}}) {
    settings.outputFolder = (root_ / "missing" / std::to_string(run == demuxRun)).string();
    RecordingHost made;
    EXPECT_EQ(run(state_, made, settings), RunOutcome::Done) << made.transcript();
    EXPECT_TRUE(logged(made, "Creating folder " + settings.outputFolder + "\n"));
    EXPECT_TRUE(fs::is_directory(settings.outputFolder));
    settings.outputFolder = input + "/under-a-file";  // not even root can make it
    RecordingHost refused;
    EXPECT_EQ(run(state_, refused, settings), RunOutcome::Failed);
    EXPECT_TRUE(refused.transcript().ends_with("File size: 0 Mbytes.\nCannot create folder \"" +
                                               settings.outputFolder +
                                               "\". Not a directory\nFailed.\n\n"))
        << refused.transcript();
  }
}

// Root writes into any folder whatever its mode, so under root the folder is a read-only
// mount instead.
TEST_F(Robustness, AReadOnlyOutputFolderIsACreateFailure) {
  const std::string input = writeDisc();
  RunSettings settings = settingsFor(input);
  ASSERT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  const fs::path folder = root_ / "readonly";
  fs::create_directories(folder);
  std::string reason = "Permission denied";
  const bool mounted =
      geteuid() == 0 && mount("tmpfs", folder.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
  if (mounted) {
    reason = "Read-only file system";
  } else if (geteuid() == 0) {
    GTEST_SKIP() << "running as root without permission to mount a read-only folder";
  } else {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  }
  settings.outputFolder = folder.string();
  RecordingHost demuxHost;
  EXPECT_EQ(demuxRun(state_, demuxHost, settings), RunOutcome::Failed);
  EXPECT_TRUE(logged(demuxHost, "/FEATURE_1_FEATURE_2.VC-1.stream.0.mpv\". " + reason));
  EXPECT_FALSE(logged(demuxHost, "Done."));
  RecordingHost rebuildHost;
  EXPECT_EQ(rebuildRun(state_, rebuildHost, settings), RunOutcome::Failed);
  EXPECT_TRUE(logged(rebuildHost, "/FEATURE_1_FEATURE_2.rebuilt.EVO\". " + reason));
  EXPECT_FALSE(logged(rebuildHost, "Done."));
  if (mounted) {
    EXPECT_EQ(umount(folder.c_str()), 0);
  }
}

// A symbolic link at an output name that points at /dev/full: every write fails with "No
// space left on device".
TEST_F(Robustness, AFullDiskEndsTheRunWithTheWriteFailureAndNoDone) {
  const std::string input = writeDisc();
  RunSettings settings = settingsFor(input);
  ASSERT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  const fs::path audio = root_ / "out" / "FEATURE_1_FEATURE_2.DTSHD.stream.02.mpa";
  fs::create_symlink("/dev/full", audio);
  RecordingHost demuxHost;
  EXPECT_EQ(demuxRun(state_, demuxHost, settings), RunOutcome::Failed);
  EXPECT_TRUE(
      logged(demuxHost, "Cannot write file \"" + audio.string() + "\". No space left on device"));
  EXPECT_FALSE(logged(demuxHost, "Done."));
  EXPECT_EQ(demuxHost.statusTexts[0].back(), "Ready");

  const fs::path rebuilt = root_ / "out" / "FEATURE_1_FEATURE_2.rebuilt.EVO";
  fs::create_symlink("/dev/full", rebuilt);
  RecordingHost rebuildHost;
  EXPECT_EQ(rebuildRun(state_, rebuildHost, settings), RunOutcome::Failed);
  EXPECT_TRUE(logged(rebuildHost,
                     "Cannot write file \"" + rebuilt.string() + "\". No space left on device"));
  EXPECT_FALSE(logged(rebuildHost, "Done."));
}

// A 1 MiB file system that fills in the middle of the run. Unmounting it afterwards also
// proves that the run closed its files.
TEST_F(Robustness, AFileSystemThatFillsDuringTheRunEndsItWithTheWriteFailure) {
  const std::string input = writeDisc(8 * kMib);
  RunSettings settings = settingsFor(input);
  ASSERT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  const fs::path folder = root_ / "small";
  fs::create_directories(folder);
  if (geteuid() != 0 || mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "no permission to mount a 1 MiB file system";
  }
  settings.outputFolder = folder.string();
  for (bool rebuild : {false, true}) {
    RecordingHost host;
    const RunOutcome outcome =
        rebuild ? rebuildRun(state_, host, settings) : demuxRun(state_, host, settings);
    EXPECT_EQ(outcome, RunOutcome::Failed);
    EXPECT_TRUE(logged(host, "\". No space left on device")) << host.transcript();
    EXPECT_TRUE(logged(host, "Cannot write file \"" + folder.string() + "/FEATURE_1_FEATURE_2."));
    EXPECT_FALSE(logged(host, "Done."));
    for (const auto& entry : fs::directory_iterator(folder))
      fs::remove(entry.path());
  }
  EXPECT_EQ(umount(folder.c_str()), 0);
}

// An output name that is (a link to) an input file is refused before anything is written.
TEST_F(Robustness, AnOutputNameThatIsAnInputIsRefusedAndTheInputKept) {
  const std::string input = writeDisc();
  const std::vector<uint8_t> before = readFile(input);
  RunSettings settings = settingsFor(input);
  ASSERT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  const fs::path video = root_ / "out" / "FEATURE_1_FEATURE_2.VC-1.stream.0.mpv";
  const fs::path rebuilt = root_ / "out" / "FEATURE_1_FEATURE_2.rebuilt.EVO";
  fs::create_symlink(input, video);
  fs::create_hard_link(root_ / "HVDVD_TS" / "FEATURE_2.EVO", rebuilt);
  RecordingHost demuxHost;
  EXPECT_EQ(demuxRun(state_, demuxHost, settings), RunOutcome::Failed);
  EXPECT_TRUE(logged(demuxHost, "Cannot create file \"" + video.string() +
                                    "\". It is an input file of this run."));
  EXPECT_FALSE(logged(demuxHost, "Done."));
  RecordingHost rebuildHost;
  EXPECT_EQ(rebuildRun(state_, rebuildHost, settings), RunOutcome::Failed);
  EXPECT_TRUE(logged(rebuildHost, "Cannot create file \"" + rebuilt.string() +
                                      "\". It is an input file of this run."));
  EXPECT_EQ(readFile(input), before);
  EXPECT_GT(fs::file_size(rebuilt), 0u);
}

// Playlist readings of hostile bytes.
struct PlaylistReading {
  RunState state;
  RecordingHost host;
  PlaylistResult result;
  void read(const std::string& bytes, const std::string& baseName = "FEATURE_1") {
    MemorySource source(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    readPlaylistFrom(state, host, "VPLST000.XPL", source, baseName, &result);
  }
  size_t longestLine() const {
    size_t longest = 0;
    for (const auto& line : result.lines)
      longest = std::max(longest, line.size());
    return longest;
  }
};

TEST(PlaylistRobustness, APlaylistWithoutAnyClosingBracketGivesNoLines) {
  std::string bytes;
  while (bytes.size() < 3 * kMib)
    bytes += "<TITLE id=\"FEATURE_1\" <VIDEO track=\"1\" ";
  PlaylistReading reading;
  reading.read(bytes);
  EXPECT_TRUE(reading.result.lines.empty());
  EXPECT_FALSE(reading.result.titleFound);
  EXPECT_TRUE(logged(reading.host, "Done."));
}

TEST(PlaylistRobustness, ATenMebibyteAttributeIsDroppedAndTheTitleAfterItFound) {
  const std::string title = readFileText(testdata() + "/VPLST000.XPL");
  const std::string huge = "<AudioAttributeItem description=\"" + std::string(10 * kMib, 'A') +
                           "\" index=\"1\" codec=\"DD+\"/>";
  PlaylistReading reading;
  reading.read(huge + title);
  EXPECT_LE(reading.longestLine(), XplScanner::kMaxTagLine + 2 * XplScanner::kMaxIndentLevels);
  EXPECT_TRUE(reading.result.titleFound);
  EXPECT_TRUE(logged(reading.host, "Done."));
}

TEST(PlaylistRobustness, BinaryGarbageGivesBoundedLinesThatDisplayAsUtf8) {
  std::mt19937 random(3);
  std::string bytes(4 * kMib, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  PlaylistReading reading;
  reading.read(bytes);
  EXPECT_LE(reading.longestLine(), XplScanner::kMaxTagLine + 2 * XplScanner::kMaxIndentLevels);
  for (const auto& line : reading.result.lines)
    EXPECT_TRUE(isValidUtf8(displayUtf8(line)));
  EXPECT_TRUE(logged(reading.host, "Done."));
  // The reading never lets events through, so no Cancel can reach it.
  EXPECT_EQ(reading.host.eventPoints, 0);
  EXPECT_FALSE(reading.host.cancelEnabled);
}

// Names are bytes: a set whose names are not UTF-8 is read, continued and demuxed.
TEST_F(Robustness, FileNamesThatAreNotUtf8) {
  const std::string disc = writeDisc();
  const std::string name = "F\xff\xfe\xc3(";
  const fs::path first = root_ / (name + "_1.EVO");
  fs::copy_file(disc, first);
  fs::copy_file(root_ / "HVDVD_TS" / "FEATURE_2.EVO", root_ / (name + "_2.EVO"));
  RunSettings settings = settingsFor(first.string());
  settings.followOn = FollowOn::Demux;
  EXPECT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  EXPECT_TRUE(logged(host_, "Continue on " + name + "_2.EVO"));
  for (const auto& stream : testing::sampleDiscStreams(testdata())) {
    EXPECT_EQ(readFile(root_ / "out" /
                       (name + "_1_" + name + "_2." + stream.label + "." + stream.extension)),
              stream.bytes)
        << stream.label;
  }
}

// Cancel at each stage: during the first and the second file of each run, answered Yes or
// No where the run asks, and after a run has ended.
TEST_F(LargeSet, CancelDuringEachFileOfTheReadRunStopsAtOnce) {
  for (int point : {1, 4}) {  // the first file has points 1 to 3, the second 4 to 6
    RecordingHost host;
    host.onEvents = [&](int at) {
      if (at == point) requestCancel(state_, host);
    };
    EXPECT_EQ(readRun(state_, host, settingsFor(first_.string())), RunOutcome::Cancelled);
    EXPECT_EQ(host.eventPoints, point);
    EXPECT_EQ(logged(host, "Continue on BIG_2.EVO"), point > 3);
    EXPECT_TRUE(host.questions.empty());  // a scan stops without asking
    EXPECT_TRUE(logged(host, "Done."));
    EXPECT_FALSE(host.cancelEnabled);
  }
}

TEST_F(LargeSet, CancelDuringEachFileOfTheDemuxAndRebuildRuns) {
  for (RunFunction run : {RunFunction{demuxRun}, RunFunction{rebuildRun}}) {
    const char* question = run == RunFunction{demuxRun} ? "Are you sure to stop demuxing?"
                                                        : "Are you sure to stop rebuilding?";
    for (int point : {1, 4}) {
      for (bool yes : {false, true}) {
        SCOPED_TRACE("point " + std::to_string(point) + (yes ? " yes" : " no"));
        read();
        fs::remove_all(root_ / "out");
        fs::create_directories(root_ / "out");
        RecordingHost host;
        host.answer = yes;
        host.onEvents = [&](int at) {
          if (at == point) requestCancel(state_, host);
        };
        const RunOutcome outcome = run(state_, host, settingsFor(first_.string()));
        EXPECT_EQ(host.questions, std::vector<std::string>{question});
        EXPECT_EQ(outcome, yes ? RunOutcome::Cancelled : RunOutcome::Done);
        EXPECT_EQ(host.eventPoints, yes ? point : 6);
        EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), "Cancelled."), yes ? 1 : 0);
        EXPECT_EQ(logged(host, "Continue on BIG_2.EVO"), !yes || point > 3);
        EXPECT_FALSE(host.cancelEnabled);
        EXPECT_FALSE(fs::is_empty(root_ / "out"));  // partial outputs stay on disk
      }
    }
  }
}

TEST_F(LargeSet, CancelDuringTheFollowOnDemuxOfARead) {
  RunSettings settings = settingsFor(first_.string());
  settings.followOn = FollowOn::Demux;
  host_.onEvents = [&](int at) {
    if (at == 7) requestCancel(state_, host_);  // the Read run has points 1 to 6
  };
  EXPECT_EQ(readRun(state_, host_, settings), RunOutcome::Done);
  EXPECT_EQ(host_.eventPoints, 7);
  EXPECT_EQ(host_.questions, std::vector<std::string>{"Are you sure to stop demuxing?"});
  EXPECT_EQ(std::count(host_.lines.begin(), host_.lines.end(), "Cancelled."), 1);
  EXPECT_EQ(host_.finished, (std::vector<RunKind>{RunKind::Read, RunKind::Demux}));
  EXPECT_FALSE(host_.cancelEnabled);
}

TEST_F(LargeSet, ACancelLeftOverFromAnEndedRunDoesNotStopTheNext) {
  read();
  state_.stop.request(StopReason::UserCancel);
  EXPECT_EQ(demuxRun(state_, host_, settingsFor(first_.string())), RunOutcome::Done);
  EXPECT_TRUE(logged(host_, "Continue on BIG_2.EVO"));
}

}  // namespace
}  // namespace korvell
