#include "susie/SPI.h"

#include <cstring>

#include "base/Format.h"
#include "base/Messages.h"

namespace {

template <typename T>
std::unique_ptr<TSPI> Make(const std::string& path) {
  return std::make_unique<T>(path);
}

}  // namespace

const TSPIClass& TSPI::Class() {
  static const TSPIClass cls{"TSPI", nullptr, &Make<TSPI>};
  return cls;
}

const TSPIClass& TInSPI::Class() {
  static const TSPIClass cls{"TInSPI", &TSPI::Class(), &Make<TInSPI>};
  return cls;
}

const TSPIClass& TAmSPI::Class() {
  static const TSPIClass cls{"TAmSPI", &TSPI::Class(), &Make<TAmSPI>};
  return cls;
}

const TSPIClass& TXnSPI::Class() {
  static const TSPIClass cls{"TXnSPI", &TSPI::Class(), &Make<TXnSPI>};
  return cls;
}

TSPI::TSPI(const std::string& path) {
  handle_ = LoadLibrary(path);
  if (handle_ == nullptr)
    throw ESPIFOpenErrorSPI(Format(SSPIFOpenError, path.c_str()), LastLibraryError());
  file_name_ = GetModuleFileName(handle_);
  if (file_name_.empty()) file_name_ = path;
  // From here on the library is unloaded before any exception leaves the constructor.
  try {
    get_plugin_info_ = reinterpret_cast<SpiGetPluginInfoFunc>(Entry("GetPluginInfo"));
    if (get_plugin_info_ == nullptr) RaiseInvalidSPI("GetPluginInfo");
    bool present = false;
    std::string text = ReadInfo(0, &present);
    if (present) api_version_ = std::move(text);
    text = ReadInfo(1, &present);
    if (present) description_ = std::move(text);
    for (int n = 2; n / 2 <= kMaxInfoPairs; n += 2) {
      bool ext_present = false, type_present = false;
      std::string ext = ReadInfo(n, &ext_present);
      if (!ext_present) break;
      std::string type = ReadInfo(n + 1, &type_present);
      if (!type_present) break;
      ext_names_.push_back(std::move(ext));
      file_types_.push_back(std::move(type));
    }
  } catch (...) {
    FreeLibrary(handle_);
    throw;
  }
}

TSPI::~TSPI() {
  FreeLibrary(handle_);
}

void* TSPI::Entry(const char* name) const {
  return GetProcAddress(handle_, name);
}

void TSPI::RaiseInvalidAPI(const char* entry) const {
  throw ESPIInvalidAPI(Format(SSPIInvalidAPI, entry, file_name_.c_str()));
}

void TSPI::RaiseInvalidSPI(const char* missing_entry) const {
  throw ESPIInvalidSPI(Format(SSPIInvalidSPI, file_name_.c_str()),
                       Format(SPluginMissingEntry, missing_entry));
}

int TSPI::GetPluginInfo(int infono, char* buf, int buflen) const {
  if (get_plugin_info_ == nullptr) RaiseInvalidAPI("GetPluginInfo");
  return get_plugin_info_(infono, buf, buflen);
}

// One info string: a 256-byte buffer offered as 255 bytes, so that the text always ends
// with a NUL inside the buffer, whatever the plug-in writes within its length.
std::string TSPI::ReadInfo(int infono, bool* present) const {
  char buffer[256];
  std::memset(buffer, 0, sizeof buffer);
  const int written = GetPluginInfo(infono, buffer, 255);
  *present = written > 0;
  if (!*present) return "";
  return std::string(buffer, strnlen(buffer, 255));
}

TInSPI::TInSPI(const std::string& path) : TSPI(path) {
  is_supported_ = reinterpret_cast<SpiIsSupportedFunc>(Entry("IsSupported"));
  get_picture_info_ = reinterpret_cast<SpiGetPictureInfoFunc>(Entry("GetPictureInfo"));
  get_picture_ = reinterpret_cast<SpiGetPictureFunc>(Entry("GetPicture"));
  get_preview_ = reinterpret_cast<SpiGetPictureFunc>(Entry("GetPreview"));
  // The TSPI part's destructor unloads the library when this throws.
  if (is_supported_ == nullptr) RaiseInvalidSPI("IsSupported");
  if (get_picture_info_ == nullptr) RaiseInvalidSPI("GetPictureInfo");
  if (get_picture_ == nullptr) RaiseInvalidSPI("GetPicture");
}

int TInSPI::IsSupported(const char* file_name, const void* head) const {
  if (is_supported_ == nullptr) RaiseInvalidAPI("IsSupported");
  return is_supported_(file_name, const_cast<void*>(head));
}

int TInSPI::GetPictureInfo(const void* buf, intptr_t len, unsigned flag, TPictureInfo* info) const {
  if (get_picture_info_ == nullptr) RaiseInvalidAPI("GetPictureInfo");
  return get_picture_info_(static_cast<const char*>(buf), len, flag, info);
}

int TInSPI::GetPicture(const void* buf, intptr_t len, unsigned flag, THLocal* info, THLocal* bits,
                       SpiProgressCallback progress, intptr_t user_data) const {
  if (get_picture_ == nullptr) RaiseInvalidAPI("GetPicture");
  return get_picture_(static_cast<const char*>(buf), len, flag, info, bits, progress, user_data);
}

int TInSPI::GetPreview(const void* buf, intptr_t len, unsigned flag, THLocal* info, THLocal* bits,
                       SpiProgressCallback progress, intptr_t user_data) const {
  if (get_preview_ == nullptr) RaiseInvalidAPI("GetPreview");
  return get_preview_(static_cast<const char*>(buf), len, flag, info, bits, progress, user_data);
}
