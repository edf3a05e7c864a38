#include "export/SaveByFormat.h"

#include <utility>

#include "base/Format.h"
#include "base/NamedRows.h"
#include "base/Text.h"
#include "export/AdaptivePalette.h"
#include "export/SaveAsGif.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

#ifndef LUMIVEIL_VERSION
#error "LUMIVEIL_VERSION names the program's version (set by export/CMakeLists.txt)"
#endif

std::string BandText(const TToneBand& band) {
  return Format("average=%d contrast=%d version=%s", band.average, band.contrast, LUMIVEIL_VERSION);
}

std::string BandText(const TToneBand& band, int width, int height) {
  return BandText(band) + Format(" width=%d height=%d", width, height);
}

namespace {

void WriteBmp(const TBitmap& bitmap, const std::string& file_name, const TSaveOptions&) {
  // A copy shares the pixels; the BMP writer is the picture's own.
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SaveToFile(file_name);
}

// The window's target, or a fresh pair as its form makes them.
template <class Bitmap>
void SaveAsGifTo(Bitmap&& bitmap, const std::string& file_name, const TSaveOptions& options) {
  if (options.gif_target != nullptr) {
    SaveAsGif(std::forward<Bitmap>(bitmap), *options.gif_target, file_name);
  } else {
    TGifSaveTarget target;
    SaveAsGif(std::forward<Bitmap>(bitmap), target, file_name);
  }
}

void WriteGif(const TBitmap& bitmap, const std::string& file_name, const TSaveOptions& options) {
  SaveAsGifTo(bitmap, file_name, options);
}

TPngOptions PngOptionsOf(const TBitmap& bitmap, const TSaveOptions& options) {
  TPngOptions png;
  png.compression = options.compression;
  if (options.band)
    png.texts.push_back({kBandKeyword, BandText(*options.band, bitmap.Width(), bitmap.Height())});
  return png;
}

void WritePng(const TBitmap& bitmap, const std::string& file_name, const TSaveOptions& options) {
  SavePngToFile(bitmap, file_name, PngOptionsOf(bitmap, options));
}

constexpr TOutputFormat kFormats[] = {
    {TSaveFormat::sfBMP, "BMP", ".bmp", WriteBmp, false, false, false},
    {TSaveFormat::sfGIF, "GIF", ".gif", WriteGif, false, false, true},
    {TSaveFormat::sfPNG, "PNG", ".png", WritePng, true, true, false},
};
static_assert(RowsInOrder(kFormats, static_cast<size_t>(TSaveFormat::sfPNG) + 1));

// What a name without a format's ending is written as.
constexpr TSaveFormat kOtherNames = TSaveFormat::sfBMP;

}  // namespace

std::span<const TOutputFormat> OutputFormats() {
  return kFormats;
}

const TOutputFormat& OutputFormatOf(TSaveFormat format) {
  return RowOf(OutputFormats(), format);
}

std::vector<std::string> EndingsOf(const TOutputFormat& format) {
  std::vector<std::string> endings;
  const std::string_view all = format.endings;
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find(' ', start);
    if (end == std::string_view::npos) end = all.size();
    if (end > start) endings.emplace_back(all.substr(start, end - start));
    start = end + 1;
  }
  return endings;
}

TSaveFormat FormatForName(std::string_view file_name, bool panel) {
  for (const TOutputFormat& format : OutputFormats()) {
    if (format.panel && !panel) continue;
    for (const std::string& ending : EndingsOf(format))
      if (EndsWithText(file_name, ending)) return format.value;
  }
  return kOtherNames;
}

namespace {

// The save writes the palette form: asked for, and the format has one.
bool WritesPaletteForm(const TSaveOptions& options) {
  return options.indexed && OutputFormatOf(options.format).palette_form;
}

}  // namespace

void SavedPixels(const TBitmap& bitmap, const TSaveOptions& options, TBitmap& out) {
  out.Assign(&bitmap);
  // The palette form: the picture reduced to the halftone palette exactly as the GIF save
  // reduces its copy, or to its own palette, written as the format writes a picture of 8
  // bits.
  if (!WritesPaletteForm(options)) return;
  if (options.palette == TPaletteKind::pkAdaptive)
    ReduceToAdaptivePalette(out, options.band.value_or(kIdentityBand));
  else
    ReduceToHalftone(out);
}

void SaveByFormat(const TBitmap& bitmap, const std::string& file_name,
                  const TSaveOptions& options) {
  const TOutputFormat& format = OutputFormatOf(options.format);
  if (!WritesPaletteForm(options)) {
    format.write(bitmap, file_name, options);
    return;
  }
  TBitmap reduced;
  SavedPixels(bitmap, options, reduced);
  format.write(reduced, file_name, options);
}

void SaveByFormat(TBitmap&& bitmap, const std::string& file_name, const TSaveOptions& options) {
  // The pixels written (the picture's own, or its palette form) are all that is kept.
  TBitmap pixels;
  SavedPixels(bitmap, options, pixels);
  bitmap.Assign(nullptr);
  // The GIF save makes three stores of the picture's size after its halftone copy.
  if (options.format == TSaveFormat::sfGIF)
    SaveAsGifTo(std::move(pixels), file_name, options);
  else
    OutputFormatOf(options.format).write(pixels, file_name, options);
}

std::unique_ptr<TMemoryStream> SavedPng(const TBitmap& bitmap, const TSaveOptions& options) {
  TBitmap pixels;
  SavedPixels(bitmap, options, pixels);
  auto stream = std::make_unique<TMemoryStream>();
  WritePng(pixels, *stream, PngOptionsOf(pixels, options));
  return stream;
}

void UsePaletteForm(TSaveOptions& options) {
  options.format = TSaveFormat::sfPNG;
  options.indexed = true;
  // The palette chosen for the picture: it keeps the band's levels, which the fixed
  // halftone palette blurs into its six levels a channel.
  options.palette = TPaletteKind::pkAdaptive;
}
