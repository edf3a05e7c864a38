#include "susie/SPIRegistry.h"

#include <algorithm>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "platform/PluginPlaces.h"
#include "raster/Picture.h"
#include "susie/SPIBitmap.h"

namespace {

TSPIs* g_instance = nullptr;
bool g_default_set = false;
const TGraphicClass* g_default_graphic = nullptr;

// An extension pattern from its last dot on (with the dot), or "" without a dot.
std::string PatternExt(const std::string& pattern) {
  const size_t dot = pattern.rfind('.');
  return dot == std::string::npos ? "" : pattern.substr(dot);
}

}  // namespace

TSPIs* SusiePlugins() {
  return g_instance;
}

void SetDefaultGraphic(const TGraphicClass* graphic_class) {
  g_default_graphic = graphic_class;
  g_default_set = true;
}

const TGraphicClass* GetDefaultGraphic() {
  return g_default_set ? g_default_graphic : &TSPIBitmap::Class();
}

TSPIs::TSPIs(bool designing) : designing_(designing) {
  if (!designing_) {
    if (g_instance != nullptr) throw ESPIDupCreateSPIs(SSPIDupCreate);
    g_instance = this;
  }
}

TSPIs::~TSPIs() {
  if (g_instance == this) g_instance = nullptr;
  Clear();
}

void TSPIs::Loaded() {
  if (!designing_ && AutoSearch) Search("*.spi");
}

void TSPIs::Search(const std::string& mask) {
  const size_t slash = LastDelimiter(mask);
  if (slash != std::string::npos) {
    SearchDirectory(mask.substr(0, slash + 1), mask.substr(slash + 1));
    return;
  }
  if (SearchOptions.Contains(spsSusieDir)) {
    std::string note;
    const auto path = SusiePluginPath(&note);
    if (!note.empty() && std::find(notes_.begin(), notes_.end(), note) == notes_.end())
      notes_.push_back(note);
    if (path) SearchDirectory(*path, mask);
  }
  if (SearchOptions.Contains(spsAppPluginDir)) {
    const std::string app = ExecutableDirectory();
    if (!app.empty())
      SearchDirectory((app == "/" ? "" : app) + kPathDelimiter + "SusiePlugin", mask);
  }
  if (SearchOptions.Contains(spsAppDir)) {
    const std::string app = ExecutableDirectory();
    if (!app.empty()) SearchDirectory(app, mask);
  }
  if (SearchOptions.Contains(spsCurrentDir)) SearchDirectory(CurrentDirectory(), mask);
  // The system and Windows directories are skipped when the platform cannot name them.
  // Where they are fixed folders (Linux), the installation's own plug-in folder comes just
  // before them, so a program installed under any prefix finds the plug-ins installed
  // with it; when it is one of them, they keep their order.
  const std::string system = SystemDirectory();
  const std::string windows = WindowsDirectory();
  if (SearchOptions.Contains(spsSystemDir)) {
    const std::string installed = InstalledPluginDirectory();
    if (!installed.empty() && installed != system && installed != windows)
      SearchDirectory(installed, mask);
    if (!system.empty()) SearchDirectory(system, mask);
  }
  if (SearchOptions.Contains(spsWindowsDir) && !windows.empty()) SearchDirectory(windows, mask);
}

void TSPIs::SearchDirectory(std::string directory, const std::string& pattern) {
  if (!directory.empty() && !IsPathDelimiter(directory.back())) directory += kPathDelimiter;
  std::vector<std::string> paths;
  for (const std::string& name : FindFiles(directory, pattern)) {
    const std::string path = directory + name;
    if (IndexOfSPIName(path) < 0) paths.push_back(path);
  }
  for (const std::string& path : paths) {
    // One file reached a second time (through a link, from another place) is the plug-in
    // already loaded: it is neither loaded nor listed again.
    if (IsLoadedFile(path)) continue;
    // A file in a place that others may write to is not opened at all: loading a library
    // runs its code.
    if (const auto untrusted = UntrustedPluginReason(path)) {
      Reject(path, *untrusted);
      continue;
    }
    std::string reason;
    std::unique_ptr<TSPI> spi = CreateSPI(path, &reason);
    if (!spi) {
      Reject(path, reason);
      continue;
    }
    try {
      bool accept = true;
      if (OnSearch) OnSearch(*this, *spi, accept);
      if (accept)
        Add(std::move(spi));
      else
        Reject(path, SPluginNotAccepted.text);
    } catch (const Exception& e) {
      // The plug-in is freed (it was not added, or Insert took it out again); the search
      // goes on with the next file.
      Reject(path, e.FullMessage());
    } catch (const std::exception& e) {
      Reject(path, e.what());
    } catch (...) {
      Reject(path, "");
    }
  }
}

