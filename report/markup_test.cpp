#include "report/markup.h"

#include <gtest/gtest.h>

namespace korvell {
namespace {

TEST(Markup, PlainMessageIsOneRegularSegment) {
  const auto segments = parseMarkup("Done.");
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].text, "Done.");
  EXPECT_EQ(segments[0].style, TextStyle{});
}

TEST(Markup, SeveralTagsOnOneLine) {
  const auto segments = parseMarkup("   Size = [bl]1920[/bl]x[bl]1080[/bl]");
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[0].text, "   Size = ");
  EXPECT_EQ(segments[1].text, "1920");
  EXPECT_TRUE(segments[1].style.bold);
  EXPECT_EQ(segments[1].style.colour, 0x00FF0000u);
  EXPECT_EQ(segments[2].text, "x");
  EXPECT_FALSE(segments[2].style.bold);
  EXPECT_EQ(segments[3].text, "1080");
}

TEST(Markup, TagEffects) {
  struct Case {
    const char* message;
    TextStyle style;
  };
  TextStyle bold;
  bold.bold = true;
  TextStyle italic;
  italic.italic = true;
  TextStyle underline;
  underline.underline = true;
  TextStyle big;
  big.pointSize = 12;
  TextStyle red;
  red.bold = true;
  red.colour = 0xFF;
  TextStyle hexColour;
  hexColour.colour = 0xFF0000;  // c:FF0000 is blue: red is the lowest byte
  TextStyle hashSkipped;
  hashSkipped.colour = 0x0000FF;
  const Case cases[] = {
      {"[b]x[/b]", bold},
      {"[i]x[/i]", italic},
      {"[u]x[/u]", underline},
      {"[s2]x[/s2]", big},
      {"[re]x[/re]", red},
      {"[c:ff0000]x[/c:ff0000]", hexColour},
      {"[c:#FF]x[/c:#FF]", hashSkipped},
      {"[B]x[/B]", TextStyle{}},  // names are case-sensitive: B resets
  };
  for (const auto& c : cases) {
    const auto segments = parseMarkup(c.message);
    ASSERT_EQ(segments.size(), 1u) << c.message;
    EXPECT_EQ(segments[0].text, "x") << c.message;
    EXPECT_EQ(segments[0].style, c.style) << c.message;
  }
}

TEST(Markup, MalformedMarkupNeverShows) {
  const char* messages[] = {"a[b]unclosed", "a[b", "x[/b]y", "[b]a[i]n[/i]b[/b]c", "[]", "]["};
  for (const char* message : messages) {
    std::string joined;
    for (const auto& segment : parseMarkup(message))
      joined += segment.text;
    EXPECT_EQ(joined.find('['), std::string::npos) << message;
    EXPECT_EQ(stripMarkup(message).find('['), std::string::npos) << message;
  }
}

TEST(Markup, StripKeepsBlanks) {
  EXPECT_EQ(stripMarkup("   Frame rate = [bl]25[/bl] fps"), "   Frame rate = 25 fps");
  EXPECT_EQ(stripMarkup("Opening file [b]FEATURE_1.EVO[/b]"), "Opening file FEATURE_1.EVO");
}

TEST(Markup, EscapedTextShowsExactlyAsItIs) {
  const char* texts[] = {"/media/Movie [2007]/HVDVD_TS/FEATURE_1.EVO",
                         "a[b]bold?[/b]",
                         "unclosed [ bracket",
                         "]",
                         "[[",
                         "[/b]",
                         "[re][/re][c:FF]",
                         ""};
  for (const char* text : texts) {
    const std::string escaped = escapeMarkup(text);
    EXPECT_EQ(stripMarkup(escaped), text);
    EXPECT_EQ(stripMarkup("Opening file " + escaped + " now"),
              std::string("Opening file ") + text + " now");
    // Inside a tag the text is one bold run, and the tag still closes after it.
    const auto segments = parseMarkup("Open [b]" + escaped + "[/b] x");
    std::string bold;
    std::string joined;
    for (const auto& segment : segments) {
      if (segment.style.bold) bold += segment.text;
      joined += segment.text;
    }
    EXPECT_EQ(bold, text);
    EXPECT_EQ(joined, std::string("Open ") + text + " x");
  }
}

TEST(Markup, ProblemsOfMalformedMarkup) {
  struct Case {
    const char* message;
    bool wellFormed;
  };
  const Case cases[] = {
      {"Done.", true},
      {"   Size = [bl]1920[/bl]x[bl]1080[/bl]", true},
      {"[c:FF0000]x[/c:FF0000] and [[b]", true},
      {"Eng[[lish found!", true},
      {"a ] stray bracket closes nothing", true},
      {"Eng[lish", false},         // unclosed "["
      {"[b]bold", false},          // tag never closed
      {"x[/b]", false},            // stray closing tag
      {"[B]x[/B]", false},         // names are case-sensitive: B is unknown
      {"[b][i]x[/i][/b]", false},  // tags do not nest
      {"[b]x[/bl] [/b]", false},   // a tag inside a tagged segment
  };
  for (const Case& c : cases) {
    EXPECT_EQ(markupProblem(c.message).empty(), c.wellFormed) << c.message;
  }
}

}  // namespace
}  // namespace korvell
