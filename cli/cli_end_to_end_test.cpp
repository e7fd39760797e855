// Runs the built korvell-cli on the sample disc, as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>

#include "report/markup.h"
#include "testing/dvd_test_disc.h"
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
  EXPECT_EQ(runCli("demux " + feature1_ + " -o " + feature1_ + "/out").status, 1);
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

// The test DVD (testdata/make_dvd_disc.sh): title 1 runs from VTS_01_1.VOB into VTS_01_2.VOB,
// title 2 lies in VTS_01_2.VOB; title1.mpg and title2.mpg are the sources they were authored
// from.
class CliDvd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::dvdTestDisc().missingTool.empty())
      GTEST_SKIP() << testing::dvdTestDisc().missingTool << ": the test DVD cannot be authored";
    ASSERT_EQ(testing::dvdTestDisc().failure, "");
    disc_ = testing::dvdTestDisc().folder;
    out_ = folder_ / "out";
    fs::create_directories(out_);
  }
  // What ffmpeg copies out of a title's source: the video, and audio streams 0 and 1.
  std::vector<std::vector<uint8_t>> authored(int title) const {
    const fs::path source = disc_ / ("title" + std::to_string(title) + ".mpg");
    std::vector<std::vector<uint8_t>> streams;
    for (const char* map : {"-map 0:v -f mpeg2video", "-map 0:a:0 -f ac3", "-map 0:a:1 -f ac3"}) {
      const fs::path copy = folder_ / "copy";
      EXPECT_EQ(testing::runCommand("ffmpeg -v error -y -i '" + source.string() + "' " + map +
                                    " -c copy '" + copy.string() + "'")
                    .status,
                0);
      streams.push_back(testing::readFileBytes(copy));
    }
    return streams;
  }
  size_t filesIn(const fs::path& folder) const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }

  testing::TempFolder folder_;
  fs::path disc_;
  fs::path out_;
};

// lsdvd's text: each title's length, its chapters' lengths, its audio and subpicture languages.
struct LsdvdTitle {
  std::string length;
  std::vector<std::string> chapterLengths;
  std::vector<std::string> audio, subpictures;
};

std::vector<LsdvdTitle> lsdvdTitles(const fs::path& disc) {
  const std::string text =
      testing::runCommand("lsdvd -x '" + disc.string() + "' 2>/dev/null").output;
  std::vector<LsdvdTitle> titles;
  static const std::regex line(
      R"((Title: \d+, Length: (\S+))|(Chapter: \d+, Length: (\S+))|(Audio: \d+, Language: (\w+))|(Subtitle: \d+, Language: (\w+)))");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) titles.push_back({m[2].str(), {}, {}, {}});
    if (titles.empty()) continue;
    if (m[3].matched) titles.back().chapterLengths.push_back(m[4].str());
    if (m[5].matched) titles.back().audio.push_back(m[6].str());
    if (m[7].matched) titles.back().subpictures.push_back(m[8].str());
  }
  return titles;
}

// "00:00:01.920" in milliseconds.
int64_t clockMs(const std::string& clock) {
  return std::stoll(clock.substr(0, 2)) * 3600000 + std::stoll(clock.substr(3, 2)) * 60000 +
         std::stoll(clock.substr(6, 2)) * 1000 + std::stoll(clock.substr(9, 3));
}

// As the listing prints a time: "0:00:01.920".
std::string listed(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld",
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

TEST_F(CliDvd, TitlesListsWhatLsdvdReads) {
  const testing::CommandResult result = runCli("titles --color=never " + disc_.string());
  ASSERT_EQ(result.status, 0) << result.output;
  const std::vector<LsdvdTitle> expected = lsdvdTitles(disc_);
  ASSERT_EQ(expected.size(), 2u);  // what the script authored: lsdvd read the disc
  for (size_t t = 0; t < expected.size(); ++t) {
    const std::string number = std::to_string(t + 1);
    const LsdvdTitle& title = expected[t];
    const std::string head = "Title " + number + " VTS_01_TITLE_" + number + ": " +
                             listed(clockMs(title.length)) + ", " +
                             std::to_string(title.chapterLengths.size()) +
                             (title.chapterLengths.size() == 1 ? " chapter" : " chapters");
    const size_t at = result.output.find(head);
    ASSERT_NE(at, std::string::npos) << head << "\n" << result.output;
    const size_t end = result.output.find("\nTitle ", at);
    const std::string block = result.output.substr(at, end - at);
    int64_t start = 0;
    for (size_t c = 0; c < title.chapterLengths.size(); ++c) {
      EXPECT_NE(block.find("Chapter " + std::to_string(c + 1) + ": " + listed(start) + "\n"),
                std::string::npos)
          << number << "/" << c + 1 << "\n"
          << block;
      start += clockMs(title.chapterLengths[c]);
    }
    for (size_t a = 0; a < title.audio.size(); ++a) {
      const std::string id = a == 0 ? "80" : "81";
      EXPECT_NE(block.find("Audio " + std::to_string(a) + ": id " + id + ", AC-3, " +
                           title.audio[a] + ","),
                std::string::npos)
          << block;
    }
    for (size_t i = 0; i < title.subpictures.size(); ++i)
      EXPECT_NE(block.find("Subpicture " + std::to_string(i) + ": id 20, " + title.subpictures[i]),
                std::string::npos)
          << block;
    EXPECT_EQ(block.find("Subpicture") != std::string::npos, !title.subpictures.empty());
  }
}

TEST_F(CliDvd, EachTitleDemuxesToTheStreamsItWasAuthoredFrom) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg here";
  for (int title : {1, 2}) {
    SCOPED_TRACE("title " + std::to_string(title));
    const fs::path out = out_ / std::to_string(title);
    fs::create_directories(out);
    const testing::CommandResult result =
        runCli("demux --color=never --title " + std::to_string(title) + " " + disc_.string() +
               " -o " + out.string());
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string base = "VTS_01_TITLE_" + std::to_string(title);
    const auto expected = authored(title);
    const std::string names[] = {base + ".MPEG-2.stream.0.mpv", base + ".DD.stream.00.en.mpa",
                                 base + ".DD.stream.01.de.mpa"};
    for (size_t i = 0; i < 3; ++i) {
      ASSERT_GT(expected[i].size(), 10000u) << names[i];
      EXPECT_TRUE(testing::readFileBytes(out / names[i]) == expected[i]) << names[i];
    }
    // Title 1 has the subpicture stream "fr" and four chapters, title 2 neither.
    EXPECT_EQ(fs::exists(out / (base + ".Subpicture.00.fr.sup")), title == 1);
    const auto chapters = testing::readFileBytes(out / (base + ".chapters.txt"));
    const std::string text(chapters.begin(), chapters.end());
    EXPECT_EQ(text.find("CHAPTER04=00:00:05.760") != std::string::npos, title == 1) << text;
    EXPECT_EQ(filesIn(out), title == 1 ? 6u : 5u);
  }
}

