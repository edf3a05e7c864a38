// The parts of a file name with the platform's path delimiter.
#include <gtest/gtest.h>

#include "platform/Paths.h"

TEST(Paths, TheExtensionFollowsTheLastDotAfterTheLastDelimiter) {
  EXPECT_EQ(ExtractFileExt("/a/b/photo.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("/a.d/photo"), "");
  EXPECT_EQ(ExtractFileExt("photo."), ".");
  EXPECT_EQ(ExtractFileExt("noext"), "");
  EXPECT_EQ(LastDelimiter("a/b/c"), 3u);
  EXPECT_EQ(FolderOf("/a/b/photo.bmp"), "/a/b");
  EXPECT_EQ(FolderOf("/photo.bmp"), "/") << "the root keeps its delimiter";
  EXPECT_EQ(FolderOf("photo.bmp"), ".");
}
