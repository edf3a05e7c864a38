// Nothing left behind: the temporary file of a save has no name until the moment before it
// replaces the target, so a save killed at any moment leaves the old file or the whole new
// one, and no file of ours.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"
#include "tests/hostile/HostileSupport.h"

namespace {

// Whether the folder's file system makes files without a name.
bool UnnamedFilesWork(const std::string& folder) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

// While the writer runs, the folder shows nothing but what was there.
TEST(NothingLeftBehind, WhileASaveWritesTheFolderShowsNoFileOfOurs) {
  TempDir dir;
  if (!UnnamedFilesWork(dir.File(""))) GTEST_SKIP() << "no unnamed files on this file system";
  WriteText(dir.File("old.bmp"), "OLD\n");
  for (const char* name : {"old.bmp", "new.bmp"}) {
    std::vector<std::string> seen;
    SaveFileSafely(dir.File(name), [&](TStream& stream) {
      stream.WriteBuffer("NEW\n", 4);
      seen = dir.Entries();
    });
    EXPECT_EQ(seen, std::vector<std::string>{"old.bmp"}) << name;
    EXPECT_EQ(ReadText(dir.File(name)), "NEW\n");
  }
  EXPECT_EQ(dir.Entries().size(), 2u);
}

// A child process killed in the middle of its writing: the target as it was, nothing else.
TEST(NothingLeftBehind, ASaveKilledWhileWritingLeavesOnlyWhatWasThere) {
  TempDir dir;
  WriteText(dir.File("old.bmp"), "OLD\n");
  for (const char* name : {"old.bmp", "new.bmp"}) {
    const pid_t child = fork();
    if (child == 0) {
      SaveFileSafely(dir.File(name), [](TStream& stream) {
        const std::vector<uint8_t> block(1 << 20, 0x5A);
        for (int i = 0; i < 4; ++i) stream.WriteBuffer(block.data(), 1 << 20);
        kill(getpid(), SIGKILL);
      });
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"old.bmp"}) << name;
    EXPECT_EQ(ReadText(dir.File("old.bmp")), "OLD\n");
  }
}

// A save that fails leaves the target as it was and nothing beside it.
TEST(NothingLeftBehind, AFailedSaveLeavesNothing) {
  TempDir dir;
  WriteText(dir.File("old.bmp"), "OLD\n");
  for (const char* name : {"old.bmp", "new.bmp"}) {
    EXPECT_THROW(SaveFileSafely(dir.File(name),
                                [](TStream& stream) {
                                  stream.WriteBuffer("half", 4);
                                  throw EWriteError(SWriteError);
                                }),
                 EWriteError);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"old.bmp"});
  }
  EXPECT_EQ(ReadText(dir.File("old.bmp")), "OLD\n");
}

// 20 kills at random moments of a large GIF save (4 MB from a 2000 x 1500 picture of
// noise, written in many pieces): each time the target is the old file or the whole new
// one, and the folder holds nothing else.
TEST(NothingLeftBehind, TwentyKillsOfALargeGifSaveLeaveTheOldOrTheWholeNewFile) {
  TempDir inputs;
  TempDir dir;
  {
    TBitmap noise;
    FillRandom24(noise, 2000, 1500, 14);
    noise.SaveToFile(inputs.File("noise.bmp"));
  }
  const std::vector<std::string> args = {"gif", inputs.File("noise.bmp"), dir.File("out.gif"),
                                         "--dither", "floydsteinberg"};
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunTool(args).status, 0);
  const auto whole = std::chrono::steady_clock::now() - start;
  const std::vector<uint8_t> complete = ReadBytes(dir.File("out.gif"));
  ASSERT_GT(complete.size(), 3u << 20);

  std::mt19937 rng(2024);
  std::uniform_int_distribution<long> moment(
      0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count() * 11 / 10);
  int old_kept = 0, new_written = 0;
  for (int kill_number = 0; kill_number < 20; ++kill_number) {
    WriteText(dir.File("out.gif"), "OLD\n");
    int out_fd = -1, err_fd = -1;
    const pid_t pid = StartTool(args, "", {}, &out_fd, &err_fd);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(moment(rng)));
    kill(pid, SIGKILL);
    std::string out, err;
    ReadBoth(out_fd, err_fd, out, err);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::vector<uint8_t> now = ReadBytes(dir.File("out.gif"));
    if (now == complete) {
      ++new_written;
    } else {
      EXPECT_EQ(std::string(now.begin(), now.end()), "OLD\n") << "kill " << kill_number;
      ++old_kept;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.gif"}) << "kill " << kill_number;
  }
  EXPECT_EQ(old_kept + new_written, 20);
  std::printf("kills: %d left the old file, %d the whole new one\n", old_kept, new_written);
}