TEST_F(CliDvd, AVobWithoutTitleGoesOnOverTheNextPartOfItsTitleSet) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg here";
  const fs::path vob = disc_ / "VIDEO_TS" / "VTS_01_1.VOB";
  const testing::CommandResult result =
      runCli("demux --color=never " + vob.string() + " -o " + out_.string());
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("VTS_01_1.VOB goes on in VTS_01_2.VOB: they are read as one file."),
            std::string::npos)
      << result.output;
  // Both titles, one after the other, as they lie in the title set.
  const auto first = authored(1);
  const auto second = authored(2);
  const std::string names[] = {"VTS_01.MPEG-2.stream.0.mpv", "VTS_01.DD.stream.00.mpa",
                               "VTS_01.DD.stream.01.mpa"};
  for (size_t i = 0; i < 3; ++i) {
    std::vector<uint8_t> both = first[i];
    both.insert(both.end(), second[i].begin(), second[i].end());
    EXPECT_TRUE(testing::readFileBytes(out_ / names[i]) == both) << names[i];
  }
}

TEST_F(CliDvd, ADiscThatCannotPlayTheTitleSaysWhyOnOneLineAndWritesNothing) {
  using Damage = std::function<void(const fs::path& videoTs)>;
  const auto both = [](const char* name, std::function<void(const fs::path&)> damage) {
    return [=](const fs::path& v) {
      damage(v / (std::string(name) + ".IFO"));
      damage(v / (std::string(name) + ".BUP"));
    };
  };
  const auto noise = [](const fs::path& file) {
    auto bytes = testing::readFileBytes(file);
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(i * 7919 >> 3);
    testing::writeFileBytes(file, bytes);
  };
  struct Case {
    const char* name;
    Damage damage;
    std::string message;  // {} the VIDEO_TS folder
  };
  const Case cases[] = {
      {"no IFO", both("VIDEO_TS", [](const fs::path& f) { fs::remove(f); }),
       "Cannot find \"{}/VIDEO_TS.IFO\""},
      {"a truncated IFO", both("VTS_01_0", [](const fs::path& f) { fs::resize_file(f, 4196); }),
       "Cannot read \"{}/VTS_01_0.IFO\": it is truncated"},
      {"a garbage IFO", both("VTS_01_0", noise),
       "Cannot read \"{}/VTS_01_0.IFO\": it is not a DVD-Video IFO file"},
      {"cells past the VOB files", [](const fs::path& v) { fs::remove(v / "VTS_01_2.VOB"); },
       "Title 1 plays sectors up to 671 of title set 1, but its VOB files end at sector 336"},
      // The second pack of title 1 is a video pack: its PES scrambling bits set.
      {"an encrypted copy",
       [](const fs::path& v) {
         auto vob = testing::readFileBytes(v / "VTS_01_1.VOB");
         vob[2048 + 20] = static_cast<uint8_t>(vob[2048 + 20] | 0x10);
         testing::writeFileBytes(v / "VTS_01_1.VOB", vob);
       },
       "Cannot read \"{}/VTS_01_1.VOB\": its packs are scrambled"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempFolder copy;
    testing::copyDvdTestDisc(copy.path());
    const fs::path videoTs = copy / "VIDEO_TS";
    c.damage(videoTs);
    std::string message = c.message;
    if (const size_t at = message.find("{}"); at != std::string::npos)
      message.replace(at, 2, videoTs.string());
    for (const char* command : {"read", "demux", "rebuild"}) {
      const fs::path err = folder_ / "stderr.txt";
      const std::string output = command == std::string("read") ? "" : " -o " + out_.string();
      const testing::CommandResult result = testing::runCommand(
          "(" + std::string(KORVELL_CLI) + " " + command + " --color=never --title 1 " +
          copy.path().string() + output + " 2>" + err.string() + ")");
      EXPECT_EQ(result.status, 1) << command;
      const auto errBytes = testing::readFileBytes(err);
      const std::string errText(errBytes.begin(), errBytes.end());
      EXPECT_EQ(errText.rfind(message, 0), 0u) << command << ": " << errText;
      EXPECT_EQ(std::count(errText.begin(), errText.end(), '\n'), 1) << command << ": " << errText;
      EXPECT_TRUE(result.output.empty()) << command << ": " << result.output;
      EXPECT_EQ(filesIn(out_), 0u) << command;
    }
  }
}

}  // namespace
}  // namespace korvell
