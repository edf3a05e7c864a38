// Safe saving on Windows: a temporary file beside the target (GetTempFileNameA), written
// through a buffer, flushed to disk, then put in place of the target: ReplaceFileA over an
// existing file (which keeps its attributes and access rights), MoveFileExA where there
// is none; "-" is standard output. Failures carry the system's reason.
#include "platform/Files.h"

#include <windows.h>

#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/BufferedFileStream.h"
#include "platform/Paths.h"
#include "platform/win32/SystemMessage.h"

namespace {

// The safe save's stream over a file handle that we opened ourselves.
class THandleStream final : public TBufferedFileStream {
 public:
  explicit THandleStream(HANDLE file) : file_(file) {}
  ~THandleStream() override { Finish(); }
  std::string LastErrorText() const override { return error_ != 0 ? SystemMessage(error_) : ""; }

 protected:
  bool WriteOut(const char* p, int64_t count) override {
    while (count > 0) {
      const DWORD piece = count > (1 << 30) ? DWORD{1} << 30 : static_cast<DWORD>(count);
      DWORD written = 0;
      if (!WriteFile(file_, p, piece, &written, nullptr) || written == 0) {
        error_ = written == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
        return false;
      }
      p += written;
      count -= written;
    }
    return true;
  }
  int64_t SeekFile(int64_t offset, TSeekOrigin origin) override {
    const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                         : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                            : FILE_END;
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(file_, distance, &position, method)) return -1;
    return position.QuadPart;
  }

 private:
  HANDLE file_;
  DWORD error_ = 0;
};

[[noreturn]] void CannotCreate(const std::string& file_name, DWORD error) {
  throw EFCreateError(Format(SFCreateError, file_name.c_str()), SystemMessage(error));
}

[[noreturn]] void CannotWrite(const std::string& reason) {
  throw EWriteError(SWriteError, reason);
}

// The attributes a person gives a file, which a replaced file keeps.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Puts the finished temporary file in place of file_name. An existing file is replaced
// with ReplaceFileA, which gives the new file the replaced one's access rights and
// attributes; where that fails (or, as under Wine, leaves the attributes behind) the file
// is moved over it and its attributes are set again. A new name is made with MoveFileExA.
void PutInPlace(const char* temp, const std::string& file_name) {
  const DWORD old = GetFileAttributesA(file_name.c_str());
  const bool replaced = old != INVALID_FILE_ATTRIBUTES &&
                        ReplaceFileA(file_name.c_str(), temp, nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  if (!replaced &&
      !MoveFileExA(temp, file_name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    CannotCreate(file_name, GetLastError());
  if (old == INVALID_FILE_ATTRIBUTES) return;
  const DWORD now = GetFileAttributesA(file_name.c_str());
  if (now != INVALID_FILE_ATTRIBUTES && (now & kKeptAttributes) != (old & kKeptAttributes))
    SetFileAttributesA(file_name.c_str(), (now & ~kKeptAttributes) | (old & kKeptAttributes));
}

}  // namespace

void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write) {
  if (file_name == "-") {
    // Standard output takes the bytes as they come (a handle writes bytes, never text).
    THandleStream stream(GetStdHandle(STD_OUTPUT_HANDLE));
    write(stream);
    if (!stream.Flush()) CannotWrite(stream.LastErrorText());
    return;
  }
  char temp[MAX_PATH + 1] = {};
  if (GetTempFileNameA(FolderOf(file_name).c_str(), "lvs", 0, temp) == 0)
    CannotCreate(file_name, GetLastError());
  // GetTempFileNameA made the file; open it again for writing, hidden from others' writes.
  HANDLE file = CreateFileA(temp, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    DeleteFileA(temp);
    CannotCreate(file_name, error);
  }
  try {
    THandleStream stream(file);
    write(stream);
    if (!stream.Flush()) CannotWrite(stream.LastErrorText());
    if (!FlushFileBuffers(file)) CannotWrite(SystemMessage(GetLastError()));
    const HANDLE closing = file;
    file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(closing)) CannotWrite(SystemMessage(GetLastError()));
    PutInPlace(temp, file_name);
  } catch (...) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileA(temp);
    throw;
  }
}

bool NamesStandardOutput(const std::string& file_name) {
  return file_name == "-";
}

bool NamesHeldDescriptor(const std::string& file_name) {
  return file_name == "-";
}

std::optional<std::string> PlantedLinkReason(const std::string&) {
  return std::nullopt;
}

bool FileExists(const std::string& file_name) {
  const DWORD attributes = GetFileAttributesA(file_name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
