#include "mux/language_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "testing/test_files.h"

namespace korvell {
namespace {

struct CodeCase {
  const char* given;
  const char* mkvmerge;
  const char* name;
};
const CodeCase kCodes[] = {
    {"en", "eng", "English"},
    {"en:00", "eng", "English"},  // HD DVD langcode
    {"EN", "eng", "English"},
    {" de ", "ger", "German"},
    {"de-AT", "ger", "German"},
    {"pt_BR", "por", "Portuguese"},
    {"fr", "fre", "French"},  // B and T codes differ: fre / fra
    {"zh", "chi", "Chinese"},
    {"el", "gre", "Modern Greek"},  // the name iso-codes gives
    {"deu", "ger", "German"},       // a T code becomes its B code
    {"fra", "fre", "French"},
    {"ger", "ger", "German"},
    {"jpn", "jpn", "Japanese"},
    {"iw", "heb", "Hebrew"},  // withdrawn codes older discs carry
    {"in", "ind", "Indonesian"},
    {"ji", "yid", "Yiddish"},
    {"mo", "rum", "Romanian"},
    {"sh", "hbs", "Serbo-Croatian"},
    {"und", "und", ""},
    {"mul", "mul", ""},
    {"zxx", "zxx", ""},
    {"", "und", ""},
    {":00", "und", ""},
    {"xx", "und", ""},
    {"e", "und", ""},
    {"engl", "und", ""},
    {"yue", "und", ""},
    {"e1", "und", ""},
    {"\xC3\xA9n", "und", ""},
    {"e\x01", "und", ""},
};

TEST(LanguageCodes, AsMkvmergeTakesThem) {
  for (const CodeCase& c : kCodes) {
    EXPECT_EQ(matroskaLanguage(c.given), c.mkvmerge) << '"' << c.given << '"';
    EXPECT_EQ(languageName(c.given), c.name) << '"' << c.given << '"';
  }
  // Every code of a row leads to the row's B code (no T code is another language's B code).
  LanguageRow row{};
  for (size_t i = 0; languageRow(i, &row); ++i) {
    EXPECT_EQ(matroskaLanguage(row.iso6391), row.iso6392b) << row.iso6391;
    EXPECT_EQ(matroskaLanguage(row.iso6392t), row.iso6392b) << row.iso6392t;
  }
}

// The table against the list MKVToolNix itself carries: every ISO 639-1 code, with the same
// ISO 639-2 code (mkvmerge lists the B form).
TEST(LanguageCodes, AgreeWithMkvmergesList) {
  const testing::CommandResult listed =
      testing::runCommand(testing::withUtf8Locale("mkvmerge --list-languages"));
  if (listed.status != 0) GTEST_SKIP() << "mkvmerge is not installed: language list not compared";
  std::map<std::string, std::string> theirs;  // 639-1 -> 639-2
  std::istringstream lines(listed.output);
  std::string line;
  const auto trimmed = [](std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  };
  while (std::getline(lines, line)) {
    // "German | ger | ger | de": name, 639-3, 639-2, 639-1
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '|');)
      fields.push_back(trimmed(cell));
    if (fields.size() == 4 && fields[3].size() == 2) theirs[fields[3]] = fields[2];
  }
  ASSERT_GT(theirs.size(), 180u) << listed.output.substr(0, 400);
  size_t count = 0;
  for (LanguageRow row{}; languageRow(count, &row); ++count) {
    const auto found = theirs.find(row.iso6391);
    ASSERT_NE(found, theirs.end()) << row.iso6391;
    // mkvmerge lists no 639-2 code for sh.
    if (!found->second.empty()) {
      EXPECT_EQ(found->second, row.iso6392b) << row.iso6391;
    }
  }
  EXPECT_EQ(count, theirs.size());
}

}  // namespace
}  // namespace korvell
