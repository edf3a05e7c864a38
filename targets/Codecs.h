// The codecs of the jpeg and webp steps: the real libraries, encoding a 24-bit picture and
// decoding the stream again with their default decoder settings. Each library is called in
// one file of its own (JpegCodec.cpp, WebpCodec.cpp), so a build for another platform
// can bring its own copies of them.
#pragma once

#include <cstdint>
#include <vector>

class TBitmap;

struct TJpegSettings {
  int quality = 85;          // 1..100, jpeg_set_quality's scale
  bool subsample420 = true;  // chroma halved both ways, else whole (4:4:4)
};

struct TWebpSettings {
  int quality = 75;       // 0..100; ignored when lossless
  bool lossless = false;  // the pixels stay
  bool sharp = false;     // the sharper (iterative) RGB to YUV conversion
};

// The encoded streams (24-bit, not empty pictures); EInvalidGraphicOperation when the library
// refuses (a WebP side over 16383 pixels, no memory).
std::vector<uint8_t> EncodeJpeg(const TBitmap& picture, const TJpegSettings& settings);
std::vector<uint8_t> EncodeWebp(const TBitmap& picture, const TWebpSettings& settings);

// Decodes a stream made above into a 24-bit picture; EInvalidGraphic for a broken stream.
void DecodeJpeg(const std::vector<uint8_t>& stream, TBitmap& picture);
void DecodeWebp(const std::vector<uint8_t>& stream, TBitmap& picture);

// Encode and decode in one: `out` gets the pixels a viewer of the stream sees, `bytes` the
// stream's length.
void JpegRoundTrip(const TBitmap& in, const TJpegSettings& settings, TBitmap& out, int64_t& bytes);
void WebpRoundTrip(const TBitmap& in, const TWebpSettings& settings, TBitmap& out, int64_t& bytes);
