// The file search's wildcard match, the same on every platform.
#include "platform/PluginPlaces.h"

#include "base/Text.h"

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Iterative wildcard match with one back-tracking point for the last '*'.
  size_t n = 0, p = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerChar(pattern[p]) == LowerChar(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
