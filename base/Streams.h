// The class library's streams: an abstract byte stream with position and size, a stream
// over a growable memory block, and a stream over a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
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

  // Reads exactly count bytes or raises EReadError.
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly count bytes or raises EWriteError.
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source at its position; count 0 copies the whole source from
  // its beginning. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over one block of memory that grows as it is written.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  // Sets the size; bytes added are not initialised.
  void SetSize(int64_t size) override;

  void Clear();
  // The bytes, to change: a block that a picture store shares is copied first.
  uint8_t* Memory() {
    Unshare();
    return memory_;
  }
  const uint8_t* Memory() const { return memory_; }
  // The block that holds the bytes (null while there are none), for a picture store that
  // keeps the rows of a file image instead of copying them. While the block is shared,
  // whatever changes the stream's bytes works on a copy of it (copy on write).
  const std::shared_ptr<uint8_t>& Block() const { return block_; }
  // Replaces the content by the whole of stream (from its beginning) or of a file.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& file_name);
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& file_name);

 private:
  void Reserve(int64_t capacity);
  // Gives the stream a block of its own again when a store shares the present one.
  void Unshare();

  std::shared_ptr<uint8_t> block_;
  uint8_t* memory_ = nullptr;  // block_.get()
  int64_t size_ = 0;
  int64_t capacity_ = 0;
  int64_t position_ = 0;
};

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
  // Raises EFOpenError (or EFCreateError in create mode) with the file name.
  TFileStream(const std::string& file_name, uint32_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const std::string& FileName() const { return file_name_; }
  // Flushes and closes; raises EWriteError when the data could not be written out.
  void Close();

 private:
  std::FILE* file_ = nullptr;
  std::string file_name_;
};
