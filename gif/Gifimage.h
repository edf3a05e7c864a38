// The GIF library: TGIFImage and everything it is made of. Writing only: a picture
// assigned to a TGIFImage becomes a frame (with colour reduction where the picture has
// more than 8 bits per pixel), and SaveToStream writes a GIF87a or GIF89a file.
#pragma once

#include <string>

#include "gif/5by3Ditherer.h"
#include "gif/ColorQuantizer.h"
#include "gif/DIB.h"
#include "gif/FixedPalettes.h"
#include "gif/FloydSteinbergDitherer.h"
#include "gif/GIFColorMap.h"
#include "gif/GIFException.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFHeader.h"
#include "gif/GIFImageList.h"
#include "gif/GIFSubImage.h"
#include "gif/GIFTypes.h"
#include "gif/OptimizedPalette.h"
#include "gif/ReduceColors.h"
#include "gif/SteveArcheDitherer.h"
#include "raster/Graphic.h"

class TGIFImage : public TGraphic {
  LV_GRAPHIC_CLASS_DECL(TGIFImage)

 public:
  TGIFImage();
  ~TGIFImage() override;

  // No frames.
  bool Empty() const override;
  // The logical screen's size (the header's).
  int Width() const override;
  int Height() const override;
  // Values outside 0..65535 raise GIFException "Invalid image dimensions".
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  // nullptr clears the image, the image itself changes nothing, another TGIFImage is
  // copied frame by frame, any other graphic becomes the image's one frame (see
  // TGIFSubImage::Assign). A graphic that no frame can take is offered its AssignTo and
  // otherwise raises EConvertError. When the frame cannot be built the image keeps what
  // it held and the error passes on.
  void Assign(const TGraphic* source) override;
  // As Assign for a bitmap, but a picture of 1, 4 or 8 bits per pixel is taken as the
  // true-colour picture it shows (see TGIFSubImage::AssignTrueColour): the frame is the
  // one its 24-bit copy gives, not its own palette and indices.
  void AssignTrueColour(const TBitmap& source);
  // Reading GIF files is not part of this library: raises GIFException.
  void LoadFromStream(TStream& stream) override;
  // Writes the file: header, frames, trailer. No frames raises GIFException "Unsupported
  // GIF version" before any byte is written.
  void SaveToStream(TStream& stream) override;
  // Builds the file in memory, then saves it safely (no partial file on failure).
  void SaveToFile(const std::string& file_name) override;

  void Clear();
  TGIFHeader& Header() { return header_; }
  const TGIFHeader& Header() const { return header_; }
  TGIFImageList& Images() { return images_; }
  const TGIFImageList& Images() const { return images_; }

  // The highest version of any frame (gvUnknown without frames).
  TGIFVersion Version() const;
  // The largest table bits of the global table and of every frame's table.
  int BitsPerPixel() const;
  // The largest of (table bits - 1) over the same tables; -1 when all are empty.
  int ColorResolution() const;

  TColorReduction ColorReduction() const { return color_reduction_; }
  void SetColorReduction(TColorReduction value) { color_reduction_ = value; }
  TDitherMode DitherMode() const { return dither_mode_; }
  void SetDitherMode(TDitherMode value) { dither_mode_ = value; }
  int ReductionBits() const { return reduction_bits_; }
  // 3 to 8; otherwise GIFException "Invalid Bits Per Pixel value".
  void SetReductionBits(int value);
  TGIFCompression Compression() const { return compression_; }
  void SetCompression(TGIFCompression value) { compression_ = value; }

  // Frames report their progress through the image's OnProgress.
  using TGraphic::Progress;

 private:
  void AssignImage(const TGIFImage& source);
  // Replaces the content by one finished frame.
  void TakeFrame(std::unique_ptr<TGIFSubImage> frame);

  TGIFHeader header_;
  TGIFImageList images_;
  TColorReduction color_reduction_;
  TDitherMode dither_mode_;
  int reduction_bits_;
  TGIFCompression compression_;
};

// The GIF module's initialisation: registers "gif" ("GIF Image") for TGIFImage with the
// picture format registry, and the platform clipboard format "GIF Image". Run once by the
// registry, after its own entries.
void InitializeGIFModule();
// The clipboard format registered for TGIFImage (0 before the module is initialised).
unsigned GIFClipboardFormat();
