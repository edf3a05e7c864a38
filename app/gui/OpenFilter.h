// The open dialog's filter: "All pictures" first (every pattern of every plug-in and the
// bitmap pattern, the entry a person mostly wants), then "All(*.*)", then one entry per
// plug-in made from the first name of its file-type list and the first pattern of its
// extension list, then the Windows bitmap entry. Each entry pairs a label with the pattern
// offered under it.
#pragma once

#include <string>
#include <vector>

#include <QStringList>

class TSPIs;

struct TFilterEntry {
  std::string label;    // what the dialog shows, the pattern repeated in brackets
  std::string pattern;  // one pattern, or several joined by ';'
  friend bool operator==(const TFilterEntry&, const TFilterEntry&) = default;
};

// What one plug-in offers: its file-type names and its extension patterns, in list order.
struct TPluginFilterInfo {
  std::vector<std::string> file_types;
  std::vector<std::string> ext_names;
};

// The entries for plug-ins in list order. A plug-in without a file-type name or without an
// extension pattern has nothing to offer and is left out.
std::vector<TFilterEntry> BuildOpenFilter(const std::vector<TPluginFilterInfo>& plugins);
// The same for every plug-in of the registry, in the registry's order.
std::vector<TFilterEntry> BuildOpenFilter(const TSPIs& spis);

// The filter as one text in the label|pattern|label|pattern form.
std::string FilterText(const std::vector<TFilterEntry>& entries);
// The filter as name filters for the file dialog: the label, whose bracketed part carries
// the patterns separated by spaces.
QStringList NameFilters(const std::vector<TFilterEntry>& entries);
