#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/BufferedFileStream.h"
#include "platform/Paths.h"
#include "platform/PluginPlaces.h"

namespace {

[[noreturn]] void CannotCreate(const std::string& file_name, const std::string& reason) {
  throw EFCreateError(Format(SFCreateError, file_name.c_str()), reason);
}

[[noreturn]] void CannotWrite(int error) {
  throw EWriteError(SWriteError, error != 0 ? std::strerror(error) : "");
}

// The safe save's stream over a file descriptor; remembers why the file refused bytes.
class TDescriptorStream final : public TBufferedFileStream {
 public:
  // With `early_writeback` (a new file that is made durable before it takes its name) the
  // disk starts on every written stretch of kWriteback bytes while the writer goes on, so
  // that the closing flush waits only for the last stretch.
  explicit TDescriptorStream(int fd, bool early_writeback = false)
      : fd_(fd), early_writeback_(early_writeback) {}
  ~TDescriptorStream() override { Finish(); }
  int Error() const { return error_; }
  std::string LastErrorText() const override { return error_ != 0 ? std::strerror(error_) : ""; }

 protected:
  bool WriteOut(const char* p, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : ENOSPC;
        return false;
      }
      done += n;
    }
    written_ += count;
    if (early_writeback_ && written_ - started_ >= kWriteback) {
      // Only a hint: a file system without it writes the data at the flush as before.
      (void)::sync_file_range(fd_, started_, written_ - started_, SYNC_FILE_RANGE_WRITE);
      started_ = written_;
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
  static constexpr int64_t kWriteback = int64_t{1} << 20;
  int fd_;
  bool early_writeback_;
  int error_ = 0;
  int64_t written_ = 0;  // bytes written since the stream began
  int64_t started_ = 0;  // bytes whose writeback has been started
};

// Runs the writer on the descriptor and writes out what it buffered.
void WriteAll(int fd, const std::function<void(TStream&)>& write, bool early_writeback = false) {
  TDescriptorStream stream(fd, early_writeback);
  write(stream);
  if (!stream.Flush()) CannotWrite(stream.Error());
}

mode_t DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// Where a save goes: a file replaced through a temporary file, or a device or FIFO that
// takes the bytes as they come.
struct TTarget {
  bool stream = false;
  std::string path;  // the final target, through every symbolic link
  bool exists = false;
  mode_t mode = 0;
  uid_t owner = 0;  // of the file replaced
  gid_t group = 0;
};

// The descriptor an output name stands for when it names one the process holds already:
// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N (N digits only).
std::optional<int> HeldDescriptor(const std::string& name) {
  if (name == "/dev/stdout") return STDOUT_FILENO;
  if (name == "/dev/stderr") return STDERR_FILENO;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const size_t n = std::strlen(prefix);
    if (name.compare(0, n, prefix) != 0 || name.size() == n || name.size() > n + 9) continue;
    int fd = 0;
    for (size_t i = n; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return std::nullopt;
      fd = fd * 10 + (name[i] - '0');
    }
    return fd;
  }
  return std::nullopt;
}

// Writes into a descriptor the process holds, at its offset (a regular file opened with
// the shell's >> appends): the file is written into, never replaced. Whatever the shell
// connected may take the bytes but a directory or a block device.
void WriteIntoHeld(int fd, const std::string& file_name,
                   const std::function<void(TStream&)>& write) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) CannotCreate(file_name, std::strerror(errno));
  if (S_ISDIR(st.st_mode) || S_ISBLK(st.st_mode))
    CannotCreate(file_name, Format(SSaveTargetKind, FileKindText(st.st_mode)));
  WriteAll(fd, write);
}

// Follows the symbolic links of a name that does not lead to an existing file, to the
// name that a dangling link finally points at (the name itself when it is no link).
std::string FollowDanglingLinks(const std::string& file_name) {
  std::string path = file_name;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0) return path;
    link.resize(static_cast<size_t>(n));
    path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
  }
  CannotCreate(file_name, std::strerror(ELOOP));
}

