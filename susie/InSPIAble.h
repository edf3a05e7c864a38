// TInSPIAble: the loading logic a graphic shares with the import plug-ins. It reads the
// whole file into memory once, tries the graphic's own reader and the plug-ins in an
// order set by the file's extension, and hands a plug-in's device-independent bitmap to
// the graphic through its TLoadFromSPIProc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Format.h"
#include "susie/PictureInfo.h"

class TGraphic;
class TInSPI;
class TMemoryStream;
class TStream;

// Receives a plug-in's picture: the locked info block and bits with the sizes of their
// memory blocks, and the picture information. Sets done when the graphic took it.
using TLoadFromSPIProc =
    std::function<void(const uint8_t* bm_info, size_t info_size, const uint8_t* bits,
                       size_t bits_size, const TPictureInfoRec& info, bool& done)>;

// The progress function handed to plug-ins: always 0, so a plug-in is never asked to stop.
extern "C" int SPI_API ProgressCallback(int num, int denom, intptr_t user_data) noexcept;

class TInSPIAble {
 public:
  // The head a plug-in's IsSupported is shown: at least this many bytes, zero-padded.
  static constexpr size_t kHeadSize = 2048;
  // Where the second try starts when the first finds nothing.
  static constexpr size_t kRetryOffset = 128;

  TGraphic* Graphic = nullptr;
  std::string Ext;         // of the load in progress, with its dot; empty between loads
  std::string FileName;    // of the load in progress; empty between loads
  std::string DefaultExt;  // the graphic's own format, without dot
  // Loads the graphic from a file by the class library's route (open, then the graphic's
  // own LoadFromStream).
  std::function<void(TGraphic& graphic, const std::string& file_name)> LoadFromFileProc;
  // Loads the graphic from a stream with the class library's reader for its format.
  std::function<void(TGraphic& graphic, TStream& stream)> LoadFromStreamProc;
  TLoadFromSPIProc LoadFromSPIProc;
  bool RetryAtOffset128 = true;
  // Whether data begins as the own reader's format does (for TSPIBitmap: "BM"). When the
  // own reader fails on such data, its message is one of the reasons a failed load gives;
  // on other data its failure only says that the data is not of its format.
  std::function<bool(const uint8_t* data, size_t size)> OwnFormatHeadProc;

  void LoadFromFile(const std::string& file_name);
  void LoadFromStreamWithName(TStream& stream, const std::string& file_name);
  // Own reader and plug-ins in the order set by Ext; EInvalidGraphic with the
  // unrecognised-format message when neither takes the data, whose detail tells each
  // reader or plug-in that recognised the data's head and why it then gave up. Data of
  // more than MaxPictureFileBytes() is refused (EInvalidGraphic) before it is read.
  void LoadFromStream(TStream& stream);
  // Tries one plug-in on the whole data, then (with RetryAtOffset128, data above 128
  // bytes) from byte 128 on.
  bool LoadFromStreamBySPI(TMemoryStream& stream, const TInSPI& spi);

  // The plug-in of the try in progress (nullptr outside a try).
  const TInSPI* CurrentSPI() const { return current_; }
  // Who read the last successful load: empty for the own reader, else the plug-in's
  // FileName.
  const std::string& LoadedBy() const { return loaded_by_; }
  // Raises ESPIInvalidResult naming the plug-in of the try in progress.
  // `detail` (a message of the list, filled in) says what was wrong.
  [[noreturn]] void RaiseInvalidResult(const TText& detail) const;

 private:
  bool LoadByOwnReader(TMemoryStream& stream);
  bool LoadByPlugins(TMemoryStream& stream);
  bool TryPlugin(const TInSPI& spi, const uint8_t* data, size_t length, size_t offset);
  void AddReason(const std::string& who, const std::string& why);

  const TInSPI* current_ = nullptr;
  std::string loaded_by_;
  std::vector<std::string> reasons_;  // of the load in progress
};
