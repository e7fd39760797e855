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

// A title's streams, a line each: family and number, identifier, language, name, codec, forced.
std::vector<std::string> streamLines(const Title& title) {
  std::vector<std::string> lines;
  for (const TitleStream& stream : title.streams) {
    lines.push_back(std::string(1, "VAS"[static_cast<int>(stream.family)]) +
                    std::to_string(stream.number) + " " + std::to_string(stream.id) + " " +
                    (stream.language.empty() ? "''" : stream.language) + " '" + stream.name + "' " +
                    stream.codec + (stream.forced ? " forced" : ""));
  }
  return lines;
}

std::vector<Chapter> chaptersOf(const std::string& xpl, const char* baseName) {
  XplTitle title;
  return playlistTitle(xpl, baseName, &title).ok() ? title.title.chapters : std::vector<Chapter>{};
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
  XplTitle feature;
  ASSERT_TRUE(playlistTitle(fileText(kTestdata + "/VPLST000.XPL"), "FEATURE_2", &feature).ok());
  EXPECT_EQ(feature.id, "Feature");
  EXPECT_EQ(feature.durationText, "00:02:00:00");
  EXPECT_EQ(feature.title.name, "Feature Presentation");
  EXPECT_EQ(feature.title.number, 1);
  EXPECT_DOUBLE_EQ(feature.title.durationSeconds, 120.0);
  // Both clips list the same streams: each is taken once, with its attribute item's codec by
  // the table's name and the identifier that codec and number give (those the sample disc's
  // packets carry).
  EXPECT_EQ(streamLines(feature.title), (std::vector<std::string>{
                                            "V0 85 '' '' VC-1",
                                            "A0 192 en 'English' E-AC-3",
                                            "A1 177 en 'English' TrueHD",
                                            "A2 138 fr 'French' DTS",
                                            "S0 32 en 'English' 2bitRLE",
                                            "S1 33 fr 'French' 8bitRLE",
                                        }));
}

TEST(PlaylistTitle, DurationAtTheTitleSetRate) {
  // "00:02:00:12" is 120.5 s at the title set's 24 fps, whatever timeBase the title carries.
  const std::string xpl = R"(<Playlist><TitleSet timeBase="24fps">
<Title id="t" timeBase="60Hz" titleDuration="00:02:00:12"><Clip src="A.MAP"/></Title>
</TitleSet></Playlist>)";
  XplTitle title;
  ASSERT_TRUE(playlistTitle(xpl, "A", &title).ok());
  EXPECT_DOUBLE_EQ(title.title.durationSeconds, 120.5);
  EXPECT_EQ(title.title.name, "t");  // no displayName: the id
}

TEST(PlaylistTitle, NothingForMalformedXmlOrAnUnmentionedFile) {
  XplTitle title;
  const Status malformed =
      playlistTitle("<Playlist><Title><Clip src=\"A.MAP\"></Title>", "A", &title);
  EXPECT_EQ(malformed.code(), Status::Code::Invalid);
  EXPECT_FALSE(malformed.reason().empty());
  const std::string xpl = "<Playlist><Title id=\"t\"><Clip src=\"A.MAP\"/></Title></Playlist>";
  EXPECT_EQ(playlistTitle(xpl, "B", &title).code(), Status::Code::NotFound);
  EXPECT_EQ(playlistTitle(xpl, "", &title).code(), Status::Code::NotFound);
  EXPECT_FALSE(playlistTitle("<Playlist><Clip src=\"A.MAP\"/></Playlist>", "A", &title).ok());
  // Track and stream numbers outside 1..16 and repeats are left out.
  const std::string numbers = R"(<Playlist><Title><Clip src="A.MAP"/><Audio streamNumber="0"/>
<Audio streamNumber="17"/><Audio streamNumber="x"/><Audio streamNumber="16" description="a"/>
<Audio streamNumber="16" description="b"/></Title></Playlist>)";
  ASSERT_TRUE(playlistTitle(numbers, "A", &title).ok());
  ASSERT_EQ(title.title.streams.size(), 1u);
  EXPECT_EQ(title.title.streams[0].number, 15);
  EXPECT_EQ(title.title.streams[0].name, "a");
}

