#include "susie/InSPIAble.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "base/Text.h"
#include "platform/FileStream.h"
#include "platform/LocalMemory.h"
#include "platform/MemoryStream.h"
#include "platform/Paths.h"
#include "platform/PixelBudget.h"
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
      if (h == nullptr) continue;
      LocalUnlock(h);
      LocalFree(h);
    }
  }
  THandleGuard(const THandleGuard&) = delete;
  THandleGuard& operator=(const THandleGuard&) = delete;

#ifndef _WIN32
  // The bits block, locked, shared from here on: unlocked and freed by its last holder.
  std::shared_ptr<uint8_t> ShareBits() {
    auto* data = static_cast<uint8_t*>(LocalLock(bits_));
    std::shared_ptr<uint8_t> block(data, [handle = bits_](uint8_t*) {
      LocalUnlock(handle);
      LocalFree(handle);
    });
    bits_ = nullptr;
    return block;
  }
#endif

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

// While a plug-in decodes a picture it holds its bitmap and may hold working memory of
// up to twice that (a progressive JPEG's coefficients, a 16-bit interlaced PNG's rows);
// the host then copies the bitmap into its store. Four times the picture's store at 24
// bits is set aside for that before the plug-in is asked, against the run's bound.
constexpr uint64_t kPluginDecodeStores = 4;

// What the lines of a plug-in's information text ask of the host: notes to show, and a
// reason why GetPicture will refuse the picture (see plugins/sdk/README.md).
struct TInfoTextLines {
  std::vector<std::string> notes;
  std::string refusal;
};

TInfoTextLines ReadInfoTextLines(const std::string& text) {
  static constexpr std::string_view kNote = "note: ";
  static constexpr std::string_view kRefused = "refused: ";
  TInfoTextLines lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = Trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.substr(0, kNote.size()) == kNote)
      lines.notes.emplace_back(line.substr(kNote.size()));
    else if (line.substr(0, kRefused.size()) == kRefused && lines.refusal.empty())
      lines.refusal = std::string(line.substr(kRefused.size()));
  }
  return lines;
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

TMemoryStream& TInSPIAble::WholeData(TStream& stream, std::unique_ptr<TMemoryStream>& copy) {
  reasons_.clear();
  notes_.clear();
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) return *memory;
  // The whole data is held in memory: a file larger than any picture needs is refused by
  // its size, before a byte of it is read.
  const int64_t size = stream.Size();
  if (size > 0 && static_cast<uint64_t>(size) > MaxPictureFileBytes())
    throw EInvalidGraphic(
        Format(SInputFileTooLarge, ByteSizeText(static_cast<uint64_t>(size)).c_str(),
               static_cast<unsigned long long>(size), ByteSizeText(MaxPictureFileBytes()).c_str()));
  copy = std::make_unique<TMemoryStream>();
  copy->LoadFromStream(stream);  // the whole stream, from its beginning
  return *copy;
}

bool TInSPIAble::OwnReaderFirst() const {
  return Ext.empty() || SameText(Ext.substr(1), DefaultExt);
}

void TInSPIAble::LoadFromStream(TStream& stream) {
  std::unique_ptr<TMemoryStream> copy;
  TMemoryStream& memory = WholeData(stream, copy);
  const bool loaded = OwnReaderFirst() ? LoadByOwnReader(memory) || LoadByPlugins(memory)
                                       : LoadByPlugins(memory) || LoadByOwnReader(memory);
  if (!loaded) throw EInvalidGraphic(SUnknownPictureFormat, Joined(reasons_));
}

TPictureDescription TInSPIAble::DescribeFile(const std::string& file_name) {
  TLoadScope scope(*this, file_name);
  TFileStream file(file_name, fmOpenRead | fmShareDenyWrite);
  std::unique_ptr<TMemoryStream> copy;
  TMemoryStream& memory = WholeData(file, copy);
  TPictureDescription description;
  const bool described =
      OwnReaderFirst()
          ? DescribeByOwnReader(memory, description) || DescribeByPlugins(memory, description)
          : DescribeByPlugins(memory, description) || DescribeByOwnReader(memory, description);
  if (!described) throw EInvalidGraphic(SUnknownPictureFormat, Joined(reasons_));
  return description;
}

void TInSPIAble::OwnReaderFailed(TMemoryStream& stream, const Exception& e) {
  if (OwnFormatHeadProc && OwnFormatHeadProc(stream.Memory(), static_cast<size_t>(stream.Size())))
    AddReason(Format(SOwnReaderName, DefaultExt.c_str()), e.FullMessage());
}

