#include "app/gui/OpenFilter.h"

#include <algorithm>
#include <cctype>

#include "susie/Spis.h"

namespace {

// Every pattern of the plug-ins' extension lists (an entry may join several with ';') and
// the bitmap pattern, each once (without regard to case), joined by ';'.
std::string AllPicturePatterns(const std::vector<TPluginFilterInfo>& plugins) {
  std::vector<std::string> patterns;
  const auto add = [&](const std::string& pattern) {
    if (pattern.empty()) return;
    const auto same = [&](const std::string& p) {
      return std::equal(p.begin(), p.end(), pattern.begin(), pattern.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      });
    };
    if (std::none_of(patterns.begin(), patterns.end(), same)) patterns.push_back(pattern);
  };
  for (const TPluginFilterInfo& p : plugins) {
    if (p.file_types.empty()) continue;
    for (const std::string& entry : p.ext_names)
      for (size_t start = 0; start <= entry.size();) {
        size_t end = entry.find(';', start);
        if (end == std::string::npos) end = entry.size();
        add(entry.substr(start, end - start));
        start = end + 1;
      }
  }
  add("*.bmp");
  std::string joined;
  for (const std::string& p : patterns) joined += (joined.empty() ? "" : ";") + p;
  return joined;
}

}  // namespace

std::vector<TFilterEntry> BuildOpenFilter(const std::vector<TPluginFilterInfo>& plugins) {
  std::vector<TFilterEntry> entries;
  const std::string pictures = AllPicturePatterns(plugins);
  entries.push_back({"All pictures (" + pictures + ")", pictures});
  entries.push_back({"All(*.*)", "*.*"});
  for (const TPluginFilterInfo& p : plugins) {
    if (p.file_types.empty() || p.ext_names.empty()) continue;
    const std::string& ext = p.ext_names.front();
    entries.push_back({p.file_types.front() + " (" + ext + ")", ext});
  }
  entries.push_back({"WindowsBitmap (*.bmp)", "*.bmp"});
  return entries;
}

std::vector<TFilterEntry> BuildOpenFilter(const TSPIs& spis) {
  std::vector<TPluginFilterInfo> plugins;
  for (int i = 0; i < spis.Count(); ++i) {
    const TSPI& spi = spis.GetPlugins(i);
    plugins.push_back({spi.GetFileTypes(), spi.GetExtNames()});
  }
  return BuildOpenFilter(plugins);
}

std::string FilterText(const std::vector<TFilterEntry>& entries) {
  std::string text;
  for (const TFilterEntry& e : entries) {
    if (!text.empty()) text += '|';
    text += e.label + '|' + e.pattern;
  }
  return text;
}

QStringList NameFilters(const std::vector<TFilterEntry>& entries) {
  QStringList filters;
  for (const TFilterEntry& e : entries) {
    // The dialog takes the patterns from the label's last bracket, separated by spaces; a
    // plug-in may list several patterns joined by ';'.
    QString label = QString::fromStdString(e.label);
    const QString pattern = QString::fromStdString(e.pattern);
    const QString bracket = "(" + pattern + ")";
    QString spaced = pattern;
    spaced.replace(';', ' ');
    if (label.endsWith(bracket))
      label.chop(bracket.size());
    else
      label += ' ';
    filters << label + "(" + spaced.simplified() + ")";
  }
  return filters;
}
