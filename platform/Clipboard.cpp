#include "platform/Clipboard.h"

#include <mutex>
#include <vector>

#include "base/Text.h"

namespace {

constexpr unsigned kFirstFormat = 0xC000;
constexpr unsigned kLastFormat = 0xFFFF;

std::mutex format_lock;
std::vector<std::string>& Names() {
  static std::vector<std::string> names;  // names[i] has identifier kFirstFormat + i
  return names;
}

}  // namespace

unsigned RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) return 0;
  const std::lock_guard<std::mutex> guard(format_lock);
  std::vector<std::string>& names = Names();
  for (size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], name)) return kFirstFormat + static_cast<unsigned>(i);
  if (names.size() > kLastFormat - kFirstFormat) return 0;
  names.push_back(name);
  return kFirstFormat + static_cast<unsigned>(names.size() - 1);
}

std::string ClipboardFormatName(unsigned format) {
  const std::lock_guard<std::mutex> guard(format_lock);
  const std::vector<std::string>& names = Names();
  if (format < kFirstFormat || format - kFirstFormat >= names.size()) return {};
  return names[format - kFirstFormat];
}
