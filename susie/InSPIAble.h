// TInSPIAble: the loading logic a graphic shares with the import plug-ins. It reads the
// whole file into memory once, tries the graphic's own reader and the plug-ins in an
// order set by the file's extension, and hands a plug-in's device-independent bitmap to
// the graphic through its TLoadFromSPIProc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Format.h"
#include "raster/Bitmap.h"
#include "susie/PictureInfo.h"

class Exception;
class TGraphic;
class TInSPI;
class TMemoryStream;
class TStream;

// A picture as its headers describe it, without its pixels.
struct TPictureDescription {
  int Width = 0;
  int Height = 0;
  TPixelFormat Format = TPixelFormat::Device;  // as the picture would be read
  std::string ReadBy;  // empty for the own reader, else the plug-in's FileName
};

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
  // Describes the picture of data in the own reader's format from its headers alone,
  // with a note for a person when there is one; raises as the reader would.
  std::function<TPictureDescription(TStream& stream, std::string& note)> OwnDescribeProc;
  // The note of the own reader's last successful read (a file cut short), or empty.
  std::function<std::string()> OwnReadNoteProc;

  void LoadFromFile(const std::string& file_name);
  void LoadFromStreamWithName(TStream& stream, const std::string& file_name);
  // Own reader and plug-ins in the order set by Ext; EInvalidGraphic with the
  // unrecognised-format message when neither takes the data, whose detail tells each
  // reader or plug-in that recognised the data's head and why it then gave up. Data of
  // more than MaxPictureFileBytes() is refused (EInvalidGraphic) before it is read.
  void LoadFromStream(TStream& stream);
  // What the picture in a file is, from its headers alone where the reader can: the own
  // reader's OwnDescribeProc, or a plug-in's GetPictureInfo, in the order a load takes.
  // A plug-in that answers with a size over our limit, or refuses the picture in its
  // information text, does not describe it. Raises EInvalidGraphic with the reasons, as
  // LoadFromStream, when none describes it; the file itself is read as a load reads it.
  TPictureDescription DescribeFile(const std::string& file_name);
  // Tries one plug-in on the whole data, then (with RetryAtOffset128, data above 128
  // bytes) from byte 128 on.
  bool LoadFromStreamBySPI(TMemoryStream& stream, const TInSPI& spi);

  // The plug-in of the try in progress (nullptr outside a try).
  const TInSPI* CurrentSPI() const { return current_; }
  // While LoadFromSPIProc runs: the plug-in's bits block, its first byte the bits handed
  // over (null where the platform's local memory is freed when the load ends). A graphic
  // may keep it as its pixel store instead of copying the bits; the block goes back to
  // local memory (LocalFree) when its last holder lets it go.
  const std::shared_ptr<uint8_t>& BitsBlock() const { return bits_block_; }
  // Who read the last successful load: empty for the own reader, else the plug-in's
  // FileName.
  const std::string& LoadedBy() const { return loaded_by_; }
  // What the last load or description learned that a person should know although it
  // succeeded: a file cut short (the own reader's note, or a plug-in's "note:" lines).
  const std::vector<std::string>& Notes() const { return notes_; }
  // Raises ESPIInvalidResult naming the plug-in of the try in progress.
  // `detail` (a message of the list, filled in) says what was wrong.
  [[noreturn]] void RaiseInvalidResult(const TText& detail) const;

 private:
  class TTry;
  // The stream as one memory block (a copy unless it is one); the reasons and notes of the
  // last load are cleared.
  TMemoryStream& WholeData(TStream& stream, std::unique_ptr<TMemoryStream>& copy);
  bool OwnReaderFirst() const;
  void OwnReaderFailed(TMemoryStream& stream, const Exception& e);
  bool LoadByOwnReader(TMemoryStream& stream);
  bool DescribeByOwnReader(TMemoryStream& stream, TPictureDescription& description);
  std::vector<const TInSPI*> PluginsToTry() const;
  bool LoadByPlugins(TMemoryStream& stream);
  bool DescribeByPlugins(TMemoryStream& stream, TPictureDescription& description);
  bool TryPlugin(const TInSPI& spi, const uint8_t* data, size_t length, size_t offset);
  bool DescribeBySPI(const TInSPI& spi, const uint8_t* data, size_t length, size_t offset,
                     TPictureDescription& description);
  // Calls GetPictureInfo and reads its record and text; the plug-in's result.
  int AskPictureInfo(const TInSPI& spi, const TTry& attempt, TPictureInfoRec& info);
  // Whether the picture is not to be asked for: the plug-in's information text refuses
  // it, or its size is beyond any store (both told as the reason). `store24` receives the
  // size of its store at 24 bits, 0 when the information gives no size or that store is
  // over our limit.
  bool Refused(const TTry& attempt, const TPictureInfoRec& info, uint64_t& store24);
  void AddReason(const std::string& who, const std::string& why);

  const TInSPI* current_ = nullptr;
  std::shared_ptr<uint8_t> bits_block_;
  std::string loaded_by_;
  std::vector<std::string> reasons_;  // of the load in progress
  std::vector<std::string> notes_;    // of the last load or description
};
