#include "report/display_text.h"

#include <gtest/gtest.h>

namespace korvell {
namespace {

TEST(DisplayUtf8, ValidTextStaysAndOtherBytesAreLatin1) {
  struct Case {
    const char* bytes;
    bool valid;
    const char* utf8;
  };
  const Case cases[] = {
      {"English", true, "English"},
      {"Fran\xC3\xA7\x61is", true, "Fran\xC3\xA7\x61is"},               // ç as UTF-8
      {"\xE2\x82\xAC 5", true, "\xE2\x82\xAC 5"},                       // € U+20AC
      {"\xF0\x9F\x8E\xAC", true, "\xF0\x9F\x8E\xAC"},                   // U+1F3AC
      {"Fran\xE7\x61is", false, "Fran\xC3\xA7\x61is"},                  // ç as Latin-1
      {"\xC0\x80", false, "\xC3\x80\xC2\x80"},                          // overlong NUL
      {"\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xC2\x80"},              // a surrogate
      {"\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // above U+10FFFF
      {"\xE2\x82", false, "\xC3\xA2\xC2\x82"},                          // cut short
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes;
    EXPECT_EQ(displayUtf8(c.bytes), c.utf8) << c.bytes;
    EXPECT_TRUE(isValidUtf8(displayUtf8(c.bytes))) << c.bytes;
  }
}

}  // namespace
}  // namespace korvell
