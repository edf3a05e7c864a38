// Writing a TBitmap as a PNG file image with libpng: 8-bit RGB for pictures of more than
// 8 bits per pixel (and device-dependent ones), a palette PNG for pictures of 8 bits or
// fewer, holding only the colours the pixels use; never an alpha channel. Text chunks
// given in the options are written before the image data.
#pragma once

#include <string>
#include <vector>

class TBitmap;
class TStream;

// One tEXt chunk: a keyword of 1 to 79 printable Latin-1 characters and Latin-1 text.
struct TPngText {
  std::string keyword;
  std::string text;
};

// How the image data is filtered and compressed.
enum class TPngCompression {
  // Chosen for each picture: both settings below are tried on a sample of its rows
  // (8 rows of every 128) and the one that gives fewer bytes is used.
  pcAuto,
  // No filter, zlib level 1: the smaller and quicker form for a combined picture, whose
  // one-pixel checkerboard defeats the PNG filters (they predict from the left and upper
  // neighbours, which belong to the other picture), and for palette pictures.
  pcUnfiltered,
  // libpng's adaptive choice among the five filters for every row, zlib level 6: the
  // smaller form for ordinary photographs.
  pcFiltered,
};

struct TPngOptions {
  std::vector<TPngText> texts;
  TPngCompression compression = TPngCompression::pcAuto;
};

// Writes the PNG file image of bitmap to stream. Raises EInvalidGraphic for an empty
// picture and for what libpng refuses (the message names libpng's reason); a failed
// write of the stream passes on as the stream raised it.
void WritePng(const TBitmap& bitmap, TStream& stream, const TPngOptions& options = {});

// Writes the PNG file through the safe save (a temporary file renamed over file_name
// only when everything was written).
void SavePngToFile(const TBitmap& bitmap, const std::string& file_name,
                   const TPngOptions& options = {});

// The setting pcAuto takes for bitmap (pcUnfiltered or pcFiltered).
TPngCompression ChoosePngCompression(const TBitmap& bitmap);
