#include "report/text_format.h"

#include <gtest/gtest.h>

namespace korvell {
namespace {

TEST(TextFormat, Clock) {
  EXPECT_EQ(clockText(40.0, true), "0:00:40.000");
  EXPECT_EQ(clockText(3661.5, false), "1:01:01");  // seconds are not rounded up
  EXPECT_EQ(clockText(3661.4996, true), "1:01:01.500");
  EXPECT_EQ(clockText(25 * 3600 + 1, false), "1:00:01");  // hours wrap at a day
  EXPECT_EQ(clockText(-1, true), "0:00:00.000");
}

TEST(TextFormat, Real) {
  EXPECT_EQ(realText(48, '.'), "48");
  EXPECT_EQ(realText(44.1, ','), "44,1");
  EXPECT_EQ(realText(24.082 - 6.0206 * 5 - 0.2007 * 23, '.'), "-10.6371");
  EXPECT_EQ(realText(24000.0 / 1001.0, '.'), "23.976023976024");
}

TEST(TextFormat, Hex) {
  EXPECT_EQ(hexText(0x1E240, 8), "0001E240");
  EXPECT_EQ(hexText(0xbd, 2), "BD");
}

}  // namespace
}  // namespace korvell
