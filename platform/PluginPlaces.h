// The places where Susie plug-ins are looked for, and the file search over one folder. On
// Windows these are the registry value, the program's folder, the current directory, the
// system and Windows directories and FindFirstFileA/FindNextFileA; on Linux, stand-ins
// for them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
// The string value "Path" under the current user's key SusieRegistryKey(). Nothing when
// the key or value is missing, the value is empty or is not a string (or longer than
// 32 KiB). `note` is left as it is: a registry value needs no note.
std::optional<std::string> SusiePluginPath(std::string* note = nullptr);
// The key under HKEY_CURRENT_USER that SusiePluginPath reads.
const char* SusieRegistryKey();
#else
// The "Path" key of group [Plug-in] in Quenbrook/Susie.conf under the user's
// configuration folder ($XDG_CONFIG_HOME when it is an absolute path, else ~/.config).
// Nothing when the file, group or key is missing, the value is empty, or the file cannot
// be read; a file that is there but not read (no regular file, too large, unreadable) is
// told in `note` (see ReadConfigFile).
std::optional<std::string> SusiePluginPath(std::string* note = nullptr);
// The INI file that SusiePluginPath reads (whether it exists or not).
std::string SusieConfigFile();
#endif

// The folder of the running program's executable, without trailing delimiter.
std::string ExecutableDirectory();
// The process's current directory; empty when it cannot be had.
std::string CurrentDirectory();
// The system and Windows directories (empty when the platform cannot say); on Linux the
// stand-ins /usr/lib/susie and /usr/local/lib/susie (where `cmake --install` puts the
// shipped plug-ins for the default and the local prefix).
std::string SystemDirectory();
std::string WindowsDirectory();
// The plug-in folder of the installation the program belongs to: <prefix>/lib/susie for a
// program in <prefix>/bin, where `cmake --install` puts the shipped plug-ins, so that any
// install prefix finds its own. Empty on Windows, where the installed plug-ins lie beside
// the program.
std::string InstalledPluginDirectory();

// Whether `name` matches `pattern` ('*' any run of characters, '?' one character) without
// regard to case (ASCII letters).
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The names (not paths) of the entries of `directory` that match `pattern`. On Linux:
// regular files (links followed), not hidden (no leading '.'), sorted by name in byte
// order. On Windows: files that are neither folders nor hidden, in the order the system
// returns them. A folder that cannot be read gives none.
std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern);

// Why the plug-in file at `path` may not be loaded, or nothing when it may. A plug-in is
// code that runs with the user's rights, so on Linux the file (through its links) and its
// folder (the one it was found in and the one it lies in) must belong to the user running
// the program or to root, and none of them may be writable by its group or by others;
// every folder above those two (on the way as found and on the real path) must belong to
// the user or to root and be writable by neither group nor others, unless it is a sticky
// folder of root's such as /tmp (whose entries only their owners may rename), since
// whoever may change a folder above could put another folder in place of the one below.
// Nothing is opened to find out. On Windows every file found may be loaded (nothing): its
// folders' access rights are not judged here.
std::optional<std::string> UntrustedPluginReason(const std::string& path);

// What tells one file from every other however it is reached (through links, from a
// second folder): on Linux its device and inode, on Windows its volume and file index.
// Empty when the file cannot be reached.
std::string FileIdentity(const std::string& path);
