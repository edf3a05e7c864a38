#include "export/SaveByFormat.h"

#include "base/Format.h"
#include "export/SaveAsGif.h"
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

void SaveByFormat(const TBitmap& bitmap, const std::string& file_name,
                  const TSaveOptions& options) {
  switch (options.format) {
    case TSaveFormat::sfBMP: {
      // A copy shares the pixels; the BMP writer is the picture's own.
      TBitmap copy;
      copy.Assign(&bitmap);
      copy.SaveToFile(file_name);
      return;
    }
    case TSaveFormat::sfGIF: {
      if (options.gif_target != nullptr) {
        SaveAsGif(bitmap, *options.gif_target, file_name);
      } else {
        TGifSaveTarget target;
        SaveAsGif(bitmap, target, file_name);
      }
      return;
    }
    case TSaveFormat::sfPNG: {
      TPngOptions png;
      png.compression = options.compression;
      if (options.band)
        png.texts.push_back(
            {kBandKeyword, BandText(*options.band, bitmap.Width(), bitmap.Height())});
      if (!options.indexed) {
        SavePngToFile(bitmap, file_name, png);
        return;
      }
      TBitmap reduced;
      reduced.Assign(&bitmap);
      ReduceToHalftone(reduced);
      SavePngToFile(reduced, file_name, png);
      return;
    }
  }
}
