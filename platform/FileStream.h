// A stream over a file, opened with the class library's modes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/Streams.h"

// File open modes of TFileStream. fmOpenRead opens an existing file for reading (others
// may not write it meanwhile where the platform can deny that); fmCreate creates the file
// or truncates an existing one and opens it for writing.
enum TFileMode : uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareDenyWrite = 0x0020,
  fmCreate = 0xFF00,
};

class TFileStream : public TStream {
 public:
  // Raises EFOpenError (or EFCreateError in create mode) with the file name, and the
  // system's reason as its detail.
  TFileStream(const std::string& file_name, uint32_t mode);
  ~TFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Reads the file's first count bytes into buffer and leaves the position after them;
  // raises EReadError as ReadBuffer does. A large file is read in pieces on the row bands'
  // threads (base/Bands.h): the system then maps and fills the fresh pages of the buffer
  // on several cores, which for a picture of tens of megabytes is most of the read.
  void ReadWhole(void* buffer, int64_t count);
  std::string LastErrorText() const override { return error_; }
  const std::string& FileName() const { return file_name_; }
  // Flushes and closes; raises EWriteError when the data could not be written out.
  void Close();

 private:
  // Keeps the system's text for the last call that failed, or clears it.
  void NoteError(bool failed, int error);

  std::FILE* file_ = nullptr;
  std::string file_name_;
  std::string error_;
};