TEST(XplDocument, TitlesClipsAndTheTrackListsLanguages) {
  const std::string xpl = R"(<Playlist><MediaAttributeList>
<VideoAttributeItem index="1" codec="AVC"/><AudioAttributeItem index="1" codec="AC-3"/>
<AudioAttributeItem index="2" codec="DTS-HD" channels="6" sampleFrequency="96"/>
<AudioAttributeItem index="3" codec="MPEG"/><SubpictureAttributeItem index="1" codec="8bitRLC"/>
</MediaAttributeList><TitleSet timeBase="60fps">
<FirstPlayTitle><PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/LOGO.MAP"
 titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:05:00"/></FirstPlayTitle>
<Title titleNumber="7"><PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/F.MAP"
 titleTimeBegin="00:00:01:00" titleTimeEnd="00:00:02:59" clipTimeBegin="00:01:00:00">
<Video track="1" angleNumber="2"/>
<Audio track="2" streamNumber="1" description="Clip's own"/>
<Audio track="1" streamNumber="2" mediaAttr="2" langcode="fr:01"/>
<Audio track="3" streamNumber="9"/><Audio track="4" streamNumber="3" mediaAttr="3"/>
<Subtitle track="1" streamNumber="4" langcode="en:09"/><Subtitle track="2" streamNumber="5"/>
</PrimaryAudioVideoClip>
<PrimaryAudioVideoClip src="F2.EVO" titleTimeBegin="00:00:02:59" titleTimeEnd="x"
 clipTimeBegin="1"/>
<TrackNavigationList><AudioTrack track="1" langcode="de:03"/>
<AudioTrack track="2" langcode="*:00" description="Listed"/>
<SubtitleTrack track="2" langcode="ja:01" forced="true"/></TrackNavigationList>
</Title></TitleSet></Playlist>)";
  XplDocument document;
  const Status read = readXplDocument(xpl, &document);
  ASSERT_TRUE(read.ok()) << read.reason();
  ASSERT_EQ(document.titles.size(), 2u);
  EXPECT_TRUE(document.titles[0].firstPlay);
  EXPECT_EQ(document.titles[0].title.number, 0);
  const XplTitle& title = document.titles[1];
  EXPECT_EQ(title.title.number, 7);
  ASSERT_EQ(title.clips.size(), 2u);
  EXPECT_EQ(title.clips[0].mapName, "F.MAP");
  EXPECT_EQ(title.clips[0].titleBegin, 60);
  EXPECT_EQ(title.clips[0].titleEnd, 179);
  EXPECT_EQ(title.clips[0].clipBegin, 3600);
  EXPECT_EQ(title.clips[0].angle, 2);
  EXPECT_EQ(title.clips[1].mapName, "F2.EVO");
  EXPECT_FALSE(title.clips[1].titleEnd);
  EXPECT_FALSE(title.clips[1].clipBeginValid);
  // The track list names a stream by its track; the element's attributes stand in for a
  // track it does not list; the langcode's extension describes what has no description.
  EXPECT_EQ(streamLines(title.title), (std::vector<std::string>{
                                          "V0 226 '' '' H.264",
                                          "A0 128 '' 'Listed' AC-3",
                                          "A1 137 de 'Director's comments' DTS",
                                          "A8 -1 '' '' AC-3",  // AC-3 has eight streams
                                          "A2 -1 '' '' MPEG",  // MPEG audio: no substream here
                                          "S3 35 en 'Forced' 8bitRLC forced",
                                          "S4 36 ja '' 8bitRLC forced",
                                      }));
  EXPECT_EQ(title.title.streams[2].channels, 6);
  EXPECT_EQ(title.title.streams[2].sampleRate, 96000);
}

}  // namespace
}  // namespace korvell
