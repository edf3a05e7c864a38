// The libjpeg calls behind TJPEGImage, kept apart from the C++ classes: libjpeg reports
// errors by a jump out of its own frames, so nothing between the jump's start and its
// target may need a destructor. Both functions return 0 on success, else libjpeg's
// message code.
#pragma once

#include <cstddef>
#include <cstdint>

struct TJPEGHeader {
  int width = 0;
  int height = 0;
  int components = 0;
  bool progressive = false;
};

struct TJPEGDecodeOptions {
  int scale_denom = 1;  // 1, 2, 4 or 8
  bool fast = false;    // fast integer transform, simple upsampling
  bool smoothing = true;
};

// What a decode gives: top-down rows of width * 3 bytes (blue, green, red), allocated with
// malloc; the caller frees `pixels`.
struct TJPEGPixels {
  uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
};

// A message code that is not libjpeg's: the picture would exceed our pixel store limit.
constexpr int kJPEGTooLarge = -1;
// A message code that is not libjpeg's: memory for the pixels could not be had.
constexpr int kJPEGNoMemory = -2;

int ReadJPEGHeader(const uint8_t* data, size_t size, TJPEGHeader* header);
// Decodes with the settings given; TJPEGDecodeOptions{} are libjpeg's defaults (accurate
// integer transform, fancy upsampling, block smoothing), the pixels every decoder with
// default settings gives.
int DecodeJPEG(const uint8_t* data, size_t size, const TJPEGDecodeOptions& options,
               TJPEGPixels* result);

// What an encode gives: the JPEG stream in a block allocated with malloc; the caller frees
// `data`.
struct TJPEGStream {
  uint8_t* data = nullptr;
  size_t size = 0;
};

// Encodes a picture of width x height from its top-down rows of width * 3 bytes (blue,
// green, red) with libjpeg's defaults (baseline, accurate integer transform, the standard
// Huffman tables) at `quality` 1..100: the standard quantisation tables scaled as
// jpeg_set_quality scales them (the same stream a tool gives that calls it). Colour is
// stored as YCbCr with the chroma at full resolution (4:4:4) or halved both ways (4:2:0,
// libjpeg's default).
int EncodeJPEG(const uint8_t* const* rows, int width, int height, int quality, bool subsample420,
               TJPEGStream* result);
