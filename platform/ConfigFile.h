// Reading a small configuration file that the user's environment names: only a regular
// file is read, opened without blocking (a FIFO in its place would otherwise hold the
// program in open() forever), checked, then read, and at most kMaxConfigFileBytes of it
// (a link to /dev/zero or a sparse file of gigabytes costs nothing). Anything else is
// skipped with a note that names the file and says why. Linux only: on Windows the same
// setting is a registry value.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A configuration file's largest size: far above a few settings, far below any harm.
constexpr size_t kMaxConfigFileBytes = size_t{64} << 10;

struct TConfigFile {
  std::optional<std::string> text;  // the whole file, when it was read
  std::string note;                 // why it was not read; empty when it was, or is missing
};

TConfigFile ReadConfigFile(const std::string& path);

// The value of `key` in `[group]` of an INI text: lines trimmed of blanks, ';' and '#'
// lines are comments, "key = value" with the value trimmed and one pair of enclosing
// double quotes taken off; the last such line of the group counts. Nothing when the group
// or key is missing.
std::optional<std::string> IniValue(std::string_view text, std::string_view group,
                                    std::string_view key);
