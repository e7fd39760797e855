#include "disc/xpl_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_files.h"

namespace korvell {

namespace {

constexpr int64_t kSecond = 1'000'000'000;

const std::string kTestdata = std::string(KORVELL_SOURCE_DIR) + "/testdata";

std::string fileText(const std::string& path) {
  const std::vector<uint8_t> bytes = testing::readFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<Chapter> chaptersOf(const std::string& xpl, const char* baseName) {
  const std::optional<XplTitle> title = playlistTitle(xpl, baseName);
  return title ? title->title.chapters : std::vector<Chapter>{};
}

const std::vector<Chapter> kFeatureChapters = {
    {0, "Opening", "en"}, {40 * kSecond, "The Crossing", "en"}, {80 * kSecond, "Closing", "en"}};

TEST(PlaylistTitle, SampleChapters) {
  const std::string xpl = fileText(kTestdata + "/VPLST000.XPL");
  ASSERT_FALSE(xpl.empty());
  EXPECT_EQ(chaptersOf(xpl, "FEATURE_1"), kFeatureChapters);
  EXPECT_EQ(chaptersOf(xpl, "FEATURE_2"), kFeatureChapters);
  EXPECT_EQ(chaptersOf(xpl, "FEATURE_3"), (std::vector<Chapter>{{0, "Trailer", "en"}}));
  EXPECT_TRUE(chaptersOf(xpl, "FEATURE_1_FEATURE_2").empty());  // no title selected
}

TEST(PlaylistTitle, TitleSetRateAndLanguageByWholeAttributeName) {
  const std::string xpl = R"(<Playlist>
<TitleSet timeBaseDivisor="1" timeBase="24fps" defaultSubtitleLanguage="ja"
  defaultLanguage="FR">
<Title id="t"><Clip src="A.MAP"/><ChapterList>
<Chapter displayName="One"  titleTimeBegin = '00:00:01:12'/>
<Chapter titleTimeBegin="00:00:02:00" displayName="Two" language="De"/>
<Chapter displayName='x titleTimeBegin="00:00:09:00"' />
<Chapter titleTimeBegin="00:00:03:24" displayName="FF too big"/>
<Chapter titleTimeBegin="00:00:00:01" displayName="Earlier" language="english"/>
<CHAPTER TITLETIMEBEGIN="00:00:05:00"/>
</ChapterList></Title></TitleSet></Playlist>)";
  EXPECT_EQ(chaptersOf(xpl, "A"), (std::vector<Chapter>{{kSecond + kSecond / 2, "One", "fr"},
                                                        {2 * kSecond, "Two", "de"},
                                                        {41'666'667, "Earlier", "fr"},
                                                        {5 * kSecond, "", "fr"}}));
}

TEST(PlaylistTitle, DefaultsWithoutAnEnclosingTitleSet) {
  // The title set above is closed before the title: its 24 fps and language do not apply.
  const std::string closed = R"(<Playlist><TitleSet timeBase="24Hz" defaultLanguage="en">
</TitleSet><Title id="t"><Clip src="A.MAP"/>
<Chapter titleTimeBegin="00:00:00:30" displayName="Half" language="e1"/></Title></Playlist>)";
  EXPECT_EQ(chaptersOf(closed, "A"), (std::vector<Chapter>{{kSecond / 2, "Half", ""}}));
  const std::string none = R"(<Playlist><TitleSet timeBase="fast"><Title id="t"><Clip src="A.MAP"/>
<Chapter titleTimeBegin="00:00:00:30"/></Title></TitleSet></Playlist>)";
  EXPECT_EQ(chaptersOf(none, "A"), (std::vector<Chapter>{{kSecond / 2, "", ""}}));
  const std::string noList = R"(<Playlist><TitleSet><Title id="t"><Clip src="A.MAP"/></Title>
<Title id="t"><Clip src="B.MAP"/><Chapter titleTimeBegin="00:00:01:00"/></Title></TitleSet></Playlist>)";
  EXPECT_TRUE(chaptersOf(noList, "A").empty());
}

