// Streams: reads, writes, positions and the all-or-error forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/BufferedFileStream.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"
#include "tests/common/TestFiles.h"

namespace {

std::vector<char> Pattern(size_t n, int seed) {
  std::vector<char> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<char>(i * 131 + static_cast<size_t>(seed));
  return v;
}

}  // namespace

TEST(MemoryStream, GrowsKeepsItsBytesAndReadsFromThePosition) {
  TMemoryStream s;
  std::vector<uint8_t> data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  for (size_t off = 0; off < data.size(); off += 999)
    s.WriteBuffer(data.data() + off,
                  static_cast<int64_t>(std::min<size_t>(999, data.size() - off)));
  ASSERT_EQ(s.Size(), 100000);
  EXPECT_EQ(std::memcmp(s.Memory(), data.data(), data.size()), 0);
  s.SetPosition(99990);
  uint8_t tail[20];
  EXPECT_EQ(s.Read(tail, 20), 10);
  EXPECT_EQ(s.Read(tail, 20), 0);
  s.Seek(-5, TSeekOrigin::soEnd);
  EXPECT_EQ(s.Position(), 99995);
  EXPECT_THROW(s.ReadBuffer(tail, 6), EReadError);
}

TEST(MemoryStream, WritingPastTheEndExtendsIt) {
  TMemoryStream s;
  s.SetPosition(4);
  const uint8_t b = 9;
  s.WriteBuffer(&b, 1);
  EXPECT_EQ(s.Size(), 5);
  EXPECT_EQ(s.Memory()[4], 9);
}

TEST(FileStream, ReadsWritesAndNamesTheFileItCannotOpen) {
  TempDir dir;
  const std::string name = dir.File("data.bin");
  {
    TFileStream out(name, fmCreate);
    out.WriteBuffer("hello", 5);
    out.Close();
  }
  TFileStream in(name, fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(in.Size(), 5);
  char buffer[5];
  in.ReadBuffer(buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_THROW(in.ReadBuffer(buffer, 1), EReadError);
  try {
    TFileStream missing(dir.File("missing"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), Format(SFOpenError, dir.File("missing").c_str()));
    EXPECT_EQ(e.Detail(), std::strerror(ENOENT)) << "the system's reason";
  }
  try {
    TFileStream folder(dir.File("no/such/folder"), fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Detail(), std::strerror(ENOENT));
  }
}

TEST(FileStream, AWholeFileIsReadInPiecesAsItIsAndAShortOneIsAnError) {
  // Sizes around the pieces' bounds, read on one thread and on several: the bytes as
  // written, the position after them; asking for more than the file holds is a read error.
  TempDir dir;
  const std::string name = dir.File("whole.bin");
  const std::vector<char> data = Pattern((size_t{9} << 20) + 4321, 7);
  {
    TFileStream out(name, fmCreate);
    out.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    out.Close();
  }
  for (const int threads : {1, 2, 3}) {
    const TBandSettings settings(threads, 0);
    for (const size_t count : {size_t{1000}, size_t{8} << 20, (size_t{8} << 20) + 1, data.size()}) {
      TFileStream in(name, fmOpenRead | fmShareDenyWrite);
      std::vector<char> got(count);
      in.ReadWhole(got.data(), static_cast<int64_t>(count));
      EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin())) << count << " " << threads;
      EXPECT_EQ(in.Position(), static_cast<int64_t>(count));
    }
    TFileStream in(name, fmOpenRead | fmShareDenyWrite);
    std::vector<char> more(data.size() + (size_t{3} << 20));
    EXPECT_THROW(in.ReadWhole(more.data(), static_cast<int64_t>(more.size())), EReadError);
  }
  TMemoryStream memory;
  memory.LoadFromFile(name);
  ASSERT_EQ(memory.Size(), static_cast<int64_t>(data.size()));
  EXPECT_EQ(std::memcmp(memory.Memory(), data.data(), data.size()), 0);
}

