#include "runs/titles_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "report/markup.h"
#include "testing/dvd_test_disc.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::dvdTestDisc;

TEST(TitlesRun, ListsEachTitleOfTheTestDisc) {
  if (!dvdTestDisc().missingTool.empty()) GTEST_SKIP() << dvdTestDisc().missingTool;
  ASSERT_EQ(dvdTestDisc().failure, "");
  testing::RecordingHost host;
  const std::string disc = dvdTestDisc().folder.string();
  const TitlesReport report = titlesRun(disc, host);
  EXPECT_EQ(report.outcome, RunOutcome::Done);
  EXPECT_EQ(report.titles, readDvdTitles(disc, realFileSystem()).titles);
  const std::string grey = " 108080";
  std::string greys;
  for (int i = 0; i < 14; ++i)
    greys += grey;
  const std::string expected = "Reading the titles of " + disc + "\n" +
                               "[b]Title 1[/b] VTS_01_TITLE_1: 0:00:08.000, 4 chapters, 1 angle\n"
                               "   Chapter 1: 0:00:00.000\n"
                               "   Chapter 2: 0:00:01.920\n"
                               "   Chapter 3: 0:00:03.840\n"
                               "   Chapter 4: 0:00:05.760\n"
                               "   Video: id E0, MPEG-2\n"
                               "   Audio 0: id 80, AC-3, en, 2 channels, 48000 Hz\n"
                               "   Audio 1: id 81, AC-3, de, 6 channels, 48000 Hz\n"
                               "   Subpicture 0: id 20, fr\n"
                               "   Palette: 51EF5B E98081" +
                               greys + "\n" +
                               "   VTS_01_1.VOB: sectors 0 to 336\n"
                               "   VTS_01_2.VOB: sectors 0 to 334\n"
                               "[b]Title 2[/b] VTS_01_TITLE_2: 0:00:02.000, 1 chapter, 1 angle\n"
                               "   Chapter 1: 0:00:00.000\n"
                               "   Video: id E0, MPEG-2\n"
                               "   Audio 0: id 80, AC-3, en, 2 channels, 48000 Hz\n"
                               "   Audio 1: id 81, AC-3, de, 6 channels, 48000 Hz\n"
                               "   Palette:" +
                               grey + grey + greys + "\n" +
                               "   VTS_01_2.VOB: sectors 335 to 651\n"
                               "2 titles.\n"
                               "Done.\n"
                               "\n";
  EXPECT_EQ(host.transcript(), expected);
  EXPECT_EQ(host.statusTexts[0].back(), "Ready");
}

TEST(TitlesRun, FailuresAreLoggedOnOneLineAndReturned) {
  if (!dvdTestDisc().missingTool.empty()) GTEST_SKIP() << dvdTestDisc().missingTool;
  ASSERT_EQ(dvdTestDisc().failure, "");
  struct Case {
    const char* name;
    bool copyDisc;
    const char* removed;  // a file of VIDEO_TS removed from the copy
    RunOutcome outcome;
    std::vector<std::string> lines;  // as shown, after the first; {} is the disc folder
  };
  const Case cases[] = {
      {"no disc",
       false,
       nullptr,
       RunOutcome::Failed,
       {"Cannot find a VIDEO_TS folder or a VIDEO_TS.IFO file in \"{}\""}},
      {"no title can be played",
       true,
       "VTS_01_2.VOB",
       RunOutcome::Failed,
       {"Title 1 cannot be played: Title 1 plays sectors up to 671 of title set 1, but its "
        "VOB files end at sector 336 and there is no \"{}/VIDEO_TS/VTS_01_2.VOB\"",
        "Title 2 cannot be played: Title 2 plays sectors up to 988 of title set 1, but its "
        "VOB files end at sector 336 and there is no \"{}/VIDEO_TS/VTS_01_2.VOB\"",
        "2 titles."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A folder name with markup in it: the messages show it as it is.
    const testing::TempFolder temp;
    const fs::path folder = temp / "disc [b]";
    fs::create_directory(folder);
    if (c.copyDisc) testing::copyDvdTestDisc(folder);
    if (c.removed) fs::remove(folder / "VIDEO_TS" / c.removed);
    testing::RecordingHost host;
    const TitlesReport report = titlesRun(folder.string(), host);
    EXPECT_EQ(report.outcome, c.outcome);
    EXPECT_FALSE(report.failure.ok());
    ASSERT_EQ(host.lines.size(), c.lines.size() + 1);
    for (size_t i = 0; i < c.lines.size(); ++i) {
      std::string line = c.lines[i];
      const size_t at = line.find("{}");
      if (at != std::string::npos) line.replace(at, 2, folder.string());
      EXPECT_EQ(stripMarkup(host.lines[i + 1]), line);
      EXPECT_EQ(markupProblem(host.lines[i + 1]), "");
    }
    EXPECT_EQ(host.statusTexts[0].back(), "Ready");
  }
}

}  // namespace
}  // namespace korvell