TEST(PlaylistTitle, SampleNameLengthAndStreams) {
  const std::optional<XplTitle> feature =
      playlistTitle(fileText(kTestdata + "/VPLST000.XPL"), "FEATURE_2");
  ASSERT_TRUE(feature);
  EXPECT_EQ(feature->id, "Feature");
  EXPECT_EQ(feature->durationText, "00:02:00:00");
  EXPECT_EQ(feature->title.name, "Feature Presentation");
  EXPECT_EQ(feature->title.number, 1);
  EXPECT_DOUBLE_EQ(feature->title.durationSeconds, 120.0);
  // Both clips list the same streams: each is taken once, with its attribute item's codec and
  // the identifier that codec and number give (those the sample disc's packets carry).
  struct Expected {
    Family family;
    int number;
    int id;
    const char* language;
    const char* name;
    const char* codec;
  };
  const Expected expected[] = {{Family::Video, 0, 0x55, "", "", "VC-1"},
                               {Family::Audio, 0, 0xC0, "en", "English", "DD+"},
                               {Family::Audio, 1, 0xB1, "en", "English", "MLP"},
                               {Family::Audio, 2, 0x8A, "fr", "French", "DTS"},
                               {Family::Subpicture, 0, 0x20, "en", "English", "2bitRLE"},
                               {Family::Subpicture, 1, 0x21, "fr", "French", "8bitRLE"}};
  ASSERT_EQ(feature->title.streams.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const TitleStream& stream = feature->title.streams[i];
    EXPECT_EQ(stream.family, expected[i].family) << i;
    EXPECT_EQ(stream.number, expected[i].number) << i;
    EXPECT_EQ(stream.id, expected[i].id) << i;
    EXPECT_EQ(stream.language, expected[i].language) << i;
    EXPECT_EQ(stream.name, expected[i].name) << i;
    EXPECT_EQ(stream.codec, expected[i].codec) << i;
  }
}

TEST(PlaylistTitle, DurationAtTheTitleSetRate) {
  // "00:02:00:12" is 120.5 s at the title set's 24 fps, whatever timeBase the title carries.
  const std::string xpl = R"(<Playlist><TitleSet timeBase="24fps">
<Title id="t" timeBase="60Hz" titleDuration="00:02:00:12"><Clip src="A.MAP"/></Title>
</TitleSet></Playlist>)";
  const std::optional<XplTitle> title = playlistTitle(xpl, "A");
  ASSERT_TRUE(title);
  EXPECT_DOUBLE_EQ(title->title.durationSeconds, 120.5);
  EXPECT_EQ(title->title.name, "t");  // no displayName: the id
}

TEST(PlaylistTitle, NothingForMalformedXmlOrAnUnmentionedFile) {
  std::string error;
  EXPECT_FALSE(playlistTitle("<Playlist><Title><Clip src=\"A.MAP\"></Title>", "A", &error));
  EXPECT_FALSE(error.empty());
  const std::string xpl = "<Playlist><Title id=\"t\"><Clip src=\"A.MAP\"/></Title></Playlist>";
  EXPECT_FALSE(playlistTitle(xpl, "B"));
  EXPECT_FALSE(playlistTitle(xpl, ""));
  EXPECT_FALSE(playlistTitle("<Playlist><Clip src=\"A.MAP\"/></Playlist>", "A"));  // no Title
  // Track and stream numbers outside 1..16 and repeats are left out.
  const std::string numbers = R"(<Playlist><Title><Clip src="A.MAP"/><Audio streamNumber="0"/>
<Audio streamNumber="17"/><Audio streamNumber="x"/><Audio streamNumber="16" description="a"/>
<Audio streamNumber="16" description="b"/></Title></Playlist>)";
  const std::optional<XplTitle> title = playlistTitle(numbers, "A");
  ASSERT_TRUE(title);
  ASSERT_EQ(title->title.streams.size(), 1u);
  EXPECT_EQ(title->title.streams[0].number, 15);
  EXPECT_EQ(title->title.streams[0].name, "a");
}

}  // namespace
}  // namespace korvell