bool TInSPIAble::LoadByOwnReader(TMemoryStream& stream) {
  stream.SetPosition(0);
  try {
    LoadFromStreamProc(*Graphic, stream);
  } catch (const Exception& e) {
    OwnReaderFailed(stream, e);
    return false;
  }
  loaded_by_.clear();
  if (OwnReadNoteProc)
    if (std::string note = OwnReadNoteProc(); !note.empty()) notes_.push_back(std::move(note));
  return true;
}

bool TInSPIAble::DescribeByOwnReader(TMemoryStream& stream, TPictureDescription& description) {
  if (!OwnDescribeProc) return false;
  stream.SetPosition(0);
  try {
    std::string note;
    description = OwnDescribeProc(stream, note);
    if (!note.empty()) notes_.push_back(std::move(note));
  } catch (const Exception& e) {
    OwnReaderFailed(stream, e);
    return false;
  }
  description.ReadBy.clear();
  return true;
}

std::vector<const TInSPI*> TInSPIAble::PluginsToTry() const {
  std::vector<const TInSPI*> result;
  TSPIs* plugins = SusiePlugins();
  if (plugins == nullptr) return result;
  std::vector<TSPI*> list;
  plugins->FindPluginList({&TInSPI::Class()}, Ext, list);
  for (TSPI* spi : list)
    if (const auto* in = dynamic_cast<const TInSPI*>(spi)) result.push_back(in);
  return result;
}

bool TInSPIAble::LoadByPlugins(TMemoryStream& stream) {
  for (const TInSPI* spi : PluginsToTry())
    if (LoadFromStreamBySPI(stream, *spi)) return true;
  return false;
}