// A read that fails, unlike one that meets the end, is told with the system's reason.
TEST(FileStream, AFailedReadGivesTheSystemsReason) {
  TempDir dir;
  {
    TFileStream out(dir.File("short"), fmCreate);
    out.WriteBuffer("ab", 2);
  }
  TFileStream in(dir.File("short"), fmOpenRead);
  char buffer[4];
  try {
    in.ReadBuffer(buffer, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Detail(), "") << "the end of the file is no failure of the system";
  }
#ifndef _WIN32
  // A folder opens for reading here, and its reads fail.
  TFileStream folder(dir.File(""), fmOpenRead);
  try {
    folder.ReadBuffer(buffer, 1);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Detail(), std::strerror(EISDIR));
  }
#endif
}

TEST(CopyFrom, CopiesAWholeStreamFromItsBeginning) {
  TMemoryStream a, b;
  a.WriteBuffer("abcdef", 6);
  b.CopyFrom(a, 0);
  EXPECT_EQ(b.Size(), 6);
  EXPECT_EQ(std::memcmp(b.Memory(), "abcdef", 6), 0);
}

namespace {

// A file for the buffered stream: takes the bytes (slowly, so that writes overlap the
// caller's), notes where each seek lands, and refuses every byte past `limit`.
class TSlowFile final : public TBufferedFileStream {
 public:
  explicit TSlowFile(size_t limit = SIZE_MAX) : limit_(limit) {}
  ~TSlowFile() override { Finish(); }
  std::vector<char> bytes;
  std::vector<size_t> seeks;
  int writes = 0;

 protected:
  bool WriteOut(const char* p, int64_t count) override {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    ++writes;
    if (bytes.size() + static_cast<size_t>(count) > limit_) return false;
    bytes.insert(bytes.end(), p, p + count);
    return true;
  }
  int64_t SeekFile(int64_t, TSeekOrigin) override {
    seeks.push_back(bytes.size());
    return static_cast<int64_t>(bytes.size());
  }

 private:
  size_t limit_;
};

}  // namespace

TEST(BufferedFileStream, TheFileTakesEveryPieceInOrderAndASeekAfterAllBeforeIt) {
  // Small pieces of every size, a piece larger than the buffer among them and a seek: the
  // file gets the bytes as written, in many writes, the seek after every byte before it.
  TSlowFile file;
  std::vector<char> expected;
  size_t seek_at = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::vector<char> piece = Pattern(static_cast<size_t>(i % 700) + 1, i);
    file.WriteBuffer(piece.data(), static_cast<int64_t>(piece.size()));
    expected.insert(expected.end(), piece.begin(), piece.end());
    if (i == 1500) {
      const std::vector<char> large = Pattern(700000, 3);
      file.WriteBuffer(large.data(), static_cast<int64_t>(large.size()));
      expected.insert(expected.end(), large.begin(), large.end());
    }
    if (i == 2000) {
      file.Seek(0, TSeekOrigin::soCurrent);
      seek_at = expected.size();
    }
  }
  ASSERT_TRUE(file.Flush());
  EXPECT_TRUE(file.bytes == expected);
  EXPECT_EQ(file.seeks, std::vector<size_t>{seek_at});
  EXPECT_GT(file.writes, 4);
}

TEST(BufferedFileStream, ARefusedWriteIsToldAndNothingIsWrittenAfterIt) {
  // The file refuses its second megabyte: a later write of the caller fails, the flush
  // reports it, and the file holds no byte beyond what it took.
  TSlowFile file(size_t{1} << 20);
  const std::vector<char> piece = Pattern(1000, 1);
  int taken = 0;
  while (taken < 10000 && file.Write(piece.data(), 1000) == 1000) ++taken;
  EXPECT_LT(taken, 10000);
  EXPECT_GE(taken, 1000);
  EXPECT_FALSE(file.Flush());
  EXPECT_EQ(file.Write(piece.data(), 1000), 0);
  EXPECT_LE(file.bytes.size(), size_t{1} << 20);
  // A stream given up with bytes still on their way ends cleanly.
  TSlowFile dropped;
  for (int i = 0; i < 700; ++i) dropped.Write(piece.data(), 1000);
}
