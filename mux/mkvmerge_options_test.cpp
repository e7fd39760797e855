#include "mux/mkvmerge_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace korvell {
namespace {

using Args = std::vector<std::string>;

MuxDescription feature() {
  MuxDescription d;
  d.outputPath = "/out/FEATURE_1.mkv";
  d.title = "The Feature";
  d.chaptersPath = "/tmp/k/FEATURE_1.chapters.txt";
  d.tracks = {
      {Family::Video, "/tmp/k/FEATURE_1 VC-1.stream", "", "VC-1", true, 0},
      {Family::Audio, "/tmp/k/FEATURE_1 DD+ 0.stream", "en:00", "English", true, -40},
      {Family::Audio, "/tmp/k/FEATURE_1 DD+ 1.stream", "fr", "", false, 0},
      {Family::Subpicture, "/tmp/k/FEATURE_1 Sub 0.idx", "de", "Deutsch", false, 300, true},
  };
  return d;
}

TEST(MkvmergeOptions, ArgumentsInOrder) {
  const Args expected = {
      "--gui-mode", "-o", "/out/FEATURE_1.mkv", "--title", "The Feature", "--chapters",
      "/tmp/k/FEATURE_1.chapters.txt",
      // video: no language known, no sync whatever it holds
      "--language", "0:und", "--track-name", "0:VC-1", "--default-track-flag", "0:yes",
      "/tmp/k/FEATURE_1 VC-1.stream", "--language", "0:eng", "--track-name", "0:English",
      "--default-track-flag", "0:yes", "--sync", "0:-40", "/tmp/k/FEATURE_1 DD+ 0.stream",
      // no name, sync 0: neither option
      "--language", "0:fre", "--default-track-flag", "0:no", "/tmp/k/FEATURE_1 DD+ 1.stream",
      // subpictures are never synced; a forced track says so
      "--language", "0:ger", "--track-name", "0:Deutsch", "--default-track-flag", "0:no",
      "--forced-display-flag", "0:yes", "/tmp/k/FEATURE_1 Sub 0.idx"};
  EXPECT_EQ(mkvmergeArguments(feature()), expected);
}

// A relative path that starts with what mkvmerge reads as an operator or an option.
TEST(MkvmergeOptions, SourcePathsAreNeverOperators) {
  const std::pair<const char*, const char*> cases[] = {
      {"+x.ac3", "./+x.ac3"}, {"=x.ac3", "./=x.ac3"}, {"(x.ac3", "./(x.ac3"},
      {"[x.ac3", "./[x.ac3"}, {"-x.ac3", "./-x.ac3"}, {"@x.ac3", "./@x.ac3"},
      {"x+.ac3", "x+.ac3"},   {"/+x.ac3", "/+x.ac3"}, {"./+x.ac3", "./+x.ac3"}};
  for (const auto& [path, argument] : cases) {
    MuxDescription d;
    d.outputPath = "o.mkv";
    d.tracks = {{Family::Audio, path, "", "", false, 0}};
    EXPECT_EQ(mkvmergeArguments(d).back(), argument) << path;
  }
}

// The option file is JSON holding exactly the arguments; user text keeps quotes, brackets,
// shell characters and line ends, and bytes that are no UTF-8 become Latin-1 characters.
TEST(MkvmergeOptions, FileHoldsTheArgumentsAsJsonStrings) {
  MuxDescription d = feature();
  d.title = "Tom & \"Jerry\" [b]$HOME `x` \\ \n\tCaf\xE9";
  d.tracks[1].name = "Kommentar \xE2\x80\x93 \"Regie\"";
  d.tracks[2].name = "\xFF\xFE";
  std::string text;
  const Status made = mkvmergeOptionFile(d, &text);
  ASSERT_TRUE(made.ok()) << made.reason();
  const nlohmann::json parsed = nlohmann::json::parse(text);
  ASSERT_TRUE(parsed.is_array());
  Args arguments;
  for (const auto& item : parsed) {
    ASSERT_TRUE(item.is_string());
    arguments.push_back(item.get<std::string>());
  }
  EXPECT_EQ(arguments, mkvmergeArguments(d));
  EXPECT_EQ(arguments[4], "Tom & \"Jerry\" [b]$HOME `x` \\ \n\tCaf\xC3\xA9");
  EXPECT_NE(std::find(arguments.begin(), arguments.end(), "0:Kommentar \xE2\x80\x93 \"Regie\""),
            arguments.end());
  EXPECT_NE(std::find(arguments.begin(), arguments.end(), "0:\xC3\xBF\xC3\xBE"), arguments.end());
}

TEST(MkvmergeOptions, APathThatIsNoUtf8IsRefused) {
  for (int which = 0; which < 3; ++which) {
    MuxDescription d = feature();
    std::string& path = which == 0 ? d.outputPath : which == 1 ? d.chaptersPath : d.tracks[3].path;
    path += "\xE9";
    std::string text;
    const Status made = mkvmergeOptionFile(d, &text);
    EXPECT_EQ(text, "") << which;
    EXPECT_NE(made.reason().find("not valid UTF-8"), std::string::npos) << made.reason();
  }
}

}  // namespace
}  // namespace korvell
