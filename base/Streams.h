// The class library's abstract byte stream, with position and size. The streams over a
// memory block and over a file are the platform's (platform/MemoryStream.h,
// platform/FileStream.h): their memory and their files come from the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Streams are not copied: each stands for one file or one block of memory.
class TStream {
 public:
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t size);

  // Why the last Read or Write did fewer bytes than asked, in the system's words (a full
  // disk, an input/output error); empty when there is no such reason, as at the end of a
  // file or of a memory block.
  virtual std::string LastErrorText() const { return std::string(); }

  // Reads exactly count bytes or raises EReadError (with LastErrorText as its detail).
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly count bytes or raises EWriteError (with LastErrorText as its detail).
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source at its position; count 0 copies the whole source from
  // its beginning. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);

 protected:
  TStream() = default;
};
