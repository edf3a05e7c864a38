// Fuzz target: the reader of the plug-in configuration file (Quenbrook/Susie.conf) on any
// bytes a user's file may hold, as far as the reader takes them: the value of Path in the
// group [Plug-in]. A value it finds is one line's, trimmed (but for what double quotes
// enclosed), from inside that group.
#include <algorithm>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/ConfigFile.h"

namespace {

bool Blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data),
                              std::min(size, kMaxConfigFileBytes));
  const auto value = IniValue(text, "Plug-in", "Path");
  if (value) {
    FUZZ_CHECK(value->size() <= text.size());
    FUZZ_CHECK(value->find('\n') == std::string::npos);
    FUZZ_CHECK(text.find("[Plug-in]") != std::string_view::npos);
    // Blanks at either end only inside the double quotes that enclosed the value.
    const bool blank_end = !value->empty() && (Blank(value->front()) || Blank(value->back()));
    FUZZ_CHECK(!blank_end || text.find('"' + *value + '"') != std::string_view::npos);
  }
  return 0;
}
