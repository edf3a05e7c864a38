// Saving over an existing file, and telling files apart, on Linux and on Windows alike.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Streams.h"
#include "platform/Files.h"
#include "platform/PluginPlaces.h"
#include "tests/common/TestFiles.h"

// After the project's headers, whose names windows.h would take as its macros.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

void SaveText(const std::string& name, const std::string& text) {
  SaveFileSafely(
      name, [&](TStream& s) { s.WriteBuffer(text.data(), static_cast<int64_t>(text.size())); });
}

std::string ReadText(const std::string& name) {
  const std::vector<uint8_t> bytes = ReadBytes(name);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

// The new file takes the place of the old one with what the old one's owner gave it: its
// permission bits on Linux, its attributes (and access rights) on Windows.
TEST(SaveFileSafely, AReplacedFileKeepsWhatItsOwnerGaveIt) {
  TempDir dir;
  const std::string name = dir.File("kept.txt");
  SaveText(name, "old");
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_HIDDEN));
  SaveText(name, "new");
  EXPECT_NE(GetFileAttributesA(name.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#else
  ASSERT_EQ(chmod(name.c_str(), 0604), 0);
  SaveText(name, "new");
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
#endif
  EXPECT_EQ(ReadText(name), "new");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kept.txt"});
}

// One file reached by two names is one file; two files are two.
TEST(FileIdentity, IsTheFileNotItsName) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  SaveText(dir.File("sub/a.spi"), "a");
  SaveText(dir.File("sub/b.spi"), "b");
  const std::string a = FileIdentity(dir.File("sub/a.spi"));
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(FileIdentity(dir.File("sub/../sub/./a.spi")), a);
  EXPECT_NE(FileIdentity(dir.File("sub/b.spi")), a);
  EXPECT_EQ(FileIdentity(dir.File("sub/missing.spi")), "");
#ifndef _WIN32
  fs::create_symlink("a.spi", dir.File("sub/link.spi"));
  EXPECT_EQ(FileIdentity(dir.File("sub/link.spi")), a);
#endif
}
