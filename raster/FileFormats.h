// The process-wide registry of graphic formats: for each, a file extension, a description
// and the graphic class that handles it. Stored pictures look their class name up here.
#pragma once

#include <string>
#include <vector>

#include "raster/Graphic.h"

struct TFileFormat {
  const TGraphicClass* GraphicClass = nullptr;
  std::string Extension;  // lower case, without dot
  std::string Description;
  int DescResID = 0;  // 0: the description is given as text (always so here)
};

// The entries in registration order. The same extension may be registered more than once;
// nothing is ever replaced.
class TFileFormatsList {
 public:
  // Starts with the layer's own four formats: wmf, emf, ico, bmp.
  TFileFormatsList();

  // Appends an entry; the extension is stored in lower case.
  void Add(const std::string& extension, const std::string& description, int desc_res_id,
           const TGraphicClass& graphic_class);
  // The class of the last entry whose extension equals `extension` without regard to case.
  const TGraphicClass* FindExt(const std::string& extension) const;
  // The class of the last entry whose class name equals `name` exactly, or nullptr.
  const TGraphicClass* FindClassName(const std::string& name) const;
  // Removes every entry whose class is `graphic_class` or derives from it.
  void Remove(const TGraphicClass& graphic_class);

  int Count() const { return static_cast<int>(entries_.size()); }
  const TFileFormat& operator[](int index) const { return entries_.at(static_cast<size_t>(index)); }
  const std::vector<TFileFormat>& Entries() const { return entries_; }

 private:
  std::vector<TFileFormat> entries_;
};

// The registry, created on first use: the four built-in entries, then the entries of the
// graphic modules in their fixed order (SetGraphicModules).
TFileFormatsList& GetFileFormats();

// The graphic modules' initialisation, which the layer above the modules installs
// (export/GraphicModules.cpp, when a program starts) and the registry runs once, right
// after its own four entries. Each module registers its formats with
// TPicture::RegisterFileFormat from there, in module order: the GIF module ("gif",
// "GIF Image") before the JPEG module ("jpeg", "jpg"). Installed after the registry was
// made, it runs at once.
using TGraphicModules = void (*)();
void SetGraphicModules(TGraphicModules initialize);
