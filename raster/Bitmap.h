// TBitmap: the raster store of the system. A bitmap refers to a shared pixel store
// (TBitmapImage); copies made with Assign share it, and every change of pixels, size or
// format first makes a private store (copy on write). Rows are addressed from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Colors.h"
#include "raster/BmpFormat.h"
#include "raster/Graphic.h"

class TBitmap;
class TCanvas;
class TMemoryStream;
class TStream;
struct TRect;

enum class TPixelFormat { Device, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

// The pixel format of a section of `bits` per pixel with `compression` (the green mask
// tells the bit-field forms of 16 bits apart).
TPixelFormat SectionPixelFormat(int bits, uint32_t compression, uint32_t green_mask);

// What a BMP file image says of its picture, from its headers alone: the size, the pixel
// format the reader gives it, and the note for rows the file lacks (CutShortNote).
struct TBitmapDescription {
  int width = 0;
  int height = 0;
  TPixelFormat format = TPixelFormat::Device;
  std::string note;
};
// Reads the headers of the BMP file image of `available` bytes at the stream's position;
// raises as the reader does for headers it refuses (EInvalidBitmap, EUnsupportedBitmap,
// EPictureTooLarge, EReadError), before anything is allocated for the picture.
TBitmapDescription DescribeBitmap(TStream& stream, int64_t available);

enum class TTransparentMode { tmAuto, tmFixed };

// The description of a raster: the bitmap record, the 40-byte info header and the three
// colour masks (as the platform describes a device-independent section).
struct TBitmapRecord {
  int32_t bmType = 0;
  int32_t bmWidth = 0;
  int32_t bmHeight = 0;
  int32_t bmWidthBytes = 0;
  uint16_t bmPlanes = 0;
  uint16_t bmBitsPixel = 0;
  uint8_t* bmBits = nullptr;
};

struct TDIBSection {
  TBitmapRecord dsBm;
  TBitmapInfoHeader dsBmih;  // biSize is 0 while the picture has no section description
  uint32_t dsBitfields[3] = {0, 0, 0};
};

// Reference-counted holder of a shared store (the count is the shared_ptr's).
class TSharedImage {
 public:
  virtual ~TSharedImage() = default;
};

// The memory of a store's pixels: a block of its own, or a share of a larger block (the
// file image a memory stream read, whose rows the store took over instead of copying
// them).
class TPixelMemory {
 public:
  uint8_t* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }
  // A new block of `bytes` bytes, not initialised; false without memory.
  bool Allocate(size_t bytes);
  // The pixels at `data` inside `block`, which lives as long as the store holds it.
  void Adopt(std::shared_ptr<uint8_t> block, uint8_t* data);
  // Whether something besides this store holds the block (a memory stream still open on
  // the file image): the store then copies its pixels before it changes them.
  bool Shared() const { return block_.use_count() > 1; }

 private:
  std::shared_ptr<uint8_t> block_;
  uint8_t* data_ = nullptr;
};

// One pixel store. The pixels are kept as a section would keep them: rows of
// ((width * bits + 31) / 32) * 4 bytes, bottom-up unless the description's height is
// negative. A device-dependent picture (pixel format Device) is a 24-bit store in the same
// layout, bottom-up, marked as having no section.
class TBitmapImage : public TSharedImage {
 public:
  TBitmapImage() = default;
  TBitmapImage(const TBitmapImage&) = delete;
  TBitmapImage& operator=(const TBitmapImage&) = delete;

  // A private copy for a change: pixels, description, colour table and palette, but not
  // the saved stream of a compressed file (every change drops it). Without `copy_pixels`
  // the copy's pixels are allocated but not filled, for a caller that writes all of them.
  std::shared_ptr<TBitmapImage> Clone(bool copy_pixels = true) const;

  bool HasPixels() const { return static_cast<bool>(pixels); }
  // Gives the store `bytes` bytes of pixels, not initialised; EOutOfMemory without memory.
  void Allocate(size_t bytes);
  bool IsSection() const { return DIBInfo.dsBmih.biSize != 0; }

  TPixelMemory pixels;  // empty for an empty picture
  size_t pixel_bytes = 0;
  TDIBSection DIBInfo;
  // The section's colour table: 2^bits entries for 8 bits or fewer, none above.
  std::vector<TRGBQuad> color_table;
  TPaletteHandle palette;
  std::shared_ptr<TMemoryStream> SavedStream;
  bool OS2Format = false;
  bool Halftone = false;
};

// Raises the scan-line error (EInvalidGraphicOperation).
[[noreturn]] void ThrowRowOutOfRange();

