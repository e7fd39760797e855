#include "playlist/xpl_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playlist/xpl_attribute.h"

namespace korvell {
namespace {

using Lines = std::vector<std::string>;

TEST(XplAttribute, StringLookup) {
  struct Case {
    const char* tag;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {R"(<Audio description="English"/>)", "description", "English"},
      {R"(<Audio DESCRIPTION = "Mixed Case"/>)", "description", "Mixed Case"},
      {R"(<Item index="1"/>)", "codec", ""},
      {R"(<Item codec=VC-1 index="2"/>)", "codec", "2"},  // the next quoted value after "="
      {R"(<Item codec/>)", "codec", ""},
      {R"(<Item codec="open)", "codec", ""},
      {R"(<Item audioCodec="MLP" codec="DD+"/>)", "codec", "MLP"},  // first occurrence wins
      {"<Item d=\"\xE9t\xE9\"/>", "d", "\xE9t\xE9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(attributeValue(c.tag, c.name), c.value) << c.tag;
  }
}

TEST(XplAttribute, IntegerLookup) {
  struct Case {
    const char* value;
    int number;
  };
  const Case cases[] = {
      {"12", 12},
      {"007", 7},
      {"-3", -3},
      {"+4", 4},
      {"", 0},
      {"x1", 0},
      {"1x", 0},
      {" 1", 0},
      {"+-1", 0},
      {"-", 0},
      {"1.5", 0},
      {"0x10", 0},
      {"2147483647", 2147483647},
      {"2147483648", 0},
      {"99999999999999999999", 0},
  };
  for (const Case& c : cases) {
    const std::string tag = std::string("<Item index=\"") + c.value + "\"/>";
    EXPECT_EQ(integerAttribute(tag, "index"), c.number) << tag;
  }
  EXPECT_EQ(integerAttribute("<Item codec=\"DD+\"/>", "index"), 0);
}

TEST(XplScan, IndentsByDepthAndEmptyElementKeepsSiblingsLevel) {
  const auto scan = scanPlaylist(
      "<?xml version=\"1.0\"?>\n<!-- c -->\n<A>\n <B/>\n <C>\n  <D/>\n </C>\n <E "
      "x=\"1\"/>\n</A>\n");
  const Lines expected = {
      "<?xml version=\"1.0\"?>", "<!-- c -->", "<A>", "  <B/>", "  <C>", "    <D/>", "  </C>",
      "  <E x=\"1\"/>",          "</A>",
  };
  EXPECT_EQ(scan.lines, expected);
}

TEST(XplScan, ControlBytesCollapseToOneBlank) {
  struct Case {
    const char* input;
    const char* line;
  };
  const Case cases[] = {
      {"<A\nb=\"1\">", "<A b=\"1\">"}, {"<A\r\nb=\"1\">", "<A b=\"1\">"},
      {"<A\n\n\tb>", "<A b>"},         {"<A \nb>", "<A b>"},  // a blank already there
      {"<A\n  b>", "<A   b>"},                                // blanks themselves are kept
      {"<A>text\n<B>", "<A>"},                                // text between tags is dropped
  };
  for (const Case& c : cases) {
    const auto scan = scanPlaylist(c.input);
    ASSERT_FALSE(scan.lines.empty()) << c.input;
    EXPECT_EQ(scan.lines[0], c.line) << c.input;
  }
}

TEST(XplScan, MarkupOutsideTagsAndUnbalancedClosingTags) {
  // A ">" in text is text; a closing tag at depth 0 keeps its "</".
  const auto scan = scanPlaylist("<A>1 > 0</A></B><C/>");
  const Lines expected = {"<A>", "</A>", "</B>", "<C/>"};
  EXPECT_EQ(scan.lines, expected);
}

TEST(XplScan, BytesFromHexEightyUpAreKept) {
  const auto scan = scanPlaylist("<Audio description=\"Fran\xE7\x61is\"/>");
  ASSERT_EQ(scan.lines.size(), 1u);
  EXPECT_EQ(scan.lines[0], "<Audio description=\"Fran\xE7\x61is\"/>");
}

TEST(XplScan, UnclosedTagIsCapped) {
  XplScanner scanner;
  const std::string open = "<Never closed ";
  scanner.feed(open);
  scanner.feed(std::string(3 * XplScanner::kMaxTagLine, 'a'));
  scanner.feed(std::string_view(">"));
  ASSERT_EQ(scanner.lines().size(), 1u);
  EXPECT_EQ(scanner.lines()[0].size(), XplScanner::kMaxTagLine);
  EXPECT_EQ(scanner.lines()[0].substr(0, open.size()), open);
}

TEST(XplScan, IndentationStopsGrowing) {
  XplScanner scanner;
  for (int i = 0; i < 1000; ++i)
    scanner.feed(std::string_view("<a>"));
  EXPECT_EQ(scanner.depth(), 1000);
  EXPECT_EQ(scanner.lines().back(), std::string(2 * XplScanner::kMaxIndentLevels, ' ') + "<a>");
}

TEST(XplScan, AttributeTables) {
  const auto scan = scanPlaylist(R"(
    <VideoAttributeItem index="1" codec="VC-1"/>
    <AudioAttributeItem index="1" codec="DD+" channels="6"/>
    <AudioAttributeItem index="2" codec="DTS"/>
    <AudioAttributeItem index="3" channels="2"/>
    <AudioAttributeItem index="4" codec="MLP" channels=""/>
    <SubpictureAttributeItem index="8" codec="2bitRLE"/>
    <SubpictureAttributeItem index="2" codec="8bitRLE"/>
    <SubpictureAttributeItem index="2"/>
  )");
  EXPECT_EQ(scan.tables.videoAttr[1], "VC-1");
  EXPECT_EQ(scan.tables.audioAttr[1], "DD+.6ch");
  EXPECT_EQ(scan.tables.audioAttr[2], "DTS");  // no channels: the bare codec
  EXPECT_EQ(scan.tables.audioAttr[3], ".2ch");
  EXPECT_EQ(scan.tables.audioAttr[4], "MLP");
  EXPECT_EQ(scan.tables.subAttr[8], "2bitRLE");
  EXPECT_EQ(scan.tables.subAttr[2], "");  // not the earlier item's codec
}

TEST(XplScan, IndicesOutsideOneToEightAreIgnored) {
  for (const char* index : {"0", "9", "-1", "x", "", "100000000000"}) {
    const std::string bytes = std::string("<AudioAttributeItem index=\"") + index +
                              "\" codec=\"DD\"/><VideoAttributeItem index=\"" + index +
                              "\" codec=\"V\"/><SubpictureAttributeItem index=\"" + index +
                              "\" codec=\"S\"/>";
    const auto scan = scanPlaylist(bytes);
    for (int i = 0; i <= kAttrItems; ++i) {
      EXPECT_EQ(scan.tables.audioAttr[i], "") << index;
      EXPECT_EQ(scan.tables.videoAttr[i], "") << index;
      EXPECT_EQ(scan.tables.subAttr[i], "") << index;
    }
  }
  EXPECT_EQ(PlaylistTables::entry(PlaylistTables{}.audioAttr, 9), "");
  EXPECT_EQ(PlaylistTables::entry(PlaylistTables{}.audioAttr, -5), "");
}

TEST(XplScan, TablesAndTitleCarryOverFromAnEarlierReading) {
  const auto first =
      scanPlaylist(R"(<Playlist displayName="Disc A"><AudioAttributeItem index="5" codec="DTS"/>)"
                   R"(<AudioAttributeItem index="6" codec="DD"/></Playlist>)");
  EXPECT_EQ(first.tables.title, "Disc A");  // the closing tag leaves the title alone
  const auto second =
      scanPlaylist(R"(<Playlist><AudioAttributeItem index="6" codec="MLP"/>)", first.tables);
  EXPECT_EQ(second.tables.title, "Disc A");
  EXPECT_EQ(second.tables.audioAttr[5], "DTS");
  EXPECT_EQ(second.tables.audioAttr[6], "MLP");
}

}  // namespace
}  // namespace korvell
