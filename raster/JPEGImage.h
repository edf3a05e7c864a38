// TJPEGImage: a JPEG picture kept as its stored bytes. Reading parses only the header
// (width, height, grey-scale, progressive); the pixels are decoded when a bitmap of the
// picture is first needed. libjpeg errors are raised as EJPEG with the library's code.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "raster/Graphic.h"

class TBitmap;

LV_DECLARE_EXCEPTION(EJPEG, EInvalidGraphic);

enum class TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum class TJPEGPixelFormat { jf24Bit, jf8Bit };

// The stored JPEG stream and what its header says. Shared between copies made by Assign;
// never changed once made.
class TJPEGData {
 public:
  std::vector<uint8_t> Data;
  int Width = 0;
  int Height = 0;
  bool Grayscale = false;
  bool Progressive = false;  // the stream has multiple scans
};

class TJPEGImage : public TGraphic {
  LV_GRAPHIC_CLASS_DECL(TJPEGImage)

 public:
  TJPEGImage();
  ~TJPEGImage() override;

  bool Empty() const override { return data_->Data.empty(); }
  // The size of the decoded picture (the header's size at the present Scale).
  int Width() const override;
  int Height() const override;
  // The size of a JPEG picture cannot be changed: EInvalidGraphicOperation.
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  bool Grayscale() const { return data_->Grayscale; }
  // Read: whether the stream has multiple scans. Writing is not supported.
  bool ProgressiveEncoding() const { return data_->Progressive; }
  const TJPEGData& Data() const { return *data_; }

  // Decoding settings; changing one drops the decoded bitmap.
  TJPEGScale Scale() const { return scale_; }
  void SetScale(TJPEGScale value);
  TJPEGPerformance Performance() const { return performance_; }
  void SetPerformance(TJPEGPerformance value);
  bool Smoothing() const { return smoothing_; }
  void SetSmoothing(bool value);
  TJPEGPixelFormat PixelFormat() const { return pixel_format_; }
  void SetPixelFormat(TJPEGPixelFormat value);
  bool ProgressiveDisplay() const { return progressive_display_; }
  void SetProgressiveDisplay(bool value) { progressive_display_ = value; }
  // Encoding settings (kept; the system never writes JPEG).
  int CompressionQuality() const { return compression_quality_; }
  void SetCompressionQuality(int value) { compression_quality_ = value; }

  // The decoded picture, made on first use.
  const TBitmap& Bitmap() const;
  bool BitmapDecoded() const { return bitmap_ != nullptr; }
  void DIBNeeded() const { Bitmap(); }

  // Takes another TJPEGImage's data (shared) and settings; nullptr empties the picture.
  void Assign(const TGraphic* source) override;
  // Into a TBitmap: the decoded picture.
  bool AssignTo(TGraphic& dest) const override;

  // Reads the rest of the stream as a JPEG stream. A stream whose header libjpeg refuses
  // raises EJPEG and leaves the previous picture in place.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Stored data: a 32-bit length, then the JPEG stream.
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) override;

 private:
  void TakeData(std::vector<uint8_t> bytes);
  void FreeBitmap();
  // Sets one of the decoding settings; a new value drops the decoded bitmap.
  template <class T>
  void SetSetting(T& setting, T value) {
    if (value == setting) return;
    setting = value;
    FreeBitmap();
    Changed();
  }

  std::shared_ptr<const TJPEGData> data_;
  mutable std::unique_ptr<TBitmap> bitmap_;
  TJPEGScale scale_ = TJPEGScale::jsFullSize;
  TJPEGPerformance performance_ = TJPEGPerformance::jpBestQuality;
  bool smoothing_ = true;
  TJPEGPixelFormat pixel_format_;
  bool progressive_display_ = false;
  int compression_quality_ = 90;
};

// Registers "jpeg" and "jpg" with the format registry (called by the graphic modules'
// initialisation, SetGraphicModules).
void InitializeJPEGModule();

// The pixel format new TJPEGImages decode to: 24 bits, or 8 bits on a screen of 8 bits
// per pixel or fewer (this platform's screen has 24).
TJPEGPixelFormat DefaultJPEGPixelFormat();
