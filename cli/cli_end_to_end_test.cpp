// Runs the built korvell-cli on the sample disc, as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "report/markup.h"
#include "testing/sample_disc.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

testing::CommandResult runCli(const std::string& arguments) {
  return testing::runCommand(std::string(KORVELL_CLI) + " " + arguments);
}

class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = folder_.path();
    std::string error;
    ASSERT_TRUE(testing::writeSampleDisc(root_.string(), testdata(), 0, &error)) << error;
    feature1_ = (root_ / "HVDVD_TS" / "FEATURE_1.EVO").string();
    fs::create_directories(root_ / "out");
  }
  static std::string testdata() { return std::string(KORVELL_SOURCE_DIR) + "/testdata"; }

  testing::TempFolder folder_;
  fs::path root_;
  std::string feature1_;
};

TEST_F(CliEndToEnd, DemuxWritesEveryStreamByteForByte) {
  const testing::CommandResult result =
      runCli("demux --color=never " + feature1_ + " -o " + (root_ / "out").string());
  ASSERT_EQ(result.status, 0) << result.output;
  const auto streams = testing::sampleDiscStreams(testdata());
  ASSERT_EQ(streams.size(), 6u);
  for (const auto& stream : streams) {
    const fs::path file =
        root_ / "out" / ("FEATURE_1_FEATURE_2." + stream.label + "." + stream.extension);
    EXPECT_TRUE(testing::readFileBytes(file) == stream.bytes) << file;
  }
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root_ / "out"))
    ++files;
  EXPECT_EQ(files, streams.size());
  EXPECT_NE(result.output.find("Continue on FEATURE_2.EVO\n"), std::string::npos);
  EXPECT_NE(result.output.find("Done.\n"), std::string::npos);
}

TEST_F(CliEndToEnd, ReadReportsTheStreamsInMarkup) {
  const testing::CommandResult result = runCli("read --markup --no-details " + feature1_);
  ASSERT_EQ(result.status, 0) << result.output;
  const char* lines[] = {
      "Opening file [b]FEATURE_1.EVO[/b]\n",
      "It contains 1 video stream and 3 audio streams.\n",
      "VOB number = 1\n",
      "[b]VC-1[/b] video stream 0 found!\n",
      "[b]Dolby Digital[/b] Plus audio stream 0 found!\n",
      "[b]Dolby TrueHD[/b] audio stream 1 found!\n",
      "[b]DTS HD (DTS)[/b] audio stream 2 found!\n",
      "[b]Subpicture[/b] stream 0 found!\n",
      "[b]Subpicture[/b] stream 1 found!\n",
      "Continue on FEATURE_2.EVO\n",
      "Done.\n",
  };
  for (const char* line : lines)
    EXPECT_NE(result.output.find(line), std::string::npos) << line;
}

TEST_F(CliEndToEnd, SelectionAndExitStatuses) {
  const std::string out = (root_ / "out").string();
  testing::CommandResult result =
      runCli("demux " + feature1_ + " --no-continue -o " + out + " --select a02,DD+.stream.00");
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(fs::exists(root_ / "out" / "FEATURE_1.DTSHD.stream.02.mpa"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "FEATURE_1.DD+.stream.00.mpa"));
  EXPECT_FALSE(fs::exists(root_ / "out" / "FEATURE_1.VC-1.stream.0.mpv"));

  EXPECT_EQ(runCli("demux " + feature1_ + " --select a09").status, 2);
  EXPECT_EQ(runCli("demux").status, 2);
  result = runCli("read " + (root_ / "NOPE.EVO").string());
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("Cannot open file"), std::string::npos);
  EXPECT_EQ(result.output.find("Done."), std::string::npos);
  EXPECT_EQ(runCli("demux " + feature1_ + " -o " + (root_ / "missing").string()).status, 1);
  EXPECT_EQ(runCli("read " + root_.string()).status, 1);  // a folder as input
}

TEST_F(CliEndToEnd, PlaylistShowsTheTitleAndNamesTheDemuxedFiles) {
  const std::string playlist = (root_ / "ADV_OBJ" / "VPLST000.XPL").string();
  testing::CommandResult result = runCli("xpl " + playlist + " --source " + feature1_);
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("Audio\n  DD+.6ch.stream.00.English\n"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("a01 MLP.6ch.stream.01.English\n"), std::string::npos);

  const std::string out = (root_ / "out").string();
  // --no-chapters: only the two stream files, no chapter files of the title.
  result = runCli("demux " + feature1_ + " --playlist " + playlist + " -o " + out +
                  " --select DD+.6ch.stream.00.English,s01 --no-chapters");
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(fs::exists(root_ / "out" / "FEATURE_1_FEATURE_2.DD+.6ch.stream.00.English.mpa"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "FEATURE_1_FEATURE_2.8bitRLE.stream.01.French.sup"));
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root_ / "out"))
    ++files;
  EXPECT_EQ(files, 2u);

  EXPECT_EQ(runCli("xpl " + (root_ / "NONE.XPL").string()).status, 1);
}