// Row addresses of a store taken once, for kernels that visit many rows, also from several
// threads at a time (every row written by one thread only). Valid until the bitmap is
// changed in another way. A row outside the picture raises EInvalidGraphicOperation.
template <class Byte>
class TRowsOf {
 public:
  TRowsOf() = default;
  TRowsOf(Byte* top, ptrdiff_t step, int height) : top_(top), step_(step), height_(height) {}
  Byte* operator[](int row) const {
    if (row < 0 || row >= height_) ThrowRowOutOfRange();
    return top_ + step_ * row;
  }
  int Height() const { return height_; }

 private:
  Byte* top_ = nullptr;
  ptrdiff_t step_ = 0;  // from one row to the next one down
  int height_ = 0;
};
using TRows = TRowsOf<uint8_t>;
using TConstRows = TRowsOf<const uint8_t>;

// Where the pixel bytes of a described picture come from: `available` bytes, of which
// `read` copies up to `count` to `dest` and returns how many it copied.
struct TPixelSource {
  uint64_t available = 0;
  std::function<size_t(uint8_t* dest, size_t count)> read;
  // When the bytes lie in a block that a store may keep (a memory stream's): the block,
  // the first byte, and how to move past `count` bytes without copying them.
  std::shared_ptr<uint8_t> block;
  uint8_t* data = nullptr;
  std::function<void(size_t count)> skip;

  static TPixelSource FromMemory(const uint8_t* data, size_t size);
  // The bytes from the stream's position on; reads straight into the store.
  static TPixelSource FromStream(TStream& stream, int64_t available);
};

// Decodes rows of a picture in its pixel format, whatever it is, into blue, green, red
// bytes: palette indices become their colour-table colours (an index beyond the table is
// black), 16- and 32-bit pixels are taken apart with their masks and each channel of n bits
// is widened to 8 as round(v * 255 / (2^n - 1)), the fourth byte of 32-bit pixels is
// dropped. For 1, 4 and 8 bits it also gives the indices themselves. Made once for many
// rows (it prepares tables); it holds what it needs, so it stays valid when the picture
// changes, but rows must be the picture's as it was.
class TRowDecoder {
 public:
  explicit TRowDecoder(const TBitmap& bitmap);
  explicit TRowDecoder(const TBitmapImage& image);
  // Pixels first .. first + count - 1 of `row` (a row of the picture's store, as
  // ConstScanline gives it) as 3 * count bytes.
  void Decode(const uint8_t* row, uint8_t* bgr, int count, int first = 0) const;
  // Pixels first .. first + count - 1 of `row` as one palette index a byte (1, 4 or 8 bits
  // per pixel only).
  void Indices(const uint8_t* row, uint8_t* indices, int count, int first = 0) const;
  // Bits per pixel of the rows decoded (24 for a device-dependent picture).
  int Bits() const { return bits_; }

 private:
  void Prepare(const TDIBSection& d, const std::vector<TRGBQuad>& table, bool section);
  struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    std::vector<uint8_t> widen;  // value -> 8 bits, when max is small enough to tabulate
    uint8_t Get(uint32_t pixel) const;
  };
  int bits_ = 0;
  bool plain32_ = false;  // 32 bits with the masks 0xFF0000, 0xFF00, 0xFF
  std::vector<TRGBQuad> table_;
  Channel red_, green_, blue_;
};

class TBitmap : public TGraphic {
  LV_GRAPHIC_CLASS_DECL(TBitmap)

 public:
  TBitmap();
  ~TBitmap() override;

  bool Empty() const override;
  int Width() const override;
  int Height() const override;
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  // Width and height at once, for a caller that writes every pixel next: the store is
  // rebuilt as setting both would rebuild it (its kind, format, palette and description),
  // but the pixels are neither kept nor filled, and their content is undefined.
  void SetSizeForOverwrite(int width, int height);
  // Makes this bitmap a plain 24-bit picture of source's size (a bottom-up section without
  // palette, colour counts, resolution or saved stream, as a new 24-bit raster is) holding
  // source's pixels, and leaves source empty, without copying: for a caller that turns a
  // picture it no longer needs into a new one in place. Only for a 24-bit bottom-up
  // section with the plain row stride whose store no other bitmap or stream shares; for
  // any other source nothing changes and the result is false.
  bool TakePixelsOf(TBitmap& source);

  TPixelFormat PixelFormat() const;
  void SetPixelFormat(TPixelFormat value);

