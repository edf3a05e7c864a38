#include "platform/ConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Text.h"
#include "platform/Files.h"

namespace {

std::string NotRead(const std::string& path, const std::string& why) {
  return Format(SConfigNotRead, path.c_str(), why.c_str()).text;
}

}  // namespace

TConfigFile ReadConfigFile(const std::string& path) {
  TConfigFile file;
  if (const auto planted = PlantedLinkReason(path)) {
    file.note = NotRead(path, *planted);
    return file;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    // No file at all is the usual case and no news.
    if (errno != ENOENT && errno != ENOTDIR) file.note = NotRead(path, std::strerror(errno));
    return file;
  }
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) != 0) {
    file.note = NotRead(path, std::strerror(errno));
  } else if (!S_ISREG(st.st_mode)) {
    file.note = NotRead(path, Format(SConfigNotRegular, FileKindText(st.st_mode)).text);
  } else if (static_cast<uint64_t>(st.st_size) > kMaxConfigFileBytes) {
    file.note =
        NotRead(path, Format(SConfigTooLarge,
                             ByteSizeText(static_cast<unsigned long long>(st.st_size)).c_str(),
                             ByteSizeText(kMaxConfigFileBytes).c_str())
                          .text);
  } else {
    // One byte more than the limit shows a file that grew since fstat.
    text.resize(kMaxConfigFileBytes + 1);
    size_t got = 0;
    while (got < text.size()) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        file.note = NotRead(path, std::strerror(errno));
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    if (file.note.empty() && got > kMaxConfigFileBytes)
      file.note = NotRead(path, Format(SConfigTooLarge, ByteSizeText(got).c_str(),
                                       ByteSizeText(kMaxConfigFileBytes).c_str())
                                    .text);
    text.resize(got);
    if (file.note.empty()) file.text = std::move(text);
  }
  ::close(fd);
  return file;
}

std::optional<std::string> IniValue(std::string_view text, std::string_view group,
                                    std::string_view key) {
  bool in_group = false;
  std::optional<std::string> value;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      in_group = line.size() == group.size() + 2 && line.back() == ']' &&
                 line.substr(1, group.size()) == group;
      continue;
    }
    const size_t eq = line.find('=');
    if (!in_group || eq == std::string_view::npos || Trim(line.substr(0, eq)) != key) continue;
    std::string_view v = Trim(line.substr(eq + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    value = std::string(v);  // the last one of the group counts
  }
  return value;
}
