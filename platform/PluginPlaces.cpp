#include "platform/PluginPlaces.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Text.h"
#include "platform/ConfigFile.h"
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

std::optional<std::string> SusiePluginPath(std::string* note) {
  const TConfigFile file = ReadConfigFile(SusieConfigFile());
  if (note != nullptr) *note = file.note;
  if (!file.text) return std::nullopt;
  auto value = IniValue(*file.text, "Plug-in", "Path");
  if (!value || value->empty()) return std::nullopt;
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

// Why a folder above `folder` cannot be trusted, or nothing: each must belong to the user
// or to root and be writable by neither group nor others, but for a sticky folder of
// root's (/tmp), where nobody may rename or remove what another made. The folders are
// those of the name as it was found and those of its real path: whoever may change a
// folder on either way could put another folder in place of the one below (on the way as
// found, between the check and the load, by swapping a link).
std::optional<std::string> UntrustedFoldersAbove(const std::string& folder) {
  std::string found = folder;
  if (found.empty() || found[0] != '/') found = CurrentDirectory() + "/" + found;
  char* resolved = realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) return Format(SPluginNotFound, folder.c_str(), std::strerror(errno));
  const std::string real = resolved;
  std::free(resolved);
  std::vector<std::string> checked;
  for (std::string path : {found, real}) {
    for (std::string above = FolderOf(path); above != path; path = above, above = FolderOf(path)) {
      if (std::find(checked.begin(), checked.end(), above) != checked.end()) continue;
      checked.push_back(above);
      const std::string name = "the folder " + above + " above it";
      struct stat st {};
      if (stat(above.c_str(), &st) != 0)
        return Format(SPluginNotFound, name.c_str(), std::strerror(errno));
      if (st.st_uid != geteuid() && st.st_uid != 0)
        return Format(SPluginNotOwned, name.c_str(), static_cast<unsigned>(st.st_uid));
      const bool sticky_of_root = (st.st_mode & S_ISVTX) != 0 && st.st_uid == 0;
      if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky_of_root)
        return Format(SPluginWritable, name.c_str(),
                      (st.st_mode & S_IWOTH) != 0 ? SPluginWritableOthers : SPluginWritableGroup,
                      static_cast<unsigned>(st.st_mode & 07777));
    }
  }
  return std::nullopt;
}

}  // namespace

std::string FileIdentity(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "";
  return std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
         std::to_string(static_cast<unsigned long long>(st.st_ino));
}

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
  if (auto reason = UntrustedFoldersAbove(found_in)) return reason;
  if (lies_in != found_in)
    if (auto reason = UntrustedFoldersAbove(lies_in)) return reason;
  return std::nullopt;
}
