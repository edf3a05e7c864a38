// Access to the pixels of a bitmap as device-independent rows: TDIBReader reads a bitmap
// at a chosen pixel format, TDIBWriter builds a new 8- or 24-bit picture row by row and
// then hands it to a bitmap. Rows are counted from the top in both.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Colors.h"
#include "raster/Bitmap.h"

class TDIB {
 public:
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  TBitmap& Bitmap() const { return bitmap_; }
  TPixelFormat PixelFormat() const { return pixel_format_; }

 protected:
  TDIB(TBitmap& bitmap, TPixelFormat pixel_format) : bitmap_(bitmap), pixel_format_(pixel_format) {}

 private:
  TBitmap& bitmap_;
  TPixelFormat pixel_format_;
};

class TDIBReader final : public TDIB {
 public:
  // Converts the bitmap in place to the pixel format.
  TDIBReader(TBitmap& bitmap, TPixelFormat pixel_format);
  int Width() const { return Bitmap().Width(); }
  int Height() const { return Bitmap().Height(); }
  // Row `row` (0 = top), read only; EInvalidGraphicOperation outside the picture.
  const uint8_t* ScanLine(int row) const { return Bitmap().ConstScanline(row); }
};

class TDIBWriter final : public TDIB {
 public:
  // Only Bits8 and Bits24 (else GIFException "Unsupported PixelFormat"), and positive
  // dimensions (else GIFException "Invalid image dimensions"). For 8 bits the colour
  // table holds the palette's entries, then black up to 256.
  TDIBWriter(TBitmap& bitmap, TPixelFormat pixel_format, int width, int height,
             const TPaletteHandle& palette);
  ~TDIBWriter() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int RowStride() const { return static_cast<int>(stride_); }
  // The address of row `row` (0 = top) of the bottom-up picture. The pixels (all zero at
  // first) are made on the first access; EOutOfMemory "Failed to allocate memory for GIF
  // DIB" when that fails or the picture is beyond the store limit. A row outside the
  // picture raises EInvalidGraphicOperation; access after Finish raises GIFException
  // "Image has no DIB".
  uint8_t* RowPointer(int row);
  // Ends the writer's work: the bitmap adopts the picture (AdoptPixelStore), as a BMP
  // reader would give it. A writer dropped without Finish (an error on its way) leaves
  // the bitmap as it was.
  void Finish();

 private:
  void Allocate();

  int width_;
  int height_;
  int bits_;
  size_t stride_ = 0;
  TPaletteHandle palette_;
  std::unique_ptr<uint8_t[]> pixels_;
  bool finished_ = false;
};
