// One frame of a GIF image: its image descriptor, pixel indices, local colour table,
// extension blocks and the working bitmap it was built from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "gif/GIFColorMap.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFTypes.h"
#include "platform/PixelBlock.h"

class TBitmap;
class TDIBReader;
class TGIFImage;
class TGraphic;
class TPicture;
class TStream;

// The image descriptor as it lies in the file (10 bytes, little-endian fields).
struct TGIFImageDescriptor {
  static constexpr uint8_t kSeparator = 0x2C;
  static constexpr uint8_t kLocalColorTable = 0x80;
  static constexpr uint8_t kInterlaced = 0x40;
  static constexpr uint8_t kSorted = 0x20;
  static constexpr uint8_t kTableSize = 0x07;

  uint8_t Separator = kSeparator;
  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PackedFields = 0;

  void Encode(uint8_t bytes[10]) const;
};

class TGIFSubImage {
 public:
  // The largest width or height a frame can have (16-bit fields).
  static constexpr int kMaxDimension = 65535;

  explicit TGIFSubImage(TGIFImage& image);
  ~TGIFSubImage();
  TGIFSubImage(const TGIFSubImage&) = delete;
  TGIFSubImage& operator=(const TGIFSubImage&) = delete;

  TGIFImage& Image() const { return image_; }
  const TGIFImageDescriptor& Descriptor() const { return descriptor_; }
  int Left() const { return descriptor_.Left; }
  int Top() const { return descriptor_.Top; }
  int Width() const { return descriptor_.Width; }
  int Height() const { return descriptor_.Height; }
  // Positions and sizes outside 0..65535 raise GIFException "Invalid image dimensions".
  void SetLeft(int value);
  void SetTop(int value);
  // Gives the frame new pixel data of width x height zeros.
  void SetSize(int width, int height);
  bool Interlaced() const {
    return (descriptor_.PackedFields & TGIFImageDescriptor::kInterlaced) != 0;
  }
  void SetInterlaced(bool value);
  // No pixel data, or a width or height of 0.
  bool Empty() const;

  // width x height colour indices, rows from the top, no padding.
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  size_t DataSize() const { return data_.size(); }

  TGIFLocalColorMap& ColorMap() { return color_map_; }
  const TGIFLocalColorMap& ColorMap() const { return color_map_; }
  TGIFExtensionList& Extensions() { return extensions_; }
  const TGIFExtensionList& Extensions() const { return extensions_; }
  // The frame's first graphic control block, or null.
  TGIFGraphicControlExtension* GraphicControlExtension() const;
  // The picture the frame's indices were read from (after any colour reduction), or null.
  const TBitmap* WorkingBitmap() const { return working_.get(); }

  // gv89a when the local table is sorted (Optimized) or the frame carries an extension.
  TGIFVersion Version() const;

  // Empties the frame: no pixels, table, extensions or working bitmap; position 0.
  void Clear();
  // Fills the frame from a graphic: a bitmap directly, any other graphic through a
  // bitmap it assigns itself to; nullptr or an empty graphic leaves the frame empty. A
  // graphic that no bitmap can take raises EConvertError (only bitmaps draw here, so there
  // is no drawing to fall back on: icons and metafiles end that way too). On any error
  // the frame is left empty.
  void Assign(const TGraphic* source);
  // As Assign for a bitmap, but a picture of 1, 4 or 8 bits per pixel is taken as the
  // true-colour picture it shows, as a 24-bit picture is taken: reduced with the image's
  // settings, and with rmNone its exact colours in order of first appearance. With rmNone
  // such a picture is read through its colour table, each pixel's index mapped once,
  // without a 24-bit copy: table and indices are those the copy would give, and the
  // working bitmap is the picture itself.
  void AssignTrueColour(const TBitmap& source);
  // Fills the frame from the graphic a picture container holds.
  void Assign(const TPicture& source);
  // Copies another frame: descriptor, pixels, table, extensions and working bitmap.
  void Assign(const TGIFSubImage& source);
  // Makes the pixels whose mask byte is not 0 transparent: sorts the table by use, adds
  // black as the transparent entry and a graphic control block naming it. A table with 0
  // or 256 entries gets no transparency. mask holds one byte per pixel.
  void ApplyMask(std::span<const uint8_t> mask);

  // Sets the descriptor's table bits from the local colour table.
  void Prepare();
  // Writes the extension blocks and, unless the frame is empty, the descriptor, the local
  // table and the image data.
  void SaveToStream(TStream& stream);
  // Writes the image data with the image's encoder.
  void Compress(TStream& stream);

 private:
  void AssignBitmap(const TBitmap& source, bool true_colour);
  void ImportRows(TDIBReader& reader);
  void Import24(TDIBReader& reader);
  // `table` has an entry for every index of the picture's bits (2^bits entries).
  void ImportThroughTable(TDIBReader& reader, std::span<const TRGBQuad> table);
  void ReportRows();
  void ReportRow(int row);

  TGIFImage& image_;
  TGIFImageDescriptor descriptor_;
  TPixelBlock data_;
  TGIFLocalColorMap color_map_;
  TGIFExtensionList extensions_;
  std::unique_ptr<TBitmap> working_;
};
