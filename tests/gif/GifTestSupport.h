// Helpers of the GIF tests: decoding with giflib (an independent decoder), reading a code
// stream the way a decoder does, and making pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "gif/Gifimage.h"
#include "platform/Colors.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "tests/common/ErrorMessage.h"

// A palette entry of the given colour.
inline TPaletteEntry E(uint8_t r, uint8_t g, uint8_t b) {
  return TPaletteEntry{r, g, b, 0};
}

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct DecodedFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::vector<uint8_t> indices;  // in display order (giflib undoes the interlacing)
  std::vector<Rgb> table;        // the frame's table, or the global one
  bool local_table = false;
  int transparent_index = -1;
  std::vector<Rgb> Pixels() const;  // the colour of every pixel
};

struct DecodedGif {
  int width = 0, height = 0;
  std::vector<Rgb> global_table;
  std::vector<DecodedFrame> frames;
};

// Decodes a whole file with giflib; a file giflib rejects fails the test (and returns an
// empty result).
DecodedGif DecodeGif(const std::vector<uint8_t>& bytes);

std::vector<uint8_t> Bytes(TMemoryStream& stream);
// The whole file of an image.
std::vector<uint8_t> SaveGif(TGIFImage& gif);

struct Code {
  uint32_t value;
  int width;
};
// The codes of one image data block (code size byte, sub-blocks, terminator) read as a
// standard decoder reads them: its code width follows the table it builds. Stops after
// the end code. `blocks` receives the sub-block lengths.
std::vector<Code> ReadCodes(const std::vector<uint8_t>& data, std::vector<int>* blocks = nullptr);
std::vector<uint32_t> Values(const std::vector<Code>& codes);

// A 24-bit bitmap whose pixel (x, y) has colour(x, y).
std::unique_ptr<TBitmap> MakeBitmap24(int width, int height,
                                      const std::function<TColor(int, int)>& colour);
// An 8-bit bitmap with the given palette and index(x, y) per pixel.
std::unique_ptr<TBitmap> MakeBitmap8(int width, int height,
                                     const std::vector<TPaletteEntry>& palette,
                                     const std::function<uint8_t(int, int)>& index);
// The colour of every pixel of a bitmap, rows from the top.
std::vector<Rgb> PixelsOf(const TBitmap& bitmap);

std::unique_ptr<TBitmap> LoadBitmap(const std::string& path);

// A small deterministic random generator.
struct TestRandom {
  uint32_t state;
  explicit TestRandom(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};
