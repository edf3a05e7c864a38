#include "susie/InSPIAble.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/LocalMemory.h"
#include "platform/Paths.h"
#include "susie/SPIRegistry.h"

namespace {

// Input from memory, output as local-memory handles.
constexpr unsigned kFlagMemory = SPI_INPUT_MEMORY;

std::string ExtractFileExt(const std::string& file_name) {
  const size_t dot = file_name.rfind('.');
  const size_t slash = LastDelimiter(file_name);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return file_name.substr(dot);
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Clears the adapter's per-load fields however the load ends.
class TLoadScope {
 public:
  TLoadScope(TInSPIAble& owner, const std::string& file_name) : owner_(owner) {
    owner_.Ext = ExtractFileExt(file_name);
    owner_.FileName = file_name;
  }
  ~TLoadScope() {
    owner_.Ext.clear();
    owner_.FileName.clear();
  }
  TLoadScope(const TLoadScope&) = delete;
  TLoadScope& operator=(const TLoadScope&) = delete;

 private:
  TInSPIAble& owner_;
};

// Unlocks and frees the handles a plug-in returned, also when the graphic raised. Handles
// that are not our blocks are left alone: freeing memory we did not allocate is worse
// than losing it.
class THandleGuard {
 public:
  THandleGuard(THLocal info, THLocal bits) : info_(info), bits_(bits) {}
  ~THandleGuard() {
    for (THLocal h : {info_, bits_}) {
      LocalUnlock(h);
      LocalFree(h);
    }
  }
  THandleGuard(const THandleGuard&) = delete;
  THandleGuard& operator=(const THandleGuard&) = delete;

 private:
  THLocal info_;
  THLocal bits_;
};

}  // namespace

extern "C" int SPI_API ProgressCallback(int, int, intptr_t) noexcept {
  return 0;
}

void TInSPIAble::RaiseInvalidResult(const TText& detail) const {
  const std::string name = current_ != nullptr ? current_->FileName() : std::string("?");
  throw ESPIInvalidResult(Format(SSPIInvalidResult, name.c_str(), detail));
}

void TInSPIAble::LoadFromFile(const std::string& file_name) {
  TLoadScope scope(*this, file_name);
  LoadFromFileProc(*Graphic, file_name);
}

void TInSPIAble::LoadFromStreamWithName(TStream& stream, const std::string& file_name) {
  TLoadScope scope(*this, file_name);
  LoadFromStream(stream);
}

void TInSPIAble::LoadFromStream(TStream& stream) {
  auto* memory = dynamic_cast<TMemoryStream*>(&stream);
  std::unique_ptr<TMemoryStream> copy;
  if (memory == nullptr) {
    copy = std::make_unique<TMemoryStream>();
    copy->LoadFromStream(stream);  // the whole stream, from its beginning
    memory = copy.get();
  }
  const bool own_first = Ext.empty() || SameText(Ext.substr(1), DefaultExt);
  const bool loaded = own_first ? LoadByOwnReader(*memory) || LoadByPlugins(*memory)
                                : LoadByPlugins(*memory) || LoadByOwnReader(*memory);
  if (!loaded) throw EInvalidGraphic(SUnknownPictureFormat);
}

bool TInSPIAble::LoadByOwnReader(TMemoryStream& stream) {
  stream.SetPosition(0);
  try {
    LoadFromStreamProc(*Graphic, stream);
  } catch (const Exception&) {
    return false;
  }
  loaded_by_.clear();
  return true;
}

bool TInSPIAble::LoadByPlugins(TMemoryStream& stream) {
  TSPIs* plugins = SusiePlugins();
  if (plugins == nullptr) return false;
  std::vector<TSPI*> list;
  plugins->FindPluginList({&TInSPI::Class()}, Ext, list);
  for (TSPI* spi : list) {
    const auto* in = dynamic_cast<const TInSPI*>(spi);
    if (in != nullptr && LoadFromStreamBySPI(stream, *in)) return true;
  }
  return false;
}

bool TInSPIAble::LoadFromStreamBySPI(TMemoryStream& stream, const TInSPI& spi) {
  const uint8_t* data = static_cast<const TMemoryStream&>(stream).Memory();
  const auto size = static_cast<size_t>(stream.Size());
  if (TryPlugin(spi, data, size)) return true;
  return RetryAtOffset128 && size > kRetryOffset &&
         TryPlugin(spi, data + kRetryOffset, size - kRetryOffset);
}

bool TInSPIAble::TryPlugin(const TInSPI& spi, const uint8_t* data, size_t length) {
  struct TCurrent {
    TInSPIAble& owner;
    ~TCurrent() { owner.current_ = nullptr; }
  } current{*this};
  current_ = &spi;

  // A short file is shown as a 2048-byte head, zero-padded; the length stays the real one.
  std::vector<uint8_t> head;
  if (length < kHeadSize) {
    head.assign(kHeadSize, 0);
    if (length != 0) std::memcpy(head.data(), data, length);
    data = head.data();
  }
  const auto len = static_cast<intptr_t>(length);
  if (spi.IsSupported(FileName.c_str(), data) == 0) return false;

  TPictureInfoRec info;
  TPictureInfo raw;
  std::memset(&raw, 0, sizeof raw);
  if (spi.GetPictureInfo(data, len, kFlagMemory, &raw) == 0) {
    info.Left = raw.left;
    info.Top = raw.top;
    info.Width = raw.width;
    info.Height = raw.height;
    info.XDensity = raw.x_density;
    info.YDensity = raw.y_density;
    info.ColorDepth = raw.color_depth;
    if (raw.info_text != nullptr) {
      THandleGuard guard(raw.info_text, nullptr);
      if (!LocalValid(raw.info_text)) RaiseInvalidResult(Format(SSPIInfoTextHandle));
      const auto* text = static_cast<const char*>(LocalLock(raw.info_text));
      info.InfoText.assign(text, strnlen(text, LocalSize(raw.info_text)));
    }
    info.InfoValid = true;
  }

  THLocal info_handle = nullptr;
  THLocal bits_handle = nullptr;
  if (spi.GetPicture(data, len, kFlagMemory, &info_handle, &bits_handle, &ProgressCallback,
                     reinterpret_cast<intptr_t>(this)) != 0)
    return false;
  THandleGuard guard(info_handle, bits_handle);
  if (!LocalValid(info_handle)) RaiseInvalidResult(Format(SSPIInfoBlockHandle));
  if (!LocalValid(bits_handle)) RaiseInvalidResult(Format(SSPIBitsHandle));
  const auto* bm_info = static_cast<const uint8_t*>(LocalLock(info_handle));
  const auto* bits = static_cast<const uint8_t*>(LocalLock(bits_handle));
  bool done = false;
  LoadFromSPIProc(bm_info, LocalSize(info_handle), bits, LocalSize(bits_handle), info, done);
  if (done) loaded_by_ = spi.FileName();
  return done;
}
