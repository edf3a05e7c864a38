// One loaded plug-in library (TSPI) and its kinds by API version: TInSPI ("00IN", import
// plug-ins that decode pictures), TAmSPI ("00AM") and TXnSPI ("00XN"), which are listed
// but never asked to decode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/LocalMemory.h"
#include "susie/PictureInfo.h"
#include "susie/SPIExceptions.h"

class TSPI;

// A class reference for plug-in objects: name, parent and a virtual constructor from a
// library path.
struct TSPIClass {
  const char* name;
  const TSPIClass* parent;
  std::unique_ptr<TSPI> (*create)(const std::string& path);

  bool InheritsFrom(const TSPIClass& other) const {
    for (const TSPIClass* c = this; c != nullptr; c = c->parent)
      if (c == &other) return true;
    return false;
  }
};

class TSPI {
 public:
  // Loads the library (ESPIFOpenErrorSPI when it cannot be loaded), finds
  // "GetPluginInfo" (ESPIInvalidSPI when absent) and reads the info strings. Any failure
  // after loading unloads the library again.
  explicit TSPI(const std::string& path);
  virtual ~TSPI();
  TSPI(const TSPI&) = delete;
  TSPI& operator=(const TSPI&) = delete;

  static const TSPIClass& Class();
  virtual const TSPIClass& ClassType() const { return Class(); }
  const char* ClassName() const { return ClassType().name; }
  bool InheritsFrom(const TSPIClass& cls) const { return ClassType().InheritsFrom(cls); }

  TModuleHandle Handle() const { return handle_; }
  // The library's path as the loader reports it, or the path it was loaded from.
  const std::string& FileName() const { return file_name_; }
  const std::string& ApiVersion() const { return api_version_; }
  const std::string& Description() const { return description_; }
  // Info 2, 4, 6 ...: extension patterns such as *.pic; GetFileTypes: info 3, 5, 7 ...,
  // the names of those file types. Always of equal length.
  const std::vector<std::string>& GetExtNames() const { return ext_names_; }
  const std::vector<std::string>& GetFileTypes() const { return file_types_; }

  // Calls the plug-in's "GetPluginInfo"; returns the number of characters written.
  int GetPluginInfo(int infono, char* buf, int buflen) const;

  // The most extension/file-type pairs read from one plug-in. A plug-in that answers every
  // info number would otherwise keep the host reading for ever.
  static constexpr int kMaxInfoPairs = 1024;

 protected:
  // The address of an entry of the library, or nullptr.
  void* Entry(const char* name) const;
  [[noreturn]] void RaiseInvalidAPI(const char* entry) const;
  // ESPIInvalidSPI naming the file, with the missing entry as its detail.
  [[noreturn]] void RaiseInvalidSPI(const char* missing_entry) const;

 private:
  std::string ReadInfo(int infono, bool* present) const;

  TModuleHandle handle_ = nullptr;
  std::string file_name_;
  std::string api_version_;
  std::string description_;
  std::vector<std::string> ext_names_;
  std::vector<std::string> file_types_;
  SpiGetPluginInfoFunc get_plugin_info_ = nullptr;
};

// An import plug-in: requires "IsSupported", "GetPictureInfo" and "GetPicture"
// (ESPIInvalidSPI naming the file when one is absent); "GetPreview" may be absent.
class TInSPI : public TSPI {
 public:
  explicit TInSPI(const std::string& path);
  static const TSPIClass& Class();
  const TSPIClass& ClassType() const override { return Class(); }

  // 0: not supported. `head` addresses at least 2048 bytes of the file's head.
  int IsSupported(const char* file_name, const void* head) const;
  // 0: success.
  int GetPictureInfo(const void* buf, intptr_t len, unsigned flag, TPictureInfo* info) const;
  // 0: success; the two handles then hold the info block and the pixel bits.
  int GetPicture(const void* buf, intptr_t len, unsigned flag, THLocal* info, THLocal* bits,
                 SpiProgressCallback progress, intptr_t user_data) const;
  // Looked up only; the loader never calls it. ESPIInvalidAPI when absent.
  int GetPreview(const void* buf, intptr_t len, unsigned flag, THLocal* info, THLocal* bits,
                 SpiProgressCallback progress, intptr_t user_data) const;

 private:
  SpiIsSupportedFunc is_supported_ = nullptr;
  SpiGetPictureInfoFunc get_picture_info_ = nullptr;
  SpiGetPictureFunc get_picture_ = nullptr;
  SpiGetPictureFunc get_preview_ = nullptr;
};

class TAmSPI : public TSPI {
 public:
  using TSPI::TSPI;
  static const TSPIClass& Class();
  const TSPIClass& ClassType() const override { return Class(); }
};

class TXnSPI : public TSPI {
 public:
  using TSPI::TSPI;
  static const TSPIClass& Class();
  const TSPIClass& ClassType() const override { return Class(); }
};