TTarget ResolveTarget(const std::string& file_name) {
  TTarget target;
  struct stat st {};
  if (::stat(file_name.c_str(), &st) == 0) {
    target.exists = true;
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
      // Opened by the name given: /dev/stdout reaches a pipe only through its own link.
      target.stream = true;
      target.path = file_name;
      return target;
    }
    if (!S_ISREG(st.st_mode))
      CannotCreate(file_name, Format(SSaveTargetKind, FileKindText(st.st_mode)));
    char* real = ::realpath(file_name.c_str(), nullptr);
    if (real == nullptr) CannotCreate(file_name, std::strerror(errno));
    target.path = real;
    std::free(real);
    target.mode = st.st_mode & 07777;
    target.owner = st.st_uid;
    target.group = st.st_gid;
    return target;
  }
  if (errno != ENOENT) CannotCreate(file_name, std::strerror(errno));
  target.path = FollowDanglingLinks(file_name);
  target.mode = DefaultFileMode();
  return target;
}

std::string RandomSuffix() {
  thread_local std::mt19937_64 rng(std::random_device{}() ^ static_cast<uint64_t>(::getpid()));
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix(12, '0');
  for (char& c : suffix) c = kDigits[rng() % 36];
  return suffix;
}

constexpr const char kTempPrefix[] = "/.lumiveil-save-";

// Gives the unnamed file behind fd the name `name`; false with errno set when it cannot.
bool LinkUnnamed(int fd, const std::string& name) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  // Without /proc: the same through the descriptor, which only a privileged process may.
  return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

// A temporary file in the target's folder: without a name where the file system allows
// (it then vanishes with the process, however the process ends), else a hidden named one.
class TTempFile {
 public:
  TTempFile(const std::string& folder, const std::string& file_name) : folder_(folder) {
#ifdef O_TMPFILE
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ >= 0) return;
#endif
    name_ = folder + kTempPrefix + "XXXXXX";
    fd_ = ::mkostemp(name_.data(), O_CLOEXEC);
    if (fd_ < 0) CannotCreate(file_name, std::strerror(errno));
  }
  ~TTempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  int Descriptor() const {
    return fd_;
  }

  // Puts the finished file in place of `path` (which existed or not), as the last step.
  // An unnamed file that has nothing to replace is linked straight to its name; otherwise
  // it gets its hidden name only now, the moment before the rename.
  void Commit(const std::string& path, bool exists, const std::string& file_name) {
    const bool unnamed = name_.empty();
    if (unnamed && !exists && LinkUnnamed(fd_, path)) {
      Close(path);
      return;
    }
    if (unnamed) {
      for (int attempt = 0; name_.empty(); ++attempt) {
        const std::string name = folder_ + kTempPrefix + RandomSuffix();
        if (LinkUnnamed(fd_, name)) {
          name_ = name;
        } else if (errno != EEXIST || attempt >= 100) {
          CannotCreate(file_name, std::strerror(errno));
        }
      }
    }
    Close(name_);
    if (::rename(name_.c_str(), path.c_str()) != 0) CannotCreate(file_name, std::strerror(errno));
    name_.clear();
  }

 private:
  void Close(const std::string& linked) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      const int error = errno;
      ::unlink(linked.c_str());
      if (linked == name_) name_.clear();
      CannotWrite(error);
    }
  }

  std::string folder_;
  std::string name_;  // empty while the file has no name
  int fd_ = -1;
};

// Gives the new file the owner, group and permission bits of the file it replaces. Only
// root may give a file away; a user may give it a group of theirs, and when that fails the
// file keeps the user's group. The ownership goes first: changing it clears the set-user
// and set-group bits, which the mode then puts back.
void KeepOwnership(int fd, const TTarget& target) {
  if (target.exists) {
    if (::geteuid() == 0) {
      if (::fchown(fd, target.owner, target.group) != 0) CannotWrite(errno);
    } else if (target.group != ::getegid()) {
      (void)!::fchown(fd, static_cast<uid_t>(-1), target.group);
    }
  }
  if (::fchmod(fd, target.mode) != 0) CannotWrite(errno);
}

}  // namespace

