#include "platform/PluginPlaces.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Text.h"
#include "platform/Paths.h"

namespace {

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  const passwd* pw = getpwuid(getuid());
  return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

}  // namespace

std::string SusieConfigFile() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string base =
      xdg != nullptr && xdg[0] == '/' ? std::string(xdg) : HomeDirectory() + "/.config";
  return base + "/Quenbrook/Susie.conf";
}

std::optional<std::string> SusiePluginPath() {
  std::ifstream file(SusieConfigFile());
  if (!file) return std::nullopt;
  std::string line;
  bool in_group = false;
  std::optional<std::string> value;
  while (std::getline(file, line)) {
    line = std::string(Trim(line));
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      in_group = line == "[Plug-in]";
      continue;
    }
    const size_t eq = line.find('=');
    if (!in_group || eq == std::string::npos ||
        Trim(std::string_view(line).substr(0, eq)) != "Path")
      continue;
    std::string v(Trim(std::string_view(line).substr(eq + 1)));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    value = v;  // the last Path of the group counts
  }
  if (file.bad() || !value || value->empty()) return std::nullopt;
  return value;
}

std::string ExecutableDirectory() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "";
  buffer.resize(static_cast<size_t>(n));
  const size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : buffer.substr(0, slash);
}

std::string CurrentDirectory() {
  std::string buffer(4096, '\0');
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return "";
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

std::string SystemDirectory() {
  return "/usr/lib/susie";
}

std::string WindowsDirectory() {
  return "/usr/local/lib/susie";
}

std::string InstalledPluginDirectory() {
  // /proc/self/exe names the program with its links resolved, so the parent is a plain path
  // and a plug-in found here has the same path as when found under the fixed places.
  const std::string app = ExecutableDirectory();
  const size_t slash = app.rfind('/');
  if (app.empty() || slash == std::string::npos) return "";
  return app.substr(0, slash) + "/lib/susie";
}

std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern) {
  std::vector<std::string> names;
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return names;
  const std::string prefix =
      directory.empty() || directory.back() == '/' ? directory : directory + "/";
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.' || !MatchesPattern(name, pattern)) continue;
    struct stat st {};
    if (stat((prefix + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// Why the file or folder `what` (described as `name`) cannot be trusted, or nothing.
std::optional<std::string> UntrustedEntry(const std::string& what, const std::string& name,
                                          bool folder) {
  struct stat st {};
  if (stat(what.c_str(), &st) != 0)
    return Format(SPluginNotFound, name.c_str(), std::strerror(errno));
  if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
    return Format(SPluginNotRegular, name.c_str());
  if (st.st_uid != geteuid() && st.st_uid != 0)
    return Format(SPluginNotOwned, name.c_str(), static_cast<unsigned>(st.st_uid));
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return Format(SPluginWritable, name.c_str(),
                  (st.st_mode & S_IWOTH) != 0 ? SPluginWritableOthers : SPluginWritableGroup,
                  static_cast<unsigned>(st.st_mode & 07777));
  return std::nullopt;
}

}  // namespace

std::optional<std::string> UntrustedPluginReason(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return Format(SPluginNotFound, path.c_str(), std::strerror(errno));
  const std::string real = resolved;
  std::free(resolved);
  // The folder it was found in first (whoever may write there may swap the file or the
  // link), then the file itself and the folder it lies in.
  const std::string found_in = FolderOf(path);
  if (auto reason = UntrustedEntry(found_in, "its folder " + found_in, true)) return reason;
  if (auto reason = UntrustedEntry(real, "the file", false)) return reason;
  const std::string lies_in = FolderOf(real);
  if (lies_in != found_in)
    if (auto reason = UntrustedEntry(lies_in, "its folder " + lies_in, true)) return reason;
  return std::nullopt;
}
