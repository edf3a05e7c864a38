#include "susie/InSPIAble.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "base/Text.h"
#include "platform/LocalMemory.h"
#include "platform/MemoryStream.h"
#include "platform/Paths.h"
#include "raster/BmpFormat.h"
#include "susie/SPIRegistry.h"

namespace {

// Input from memory, output as local-memory handles.
constexpr unsigned kFlagMemory = SPI_INPUT_MEMORY;

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

// What a plug-in entry's result means, as the plug-in API defines the codes.
const char* ResultMeaning(int result) {
  switch (result) {
    case SPI_NOT_IMPLEMENTED:
      return SPluginResultNotImplemented;
    case SPI_ABORTED:
      return SPluginResultAborted;
    case SPI_UNKNOWN_FORMAT:
      return SPluginResultUnknownFormat;
    case SPI_BROKEN_DATA:
      return SPluginResultBrokenData;
    case SPI_NO_MEMORY:
      return SPluginResultNoMemory;
    case SPI_MEMORY_ERROR:
      return SPluginResultMemoryError;
    case SPI_FILE_READ_ERROR:
      return SPluginResultFileReadError;
    case SPI_INTERNAL_ERROR:
      return SPluginResultInternalError;
    default:
      return SPluginResultOther;
  }
}

// What a plug-in's picture over our limit is told as, judged at 24 bits per pixel.
std::string OverTheLimit(int64_t width, int64_t height) {
  return EPictureTooLarge(width, height, 24, MaxPixelStoreBytes()).MessageWithSense();
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

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

void TInSPIAble::AddReason(const std::string& who, const std::string& why) {
  std::string reason = Format(SReaderFailed, who.c_str(), why.c_str());
  if (std::find(reasons_.begin(), reasons_.end(), reason) == reasons_.end())
    reasons_.push_back(std::move(reason));
}

void TInSPIAble::LoadFromStream(TStream& stream) {
  reasons_.clear();
  auto* memory = dynamic_cast<TMemoryStream*>(&stream);
  // The whole data is held in memory: a file larger than any picture needs is refused by
  // its size, before a byte of it is read.
  const int64_t size = stream.Size();
  if (size > 0 && static_cast<uint64_t>(size) > MaxPictureFileBytes())
    throw EInvalidGraphic(
        Format(SInputFileTooLarge, ByteSizeText(static_cast<uint64_t>(size)).c_str(),
               static_cast<unsigned long long>(size), ByteSizeText(MaxPictureFileBytes()).c_str()));
  std::unique_ptr<TMemoryStream> copy;
  if (memory == nullptr) {
    copy = std::make_unique<TMemoryStream>();
    copy->LoadFromStream(stream);  // the whole stream, from its beginning
    memory = copy.get();
  }
  const bool own_first = Ext.empty() || SameText(Ext.substr(1), DefaultExt);
  const bool loaded = own_first ? LoadByOwnReader(*memory) || LoadByPlugins(*memory)
                                : LoadByPlugins(*memory) || LoadByOwnReader(*memory);
  if (!loaded) throw EInvalidGraphic(SUnknownPictureFormat, Joined(reasons_));
}

bool TInSPIAble::LoadByOwnReader(TMemoryStream& stream) {
  stream.SetPosition(0);
  try {
    LoadFromStreamProc(*Graphic, stream);
  } catch (const Exception& e) {
    if (OwnFormatHeadProc && OwnFormatHeadProc(stream.Memory(), static_cast<size_t>(stream.Size())))
      AddReason(Format(SOwnReaderName, DefaultExt.c_str()), e.FullMessage());
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
  if (TryPlugin(spi, data, size, 0)) return true;
  return RetryAtOffset128 && size > kRetryOffset &&
         TryPlugin(spi, data + kRetryOffset, size - kRetryOffset, kRetryOffset);
}

bool TInSPIAble::TryPlugin(const TInSPI& spi, const uint8_t* data, size_t length, size_t offset) {
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
  const std::string who = offset == 0 ? Format(SPluginName, spi.FileName().c_str())
                                      : Format(SPluginNameAtOffset, spi.FileName().c_str(), offset);

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
  // The picture's size as the plug-in describes it, judged at 24 bits per pixel (what
  // every loaded picture becomes in the workflow), so that a well-formed picture over our
  // limit is reported as such and not as damaged data.
  const int64_t width = info.Width;
  const int64_t height = info.Height < 0 ? -int64_t{info.Height} : info.Height;
  const bool described = info.InfoValid && width > 0 && height > 0;
  if (described && !ComputeStoreSize(width, height, 1)) {
    // No pixel store can hold it, even at 1 bit per pixel: the plug-in is not asked to
    // decode it, which would have it allocate the picture before anyone could refuse it.
    AddReason(who, OverTheLimit(width, height));
    return false;
  }

  THLocal info_handle = nullptr;
  THLocal bits_handle = nullptr;
  const int result = spi.GetPicture(data, len, kFlagMemory, &info_handle, &bits_handle,
                                    &ProgressCallback, reinterpret_cast<intptr_t>(this));
  if (result != 0) {
    // Out of memory for a picture over our limit at 24 bits is the limit (the shipped
    // plug-ins answer so when a picture exceeds it); any other result is told as it is.
    if (result == SPI_NO_MEMORY && described && !ComputeStoreSize(width, height, 24))
      AddReason(who, OverTheLimit(width, height));
    else
      AddReason(who, Format(SPluginResult, "GetPicture", result, ResultMeaning(result)));
    return false;
  }
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
