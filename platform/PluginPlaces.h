// The places where Susie plug-ins are looked for, and the file search over one folder:
// this platform's stand-ins for the registry value, the program's folder, the current
// directory, the system and Windows directories and the platform's file search.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The "Path" key of group [Plug-in] in Quenbrook/Susie.conf under the user's
// configuration folder ($XDG_CONFIG_HOME when it is an absolute path, else ~/.config).
// Nothing when the file, group or key is missing, the value is empty, or the file cannot
// be read.
std::optional<std::string> SusiePluginPath();
// The INI file that SusiePluginPath reads (whether it exists or not).
std::string SusieConfigFile();

// The folder of the running program's executable, without trailing '/'.
std::string ExecutableDirectory();
// The process's current directory; empty when it cannot be had.
std::string CurrentDirectory();
// The stand-ins for the system and Windows directories: /usr/lib/susie and
// /usr/local/lib/susie (where `cmake --install` puts the shipped plug-ins for the
// default and the local prefix).
std::string SystemDirectory();
std::string WindowsDirectory();

// Whether `name` matches `pattern` ('*' any run of characters, '?' one character) without
// regard to case (ASCII letters).
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The names (not paths) of the entries of `directory` that are regular files (links
// followed), not hidden (no leading '.') and match `pattern`; sorted by name in byte
// order. A folder that cannot be read gives none.
std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern);
