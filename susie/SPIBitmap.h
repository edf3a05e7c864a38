// TSPIBitmap: a TBitmap whose loading tries the BMP reader and the Susie import plug-ins,
// in an order set by the file's extension. A plug-in's device-independent bitmap is
// wrapped into an in-memory BMP file and read by the BMP reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/Bitmap.h"
#include "susie/InSPIAble.h"

class TSPIBitmap : public TBitmap {
  LV_GRAPHIC_CLASS_DECL(TSPIBitmap)

 public:
  TSPIBitmap();

  // Whether a plug-in that finds nothing in the data is tried again from byte 128 on.
  bool RetryAtOffset128() const { return retry_at_offset_128_; }
  void SetRetryAtOffset128(bool value) { retry_at_offset_128_ = value; }

  void LoadFromFile(const std::string& file_name) override;
  void LoadFromStream(TStream& stream) override;
  void LoadFromStreamWithName(TStream& stream, const std::string& file_name);
  // From another TSPIBitmap the retry flag comes along with the picture.
  void Assign(const TGraphic* source) override;

  // Wraps a plug-in's picture into a BMP file image and reads it. Every size the info
  // block implies is checked against the sizes of the blocks before anything is read:
  // a header of 40 bytes or more (kept whole), bit-field masks after a 40-byte header,
  // the colour table, and the pixel rows. A picture that does not fit its blocks raises
  // ESPIInvalidResult naming the plug-in.
  void LoadFromSPI(const uint8_t* bm_info, size_t info_size, const uint8_t* bits, size_t bits_size,
                   const TPictureInfoRec& info, bool& done);

  // Who read the last successful load: empty for the BMP reader, else the plug-in's file.
  const std::string& LoadedBy() const { return spi_able_.LoadedBy(); }
  TInSPIAble& SPIAble() { return spi_able_; }

 private:
  TInSPIAble spi_able_;
  bool retry_at_offset_128_ = true;
};

// Builds the BMP file image for a plug-in's info block and bits (see LoadFromSPI); on a
// block that does not hold what it describes, returns false with the reason in `error`.
bool WrapDIB(const uint8_t* bm_info, size_t info_size, const uint8_t* bits, size_t bits_size,
             TMemoryStream& out, TText& error);