TEST_F(CliEndToEnd, APlaylistThatGivesNothingToWriteIsNoSuccess) {
  const fs::path sample = root_ / "ADV_OBJ" / "VPLST000.XPL";
  const std::vector<uint8_t> bytes = testing::readFileBytes(sample);
  const std::string original(bytes.begin(), bytes.end());
  const auto writePlaylist = [&](const std::string& name, const std::string& text) {
    const fs::path path = root_ / "ADV_OBJ" / name;
    testing::writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    return path.string();
  };
  const std::string out = (root_ / "out").string();
  const auto filesWritten = [&] {
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out))
      ++files;
    return files;
  };

  // No title of this playlist plays FEATURE_1: exit 1, the playlist and the file named.
  std::string other = original;
  for (size_t at; (at = other.find("FEATURE_")) != std::string::npos;)
    other.replace(at, 8, "TRAILER_");
  const std::string otherPath = writePlaylist("OTHER.XPL", other);
  testing::CommandResult result =
      runCli("demux --color=never " + feature1_ + " --playlist " + otherPath + " -o " + out);
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_NE(result.output.find("No title of " + otherPath + " plays FEATURE_1."), std::string::npos)
      << result.output;
  EXPECT_EQ(filesWritten(), 0u);

  // A stream the playlist lists and the file lacks gets no file; the others are written.
  std::string extra = original;
  extra.insert(extra.find("<Subtitle track=\"1\""),
               "<Audio track=\"9\" streamNumber=\"9\" mediaAttr=\"1\" description=\"Deutsch\"/>\n");
  result = runCli("demux --color=never " + feature1_ + " --playlist " +
                  writePlaylist("EXTRA.XPL", extra) + " -o " + out + " --no-chapters");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("DD+.6ch.stream.08.Deutsch: the playlist lists this stream, but "
                               "FEATURE_1.EVO has none; no file is written for it."),
            std::string::npos)
      << result.output;
  EXPECT_FALSE(fs::exists(root_ / "out" / "FEATURE_1_FEATURE_2.DD+.6ch.stream.08.Deutsch.mpa"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "FEATURE_1_FEATURE_2.DD+.6ch.stream.00.English.mpa"));

  // Only missing streams selected: nothing to write, exit 1.
  for (const auto& entry : fs::directory_iterator(out))
    fs::remove(entry.path());
  result = runCli("demux --color=never " + feature1_ + " --playlist " +
                  writePlaylist("EXTRA.XPL", extra) + " -o " + out + " --no-chapters --select a08");
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_NE(result.output.find("Nothing to write: FEATURE_1.EVO has none of the selected streams."),
            std::string::npos)
      << result.output;
  EXPECT_EQ(filesWritten(), 0u);
}

TEST_F(CliEndToEnd, RebuildKeepsTheSelectedStreamsOnly) {
  const std::string out = (root_ / "out").string();
  testing::CommandResult result =
      runCli("rebuild " + feature1_ + " -o " + out + " --select v0,a00,a02,s00");
  ASSERT_EQ(result.status, 0) << result.output;
  const fs::path rebuilt = root_ / "out" / "FEATURE_1_FEATURE_2.rebuilt.EVO";
  ASSERT_TRUE(fs::exists(rebuilt));
  result = runCli("read --markup --no-details --no-continue " + rebuilt.string());
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("[b]DTS HD (DTS)[/b] audio stream 1 found!"), std::string::npos)
      << result.output;  // renumbered after the dropped TrueHD stream
  EXPECT_EQ(result.output.find("[b]Dolby TrueHD[/b]"), std::string::npos);
  EXPECT_EQ(result.output.find("[b]Subpicture[/b] stream 1 found!"), std::string::npos);
  EXPECT_EQ(runCli("rebuild " + (root_ / "x.VOB").string()).status, 2);
}

TEST_F(CliEndToEnd, FfmpegDvdVobPrintsEveryDetailBlock) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg here";
  const std::string vob = (root_ / "VTS_01_1.VOB").string();
  ASSERT_EQ(std::system((testdata() + "/make_dvd_vob.sh " + vob + " " + feature1_).c_str()), 0);
  const testing::CommandResult result = runCli("read --markup " + vob);
  ASSERT_EQ(result.status, 0) << result.output;
  const char* lines[] = {
      "It contains 1 video stream and 6 audio streams.\n",
      "[b]MPEG-2[/b] video stream 0 found!\n",
      "   Frame rate = [bl]25[/bl] fps\n",
      "   Progressive Sequence = 1\n",
      "[b]Dolby Digital[/b] audio stream 0 found!\n",
      "   Transmission bitrate = [bl]448[/bl] kbit/s\n",
      // ffmpeg numbers each codec from 0: DTS 0x88 and 0x89, LPCM 0xA0 to 0xA2 fall into held
      // slots and take the next free ones.
      "[b]DTS HD (DTS)[/b] audio stream 1 found!\n",
      "   Substream id = 88\n",
      "   Channel arrangement = [bl]L + R (stereo)[/bl]\n",
      "[b]DTS HD (DTS)[/b] audio stream 2 found!\n",
      "   Substream id = 89\n",
      "[b]LPCM[/b] audio stream 3 found!\n",
      "   Substream id = A0\n",
      "[b]LPCM[/b] audio stream 5 found!\n",
      "   Substream id = A2\n",
      "   Quantization length = [bl]16[/bl] bits\n",
      "[b]Subpicture[/b] stream 0 found!\n",
      "   Format = [bl]2bitRLE[/bl]\n",
      "25 counted frames ([b]0:00:01.000[/b]) in video stream 0.\n",
  };
  for (const char* line : lines)
    EXPECT_NE(result.output.find(line), std::string::npos) << line;
}

