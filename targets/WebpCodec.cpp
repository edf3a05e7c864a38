// The WebP codec of the webp step: every call of libwebp.
#include <webp/decode.h>
#include <webp/encode.h>

#include <cstring>
#include <string>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "raster/Bitmap.h"
#include "reveal/Views.h"
#include "targets/Codecs.h"

namespace {

// Owns what libwebp allocated for one encode.
struct TWebpEncode {
  WebPPicture picture;
  WebPMemoryWriter writer;
  TWebpEncode() {
    WebPPictureInit(&picture);
    WebPMemoryWriterInit(&writer);
  }
  ~TWebpEncode() {
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
  }
};

[[noreturn]] void Fail(const TBitmap& picture, const std::string& why) {
  throw EInvalidGraphicOperation(
      Format(STargetCodecFailed, "WebP", picture.Width(), picture.Height(), why.c_str()));
}

}  // namespace

std::vector<uint8_t> EncodeWebp(const TBitmap& picture, const TWebpSettings& settings) {
  if (picture.Empty() || picture.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  if (picture.Width() > WEBP_MAX_DIMENSION || picture.Height() > WEBP_MAX_DIMENSION)
    Fail(picture, "WebP holds at most " + std::to_string(WEBP_MAX_DIMENSION) + " pixels on a side");
  // The library's default configuration (method 4) with the quality given, as the
  // encoders sites use set it up.
  WebPConfig config;
  if (!WebPConfigInit(&config)) Fail(picture, "the library's version does not match");
  config.quality = static_cast<float>(settings.quality);
  config.lossless = settings.lossless ? 1 : 0;
  config.use_sharp_yuv = settings.sharp ? 1 : 0;
  TWebpEncode encode;
  encode.picture.use_argb = 1;
  encode.picture.width = picture.Width();
  encode.picture.height = picture.Height();
  encode.picture.writer = WebPMemoryWrite;
  encode.picture.custom_ptr = &encode.writer;
  // Imported row by row: our rows are not one block with a fixed stride.
  if (!WebPPictureAlloc(&encode.picture)) Fail(picture, "no memory for the picture");
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* row = picture.ConstScanline(y);
    uint32_t* argb = encode.picture.argb + static_cast<size_t>(y) * encode.picture.argb_stride;
    for (int x = 0; x < picture.Width(); ++x)
      argb[x] = 0xFF000000u | (uint32_t{row[3 * x + 2]} << 16) | (uint32_t{row[3 * x + 1]} << 8) |
                row[3 * x];
  }
  if (!WebPEncode(&config, &encode.picture))
    Fail(picture, "encoder error " + std::to_string(encode.picture.error_code));
  return std::vector<uint8_t>(encode.writer.mem, encode.writer.mem + encode.writer.size);
}

void DecodeWebp(const std::vector<uint8_t>& stream, TBitmap& picture) {
  int width = 0, height = 0;
  if (!WebPGetInfo(stream.data(), stream.size(), &width, &height))
    throw EInvalidGraphic("WebP stream not decoded (no valid header)");
  PrepareRaster(picture, width, height);
  // Decoded into one block, then copied into the picture's rows.
  std::vector<uint8_t> block(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  if (WebPDecodeBGRInto(stream.data(), stream.size(), block.data(), block.size(), width * 3) ==
      nullptr)
    throw EInvalidGraphic("WebP stream not decoded");
  const size_t row = 3 * static_cast<size_t>(width);
  for (int y = 0; y < height; ++y)
    std::memcpy(picture.Scanline(y), block.data() + row * static_cast<size_t>(y), row);
}

void WebpRoundTrip(const TBitmap& in, const TWebpSettings& settings, TBitmap& out, int64_t& bytes) {
  const std::vector<uint8_t> stream = EncodeWebp(in, settings);
  bytes = static_cast<int64_t>(stream.size());
  DecodeWebp(stream, out);
}
