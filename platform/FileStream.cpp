#include "platform/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "platform/Files.h"

// TFileStream ------------------------------------------------------------------------------

TFileStream::TFileStream(const std::string& file_name, uint32_t mode) : file_name_(file_name) {
  // A link planted in a shared folder is not followed (see PlantedLinkReason).
  if (const auto planted = PlantedLinkReason(file_name)) {
    if (mode == fmCreate) throw EFCreateError(Format(SFCreateError, file_name.c_str()), *planted);
    throw EFOpenError(Format(SFOpenError, file_name.c_str()), *planted);
  }
  if (mode == fmCreate) {
    file_ = std::fopen(file_name.c_str(), "w+b");
    if (file_ == nullptr)
      throw EFCreateError(Format(SFCreateError, file_name.c_str()), std::strerror(errno));
  } else {
    const uint32_t access = mode & 0x3;
    const char* how = access == fmOpenWrite ? "r+b" : access == fmOpenReadWrite ? "r+b" : "rb";
    file_ = std::fopen(file_name.c_str(), how);
    if (file_ == nullptr)
      throw EFOpenError(Format(SFOpenError, file_name.c_str()), std::strerror(errno));
  }
  // Reads and writes go straight to the file: the callers transfer large blocks.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

TFileStream::~TFileStream() {
  if (file_ != nullptr) std::fclose(file_);
}

void TFileStream::Close() {
  if (file_ == nullptr) return;
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) throw EWriteError(SWriteError, std::strerror(errno));
}

void TFileStream::NoteError(bool failed, int error) {
  error_ = failed && error != 0 ? std::strerror(error) : "";
  if (failed) std::clearerr(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (file_ == nullptr || count <= 0) return 0;
  errno = 0;
  const size_t n = std::fread(buffer, 1, static_cast<size_t>(count), file_);
  NoteError(std::ferror(file_) != 0, errno);
  return static_cast<int64_t>(n);
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (file_ == nullptr || count <= 0) return 0;
  errno = 0;
  const size_t n = std::fwrite(buffer, 1, static_cast<size_t>(count), file_);
  NoteError(std::ferror(file_) != 0, errno);
  return static_cast<int64_t>(n);
}

void TFileStream::ReadWhole(void* buffer, int64_t count) {
#ifndef _WIN32
  // Pieces of 2 MiB: each of the buffer's huge pages is filled by one thread.
  constexpr int64_t kPiece = int64_t{2} << 20;
  if (file_ != nullptr && count >= 4 * kPiece) {
    const int fd = fileno(file_);
    auto* bytes = static_cast<char*>(buffer);
    ForEachBand(static_cast<int>((count + kPiece - 1) / kPiece), kPiece, [&](int first, int last) {
      int64_t at = first * kPiece;
      const int64_t end = std::min(count, last * kPiece);
      while (at < end) {
        const ssize_t n = ::pread(fd, bytes + at, static_cast<size_t>(end - at), at);
        if (n < 0 && errno == EINTR) continue;
        // A file cut short while it is read ends the read as a short read does.
        if (n <= 0) throw EReadError(SReadError, n < 0 ? std::strerror(errno) : "");
        at += n;
      }
    });
    if (Seek(count, TSeekOrigin::soBeginning) != count) throw EReadError(SReadError, "");
    return;
  }
#endif
  SetPosition(0);
  ReadBuffer(buffer, count);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (file_ == nullptr) return -1;
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  // 64-bit positions on both platforms, so that the size of a file beyond 2 GiB is right
  // (and the loader can refuse it by its size before reading).
#ifdef _WIN32
  if (_fseeki64(file_, offset, whence) != 0) return -1;
  return static_cast<int64_t>(_ftelli64(file_));
#else
  if (fseeko(file_, static_cast<off_t>(offset), whence) != 0) return -1;
  return static_cast<int64_t>(ftello(file_));
#endif
}
