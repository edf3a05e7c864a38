// Test helpers shared by the picture tests: the pixels of a raster as RGB bytes, and the
// pixels an independent decoder (ImageMagick) gives for a file, composed over white.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "raster/Bitmap.h"

struct TRGBPixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows from the top, 3 bytes per pixel (R, G, B)
};

// The raster's pixels, whatever its format (read through a 24-bit copy).
inline TRGBPixels PixelsOf(const TBitmap& bitmap) {
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SetPixelFormat(TPixelFormat::Bits24);
  TRGBPixels p;
  p.width = copy.Width();
  p.height = copy.Height();
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* row = copy.ConstScanline(y);
    for (int x = 0; x < p.width; ++x) {
      p.rgb.push_back(row[3 * x + 2]);
      p.rgb.push_back(row[3 * x + 1]);
      p.rgb.push_back(row[3 * x]);
    }
  }
  return p;
}

// ImageMagick is a Linux tool here: on Windows the tests that compare with it are skipped
// (the Windows build's pixels are compared with the Linux build's instead).
#ifdef _WIN32
#define SKIP_WITHOUT_REFERENCE_DECODER() GTEST_SKIP() << "needs ImageMagick (Linux only)"
#else
#define SKIP_WITHOUT_REFERENCE_DECODER() (void)0
#endif

// ImageMagick's decode of the file's first frame on its screen, composed over white;
// width and height from its "info:" output. Empty rgb when the tool failed.
inline TRGBPixels ReferencePixels(const std::string& file) {
  TRGBPixels p;
#ifndef _WIN32
  const std::string source =
      "'" + file + "[0]' -coalesce -background white -alpha remove -alpha off";
  const std::string size_cmd = "convert-im6.q16 " + source + " -format '%w %h' info:- 2>/dev/null";
  if (FILE* f = popen(size_cmd.c_str(), "r")) {
    if (std::fscanf(f, "%d %d", &p.width, &p.height) != 2) p.width = p.height = 0;
    pclose(f);
  }
  const std::string cmd = "convert-im6.q16 " + source + " -depth 8 rgb:- 2>/dev/null";
  if (FILE* f = popen(cmd.c_str(), "r")) {
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      p.rgb.insert(p.rgb.end(), buffer, buffer + n);
    pclose(f);
  }
#else
  (void)file;
#endif
  return p;
}

// The first differing pixel as "x,y: (r,g,b) vs (r,g,b)", or "" when equal.
inline std::string FirstDifference(const TRGBPixels& a, const TRGBPixels& b) {
  if (a.width != b.width || a.height != b.height)
    return "size " + std::to_string(a.width) + "x" + std::to_string(a.height) + " vs " +
           std::to_string(b.width) + "x" + std::to_string(b.height);
  if (a.rgb.size() != b.rgb.size()) return "byte count differs";
  for (size_t i = 0; i < a.rgb.size(); i += 3) {
    if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2]) {
      const size_t pixel = i / 3;
      char text[128];
      std::snprintf(text, sizeof text, "%zu,%zu: (%d,%d,%d) vs (%d,%d,%d)", pixel % a.width,
                    pixel / a.width, a.rgb[i], a.rgb[i + 1], a.rgb[i + 2], b.rgb[i], b.rgb[i + 1],
                    b.rgb[i + 2]);
      return text;
    }
  }
  return "";
}
