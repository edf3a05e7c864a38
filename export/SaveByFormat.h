// Saving a picture in the format its caller chooses: BMP as the raster writes it, GIF
// through the window's GIF save (the halftone copy on the chart panel), or PNG. Every
// command of the command-line tool and the window save through SaveByFormat, so that one
// piece of code decides what each format's file holds.
#pragma once

#include <optional>
#include <string>

#include "raster/PngWriter.h"
#include "reveal/Band.h"

class TBitmap;
struct TGifSaveTarget;

enum class TSaveFormat { sfBMP, sfGIF, sfPNG };

struct TSaveOptions {
  // SaveByFormat(bitmap, name, TSaveFormat::sfPNG) saves with every other option unset.
  TSaveOptions(TSaveFormat format_ = TSaveFormat::sfBMP) : format(format_) {}
  TSaveFormat format;
  // PNG: the picture reduced to the halftone palette exactly as the GIF save reduces its
  // copy (without the panel's bevel), written as a palette PNG. Other formats ignore it.
  bool indexed = false;
  // PNG: the band recorded in the file's "Lumiveil" text chunk; none, no chunk.
  std::optional<TToneBand> band;
  // GIF: the image box and chart that the save works on and that keep what it leaves in
  // them (the window's); a fresh pair as the window's form makes them when null.
  TGifSaveTarget* gif_target = nullptr;
  // PNG: how the image data is compressed (chosen for each picture by default).
  TPngCompression compression = TPngCompression::pcAuto;
};

// The keyword of the text chunk that records the band.
inline constexpr const char kBandKeyword[] = "Lumiveil";

// The chunk's text: "average=A contrast=C version=V", V the program's version, and with
// the picture's size " width=W height=H" after it (what SaveByFormat writes: a reader then
// knows a chunk copied into a resized copy of the picture for what it is).
std::string BandText(const TToneBand& band);
std::string BandText(const TToneBand& band, int width, int height);

// Writes bitmap under exactly file_name in the chosen format, through the safe save (an
// existing file is replaced only when the new one was written whole). Raises on failure.
void SaveByFormat(const TBitmap& bitmap, const std::string& file_name,
                  const TSaveOptions& options = {});