TEST_F(CliEndToEnd, PathsWithBracketsArePrintedWhole) {
  const fs::path disc = root_ / "Movie [2007]";
  std::string error;
  ASSERT_TRUE(testing::writeSampleDisc(disc.string(), testdata(), 0, &error)) << error;
  const fs::path out = disc / "out [b]x[/b] [";
  fs::create_directories(out);
  const std::string input = "\"" + (disc / "HVDVD_TS" / "FEATURE_1.EVO").string() + "\"";
  const std::string lines[] = {
      "Opening file FEATURE_1.EVO\n",
      "Creating " + (out / "FEATURE_1_FEATURE_2.VC-1.stream.0.mpv").string() + "\n",
      "Continue on FEATURE_2.EVO\n",
  };
  for (const char* style : {"--color=never", "--color=always"}) {
    const testing::CommandResult result =
        runCli(std::string("demux ") + style + " " + input + " -o \"" + out.string() + "\"");
    ASSERT_EQ(result.status, 0) << result.output;
    // ANSI sequences go around styled runs only; the path is one plain run.
    for (const auto& line : lines)
      EXPECT_NE(result.output.find(line), std::string::npos) << style << ": " << line;
  }
  const std::string missing = (disc / "[re]gone[/re] [.EVO").string();
  const testing::CommandResult failed = runCli("read --color=never \"" + missing + "\"");
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.output.find("Cannot open file \"" + missing + "\". "), std::string::npos)
      << failed.output;
  // The raw markup escapes each "[" as "[[", so a reader of the markup gets the path back.
  const testing::CommandResult raw = runCli("read --markup \"" + missing + "\"");
  EXPECT_NE(raw.output.find("Cannot open file \"" + escapeMarkup(missing) + "\". "),
            std::string::npos)
      << raw.output;
}

TEST_F(CliEndToEnd, DiscPlaylistFoundByItselfAndItsNamesStayInTheOutputFolder) {
  // Descriptions that would climb out of the output folder if used as they stand.
  const fs::path playlist = root_ / "ADV_OBJ" / "VPLST000.XPL";
  const std::vector<uint8_t> original = testing::readFileBytes(playlist);
  std::string text(original.begin(), original.end());
  const auto replaceFirst = [&text](const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replaceFirst("description=\"English\"", "description=\"Eng/../../x\"");
  replaceFirst("description=\"English\"", "description=\"..\\..\\evil\"");
  testing::writeFileBytes(playlist, std::vector<uint8_t>(text.begin(), text.end()));

  const fs::path out = root_ / "out";
  const testing::CommandResult result =
      runCli("demux --color=never " + feature1_ + " --playlist -o " + out.string());
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("Open " + playlist.string() + "\n"), std::string::npos)
      << result.output;
  // The console shows the label as the playlist gives it; the file name is cleaned.
  EXPECT_NE(result.output.find("DD+.6ch.stream.00.Eng/../../x found!\n"), std::string::npos)
      << result.output;
  EXPECT_TRUE(fs::exists(out / "FEATURE_1_FEATURE_2.DD+.6ch.stream.00.Eng_.__.__x.mpa"));
  EXPECT_TRUE(fs::exists(out / "FEATURE_1_FEATURE_2.MLP.6ch.stream.01._._.__evil.mpa"));
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    if (!entry.is_regular_file()) continue;
    const fs::path folder = entry.path().parent_path();
    EXPECT_TRUE(folder == out || folder == root_ / "HVDVD_TS" || folder == root_ / "ADV_OBJ")
        << entry.path();
    if (folder == out) ++files;
  }
  // Six streams and, as the chapters are on by default, the title's two chapter files.
  EXPECT_TRUE(fs::exists(out / "FEATURE_1_FEATURE_2.chapters.txt"));
  EXPECT_TRUE(fs::exists(out / "FEATURE_1_FEATURE_2.chapters.xml"));
  EXPECT_EQ(files, 8u);
}

}  // namespace
}  // namespace korvell
