// Fuzz target: TJPEGImage on a JPEG stream, as a stored picture's JPEG reaches it: the
// header parse, and optionally the decoding that drawing the picture would start.
//
// Last input byte: bits 0-1 the scale (full, half, quarter, eighth); bit 2 fast decoding;
// bit 3 smoothing off; bit 4 decodes the picture; bit 5 decodes to 8 bits per pixel;
// bit 6 reads the stored form (a 32-bit length, then the stream).
#include "base/Exceptions.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/JPEGImage.h"

FUZZ_INITIALIZE_LIMITS()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input = TakeOptions(data, size, 1);
  TJPEGImage jpeg;
  if (!ReadGraphic(input, jpeg, (input.options & 64) != 0)) return 0;
  jpeg.SetScale(static_cast<TJPEGScale>(input.options & 3));
  jpeg.SetPerformance((input.options & 4) ? TJPEGPerformance::jpBestSpeed
                                          : TJPEGPerformance::jpBestQuality);
  jpeg.SetSmoothing((input.options & 8) == 0);
  jpeg.SetPixelFormat((input.options & 32) ? TJPEGPixelFormat::jf8Bit : TJPEGPixelFormat::jf24Bit);
  if (input.options & 16) {
    try {
      const TBitmap& bitmap = jpeg.Bitmap();
      TouchBitmap(bitmap);
      FUZZ_CHECK(bitmap.Width() == jpeg.Width() && bitmap.Height() == jpeg.Height());
    } catch (const Exception&) {
    }
  }
  return 0;
}
