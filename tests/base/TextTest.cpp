// The small text helpers: case-blind comparison and trimming.
#include <gtest/gtest.h>

#include "base/Text.h"

TEST(Text, ComparesAndLowersAsciiLettersOnly) {
  EXPECT_TRUE(SameText("Picture.BMP", "picture.bmp"));
  EXPECT_FALSE(SameText("bmp", "bmp "));
  EXPECT_FALSE(SameText("\xC3\x84", "\xC3\xA4")) << "no letters beyond ASCII";
  EXPECT_EQ(LowerCase("JPEG-Jpg"), "jpeg-jpg");
  EXPECT_TRUE(EndsWithText("out.GIF", ".gif"));
  EXPECT_FALSE(EndsWithText("gif", ".gif"));
}

TEST(Text, TrimsTheBlanksGiven) {
  EXPECT_EQ(Trim("  Path = x \r\n"), "Path = x");
  EXPECT_EQ(Trim(" \t "), "");
  EXPECT_EQ(Trim(" 12\n", " \t"), "12\n");
}
