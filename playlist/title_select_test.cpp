#include "playlist/title_select.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvell {
namespace {

std::vector<std::string> labels(const TitleSelection& selection) {
  std::vector<std::string> out;
  for (const auto& stream : selection.streams)
    out.push_back(stream.label);
  return out;
}

TitleSelection select(const std::string& xpl, const char* baseName) {
  const auto scan = scanPlaylist(xpl);
  return selectTitle(scan.lines, scan.tables, baseName);
}

TEST(SelectTitle, FirstListingOfANumberWinsAndVideoTrackTwoHasNoBox) {
  const auto selection = select(R"(<Playlist><AudioAttributeItem index="1" codec="DD"/>
<Title displayName="T"><Clip src="A_1.MAP"/>
<Video track="2"/><Audio streamNumber="3" mediaAttr="1" description="First"/>
<Audio streamNumber="3" mediaAttr="1" description="Second"/><Subtitle streamNumber="3"/>
</Title></Playlist>)",
                                "A_1");
  EXPECT_EQ(labels(selection),
            (std::vector<std::string>{".stream.1", "DD.stream.02.First", ".stream.02."}));
  EXPECT_EQ(selection.streams[0].slot, (Slot{Family::Video, 1}));
  EXPECT_FALSE(selection.streams[0].hasBox);
  EXPECT_EQ(selection.streams[2].slot, (Slot{Family::Subpicture, 2}));
  EXPECT_TRUE(selection.streams[2].hasBox);
}

TEST(SelectTitle, NoTitleWithoutTheBaseNameOrWhenOnlyTheFirstLineHasIt) {
  const std::string xpl = R"(<?xml version="1.0"?><Playlist><Title>
<Clip src="FEATURE_1.MAP"/><Audio streamNumber="1"/></Title></Playlist>)";
  // FEATURE_1_FEATURE_2 is the base name of a continued set: no playlist names it.
  for (const char* base : {"FEATURE_1_FEATURE_2", "feature_1", "<?xml"}) {
    const auto scan = scanPlaylist(xpl);
    const auto selection = selectTitle(scan.lines, scan.tables, base);
    EXPECT_FALSE(selection.found) << base;
    EXPECT_EQ(selection.lines, scan.lines) << base;
    EXPECT_TRUE(selection.tree.roots.empty()) << base;
    EXPECT_TRUE(selection.streams.empty()) << base;
  }
}

TEST(SelectTitle, NumbersOutsideOneToSixteenAreSkipped) {
  for (const std::string n : {"0", "17", "-1", "x", ""}) {
    const auto selection =
        select("<Playlist><Title><Clip src=\"M.MAP\"/><Video track=\"" + n +
                   "\"/><Audio streamNumber=\"" + n + "\"/><Subtitle streamNumber=\"" + n +
                   "\"/><Audio streamNumber=\"16\"/></Title></Playlist>",
               "M");
    ASSERT_TRUE(selection.found) << n;
    ASSERT_EQ(selection.streams.size(), 1u) << n;
    EXPECT_EQ(selection.streams[0].slot, (Slot{Family::Audio, 15}));
  }
}

TEST(SelectTitle, ATitleNamingTheFileInItsOwnTagIsThatTitle) {
  const auto selection = select(R"(<Playlist>
<Title displayName="A"><Audio streamNumber="1" description="a"/></Title>
<Title displayName="FEATURE_1"><Audio streamNumber="2" description="b"/></Title>
</Playlist>)",
                                "FEATURE_1");
  EXPECT_EQ(labels(selection), std::vector<std::string>{".stream.01.b"});
}

}  // namespace
}  // namespace korvell
