// PNG files for the reveal tests, written with libpng: a 24-bit picture as RGB with text
// chunks, as synth writes its result with the band's chunk.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "raster/Bitmap.h"

using TPngTexts = std::vector<std::pair<std::string, std::string>>;

// The part libpng may leave by its long jump: a frame with plain values only.
inline bool EncodePng(png_structp png, png_infop info, FILE* f, const TBitmap& picture,
                      png_text* chunks, int count) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()),
               static_cast<png_uint_32>(picture.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (count > 0) png_set_text(png, info, chunks, count);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < picture.Height(); ++y)
    png_write_row(png, const_cast<png_bytep>(picture.ConstScanline(y)));
  png_write_end(png, nullptr);
  return true;
}

// False when the file could not be written. `compression` is libpng's for every text:
// PNG_TEXT_COMPRESSION_NONE (tEXt), _zTXt, PNG_ITXT_COMPRESSION_NONE or _zTXt (iTXt).
inline bool WritePng(const TBitmap& picture, const std::string& file, const TPngTexts& texts,
                     int compression = PNG_TEXT_COMPRESSION_NONE) {
  std::vector<png_text> chunks(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    chunks[i].compression = compression;
    chunks[i].key = const_cast<char*>(texts[i].first.c_str());
    chunks[i].text = const_cast<char*>(texts[i].second.c_str());
  }
  FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool written =
      EncodePng(png, info, f, picture, chunks.data(), static_cast<int>(chunks.size()));
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 && written;
}
