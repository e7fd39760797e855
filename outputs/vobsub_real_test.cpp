// VobSub files made from subpictures that spumux (dvdauthor) authored into an ffmpeg DVD
// stream, read back by ffmpeg and mkvmerge: the same units, the same bitmaps, the units' PTS
// on the video's timeline. Skipped, with a note, where a tool is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/byte_io.h"
#include "engine/file_system.h"
#include "engine/walker.h"
#include "outputs/vobsub_output.h"
#include "testing/pass_values.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::runCommand;

bool have(const std::string& tool) {
  return runCommand("command -v " + tool + " >/dev/null").status == 0;
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) all.push_back(line);
  return all;
}

std::vector<long long> numbers(const std::string& text) {
  std::vector<long long> all;
  for (const std::string& line : lines(text))
    all.push_back(std::stoll(line));
  return all;
}

// The spumux VOB, demuxed once into VobSub files for all tests.
class VobSubRealStreams : public ::testing::Test {
 protected:
  static constexpr int kStreams = 2;
  static constexpr size_t kUnits[kStreams] = {3, 2};

  static void SetUpTestSuite() {
    if (!have("ffmpeg") || !have("spumux")) return;
    folder_ = new testing::TempFolder;
    vob_ = *folder_ / "subs.VOB";
    const testing::CommandResult made = runCommand(
        std::string(KORVELL_SOURCE_DIR) + "/testdata/make_spumux_vob.sh " + quoted(vob_) + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.output;

    testing::PassValues state;
    testing::RecordingHost host;
    std::unique_ptr<FileSource> scan;
    ASSERT_TRUE(FileSource::open(vob_.string(), &scan).ok());
    ASSERT_TRUE(demux(state.walker(*scan), host, WalkMode::Scan).ok());
    ASSERT_TRUE(state.results.times(Family::Video, 0).firstPts.has_value());
    videoStart_ = *state.results.times(Family::Video, 0).firstPts;

    std::unique_ptr<FileSource> source;
    ASSERT_TRUE(FileSource::open(vob_.string(), &source).ok());
    std::vector<std::unique_ptr<StreamOutput>> outputs;
    for (int n = 0; n < kStreams; ++n) {
      const std::string base = (*folder_ / ("subs." + std::to_string(n))).string();
      outputs.push_back(makeVobSubOutput(realFileSystem(), host,
                                         {.path = base,
                                          .streamNumber = n,
                                          .language = "en",
                                          .width = 720,
                                          .height = 576,
                                          .videoStartPts = videoStart_,
                                          .supPath = base + ".sup"}));
      state.selection.selected[slotNumber({Family::Subpicture, n})] = true;
      state.sinks.outputOf({Family::Subpicture, n}) = outputs.back().get();
    }
    host.lines.clear();
    ASSERT_TRUE(demux(state.walker(*source), host, WalkMode::Demux).ok());
    for (const auto& output : outputs)
      ASSERT_TRUE(output->finish().ok());
    // Only the walker's own report: no unit was skipped.
    for (const std::string& line : host.lines)
      ASSERT_EQ(line.find("subpicture unit"), std::string::npos) << line;
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    if (folder_ == nullptr)
      GTEST_SKIP() << "ffmpeg or spumux is not installed: VobSub checks skipped";
  }
  static fs::path idx(int n) { return *folder_ / ("subs." + std::to_string(n) + ".idx"); }

  // The ffprobe value lines of stream `selector` of `file`.
  static std::string probe(const fs::path& file, const std::string& selector,
                           const std::string& entries) {
    const testing::CommandResult result =
        runCommand("ffprobe -v error -select_streams " + selector + " -show_entries " + entries +
                   " -of csv=p=0 " + quoted(file));
    EXPECT_EQ(result.status, 0) << result.output;
    return result.output;
  }

  static testing::TempFolder* folder_;
  static fs::path vob_;
  static uint32_t videoStart_;
};

testing::TempFolder* VobSubRealStreams::folder_ = nullptr;
fs::path VobSubRealStreams::vob_;
uint32_t VobSubRealStreams::videoStart_ = 0;

// Each unit's .idx time is its PTS in the VOB less video 0's first PTS, and ffmpeg reads from
// the .idx/.sub pair units of the sizes it reads from the VOB.
TEST_F(VobSubRealStreams, FfmpegReadsTheUnitsAtTheirTimes) {
  const long long start = numbers(probe(vob_, "v:0", "stream=start_pts")).at(0);
  EXPECT_EQ(start, videoStart_);
  for (int n = 0; n < kStreams; ++n) {
    SCOPED_TRACE("stream " + std::to_string(n));
    const std::string selector = "s:" + std::to_string(n);
    const std::vector<long long> pts = numbers(probe(vob_, selector, "packet=pts"));
    ASSERT_EQ(pts.size(), kUnits[n]);
    const std::vector<uint8_t> bytes = testing::readFileBytes(idx(n));
    const std::string index(bytes.begin(), bytes.end());
    std::vector<long long> idxMs;
    const std::regex stamp(
        "timestamp: (\\d\\d):(\\d\\d):(\\d\\d):(\\d\\d\\d), filepos: [0-9a-f]{9}");
    for (std::sregex_iterator it(index.begin(), index.end(), stamp), end; it != end; ++it)
      idxMs.push_back(
          ((std::stoll((*it)[1]) * 60 + std::stoll((*it)[2])) * 60 + std::stoll((*it)[3])) * 1000 +
          std::stoll((*it)[4]));
    ASSERT_EQ(idxMs.size(), kUnits[n]);
    for (size_t i = 0; i < pts.size(); ++i)
      EXPECT_EQ(idxMs[i], (pts[i] - start) / 90) << "unit " << i;
    EXPECT_EQ(probe(idx(n), "s:0", "packet=size"), probe(vob_, selector, "packet=size"));
  }
}

// ffmpeg draws each unit over a black picture, once from the VOB (with the .idx's colours) and
// once from the .idx/.sub pair: the distinct pictures, in order, are the same.
TEST_F(VobSubRealStreams, FfmpegDrawsTheSameBitmaps) {
  const std::string palette =
      "000000,0000ff,00ff00,ff0000,ffff00,ff00ff,00ffff,ffffff,"
      "808000,8080ff,800080,80ff80,008080,ff8080,555555,aaaaaa";
  // The frame hashes of the overlay, with repeats and the empty picture left out.
  const auto pictures = [](const std::string& input, const std::string& stream) {
    const testing::CommandResult result = runCommand(
        "ffmpeg -hide_banner -v error -f lavfi -i color=black:s=720x576:r=25:d=8 " + input +
        " -filter_complex '[0:v][1:" + stream + "]overlay' -f framemd5 - | grep -v '^#'");
    EXPECT_EQ(result.status, 0) << result.output;
    std::vector<std::string> hashes;
    std::string blank;
    for (const std::string& line : lines(result.output)) {
      const std::string hash = line.substr(line.rfind(' ') + 1);
      if (blank.empty()) blank = hash;  // the first frame has no subtitle yet
      if (hash != blank && (hashes.empty() || hashes.back() != hash)) hashes.push_back(hash);
    }
    return hashes;
  };
  for (int n = 0; n < kStreams; ++n) {
    SCOPED_TRACE("stream " + std::to_string(n));
    const std::vector<std::string> fromVob =
        pictures("-palette " + palette + " -i " + quoted(vob_), "s:" + std::to_string(n));
    const std::vector<std::string> fromIdx = pictures("-i " + quoted(idx(n)), "s:0");
    EXPECT_EQ(fromVob.size(), kUnits[n]);
    EXPECT_EQ(fromIdx, fromVob);
  }
}

// mkvmerge takes the .idx as a VobSub track, one block per unit, of the unit's size.
TEST_F(VobSubRealStreams, MkvmergeMuxesOneBlockPerUnit) {
  if (!have("mkvmerge") || !have("mkvinfo")) GTEST_SKIP() << "mkvtoolnix is not installed";
  for (int n = 0; n < kStreams; ++n) {
    SCOPED_TRACE("stream " + std::to_string(n));
    const fs::path mkv = *folder_ / ("subs." + std::to_string(n) + ".mkv");
    const testing::CommandResult muxed =
        runCommand("mkvmerge -q --compression 0:none -o " + quoted(mkv) + " " + quoted(idx(n)));
    ASSERT_EQ(muxed.status, 0) << muxed.output;  // 1 would be a warning
    const testing::CommandResult json = runCommand("mkvmerge -J " + quoted(mkv));
    EXPECT_NE(json.output.find("\"codec_id\": \"S_VOBSUB\""), std::string::npos) << json.output;
    const testing::CommandResult info = runCommand("mkvinfo -s " + quoted(mkv));
    std::vector<std::string> sizes;
    const std::regex frame("frame, track 1, .* size (\\d+),");
    for (std::sregex_iterator it(info.output.begin(), info.output.end(), frame), end; it != end;
         ++it)
      sizes.push_back((*it)[1]);
    std::vector<std::string> expected;
    for (const std::string& size : lines(probe(vob_, "s:" + std::to_string(n), "packet=size")))
      expected.push_back(size);
    EXPECT_EQ(sizes, expected) << info.output;
  }
}

}  // namespace
}  // namespace korvell
