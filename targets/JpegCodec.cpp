// The JPEG codec of the jpeg step, on the raster's libjpeg calls (raster/JPEGCodec.h).
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "raster/Bitmap.h"
#include "raster/JPEGCodec.h"
#include "reveal/Views.h"
#include "targets/Codecs.h"

namespace {

void CheckPicture(const TBitmap& picture) {
  if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0 ||
      picture.BitsPerPixel() != 24)
    throw EInvalidGraphic(SInvalidPixelFormat);
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const TBitmap& picture, const TJpegSettings& settings) {
  CheckPicture(picture);
  std::vector<const uint8_t*> rows(static_cast<size_t>(picture.Height()));
  for (int y = 0; y < picture.Height(); ++y)
    rows[static_cast<size_t>(y)] = picture.ConstScanline(y);
  TJPEGStream stream;
  const int code = EncodeJPEG(rows.data(), picture.Width(), picture.Height(), settings.quality,
                              settings.subsample420, &stream);
  if (code != 0)
    throw EInvalidGraphicOperation(Format(STargetCodecFailed, "JPEG", picture.Width(),
                                          picture.Height(),
                                          ("libjpeg message " + std::to_string(code)).c_str()));
  std::vector<uint8_t> bytes(stream.data, stream.data + stream.size);
  std::free(stream.data);
  return bytes;
}

void DecodeJpeg(const std::vector<uint8_t>& stream, TBitmap& picture) {
  TJPEGPixels pixels;
  const int code = DecodeJPEG(stream.data(), stream.size(), TJPEGDecodeOptions{}, &pixels);
  if (code != 0)
    throw EInvalidGraphic("JPEG stream not decoded (libjpeg message " + std::to_string(code) + ")");
  PrepareRaster(picture, pixels.width, pixels.height);
  const size_t row = 3 * static_cast<size_t>(pixels.width);
  for (int y = 0; y < pixels.height; ++y)
    std::memcpy(picture.Scanline(y), pixels.pixels + row * static_cast<size_t>(y), row);
  std::free(pixels.pixels);
}

void JpegRoundTrip(const TBitmap& in, const TJpegSettings& settings, TBitmap& out, int64_t& bytes) {
  const std::vector<uint8_t> stream = EncodeJpeg(in, settings);
  bytes = static_cast<int64_t>(stream.size());
  DecodeJpeg(stream, out);
}
