// Safe saving on Windows: a temporary file beside the target (GetTempFileNameA), written
// through a buffer, flushed to disk, then moved over the target with MoveFileExA; "-" is
// standard output.
#include "platform/Files.h"

#include <windows.h>

#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/BufferedFileStream.h"
#include "platform/Paths.h"

namespace {

// The safe save's stream over a file handle that we opened ourselves.
class THandleStream final : public TBufferedFileStream {
 public:
  explicit THandleStream(HANDLE file) : file_(file) {}

 protected:
  bool WriteOut(const char* p, int64_t count) override {
    while (count > 0) {
      const DWORD piece = count > (1 << 30) ? DWORD{1} << 30 : static_cast<DWORD>(count);
      DWORD written = 0;
      if (!WriteFile(file_, p, piece, &written, nullptr) || written == 0) return false;
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
};

}  // namespace

void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write) {
  if (file_name == "-") {
    // Standard output takes the bytes as they come (a handle writes bytes, never text).
    THandleStream stream(GetStdHandle(STD_OUTPUT_HANDLE));
    write(stream);
    if (!stream.Flush()) throw EWriteError(SWriteError);
    return;
  }
  char temp[MAX_PATH + 1] = {};
  if (GetTempFileNameA(FolderOf(file_name).c_str(), "lvs", 0, temp) == 0)
    throw EFCreateError(Format(SFCreateError, file_name.c_str()));
  // GetTempFileNameA made the file; open it again for writing, hidden from others' writes.
  HANDLE file = CreateFileA(temp, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileA(temp);
    throw EFCreateError(Format(SFCreateError, file_name.c_str()));
  }
  try {
    THandleStream stream(file);
    write(stream);
    if (!stream.Flush() || !FlushFileBuffers(file)) throw EWriteError(SWriteError);
    const HANDLE closing = file;
    file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(closing)) throw EWriteError(SWriteError);
    if (!MoveFileExA(temp, file_name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw EFCreateError(Format(SFCreateError, file_name.c_str()));
  } catch (...) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileA(temp);
    throw;
  }
}

bool FileExists(const std::string& file_name) {
  const DWORD attributes = GetFileAttributesA(file_name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