const char* FileKindText(unsigned mode) {
  return S_ISDIR(mode)    ? SKindDirectory
         : S_ISSOCK(mode) ? SKindSocket
         : S_ISBLK(mode)  ? SKindBlockDevice
         : S_ISFIFO(mode) ? SKindFifo
         : S_ISCHR(mode)  ? SKindCharDevice
                          : SKindOther;
}

bool NamesHeldDescriptor(const std::string& file_name) {
  return file_name == "-" || HeldDescriptor(file_name).has_value();
}

bool NamesStandardOutput(const std::string& file_name) {
  return file_name == "-" || HeldDescriptor(file_name) == STDOUT_FILENO;
}

std::optional<std::string> PlantedLinkReason(const std::string& path) {
  // The name is resolved as the kernel resolves it, one component at a time, each link's
  // text put in place of the link; every link met is judged by the folder it lies in.
  std::string folder = !path.empty() && path[0] == '/' ? "/" : CurrentDirectory();
  if (folder.empty()) return std::nullopt;
  std::vector<std::string> rest;  // the components still to walk, the next one last
  const auto push_components = [&rest](const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
      const size_t slash = text.find('/', start);
      const size_t end = slash == std::string::npos ? text.size() : slash;
      if (end > start) parts.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    rest.insert(rest.end(), parts.rbegin(), parts.rend());
  };
  push_components(path);
  for (int links = 0; !rest.empty();) {
    const std::string part = rest.back();
    rest.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      folder = FolderOf(folder);
      continue;
    }
    const std::string next = (folder == "/" ? "" : folder) + "/" + part;
    struct stat st {};
    if (::lstat(next.c_str(), &st) != 0) return std::nullopt;  // the open tells what is missing
    if (!S_ISLNK(st.st_mode)) {
      folder = next;
      continue;
    }
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0 &&
        (dir.st_mode & S_IWOTH) != 0 && st.st_uid != ::geteuid() && st.st_uid != dir.st_uid)
      return Format(SPlantedLink, next.c_str(), static_cast<unsigned>(st.st_uid), folder.c_str());
    if (++links > 40) return std::nullopt;  // the open fails with the system's reason
    std::string text(PATH_MAX, '\0');
    const ssize_t n = ::readlink(next.c_str(), text.data(), text.size());
    if (n <= 0) return std::nullopt;
    text.resize(static_cast<size_t>(n));
    if (text[0] == '/') folder = "/";
    push_components(text);
  }
  return std::nullopt;
}

void SaveFileSafely(const std::string& file_name, const std::function<void(TStream&)>& write) {
  if (file_name == "-") {
    WriteAll(STDOUT_FILENO, write);
    return;
  }
  if (const auto fd = HeldDescriptor(file_name)) {
    WriteIntoHeld(*fd, file_name, write);
    return;
  }
  if (const auto planted = PlantedLinkReason(file_name)) CannotCreate(file_name, *planted);
  const TTarget target = ResolveTarget(file_name);
  if (target.stream) {
    // A device or a FIFO: the bytes go straight in; there is nothing to replace.
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) CannotCreate(file_name, std::strerror(errno));
    try {
      WriteAll(fd, write);
    } catch (...) {
      ::close(fd);
      throw;
    }
    if (::close(fd) != 0) CannotWrite(errno);
    return;
  }
  TTempFile temp(FolderOf(target.path), file_name);
  WriteAll(temp.Descriptor(), write, true);
  KeepOwnership(temp.Descriptor(), target);
  if (::fsync(temp.Descriptor()) != 0) CannotWrite(errno);
  temp.Commit(target.path, target.exists, file_name);
}

bool FileExists(const std::string& file_name) {
  struct stat st {};
  return ::stat(file_name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
