#include "raster/FileFormats.h"

#include <algorithm>
#include <memory>

#include "base/Messages.h"
#include "base/Text.h"
#include "raster/Bitmap.h"
#include "raster/Icon.h"
#include "raster/Metafile.h"

namespace {

std::unique_ptr<TFileFormatsList> g_file_formats;
TGraphicModules g_graphic_modules = nullptr;
bool g_modules_initialized = false;

void InitializeModules() {
  if (g_graphic_modules == nullptr || g_modules_initialized) return;
  g_modules_initialized = true;
  g_graphic_modules();
}

}  // namespace

TFileFormatsList::TFileFormatsList() {
  Add("wmf", SVMetafiles.text, 0, TMetafile::Class());
  Add("emf", SVEnhMetafiles.text, 0, TMetafile::Class());
  Add("ico", SVIcons.text, 0, TIcon::Class());
  Add("bmp", SVBitmaps.text, 0, TBitmap::Class());
}

void TFileFormatsList::Add(const std::string& extension, const std::string& description,
                           int desc_res_id, const TGraphicClass& graphic_class) {
  entries_.push_back(TFileFormat{&graphic_class, LowerCase(extension), description, desc_res_id});
}

const TGraphicClass* TFileFormatsList::FindExt(const std::string& extension) const {
  const std::string wanted = LowerCase(extension);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (it->Extension == wanted) return it->GraphicClass;
  return nullptr;
}

const TGraphicClass* TFileFormatsList::FindClassName(const std::string& name) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (name == it->GraphicClass->name) return it->GraphicClass;
  return nullptr;
}

void TFileFormatsList::Remove(const TGraphicClass& graphic_class) {
  std::erase_if(entries_, [&](const TFileFormat& entry) {
    return entry.GraphicClass->InheritsFrom(graphic_class);
  });
}

TFileFormatsList& GetFileFormats() {
  if (!g_file_formats) {
    // The list exists before the modules register, so that their registration calls find it.
    g_file_formats = std::make_unique<TFileFormatsList>();
    InitializeModules();
  }
  return *g_file_formats;
}

void SetGraphicModules(TGraphicModules initialize) {
  g_graphic_modules = initialize;
  if (g_file_formats) InitializeModules();
}
