// Streams: reads, writes, positions and the all-or-error forms.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"
#include "tests/common/TestFiles.h"

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
