// Saving a picture in the format its caller chooses: BMP as the raster writes it, GIF
// through the window's GIF save (the halftone copy on the chart panel), or PNG. Every
// command of the command-line tool and the window save through SaveByFormat, so that one
// piece of code decides what each format's file holds, and both front ends learn from the
// table of output formats which formats there are and which one a file name asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "raster/PngWriter.h"
#include "reveal/Band.h"

class TBitmap;
class TMemoryStream;
struct TGifSaveTarget;

enum class TSaveFormat { sfBMP, sfGIF, sfPNG };

// The palette of a palette form: the fixed halftone palette as the GIF save reduces its
// copy, or one chosen for the picture (AdaptivePalette.h).
enum class TPaletteKind { pkHalftone, pkAdaptive };

struct TSaveOptions {
  // SaveByFormat(bitmap, name, TSaveFormat::sfPNG) saves with every other option unset.
  TSaveOptions(TSaveFormat format_ = TSaveFormat::sfBMP) : format(format_) {}
  TSaveFormat format;
  // PNG: the picture reduced to the halftone palette exactly as the GIF save reduces its
  // copy (without the panel's bevel), written as a palette PNG. Other formats ignore it.
  bool indexed = false;
  // The palette of that form. The adaptive palette weighs the odd cells by the band below
  // (without one, as cells holding the hidden picture unmapped).
  TPaletteKind palette = TPaletteKind::pkHalftone;
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

// The table of output formats, one row per format in the order of TSaveFormat: everything
// the front ends know of a format. A format is added as a row with its writer; the
// commands' help, their choice by file name and the window's export dialog follow.
struct TOutputFormat {
  TSaveFormat value;
  const char* name;     // "PNG": in help texts and the export dialog's filters
  const char* endings;  // the file endings that ask for it, blank-separated (".png")
  // Writes the picture under exactly the name given, through the safe save; raises on
  // failure. Options that do not concern the format are ignored.
  void (*write)(const TBitmap& bitmap, const std::string& file_name, const TSaveOptions& options);
  bool records_band;  // the file keeps the band it is given (TSaveOptions::band)
  bool palette_form;  // it has a palette form: TSaveOptions::indexed
  // The file holds the picture drawn on the chart panel (the halftone copy under the
  // panel's bevel), not the picture's own pixels: a name asks for it only where a command
  // saves the combined picture as the window does (FormatForName's `panel`).
  bool panel;
};

std::span<const TOutputFormat> OutputFormats();
const TOutputFormat& OutputFormatOf(TSaveFormat format);

// The format a file name asks for: the first row with an ending the name has (in any
// case), leaving out the panel's format unless `panel`; BMP for every other name.
TSaveFormat FormatForName(std::string_view file_name, bool panel);
// A row's endings, one a string (".png").
std::vector<std::string> EndingsOf(const TOutputFormat& format);

// Writes bitmap under exactly file_name in the chosen format, through the safe save (an
// existing file is replaced only when the new one was written whole). Raises on failure.
void SaveByFormat(const TBitmap& bitmap, const std::string& file_name,
                  const TSaveOptions& options = {});
// The same for a caller that gives bitmap up (the command-line tool, whose run ends with
// the save): it is left empty, its pixels freed as soon as the format's save no longer
// reads them, so that the save's own stores take their pages instead of fresh memory.
void SaveByFormat(TBitmap&& bitmap, const std::string& file_name, const TSaveOptions& options = {});

// The pixels a save with these options writes of bitmap: the palette form's reduction
// where the options ask for it, else the picture itself (sharing its pixels).
void SavedPixels(const TBitmap& bitmap, const TSaveOptions& options, TBitmap& out);

// The PNG file a save with these options (as a PNG) writes, made in memory: its length is
// what a site's byte limit is held against, and its bytes are the file to write.
std::unique_ptr<TMemoryStream> SavedPng(const TBitmap& bitmap, const TSaveOptions& options);

// The palette form written where a palette PNG is wanted (a target that keeps palette
// PNGs but re-encodes full-colour ones): the one place that picks it.
void UsePaletteForm(TSaveOptions& options);
