#include "app/gui/OpenFilter.h"

#include <algorithm>

#include "susie/Spis.h"

std::vector<TFilterEntry> BuildOpenFilter(const std::vector<TPluginFilterInfo>& plugins) {
  std::vector<TFilterEntry> entries;
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
