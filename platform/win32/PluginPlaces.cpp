// The places where Susie plug-ins are looked for, on Windows: the registry value, the
// program's folder (GetModuleFileNameA), the current directory, GetSystemDirectoryA and
// GetWindowsDirectoryA, and FindFirstFileA/FindNextFileA over one folder.
#include "platform/PluginPlaces.h"

#include <windows.h>

#include <vector>

#include "platform/Paths.h"

namespace {

// The text of a directory call that fills a 255-character buffer; empty when it fails or
// the directory does not fit.
template <typename Call>
std::string DirectoryOf(Call call) {
  char buffer[256] = {};
  const UINT n = call(buffer, 255);
  return n == 0 || n >= 255 ? std::string() : std::string(buffer, n);
}

}  // namespace

const char* SusieRegistryKey() {
  return "Software\\Quenbrook\\Susie\\Plug-in";
}

std::optional<std::string> SusiePluginPath(std::string*) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SusieRegistryKey(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  std::optional<std::string> path;
  DWORD type = 0, size = 0;
  // Only a string value counts; any other type, like a missing value, skips the place.
  if (RegQueryValueExA(key, "Path", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && size <= 32768) {
    std::vector<char> buffer(size + 1, '\0');
    DWORD read = size;
    if (RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &read) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      std::string value(buffer.data());  // up to the first NUL
      if (!value.empty()) path = std::move(value);
    }
  }
  RegCloseKey(key);
  return path;
}

std::string ExecutableDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  const std::string path(buffer, n);
  const size_t slash = LastDelimiter(path);
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return "";
  std::string buffer(needed, '\0');
  const DWORD n = GetCurrentDirectoryA(needed, buffer.data());
  if (n == 0 || n >= needed) return "";
  buffer.resize(n);
  return buffer;
}

std::string SystemDirectory() {
  return DirectoryOf([](char* b, UINT n) { return GetSystemDirectoryA(b, n); });
}

std::string WindowsDirectory() {
  return DirectoryOf([](char* b, UINT n) { return GetWindowsDirectoryA(b, n); });
}

std::string InstalledPluginDirectory() {
  return "";
}

std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern) {
  std::vector<std::string> names;
  const std::string prefix = directory.empty() || IsPathDelimiter(directory.back())
                                 ? directory
                                 : directory + kPathDelimiter;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((prefix + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // Ordinary, read-only, system and archive files; hidden files and folders are not
    // matched. The long name must match the pattern itself: the search also matches the
    // short 8.3 names, by which "*.spi" would find "old.spi~" as well.
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) != 0)
      continue;
    const std::string name = found.cFileName;
    if (MatchesPattern(name, pattern)) names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::optional<std::string> UntrustedPluginReason(const std::string&) {
  return std::nullopt;
}

std::string FileIdentity(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!known) return "";
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
         ":" + std::to_string(info.nFileIndexLow);
}
