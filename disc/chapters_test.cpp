#include "disc/chapters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "disc/xpl_model.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {

void PrintTo(const Chapter& chapter, std::ostream* os) {
  *os << "{" << chapter.startNs << ", \"" << chapter.name << "\", \"" << chapter.language << "\"}";
}

namespace {

constexpr int64_t kSecond = 1'000'000'000;

const std::string kTestdata = std::string(KORVELL_SOURCE_DIR) + "/testdata";

std::string fileText(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = testing::readFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

const std::vector<Chapter> kFeatureChapters = {
    {0, "Opening", "en"}, {40 * kSecond, "The Crossing", "en"}, {80 * kSecond, "Closing", "en"}};

TEST(TimeBaseFrameRate, LeadingNumberOrSixty) {
  const struct {
    const char* value;
    int rate;
  } cases[] = {{"60Hz", 60},     {"50Hz", 50},
               {"24fps", 24},    {"50fps", 50},
               {"60fps", 60},    {"24", 24},
               {"1000Hz", 1000}, {"", 60},
               {"Hz", 60},       {"0Hz", 60},
               {"1001", 60},     {"-24", 60},
               {" 24", 60},      {"99999999999999999999", 60}};
  for (const auto& c : cases)
    EXPECT_EQ(timeBaseFrameRate(c.value), c.rate) << c.value;
}

TEST(TitleTimeNs, FramesAtTheTitleSetRate) {
  const struct {
    const char* time;
    int rate;
    int64_t ns;
  } cases[] = {
      {"00:00:00:00", 60, 0},
      {"00:00:00:01", 60, 16'666'667},   // 16,666,666.67 rounds up
      {"00:00:00:30", 60, kSecond / 2},  //
      {"00:00:00:59", 60, 983'333'333},  // the last frame of a second
      {"00:00:00:01", 50, 20'000'000},
      {"00:00:00:49", 50, 980'000'000},
      {"00:00:00:01", 24, 41'666'667},
      {"00:00:00:23", 24, 958'333'333},
      {"00:00:40:00", 60, 40 * kSecond},
      {"01:02:03:04", 50, 3723 * kSecond + 80'000'000},
      {"99:59:59:59", 60, 359'999 * kSecond + 983'333'333},
      {"0:0:1:0", 60, kSecond},
      {"000000099:000000059:00:00", 60, (99 * 3600 + 59 * 60) * kSecond},
      {"00:00:00:999", 1000, 999'000'000},
      {"00:00:01:00", 1, kSecond},
  };
  for (const auto& c : cases)
    EXPECT_EQ(titleTimeNs(c.time, c.rate), c.ns) << c.time << " at " << c.rate;
}

TEST(TitleTimeNs, MalformedTimesGiveNothing) {
  const struct {
    const char* time;
    int rate;
  } cases[] = {
      {"", 60},
      {"00:00:00", 60},
      {"00:00:00:00:00", 60},
      {"00:00:00:", 60},
      {":00:00:00", 60},
      {"00::00:00", 60},
      {"00:00:00:60", 60},  // a frame number equal to the rate
      {"00:00:00:50", 50},
      {"00:00:00:24", 24},
      {"00:60:00:00", 60},
      {"00:00:60:00", 60},
      {"100:00:00:00", 60},
      {"-1:00:00:00", 60},
      {"+1:00:00:00", 60},
      {" 00:00:00:00", 60},
      {"00:00:00:00 ", 60},
      {"0a:00:00:00", 60},
      {"00.00.00.00", 60},
      {"00:00:00.00", 60},
      {"0000000000:00:00:00", 60},  // ten digits
      {"99999999999999999999:00:00:00", 60},
      {"00:00:00:99999999999999999999", 60},
      {"00:00:00:00", 0},
      {"00:00:00:00", -5},
      {"00:00:00:00", 1001},
  };
  for (const auto& c : cases)
    EXPECT_EQ(titleTimeNs(c.time, c.rate), std::nullopt) << c.time << " at " << c.rate;
}

TEST(SimpleChapterText, SampleFeature) {
  EXPECT_EQ(simpleChapterText(kFeatureChapters),
            "\xEF\xBB\xBF"
            "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Opening\n"
            "CHAPTER02=00:00:40.000\nCHAPTER02NAME=The Crossing\n"
            "CHAPTER03=00:01:20.000\nCHAPTER03NAME=Closing\n");
  EXPECT_EQ(simpleChapterText({}), "");
}

TEST(SimpleChapterText, TimesRoundToTheNearestMillisecond) {
  const struct {
    int64_t ns;
    const char* text;
  } cases[] = {
      {0, "00:00:00.000"},
      {499'999, "00:00:00.000"},
      {500'000, "00:00:00.001"},
      {16'666'667, "00:00:00.017"},
      {999'500'000, "00:00:01.000"},
      {3'599'999'500'000, "01:00:00.000"},
      {359'999 * kSecond + 983'333'333, "99:59:59.983"},
      {360'000 * kSecond, "100:00:00.000"},
      {-5, "00:00:00.000"},
      {std::numeric_limits<int64_t>::max(), "2562047:47:16.855"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(simpleChapterText({{c.ns, "n", ""}}),
              std::string(kUtf8ByteOrderMark) + "CHAPTER01=" + c.text + "\nCHAPTER01NAME=n\n")
        << c.ns;
  }
}

TEST(SimpleChapterText, NumbersTakeMoreDigitsPastNinetyNine) {
  const std::vector<Chapter> chapters(100, Chapter{kSecond, "c", ""});
  const std::string text = simpleChapterText(chapters);
  EXPECT_EQ(text.substr(3, 34), "CHAPTER01=00:00:01.000\nCHAPTER01NA");
  EXPECT_NE(text.find("\nCHAPTER09NAME=c\nCHAPTER10=00:00:01.000\n"), std::string::npos);
  EXPECT_NE(text.find("\nCHAPTER99NAME=c\nCHAPTER100=00:00:01.000\nCHAPTER100NAME=c\n"),
            std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 200);
  // An unnamed chapter is named by its number, a named one keeps its name.
  std::vector<Chapter> unnamed(100, Chapter{kSecond, "", ""});
  unnamed[10].name = "Eleven";
  const std::string numbered = simpleChapterText(unnamed);
  for (const char* line : {"\nCHAPTER10NAME=Chapter 10\n", "\nCHAPTER11NAME=Eleven\n",
                           "\nCHAPTER100NAME=Chapter 100\n"})
    EXPECT_NE(numbered.find(line), std::string::npos) << line;
}

// Names as both writers put them: control characters as blanks, bytes that are not UTF-8
// read as Latin-1.
const struct {
  const char* name;
  const char* simple;
  const char* xml;
} kNameCases[] = {
    {"a\nCHAPTER02=00:00:00.000", "a CHAPTER02=00:00:00.000", "a CHAPTER02=00:00:00.000"},
    {"tab\there\r\x7f", "tab here  ", "tab here  "},
    {"Caf\xE9", "Caf\xC3\xA9", "Caf\xC3\xA9"},
    {"Caf\xC3\xA9", "Caf\xC3\xA9", "Caf\xC3\xA9"},
    {"nel\xC2\x85"
     "end",
     "nel end", "nel end"},  // U+0085 NEXT LINE as UTF-8
    {"nel\x85"
     "end",
     "nel end", "nel end"},  // the same as a Latin-1 byte
    {"Tom & \"Jerry\" <b>'s", "Tom & \"Jerry\" <b>'s", "Tom &amp; &quot;Jerry&quot; &lt;b&gt;'s"},
    {"&amp;", "&amp;", "&amp;amp;"},
    {"\xC2\xA0nbsp", "\xC2\xA0nbsp", "\xC2\xA0nbsp"},  // U+00A0 is no control character
    {"", "Chapter 01", "Chapter 01"},                  // unnamed, as players show it
};

TEST(SimpleChapterText, NamesStayOnOneLine) {
  for (const auto& c : kNameCases) {
    EXPECT_EQ(simpleChapterText({{0, c.name, ""}}),
              std::string(kUtf8ByteOrderMark) +
                  "CHAPTER01=00:00:00.000\nCHAPTER01NAME=" + c.simple + "\n")
        << c.name;
  }
}

TEST(MatroskaChapterXml, SampleFeature) {
  std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Chapters>\n  <EditionEntry>\n";
  const std::pair<const char*, const char*> atoms[] = {{"00:00:00.000000000", "Opening"},
                                                       {"00:00:40.000000000", "The Crossing"},
                                                       {"00:01:20.000000000", "Closing"}};
  for (const auto& [time, name] : atoms) {
    expected += std::string("    <ChapterAtom>\n      <ChapterTimeStart>") + time +
                "</ChapterTimeStart>\n      <ChapterDisplay>\n        <ChapterString>" + name +
                "</ChapterString>\n        <ChapterLanguage>en</ChapterLanguage>\n"
                "      </ChapterDisplay>\n    </ChapterAtom>\n";
  }
  expected += "  </EditionEntry>\n</Chapters>\n";
  EXPECT_EQ(matroskaChapterXml(kFeatureChapters), expected);
  EXPECT_EQ(matroskaChapterXml({}),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Chapters>\n"
            "</Chapters>\n");
}

TEST(MatroskaChapterXml, NanosecondTimesAndNoLanguageWhenUnknown) {
  const std::string xml =
      matroskaChapterXml({{16'666'667, "a", ""}, {-1, "b", ""}, {360'000 * kSecond, "c", ""}});
  EXPECT_NE(xml.find("<ChapterTimeStart>00:00:00.016666667</ChapterTimeStart>"), std::string::npos);
  EXPECT_NE(xml.find("<ChapterTimeStart>00:00:00.000000000</ChapterTimeStart>\n"
                     "      <ChapterDisplay>\n        <ChapterString>b</ChapterString>"),
            std::string::npos);
  EXPECT_NE(xml.find("<ChapterTimeStart>100:00:00.000000000</ChapterTimeStart>"),
            std::string::npos);
  EXPECT_EQ(xml.find("<ChapterLanguage>"), std::string::npos);
}

TEST(MatroskaChapterXml, NamesAreEscaped) {
  for (const auto& c : kNameCases) {
    const std::string xml = matroskaChapterXml({{0, c.name, "fr"}});
    EXPECT_NE(xml.find(std::string("<ChapterString>") + c.xml + "</ChapterString>\n" +
                       "        <ChapterLanguage>fr</ChapterLanguage>\n"),
              std::string::npos)
        << c.name;
  }
}

// The text of each element `tag` in `xml`, in order.
std::vector<std::string> elements(const std::string& xml, const std::string& tag) {
  std::vector<std::string> out;
  const std::string open = "<" + tag + ">";
  const std::string close = "</" + tag + ">";
  for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at)) {
    at += open.size();
    const size_t end = xml.find(close, at);
    if (end == std::string::npos) break;
    out.push_back(xml.substr(at, end - at));
  }
  return out;
}

TEST(ChapterFiles, RoundTripThroughTheMatroskaTools) {
  if (testing::runCommand("command -v mkvmerge && command -v mkvextract").status != 0)
    GTEST_SKIP() << "mkvmerge is not installed: chapter round trip skipped";
  namespace fs = std::filesystem;
  const testing::TempFolder folder;
  const fs::path dir = folder.path();
  const std::string video = kTestdata + "/mpeg2_pal_25.m2v";

  // The sample's chapters, one at a frame that is no whole millisecond, and names to escape.
  XplTitle feature;
  ASSERT_TRUE(playlistTitle(fileText(kTestdata + "/VPLST000.XPL"), "FEATURE_1", &feature).ok());
  std::vector<Chapter> chapters = feature.title.chapters;
  ASSERT_EQ(chapters, kFeatureChapters);
  chapters.push_back({*titleTimeNs("00:01:30:01", 60), "Tom & \"Jerry\" <b>\nCaf\xE9", "fr"});

  // The tools run as a user without a UTF-8 locale would run them, and as one with it.
  const auto muxAndExtract = [&](const std::string& kind, const std::string& text,
                                 const std::string& extractOptions, const std::string& locale) {
    const std::string in = (dir / (kind + ".in")).string();
    const std::string mkv = (dir / (kind + ".mkv")).string();
    const std::string out = (dir / (kind + ".out")).string();
    testing::writeFileBytes(in, std::vector<uint8_t>(text.begin(), text.end()));
    const std::string env = "env -u LANGUAGE LC_ALL=" + locale + " ";
    const auto mux = testing::runCommand(env + "mkvmerge -q -o '" + mkv + "' --chapters '" + in +
                                         "' '" + video + "'");
    EXPECT_EQ(mux.status, 0) << mux.output;
    // The chapters come out in UTF-8 (C.UTF-8 is always there on Debian).
    auto extract = testing::runCommand("env LC_ALL=C.UTF-8 mkvextract '" + mkv + "' chapters " +
                                       extractOptions + " '" + out + "'");
    if (extract.status != 0) {  // older releases take the mode first
      extract = testing::runCommand("env LC_ALL=C.UTF-8 mkvextract chapters '" + mkv + "' " +
                                    extractOptions + " > '" + out + "'");
    }
    EXPECT_EQ(extract.status, 0) << extract.output;
    return fileText(out);
  };

  // Simple text in, simple text out: the times are whole milliseconds, so the same text (the
  // extracted file has no byte-order mark).
  const std::string simple = simpleChapterText(chapters);
  for (const char* locale : {"C", "C.UTF-8"}) {
    std::string back = muxAndExtract("simple", simple, "-s", locale);
    if (back.starts_with(kUtf8ByteOrderMark)) back.erase(0, 3);
    EXPECT_EQ(back, simple.substr(3)) << locale;
  }

  // XML in, XML out: nanosecond times, names and languages.
  const std::string xml = muxAndExtract("xml", matroskaChapterXml(chapters), "", "C");
  EXPECT_EQ(elements(xml, "ChapterTimeStart"),
            (std::vector<std::string>{"00:00:00.000000000", "00:00:40.000000000",
                                      "00:01:20.000000000", "00:01:30.016666667"}));
  EXPECT_EQ(elements(xml, "ChapterString"),
            (std::vector<std::string>{"Opening", "The Crossing", "Closing",
                                      "Tom &amp; \"Jerry\" &lt;b&gt; Caf\xC3\xA9"}));
  // The tools store the two-letter codes as their three-letter forms.
  EXPECT_EQ(elements(xml, "ChapterLanguage"),
            (std::vector<std::string>{"eng", "eng", "eng", "fre"}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korvell
