#include "raster/Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "platform/Memory.h"
#include "platform/MemoryStream.h"
#include "platform/NearestColor.h"
#include "platform/Palettes.h"
#include "raster/Canvas.h"
#include "raster/PixelRows.h"

LV_GRAPHIC_CLASS_IMPL(TBitmap, &TGraphic::Class())

bool TPixelMemory::Allocate(size_t bytes) {
  auto* p = static_cast<uint8_t*>(AllocatePixelMemory(bytes));
  if (p == nullptr) return false;
  block_ = std::shared_ptr<uint8_t>(p, [](uint8_t* q) { ReleasePixelMemory(q); });
  data_ = p;
  return true;
}

void TPixelMemory::Adopt(std::shared_ptr<uint8_t> block, uint8_t* data) {
  block_ = std::move(block);
  data_ = block_ ? data : nullptr;
}

void TBitmapImage::Allocate(size_t bytes) {
  if (!pixels.Allocate(bytes)) throw EOutOfMemory(SOutOfMemory);
  pixel_bytes = bytes;
}

void ThrowRowOutOfRange() {
  throw EInvalidGraphicOperation(SScanLine);
}

namespace {

TStoreSize CheckedStoreSize(int width, int height, int bits) {
  const auto size = ComputeStoreSize(width, height, bits);
  if (!size) throw EPictureTooLarge(width, height, bits, MaxPixelStoreBytes());
  return *size;
}

// The description of a new section (or of a device-dependent picture when bits is 0):
// bottom-up unless `height` is negative.
TDIBSection Describe(int width, int height, int bits, uint32_t compression, const uint32_t* masks) {
  TDIBSection d;
  const int abs_height = height < 0 ? -height : height;
  const int store_bits = bits == 0 ? 24 : bits;
  d.dsBm.bmWidth = width;
  d.dsBm.bmHeight = abs_height;
  d.dsBm.bmWidthBytes = static_cast<int32_t>(BytesPerScanline(
      static_cast<uint32_t>(std::max(width, 0)), static_cast<uint32_t>(store_bits)));
  d.dsBm.bmPlanes = 1;
  d.dsBm.bmBitsPixel = static_cast<uint16_t>(store_bits);
  if (bits != 0) {
    d.dsBmih.biSize = kInfoHeaderSize;
    d.dsBmih.biWidth = width;
    d.dsBmih.biHeight = height;
    d.dsBmih.biPlanes = 1;
    d.dsBmih.biBitCount = static_cast<uint16_t>(bits);
    d.dsBmih.biCompression = compression;
    d.dsBmih.biSizeImage = static_cast<uint32_t>(static_cast<uint64_t>(d.dsBm.bmWidthBytes) *
                                                 static_cast<uint64_t>(abs_height));
    if (compression == BI_BITFIELDS && masks != nullptr) std::copy(masks, masks + 3, d.dsBitfields);
  }
  return d;
}

// The colour table of a section of `bits` per pixel made from a palette: its entries (at
// most 2^bits) followed by zeros up to 2^bits.
std::vector<TRGBQuad> TableFromPalette(const TPaletteHandle& palette, int bits) {
  std::vector<TRGBQuad> table;
  if (bits > 8) return table;
  table.resize(size_t{1} << bits);
  const auto entries = GetPaletteEntries(palette);
  for (size_t i = 0; i < entries.size() && i < table.size(); ++i) table[i] = ToRGBQuad(entries[i]);
  return table;
}

TPaletteHandle BlackAndWhitePalette() {
  return CreatePalette({TPaletteEntry{0, 0, 0, 0}, TPaletteEntry{255, 255, 255, 0}});
}

// Makes a store with the description's size and allocates its pixels (none when a
// dimension is 0).
std::shared_ptr<TBitmapImage> NewImage(const TDIBSection& description) {
  auto image = std::make_shared<TBitmapImage>();
  image->DIBInfo = description;
  const int width = description.dsBm.bmWidth;
  const int height = description.dsBm.bmHeight;
  if (width > 0 && height > 0) {
    const TStoreSize size = CheckedStoreSize(width, height, description.dsBm.bmBitsPixel);
    image->Allocate(size.total);
    image->DIBInfo.dsBm.bmBits = image->pixels.get();
    ZeroRowPadding(*image);
  }
  image->DIBInfo.dsBm.bmBits = image->pixels.get();
  return image;
}

uint8_t NearestIndex(const std::vector<TRGBQuad>& table, TColor colour) {
  if (table.empty()) return 0;
  TNearestColorMap map(table);
  return map.Find(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// The 5-6-5 masks of the 16-bit format with bit fields.
constexpr uint32_t kMasks565[3] = {0xF800, 0x07E0, 0x001F};

// What a pixel format is made as: bits per pixel, compression and the palette it takes.
struct TFormatTarget {
  int bits = 24;
  uint32_t compression = BI_RGB;
  TPaletteHandle palette;
};

TFormatTarget TargetOf(TPixelFormat format, const TBitmapImage& old) {
  TFormatTarget target;
  target.palette = old.palette;
  switch (format) {
    case TPixelFormat::Bits1:
      target.bits = 1;
      if (!old.IsSection() || !target.palette) target.palette = BlackAndWhitePalette();
      break;
    case TPixelFormat::Bits4:
      target.bits = 4;
      target.palette = SixteenColorPalette();
      break;
    case TPixelFormat::Bits8:
      target.bits = 8;
      target.palette = CreateHalftonePalette();
      break;
    case TPixelFormat::Bits15:
      target.bits = 16;
      break;
    case TPixelFormat::Bits16:
      target.bits = 16;
      target.compression = BI_BITFIELDS;
      break;
    case TPixelFormat::Bits32:
      target.bits = 32;
      break;
    default:
      break;
  }
  return target;
}

// Copies the old store's pixels into a new store of the same size in the target format,
// in bands of rows.
void ConvertRows(const TBitmapImage& old, TBitmapImage& image, const TFormatTarget& target) {
  const int width = old.DIBInfo.dsBm.bmWidth;
  const int height = old.DIBInfo.dsBm.bmHeight;
  const int bits = target.bits;
  const TRowDecoder decoder(old);
  uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  if (bits == 16) {
    if (target.compression == BI_BITFIELDS)
      std::copy(kMasks565, kMasks565 + 3, masks);
    else
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  }
  const TBitmapImage& store = image;
  // Rows of 24-bit pixels (a 24-bit section or a device picture) need no decoding.
  const bool plain = decoder.Bits() == 24;
  ForEachBand(height, int64_t{4} * width, [&](int first, int last) {
    std::vector<uint8_t> bgr(plain ? 0 : static_cast<size_t>(width) * 3);
    const auto colours = [&](int y) {
      if (plain) return static_cast<const uint8_t*>(RowAddress(old, y));
      decoder.Decode(RowAddress(old, y), bgr.data(), width);
      return static_cast<const uint8_t*>(bgr.data());
    };
    if (bits > 8) {
      // A deeper format: the colours are converted straight into the new store.
      for (int y = first; y < last; ++y)
        EncodeRowFromBGR(colours(y), RowAddress(store, y), width, bits, masks);
      return;
    }
    // Into a palette format: every colour is mapped to its nearest colour-table entry.
    // Each band has its own map, which learns the cells its colours fall into.
    TNearestColorMap map(store.color_table);
    std::vector<uint8_t> indices(bits == 8 ? 0 : static_cast<size_t>(width));
    for (int y = first; y < last; ++y) {
      if (bits == 8) {
        map.MapBGR(colours(y), RowAddress(store, y), width);
      } else {
        map.MapBGR(colours(y), indices.data(), width);
        PackIndices(indices.data(), RowAddress(store, y), width, bits);
      }
    }
  });
}

}  // namespace

std::shared_ptr<TBitmapImage> TBitmapImage::Clone(bool copy_pixels) const {
  auto copy = std::make_shared<TBitmapImage>();
  copy->DIBInfo = DIBInfo;
  if (pixels) {
    copy->Allocate(pixel_bytes);
    if (copy_pixels) {
      std::memcpy(copy->pixels.get(), pixels.get(), pixel_bytes);
    } else {
      copy->DIBInfo.dsBm.bmBits = copy->pixels.get();
      ZeroRowPadding(*copy);
    }
  }
  copy->DIBInfo.dsBm.bmBits = copy->pixels.get();
  copy->color_table = color_table;
  copy->palette = palette;
  copy->OS2Format = OS2Format;
  copy->Halftone = Halftone;
  return copy;
}

TBitmap::TBitmap() : image_(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() = default;

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return *canvas_;
}

TColor TBitmap::BrushColor() const {
  return canvas_ ? canvas_->Brush.Color : clWhite;
}

uint8_t* TBitmap::CanvasRow(int row) {
  Changing();
  image_->SavedStream.reset();
  return RowAddress(*image_, row);
}

bool TBitmap::Empty() const {
  return !image_->HasPixels();
}

int TBitmap::Width() const {
  return image_->DIBInfo.dsBm.bmWidth;
}

int TBitmap::Height() const {
  return image_->DIBInfo.dsBm.bmHeight;
}

int TBitmap::RowStride() const {
  return image_->DIBInfo.dsBm.bmWidthBytes;
}

int TBitmap::BitsPerPixel() const {
  return image_->DIBInfo.dsBm.bmBitsPixel;
}

const TDIBSection& TBitmap::DIBInfo() const {
  return image_->DIBInfo;
}

const std::vector<TRGBQuad>& TBitmap::ColorTable() const {
  return image_->color_table;
}

TPaletteHandle TBitmap::Palette() const {
  return image_->palette;
}

bool TBitmap::IsSection() const {
  return image_->IsSection();
}

bool TBitmap::OS2Format() const {
  return image_->OS2Format;
}

bool TBitmap::IsHalftonePalette() const {
  return image_->Halftone;
}

const TMemoryStream* TBitmap::SavedStream() const {
  return image_->SavedStream.get();
}

void TBitmap::Changing() {
  // A store that shares its block with a memory stream changes a copy too, so that the
  // stream keeps its bytes.
  if (StoreShared()) image_ = image_->Clone();
}

void TBitmap::ReplaceImage(std::shared_ptr<TBitmapImage> image) {
  image_ = std::move(image);
  Changed();
}

TPixelFormat SectionPixelFormat(int bits, uint32_t compression, uint32_t green_mask) {
  switch (bits) {
    case 1:
      return TPixelFormat::Bits1;
    case 4:
      return TPixelFormat::Bits4;
    case 8:
      return TPixelFormat::Bits8;
    case 16:
      if (compression == BI_RGB) return TPixelFormat::Bits15;
      if (compression == BI_BITFIELDS && green_mask == 0x07E0) return TPixelFormat::Bits16;
      return TPixelFormat::Custom;
    case 24:
      return TPixelFormat::Bits24;
    case 32:
      return compression == BI_RGB ? TPixelFormat::Bits32 : TPixelFormat::Custom;
    default:
      return TPixelFormat::Custom;
  }
}

TPixelFormat TBitmap::PixelFormat() const {
  const TDIBSection& d = image_->DIBInfo;
  if (!image_->IsSection()) return TPixelFormat::Device;
  return SectionPixelFormat(d.dsBmih.biBitCount, d.dsBmih.biCompression, d.dsBitfields[1]);
}

void TBitmap::SetPalette(const TPaletteHandle& palette) {
  Changing();
  image_->palette = palette;
  image_->Halftone = false;
  if (image_->IsSection() && image_->DIBInfo.dsBmih.biBitCount <= 8)
    image_->color_table = TableFromPalette(palette, image_->DIBInfo.dsBmih.biBitCount);
  image_->SavedStream.reset();
  Changed();
}

void TBitmap::SetWidth(int value) {
  if (value == Width()) return;
  SetSize(value, Height());
}

void TBitmap::SetHeight(int value) {
  if (value == Height()) return;
  SetSize(Width(), value);
}

// Rebuilds the store at a new size in its present kind and format with its palette: the
// old pixels keep their place at the top-left corner, new area takes the brush colour.
// Without `fill` the pixels are left as the allocation gives them.
void TBitmap::SetSize(int width, int height, bool fill) {
  const TBitmapImage& old = *image_;
  const TDIBSection& od = old.DIBInfo;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  TDIBSection description;
  if (old.IsSection()) {
    const int signed_height = od.dsBmih.biHeight < 0 ? -height : height;
    description = Describe(width, signed_height, od.dsBmih.biBitCount, od.dsBmih.biCompression,
                           od.dsBitfields);
    description.dsBmih.biXPelsPerMeter = od.dsBmih.biXPelsPerMeter;
    description.dsBmih.biYPelsPerMeter = od.dsBmih.biYPelsPerMeter;
  } else {
    description = Describe(width, height, 0, BI_RGB, nullptr);
  }
  auto image = NewImage(description);
  image->palette = old.palette;
  image->Halftone = old.Halftone;
  image->OS2Format = old.OS2Format;
  if (old.IsSection()) image->color_table = old.color_table;
  if (image->HasPixels() && fill) {
    const int bits = description.dsBm.bmBitsPixel;
    const TColor brush = BrushColor();
    const uint8_t index = bits <= 8 ? NearestIndex(image->color_table, brush) : 0;
    const int keep_width = old.HasPixels() ? std::min(width, Width()) : 0;
    const int keep_height = old.HasPixels() ? std::min(height, Height()) : 0;
    const TBitmapImage& store = *image;
    ForEachBand(height, description.dsBm.bmWidthBytes, [&](int first, int last) {
      for (int y = first; y < last; ++y) {
        uint8_t* row = RowAddress(store, y);
        if (y < keep_height && keep_width == width) {
          // The bits after the last pixel of a part-filled byte are fill bits, zero as in
          // every new store (the prefix copy keeps the destination's bits there).
          row[(static_cast<size_t>(width) * bits + 7) / 8 - 1] = 0;
          CopyRowPrefix(RowAddress(old, y), row, width, bits);
          continue;
        }
        FillRow(row, width, bits, description.dsBitfields, brush, index);
        if (y < keep_height) CopyRowPrefix(RowAddress(old, y), row, keep_width, bits);
      }
    });
  }
  ReplaceImage(std::move(image));
}

void TBitmap::SetSizeForOverwrite(int width, int height) {
  if (width == Width() && height == Height()) return;
  SetSize(width, height, false);
}

bool TBitmap::TakePixelsOf(TBitmap& source) {
  if (&source == this) return false;
  const std::shared_ptr<TBitmapImage>& store = source.image_;
  const TDIBSection& d = store->DIBInfo;
  const int width = d.dsBm.bmWidth;
  const int height = d.dsBm.bmHeight;
  if (!store->HasPixels() || store.use_count() > 1 || store->pixels.Shared() ||
      !store->IsSection() || d.dsBmih.biBitCount != 24 || d.dsBmih.biHeight < 0 ||
      d.dsBm.bmWidthBytes !=
          static_cast<int32_t>(BytesPerScanline(static_cast<uint32_t>(width), 24)) ||
      store->pixel_bytes < static_cast<size_t>(d.dsBm.bmWidthBytes) * static_cast<size_t>(height))
    return false;
  auto image = std::make_shared<TBitmapImage>();
  image->DIBInfo = Describe(width, height, 24, BI_RGB, nullptr);
  image->pixels = store->pixels;
  image->pixel_bytes = store->pixel_bytes;
  image->DIBInfo.dsBm.bmBits = image->pixels.get();
  // The fill bytes of every store are zero already, as those of a new one.
  source.ReplaceImage(std::make_shared<TBitmapImage>());
  ReplaceImage(std::move(image));
  return true;
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  const TPixelFormat current = PixelFormat();
  if (value == current) return;
  if (value == TPixelFormat::Custom) throw EInvalidGraphic(SInvalidPixelFormat);
  const TBitmapImage& old = *image_;
  const int width = Width();
  const int height = Height();

  if (value == TPixelFormat::Device) {
    auto image = NewImage(Describe(width, height, 0, BI_RGB, nullptr));
    image->palette = old.palette;
    if (image->HasPixels() && old.HasPixels()) {
      const TRowDecoder decoder(old);
      const TBitmapImage& store = *image;
      ForEachBand(height, int64_t{4} * width, [&](int first, int last) {
        for (int y = first; y < last; ++y)
          decoder.Decode(RowAddress(old, y), RowAddress(store, y), width);
      });
    }
    ReplaceImage(std::move(image));
    return;
  }

  const TFormatTarget target = TargetOf(value, old);
  auto image = NewImage(Describe(width, height, target.bits, target.compression, kMasks565));
  image->color_table = TableFromPalette(target.palette, target.bits);
  image->palette = target.palette;
  if (image->HasPixels() && old.HasPixels()) ConvertRows(old, *image, target);
  ReplaceImage(std::move(image));
}

// Turns a device-dependent picture into a 24-bit section; the store is private already.
void TBitmap::MakeSection() {
  TBitmapImage& image = *image_;
  if (image.IsSection()) return;
  // The device store has the layout of a bottom-up 24-bit section: only the description
  // changes. Resolution and colour counts carried over from a file stay.
  const TBitmapInfoHeader kept = image.DIBInfo.dsBmih;
  image.DIBInfo = Describe(Width(), Height(), 24, BI_RGB, nullptr);
  image.DIBInfo.dsBmih.biXPelsPerMeter = kept.biXPelsPerMeter;
  image.DIBInfo.dsBmih.biYPelsPerMeter = kept.biYPelsPerMeter;
  image.DIBInfo.dsBm.bmBits = image.pixels.get();
}

uint8_t* TBitmap::Scanline(int row) {
  Changing();
  if (image_->HasPixels()) MakeSection();
  image_->DIBInfo.dsBmih.biClrUsed = 0;
  image_->DIBInfo.dsBmih.biClrImportant = 0;
  image_->SavedStream.reset();
  if (row < 0 || row >= Height() || !image_->HasPixels()) throw EInvalidGraphicOperation(SScanLine);
  return RowAddress(*image_, row);
}

const uint8_t* TBitmap::ConstScanline(int row) const {
  if (row < 0 || row >= Height() || !image_->HasPixels()) throw EInvalidGraphicOperation(SScanLine);
  return RowAddress(*image_, row);
}

namespace {

// The rows of a store with pixels, from the top.
template <class Rows>
Rows RowsOf(const TBitmapImage& image) {
  if (!image.HasPixels()) return Rows();
  const int height = image.DIBInfo.dsBm.bmHeight;
  uint8_t* top = RowAddress(image, 0);
  const ptrdiff_t step = height > 1 ? RowAddress(image, 1) - top : 0;
  return Rows(top, step, height);
}

}  // namespace

TRows TBitmap::Rows() {
  if (!image_->HasPixels()) return TRows();
  Scanline(0);
  return RowsOf<TRows>(*image_);
}

TRows TBitmap::RowsForOverwrite() {
  if (!image_->HasPixels()) return TRows();
  if (StoreShared()) image_ = image_->Clone(false);
  return Rows();
}

TConstRows TBitmap::ConstRows() const {
  return RowsOf<TConstRows>(*image_);
}

void TBitmap::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    ReplaceImage(std::make_shared<TBitmapImage>());
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    image_ = bitmap->image_;
    transparent_color_ = bitmap->transparent_color_;
    transparent_mode_ = bitmap->transparent_mode_;
    if (Transparent() != bitmap->Transparent()) SetTransparent(bitmap->Transparent());
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

TColor TBitmap::TransparentColor() const {
  if (transparent_mode_ == TTransparentMode::tmFixed || Empty()) return transparent_color_;
  return Pixel(0, Height() - 1);
}

void TBitmap::SetTransparentColor(TColor value) {
  transparent_color_ = value;
  transparent_mode_ = value == clNone ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
  Changed();
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || x >= Width()) throw EInvalidGraphicOperation(SScanLine);
  const uint8_t* row = ConstScanline(y);
  const TRowDecoder decoder(*image_);
  uint8_t bgr[3];
  decoder.Decode(row, bgr, 1, x);
  return RGBColor(bgr[2], bgr[1], bgr[0]);
}