bool TInSPIAble::DescribeByPlugins(TMemoryStream& stream, TPictureDescription& description) {
  const uint8_t* data = static_cast<const TMemoryStream&>(stream).Memory();
  const auto size = static_cast<size_t>(stream.Size());
  for (const TInSPI* spi : PluginsToTry()) {
    if (DescribeBySPI(*spi, data, size, 0, description)) return true;
    if (RetryAtOffset128 && size > kRetryOffset &&
        DescribeBySPI(*spi, data + kRetryOffset, size - kRetryOffset, kRetryOffset, description))
      return true;
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

// The plug-in of a try, set for its length (RaiseInvalidResult names it).
class TInSPIAble::TTry {
 public:
  TTry(TInSPIAble& owner, const TInSPI& spi, const uint8_t* data, size_t length, size_t offset)
      : owner_(owner), data_(data), length_(length) {
    owner_.current_ = &spi;
    // A short file is shown as a 2048-byte head, zero-padded; the length stays the real one.
    if (length < kHeadSize) {
      head_.assign(kHeadSize, 0);
      if (length != 0) std::memcpy(head_.data(), data, length);
      data_ = head_.data();
    }
    who_ = offset == 0 ? Format(SPluginName, spi.FileName().c_str())
                       : Format(SPluginNameAtOffset, spi.FileName().c_str(), offset);
  }
  ~TTry() { owner_.current_ = nullptr; }
  TTry(const TTry&) = delete;
  TTry& operator=(const TTry&) = delete;

  const uint8_t* Data() const { return data_; }
  intptr_t Length() const { return static_cast<intptr_t>(length_); }
  const std::string& Who() const { return who_; }

 private:
  TInSPIAble& owner_;
  std::vector<uint8_t> head_;
  const uint8_t* data_;
  size_t length_;
  std::string who_;
};

int TInSPIAble::AskPictureInfo(const TInSPI& spi, const TTry& attempt, TPictureInfoRec& info) {
  TPictureInfo raw;
  std::memset(&raw, 0, sizeof raw);
  const int result = spi.GetPictureInfo(attempt.Data(), attempt.Length(), kFlagMemory, &raw);
  if (result == 0) {
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
  return result;
}

bool TInSPIAble::Refused(const TTry& attempt, const TPictureInfoRec& info, uint64_t& store24) {
  const TInfoTextLines lines = ReadInfoTextLines(info.InfoText);
  if (!lines.refusal.empty()) {
    // The plug-in says it will not read this picture, and why: it is not asked to.
    AddReason(attempt.Who(), lines.refusal);
    return true;
  }
  // The picture's size as the plug-in describes it, judged at 24 bits per pixel (what
  // every loaded picture becomes in the workflow), so that a well-formed picture over our
  // limit is reported as such and not as damaged data.
  const int64_t width = info.Width;
  const int64_t height = info.Height < 0 ? -int64_t{info.Height} : info.Height;
  store24 = 0;
  if (!info.InfoValid || width <= 0 || height <= 0) return false;
  if (!ComputeStoreSize(width, height, 1)) {
    // No pixel store can hold it, even at 1 bit per pixel: the plug-in is not asked to
    // decode it, which would have it allocate the picture before anyone could refuse it.
    AddReason(attempt.Who(), OverTheLimit(width, height));
    return true;
  }
  if (const auto size = ComputeStoreSize(width, height, 24)) store24 = size->total;
  return false;
}

bool TInSPIAble::DescribeBySPI(const TInSPI& spi, const uint8_t* data, size_t length, size_t offset,
                               TPictureDescription& description) {
  TTry attempt(*this, spi, data, length, offset);
  if (spi.IsSupported(FileName.c_str(), attempt.Data()) == 0) return false;
  TPictureInfoRec info;
  const int result = AskPictureInfo(spi, attempt, info);
  if (result != 0) {
    AddReason(attempt.Who(),
              Format(SPluginResult, "GetPictureInfo", result, ResultMeaning(result)));
    return false;
  }
  uint64_t store24 = 0;
  if (Refused(attempt, info, store24)) return false;
  // A picture too large for our store at 24 bits is one the loader would refuse too.
  if (store24 == 0) {
    if (info.Width > 0 && info.Height != 0)
      AddReason(attempt.Who(),
                OverTheLimit(info.Width, info.Height < 0 ? -int64_t{info.Height} : info.Height));
    return false;
  }
  description.Width = info.Width;
  description.Height = info.Height < 0 ? -info.Height : info.Height;
  // The colour depth is the bit count of the plain bitmap the plug-in hands back.
  description.Format = SectionPixelFormat(info.ColorDepth, BI_RGB, 0);
  description.ReadBy = spi.FileName();
  for (std::string& note : ReadInfoTextLines(info.InfoText).notes)
    notes_.push_back(std::move(note));
  return true;
}

bool TInSPIAble::TryPlugin(const TInSPI& spi, const uint8_t* data, size_t length, size_t offset) {
  TTry attempt(*this, spi, data, length, offset);
  if (spi.IsSupported(FileName.c_str(), attempt.Data()) == 0) return false;
  const std::string& who = attempt.Who();
  TPictureInfoRec info;
  AskPictureInfo(spi, attempt, info);
  uint64_t store24 = 0;
  if (Refused(attempt, info, store24)) return false;
  const int64_t width = info.Width;
  const int64_t height = info.Height < 0 ? -int64_t{info.Height} : info.Height;
  const bool described = info.InfoValid && width > 0 && height > 0;
  if (store24 != 0) {
    // What the decoding will hold, set against the run's bound before the plug-in
    // allocates any of it.
    try {
      CheckPixelMemory(kPluginDecodeStores * store24);
    } catch (const EPixelMemoryBound& e) {
      AddReason(who, e.Message());
      return false;
    }
  }

  THLocal info_handle = nullptr;
  THLocal bits_handle = nullptr;
  const int result =
      spi.GetPicture(attempt.Data(), attempt.Length(), kFlagMemory, &info_handle, &bits_handle,
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
  const size_t bits_size = LocalSize(bits_handle);
  // Shared with the graphic, which may keep the block as its store; the guard's share
  // ends with this try, the graphic's when it lets the pixels go. Only for this platform's
  // own local memory: kernel32's blocks are freed when the load ends, as the plug-ins'
  // hosts there have always done.
  struct TShare {
    std::shared_ptr<uint8_t>& slot;
    ~TShare() { slot.reset(); }
  } share{bits_block_};
#ifdef _WIN32
  const auto* bits = static_cast<const uint8_t*>(LocalLock(bits_handle));
#else
  bits_block_ = guard.ShareBits();
  const uint8_t* bits = bits_block_.get();
#endif
  bool done = false;
  LoadFromSPIProc(bm_info, LocalSize(info_handle), bits, bits_size, info, done);
  if (done) {
    loaded_by_ = spi.FileName();
    for (std::string& note : ReadInfoTextLines(info.InfoText).notes)
      notes_.push_back(std::move(note));
  }
  return done;
}