bool TSPIs::IsLoadedFile(const std::string& path) const {
  const std::string identity = FileIdentity(path);
  if (identity.empty()) return false;
  return std::any_of(list_.begin(), list_.end(), [&](const std::unique_ptr<TSPI>& spi) {
    return FileIdentity(spi->FileName()) == identity;
  });
}

void TSPIs::Reject(const std::string& path, const std::string& reason) {
  for (TSPIRejection& r : rejected_)
    if (r.FileName == path) {
      r.Reason = reason;
      return;
    }
  rejected_.push_back({path, reason});
}

TSPI& TSPIs::GetPlugins(int index) const {
  CheckIndex(index);
  return *list_[static_cast<size_t>(index)];
}

void TSPIs::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, index));
}

void TSPIs::Add(std::unique_ptr<TSPI> spi) {
  Insert(Count(), std::move(spi));
}

void TSPIs::Insert(int index, std::unique_ptr<TSPI> spi) {
  if (index < 0 || index > Count()) throw EListError(Format(SListIndexError, index));
  TSPI* added = spi.get();
  list_.insert(list_.begin() + index, std::move(spi));
  if (designing_) return;
  if (auto* in = dynamic_cast<TInSPI*>(added)) {
    try {
      RegisterExtensions(*in);
    } catch (...) {
      // Whoever called Insert frees the plug-in on failure, so it must not stay listed.
      list_.erase(list_.begin() + IndexOf(added));
      throw;
    }
  }
}

void TSPIs::RegisterExtensions(TInSPI& spi) {
  const auto& exts = spi.GetExtNames();
  const auto& types = spi.GetFileTypes();
  for (size_t i = 0; i < exts.size(); ++i) {
    const size_t dot = exts[i].rfind('.');
    std::string extension = dot == std::string::npos ? exts[i] : exts[i].substr(dot + 1);
    if (extension.size() > 255) extension.resize(255);
    const std::string& description = types[i];
    const TGraphicClass* graphic_class = GetDefaultGraphic();
    if (OnPictureRegister) OnPictureRegister(*this, spi, extension, description, graphic_class);
    if (graphic_class != nullptr)
      TPicture::RegisterFileFormat(extension, description, *graphic_class);
  }
}

void TSPIs::Delete(int index) {
  CheckIndex(index);
  list_.erase(list_.begin() + index);
}

void TSPIs::Remove(const TSPI* spi) {
  const int index = IndexOf(spi);
  if (index >= 0) Delete(index);
}

int TSPIs::IndexOf(const TSPI* spi) const {
  for (size_t i = 0; i < list_.size(); ++i)
    if (list_[i].get() == spi) return static_cast<int>(i);
  return -1;
}

int TSPIs::IndexOfSPIName(const std::string& path) const {
  for (size_t i = 0; i < list_.size(); ++i)
    if (list_[i]->FileName() == path) return static_cast<int>(i);
  return -1;
}

void TSPIs::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(list_[static_cast<size_t>(index1)], list_[static_cast<size_t>(index2)]);
}

void TSPIs::Clear() {
  while (!list_.empty()) list_.erase(list_.begin());
  rejected_.clear();
  notes_.clear();
}

void TSPIs::FindPluginList(const std::vector<const TSPIClass*>& classes,
                           const std::string& file_name, std::vector<TSPI*>& result) const {
  const std::string ext = ExtractFileExt(file_name);
  for (const auto& spi : list_) {
    const bool taken = std::any_of(classes.begin(), classes.end(),
                                   [&](const TSPIClass* c) { return spi->InheritsFrom(*c); });
    if (!taken) continue;
    const auto& patterns = spi->GetExtNames();
    const bool claims =
        !ext.empty() && std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
          return SameText(PatternExt(p), ext);
        });
    if (claims)
      result.insert(result.begin(), spi.get());
    else
      result.push_back(spi.get());
  }
}

std::unique_ptr<TSPI> CreateSPI(const std::string& path) {
  return CreateSPI(path, nullptr);
}

std::unique_ptr<TSPI> CreateSPI(const std::string& path, std::string* reason) {
  try {
    TSPI probe(path);
    const std::string& version = probe.ApiVersion();
    const TSPIClass* cls = &TSPI::Class();
    if (version == "00IN")
      cls = &TInSPI::Class();
    else if (version == "00AM")
      cls = &TAmSPI::Class();
    else if (version == "00XN")
      cls = &TXnSPI::Class();
    // The second load keeps the library loaded when the probe is freed.
    return cls->create(path);
  } catch (const ESPIInvalidSPI& e) {
    if (reason) *reason = e.FullMessage();
    return nullptr;
  } catch (const ESPIFOpenErrorSPI& e) {
    if (reason) *reason = e.FullMessage();
    return nullptr;
  }
}
