#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "base/Text.h"
#include "platform/BufferedFileStream.h"

namespace {

// The safe save's stream over a file descriptor that we opened ourselves.
class TDescriptorStream final : public TBufferedFileStream {
 public:
  explicit TDescriptorStream(int fd) : fd_(fd) {}

 protected:
  bool WriteOut(const char* p, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += n;
    }
    return true;
  }
  int64_t SeekFile(int64_t offset, TSeekOrigin origin) override {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    return static_cast<int64_t>(::lseek(fd_, offset, whence));
  }

 private:
  int fd_;
};

mode_t DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write) {
  std::string temp = FolderOf(file_name) + "/.lumiveil-save-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) throw EFCreateError(Format(SFCreateError, file_name.c_str()));
  bool committed = false;
  try {
    TDescriptorStream stream(fd);
    write(stream);
    if (!stream.Flush()) throw EWriteError(SWriteError);
    struct stat existing {};
    const mode_t mode =
        ::stat(file_name.c_str(), &existing) == 0 ? existing.st_mode & 07777 : DefaultFileMode();
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) throw EWriteError(SWriteError);
    if (::close(fd) != 0) {
      ::unlink(temp.c_str());
      throw EWriteError(SWriteError);
    }
    committed = true;
    if (::rename(temp.c_str(), file_name.c_str()) != 0) {
      ::unlink(temp.c_str());
      throw EFCreateError(Format(SFCreateError, file_name.c_str()));
    }
  } catch (...) {
    if (!committed) {
      ::close(fd);
      ::unlink(temp.c_str());
    }
    throw;
  }
}

bool FileExists(const std::string& file_name) {
  struct stat st {};
  return ::stat(file_name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
