// Writing a TBitmap as a PNG file image: 8-bit RGB for pictures of more than
// 8 bits per pixel (and device-dependent ones), a palette PNG for pictures of 8 bits or
// fewer, holding only the colours the pixels use; never an alpha channel. Text chunks
// given in the options are written before the image data. The rows are filtered and
// compressed in pieces of a fixed number of bytes of rows on every core
// (raster/PngDeflate.h): the file is the same for any number of threads.
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

// How the image data is filtered and compressed. The choice, measured on 4000 x 3000
// combined pictures of two photos and on the photos themselves (bench/bench_png.cpp):
// - A combined picture's one-pixel checkerboard defeats the PNG filters, which predict a
//   pixel from its left and upper neighbours, cells of the other picture: unfiltered rows
//   come out a third smaller than adaptively filtered ones. The interlaced form undoes the
//   checkerboard: its passes 1 to 6 each hold cells of one picture, and in pass 7 the
//   pixel above is of the same picture, so the filters predict well again; filtered so
//   and coded with blocks of literals alone (raster/DeflateLiterals.h), the file is about
//   half the size of the unfiltered one at level 1, in a fraction of the time.
// - An ordinary photograph is smaller with the adaptive filters (about 10 %), and at level
//   6 a further 7 % smaller than at level 1: the usual choice.
// - A palette picture's filters would take differences of palette indices, which mean
//   nothing; unfiltered it is the smallest at every level, and level 6 makes it 30 %
//   smaller than level 1 for a few tenths of a second (levels 7 to 9 gain 1 to 3 % for up
//   to five times the time).
// Level 1 is zlib's, level 6 libdeflate's (raster/PngDeflate.h says why).
enum class TPngCompression {
  // Chosen for each picture: a palette picture takes pcNoFilterLevel6; for any other the
  // two filter choices are tried at level 1 on a sample of its rows (8 of every 256);
  // adaptive filters winning give pcAdaptiveLevel6, else the interlaced form is tried on
  // the same rows, with blocks of literals, then at level 1, and the first no larger
  // than unfiltered rows at level 1 is taken, else pcNoFilterLevel1. Blocks of literals
  // win on photographs; level 1 where the pictures repeat themselves (a tiled pattern).
  pcAuto,
  pcNoFilterLevel1,
  pcAdaptiveLevel6,
  pcNoFilterLevel6,
  // Interlaced, the Paeth filter on every row, blocks of literals alone.
  pcInterlacedLiterals,
  // Interlaced, the Paeth filter on every row, zlib's level 1.
  pcInterlacedLevel1,
};

// The compression level of a setting other than pcAuto (the literal blocks count as the
// quickest, 1), whether it filters adaptively, and whether it writes the interlaced form.
int PngZlibLevel(TPngCompression compression);
bool PngAdaptiveFilter(TPngCompression compression);
bool PngInterlaced(TPngCompression compression);

struct TPngOptions {
  std::vector<TPngText> texts;
  TPngCompression compression = TPngCompression::pcAuto;
};

// Writes the PNG file image of bitmap to stream. Raises EInvalidGraphic for an empty
// picture, for a text chunk the format does not allow and for a compressor's failure (the
// message names the reason); EOutOfMemory when a compressor's memory cannot be had; a
// failed write of the stream passes on as the stream raised it.
void WritePng(const TBitmap& bitmap, TStream& stream, const TPngOptions& options = {});

// Writes the PNG file through the safe save (a temporary file renamed over file_name
// only when everything was written).
void SavePngToFile(const TBitmap& bitmap, const std::string& file_name,
                   const TPngOptions& options = {});

// The setting pcAuto takes for bitmap.
TPngCompression ChoosePngCompression(const TBitmap& bitmap);
