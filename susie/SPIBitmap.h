// TSPIBitmap: a TBitmap whose loading tries the BMP reader and the Susie import plug-ins,
// in an order set by the file's extension. A plug-in's device-independent bitmap becomes
// the bitmap's store as a BMP file's picture does (the same header check and store).
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

  // Takes a plug-in's picture: its info block (a header of 40 bytes or more, bit-field
  // masks after a 40-byte header, the colour table) and its pixel bits. The header goes
  // through the BMP reader's check (EInvalidBitmap, EUnsupportedBitmap, EPictureTooLarge);
  // every size it implies is checked against the sizes of the blocks before anything is
  // read, and a picture that does not fit its blocks raises ESPIInvalidResult naming the
  // plug-in. The pixels, format and colour table are those the BMP reader gives the same
  // picture as a file; run-length data keeps that file to be written back unchanged.
  void LoadFromSPI(const uint8_t* bm_info, size_t info_size, const uint8_t* bits, size_t bits_size,
                   const TPictureInfoRec& info, bool& done);

  // Who read the last successful load: empty for the BMP reader, else the plug-in's file.
  const std::string& LoadedBy() const { return spi_able_.LoadedBy(); }
  // What the last load or Describe learned that a person should know although it
  // succeeded (a file cut short).
  const std::vector<std::string>& LoadNotes() const { return spi_able_.Notes(); }
  // The picture in a file as its headers describe it, without reading its pixels where
  // the BMP reader or a plug-in's picture information can tell (TInSPIAble::DescribeFile).
  TPictureDescription Describe(const std::string& file_name) {
    spi_able_.RetryAtOffset128 = retry_at_offset_128_;
    return spi_able_.DescribeFile(file_name);
  }
  TInSPIAble& SPIAble() { return spi_able_; }

 private:
  TInSPIAble spi_able_;
  bool retry_at_offset_128_ = true;
};
