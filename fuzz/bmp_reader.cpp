// Fuzz target: the BMP reader. The input is a BMP file image read with
// TBitmap::LoadFromStream or, as a form resource stores it, behind a 32-bit size word read
// with TBitmap::ReadData; a picture the reader accepts may then be converted to another
// pixel format, as the program converts every picture it loads.
//
// Last input byte: bit 0 set reads the stored form; bits 1-3 choose the pixel format to
// convert to (0: none, 1 Device, 2 Bits1, 3 Bits4, 4 Bits8, 5 Bits15, 6 Bits16, 7 Bits32);
// bit 4 converts to 24 bits as well.
#include "base/Exceptions.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

FUZZ_INITIALIZE_LIMITS()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input = TakeOptions(data, size, 1);
  TBitmap bitmap;
  if (!ReadGraphic(input, bitmap, (input.options & 1) != 0)) return 0;
  TouchBitmap(bitmap);
  static constexpr TPixelFormat kFormats[8] = {
      TPixelFormat::Bits24, TPixelFormat::Device, TPixelFormat::Bits1,  TPixelFormat::Bits4,
      TPixelFormat::Bits8,  TPixelFormat::Bits15, TPixelFormat::Bits16, TPixelFormat::Bits32};
  const unsigned format = (input.options >> 1) & 7;
  try {
    if (format != 0) {
      bitmap.SetPixelFormat(kFormats[format]);
      TouchBitmap(bitmap);
    }
    if (input.options & 16) {
      bitmap.SetPixelFormat(TPixelFormat::Bits24);
      TouchBitmap(bitmap);
    }
  } catch (const Exception&) {
    // A conversion may fail only for want of memory; the picture is then unchanged.
  }
  return 0;
}