  // All rows at once, as Scanline gives them (the same change, made once).
  TRows Rows();
  // All rows at once for a caller that writes every pixel next: as Rows, but a store
  // shared with another bitmap is replaced by a new one of the same description without
  // copying the pixels, whose content is then undefined.
  TRows RowsForOverwrite();
  // All rows at once, read only, as ConstScanline gives them.
  TConstRows ConstRows() const;
  // The address of row `row` (0 = top). Counts as a change: the store becomes private,
  // colours used and important colours are cleared, the saved stream is dropped, and a
  // device-dependent picture becomes a section first. Raises EInvalidGraphicOperation for
  // a row outside 0..Height-1.
  uint8_t* Scanline(int row);
  // Read-only access to row `row` (0 = top) in the store's present format; never copies
  // and changes nothing. Raises EInvalidGraphicOperation for a row out of range.
  const uint8_t* ConstScanline(int row) const;
  // Bytes per row of the present store.
  int RowStride() const;
  // Bits per pixel of the present store (24 for a device-dependent picture).
  int BitsPerPixel() const;

  void Assign(const TGraphic* source) override;
  // A private store now, without any other change (what a change does first).
  void Changing();

  // BMP file image: reading replaces the picture only when the whole image was read.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // What the last read learned that a person should know although it succeeded: the note
  // for a file cut short (CutShortNote), or empty.
  const std::string& ReadNote() const { return read_note_; }
  // The form-resource variant: a 32-bit size word, then the file image.
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) override;

  // Makes the bitmap hold a described picture: a checked info header, its colour table
  // (header.colours entries) and its pixel bytes as the header lays them out (rows, or
  // run-length data). Of the pixel bytes, the image size (the header's, or the rows' when
  // it is 0) is taken as far as the source holds them; the rest of the store stays zero.
  // Uncompressed rows become a section; run-length data is decoded into a device-dependent
  // 24-bit picture, and `saved` (the file image as read) is kept to be written back
  // unchanged. A colour table with entries also gives the palette. The picture replaces
  // the old one only when all of this succeeded. The BMP reader, the plug-in host and the
  // GIF library's row writer hand their pictures over here.
  void AdoptPixelStore(const TCheckedInfoHeader& header, const std::vector<TRGBQuad>& colours,
                       const TPixelSource& pixels, std::shared_ptr<TMemoryStream> saved = nullptr);

  // The description of the store (see TDIBSection).
  const TDIBSection& DIBInfo() const;
  // The section's colour table (empty above 8 bits per pixel and for device pictures).
  const std::vector<TRGBQuad>& ColorTable() const;
  TPaletteHandle Palette() const;
  // Replaces the palette; for 8 bits or fewer the colour table follows it.
  void SetPalette(const TPaletteHandle& palette);
  bool HandleAllocated() const { return !Empty(); }
  bool IsSection() const;
  bool OS2Format() const;
  bool IsHalftonePalette() const;
  // The stored bytes of a compressed file as read, or null.
  const TMemoryStream* SavedStream() const;
  // Whether a change would first copy the store: another bitmap shares it, or it keeps
  // the rows of a memory stream that is still open.
  bool StoreShared() const { return image_.use_count() > 1 || image_->pixels.Shared(); }
  // Whether two bitmaps share one store (for tests of copy on write).
  bool SharesImageWith(const TBitmap& other) const { return image_ == other.image_; }

  // The colour that counts as transparent when Transparent is set: with tmAuto the
  // bottom-left pixel's colour, with tmFixed TransparentColor.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor value);
  TTransparentMode TransparentMode() const { return transparent_mode_; }
  void SetTransparentMode(TTransparentMode value) { transparent_mode_ = value; }
  // The bitmap's canvas, made on first use and kept with the bitmap (not with copies).
  TCanvas& Canvas();
  bool HasCanvas() const { return canvas_ != nullptr; }
  // The fill colour of new area: the canvas's brush colour, white without a canvas.
  TColor BrushColor() const;

  // Draws this picture scaled into rect (nearest source pixel for every target pixel).
  void Draw(TCanvas& canvas, const TRect& rect) const override;

  // The colour (as TColor) of pixel (x, y), whatever the store's format. Slow; for tests
  // and small pictures.
  TColor Pixel(int x, int y) const;

 protected:
  // Reads a BMP file image of `available` bytes from stream into a new store.
  void ReadStream(TStream& stream, int64_t available);
  void ReplaceImage(std::shared_ptr<TBitmapImage> image);
  const TBitmapImage& Image() const { return *image_; }

 private:
  friend class TCanvas;
  void SetSize(int width, int height, bool fill = true);
  void MakeSection();
  // A row to draw on: the store becomes private and the saved stream goes, but the
  // picture keeps its kind (a device-dependent picture stays one).
  uint8_t* CanvasRow(int row);

  std::shared_ptr<TBitmapImage> image_;
  TColor transparent_color_ = clNone;
  TTransparentMode transparent_mode_ = TTransparentMode::tmAuto;
  std::unique_ptr<TCanvas> canvas_;
  std::string read_note_;
};
