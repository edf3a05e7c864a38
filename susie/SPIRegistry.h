// TSPIs: finds Susie plug-ins in a fixed list of places, loads each one, keeps the loaded
// plug-ins in a list (which it owns) and registers every extension an import plug-in
// decodes with the picture format registry. At run time there is one instance;
// SusiePlugins() returns it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/Graphic.h"
#include "susie/SPI.h"

enum TSPISearchOption {
  spsSusieDir,
  spsAppDir,
  spsCurrentDir,
  spsSystemDir,
  spsWindowsDir,
  spsAppPluginDir
};

// A set of search options: bit 0 for spsSusieDir up to bit 5 for spsAppPluginDir.
class TSPISearchOptions {
 public:
  constexpr TSPISearchOptions() = default;
  constexpr TSPISearchOptions(std::initializer_list<TSPISearchOption> options) {
    for (TSPISearchOption o : options) bits_ |= Bit(o);
  }
  constexpr bool Contains(TSPISearchOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr void Include(TSPISearchOption o) { bits_ |= Bit(o); }
  constexpr void Exclude(TSPISearchOption o) { bits_ &= static_cast<uint8_t>(~Bit(o)); }
  constexpr uint8_t Bits() const { return bits_; }
  friend constexpr bool operator==(TSPISearchOptions, TSPISearchOptions) = default;

  static constexpr TSPISearchOptions All() {
    return {spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir, spsAppPluginDir};
  }

 private:
  static constexpr uint8_t Bit(TSPISearchOption o) { return static_cast<uint8_t>(1u << o); }
  uint8_t bits_ = 0;
};

// A file that a search found but did not add, and why.
struct TSPIRejection {
  std::string FileName;
  std::string Reason;
};

class TSPIs {
 public:
  // Sender, the plug-in just loaded, Accept (true on entry).
  using TSPISearchEvent = std::function<void(TSPIs& sender, TSPI& spi, bool& accept)>;
  // Sender, the import plug-in, extension (without dot), description, graphic class
  // (the default graphic class on entry; nullptr registers nothing).
  using TSPIPictureRegisterEvent =
      std::function<void(TSPIs& sender, TInSPI& spi, const std::string& extension,
                         const std::string& description, const TGraphicClass*& graphic_class)>;

  // At run time (designing false) a second instance raises ESPIDupCreateSPIs; the first
  // becomes the run-time instance. A designing instance neither searches nor registers.
  explicit TSPIs(bool designing = false);
  ~TSPIs();
  TSPIs(const TSPIs&) = delete;
  TSPIs& operator=(const TSPIs&) = delete;

  TSPISearchOptions SearchOptions = {spsSusieDir, spsAppDir};
  bool AutoSearch = true;
  TSPISearchEvent OnSearch;
  TSPIPictureRegisterEvent OnPictureRegister;

  // Call once the properties are set: at run time with AutoSearch, Search("*.spi").
  void Loaded();
  // A mask with a folder searches only that folder with the mask's file-name part;
  // otherwise the places of SearchOptions in their fixed order.
  void Search(const std::string& mask);

  int Count() const { return static_cast<int>(list_.size()); }
  // EListError for an index out of range.
  TSPI& GetPlugins(int index) const;
  void Add(std::unique_ptr<TSPI> spi);
  // Puts the plug-in into the list, then registers its extensions (import plug-ins at run
  // time). When the registration fails the plug-in is taken out again, freed, and the
  // exception passes on.
  void Insert(int index, std::unique_ptr<TSPI> spi);
  // Frees the plug-in at index (which unloads its library).
  void Delete(int index);
  void Remove(const TSPI* spi);
  int IndexOf(const TSPI* spi) const;
  // The first plug-in whose FileName equals path exactly, -1 if none.
  int IndexOfSPIName(const std::string& path) const;
  void Exchange(int index1, int index2);
  void Clear();

  // Adds to `result` every plug-in of one of `classes` (or derived): those whose extension
  // list claims the file name's extension at the front (so in reverse list order), the
  // others at the end in list order.
  void FindPluginList(const std::vector<const TSPIClass*>& classes, const std::string& file_name,
                      std::vector<TSPI*>& result) const;

  bool Designing() const { return designing_; }

  // Every file the searches found and did not add, in the order found: skipped unopened
  // (a place others may write to, see UntrustedPluginReason), failed to load, not a Susie
  // plug-in, refused by OnSearch, or failed while being added. Clear empties it too.
  const std::vector<TSPIRejection>& Rejected() const { return rejected_; }
  // What the searches learned about a place they could not use (a configuration file that
  // is no regular file or too large), in the order met. Clear empties it too.
  const std::vector<std::string>& Notes() const { return notes_; }

 private:
  void Reject(const std::string& path, const std::string& reason);
  // Whether the file at path is one of the loaded plug-ins' files, however reached.
  bool IsLoadedFile(const std::string& path) const;
  void SearchDirectory(std::string directory, const std::string& pattern);
  void RegisterExtensions(TInSPI& spi);
  void CheckIndex(int index) const;

  bool designing_;
  std::vector<std::unique_ptr<TSPI>> list_;
  std::vector<TSPIRejection> rejected_;
  std::vector<std::string> notes_;
};

// The run-time instance, or nullptr.
TSPIs* SusiePlugins();
// Loads one plug-in file as the class its API version names ("00IN" TInSPI, "00AM"
// TAmSPI, "00XN" TXnSPI, else TSPI). Nothing when the file does not load or is not a
// Susie plug-in; other exceptions pass.
std::unique_ptr<TSPI> CreateSPI(const std::string& path);
// The same; when nothing is loaded, `reason` receives why (the exception's message and
// detail).
std::unique_ptr<TSPI> CreateSPI(const std::string& path, std::string* reason);

// The process-wide default graphic class for plug-in extensions (TSPIBitmap unless set).
void SetDefaultGraphic(const TGraphicClass* graphic_class);
const TGraphicClass* GetDefaultGraphic();
