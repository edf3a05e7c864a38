// Building a frame from a picture: the colour reduction, the import of the reduced
// picture's indices and colours, and the transparency mask.
#include <cstring>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "gif/DIB.h"
#include "gif/GIFException.h"
#include "gif/GIFSubImage.h"
#include "gif/Gifimage.h"
#include "gif/ReduceColors.h"
#include "raster/Bitmap.h"
#include "raster/Picture.h"

namespace {

bool IsPaletteFormat(TPixelFormat format) {
  return format == TPixelFormat::Bits1 || format == TPixelFormat::Bits4 ||
         format == TPixelFormat::Bits8;
}

// The pixels of a transparent bitmap that have its transparent colour: 1 there, else 0.
std::vector<uint8_t> TransparencyMask(const TBitmap& source) {
  const TColor transparent = source.TransparentColor();
  TBitmap copy;
  copy.Assign(&source);
  TDIBReader reader(copy, TPixelFormat::Bits24);
  const int width = reader.Width();
  std::vector<uint8_t> mask(static_cast<size_t>(width) * static_cast<size_t>(reader.Height()));
  uint8_t* m = mask.data();
  for (int y = 0; y < reader.Height(); ++y) {
    const uint8_t* row = reader.ScanLine(y);
    for (int x = 0; x < width; ++x, ++m)
      *m = RGBColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]) == transparent ? 1 : 0;
  }
  return mask;
}

}  // namespace

void TGIFSubImage::Assign(const TGraphic* source) {
  if (source == nullptr) {
    Clear();
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    AssignBitmap(*bitmap);
    return;
  }
  if (source->Empty()) {
    Clear();
    return;
  }
  // Any other graphic goes through a bitmap of its own; one that a bitmap cannot take
  // raises EConvertError. (Drawing it instead would give a blank picture: on this
  // platform only bitmaps draw.)
  TBitmap bitmap;
  bitmap.Assign(source);
  AssignBitmap(bitmap);
}

void TGIFSubImage::Assign(const TPicture& source) {
  Assign(source.Graphic());
}

void TGIFSubImage::AssignBitmap(const TBitmap& source) {
  Clear();
  if (source.Empty()) return;
  const int width = source.Width();
  const int height = source.Height();
  if (width > kMaxDimension || height > kMaxDimension)
    throw GIFException(SGIFInvalidImageDimensions);

  std::unique_ptr<TBitmap> working;
  if (IsPaletteFormat(source.PixelFormat())) {
    working = std::make_unique<TBitmap>();
    working->Assign(&source);
  } else {
    // The reduction converts the picture it is given; the caller's bitmap stays as it is.
    TBitmap copy;
    copy.Assign(&source);
    working = ReduceColors(copy, image_.ColorReduction(), image_.DitherMode(),
                           image_.ReductionBits(), nullptr);
    // A mode or dither value outside its enumeration, or rmPalette (the image has no
    // palette to give it), leaves the reduced picture empty: a frame of that would have
    // no pixels to read, so the assignment fails and the image keeps what it held.
    if (working->Empty())
      throw GIFException(Format(SGIFNoReducedPicture, ColorReductionLabel(image_.ColorReduction()),
                                DitherModeLabel(image_.DitherMode())));
  }

  SetSize(width, height);
  image_.Progress(TProgressStage::psStarting, 0, false, SGIFConverting.text);
  try {
    const TPixelFormat format = working->PixelFormat();
    const TPixelFormat read_as = IsPaletteFormat(format) ? format : TPixelFormat::Bits24;
    TDIBReader reader(*working, read_as);
    switch (read_as) {
      case TPixelFormat::Bits8:
        if (working->IsSection())
          color_map_.ImportColorTable(working->ColorTable());
        else
          color_map_.ImportPalette(working->Palette());
        ImportRows(reader, 8);
        break;
      case TPixelFormat::Bits4:
        color_map_.ImportPalette(working->Palette());
        ImportRows(reader, 4);
        break;
      case TPixelFormat::Bits1:
        color_map_.ImportPalette(working->Palette());
        ImportRows(reader, 1);
        break;
      default:
        Import24(reader);
        break;
    }
    if (source.Transparent()) ApplyMask(TransparencyMask(source));
  } catch (...) {
    Clear();  // no partial frame
    image_.Progress(TProgressStage::psEnding, 0, false, SGIFConverting.text);
    throw;
  }
  working_ = std::move(working);
  image_.Progress(TProgressStage::psEnding, 100, false, SGIFConverting.text);
}

void TGIFSubImage::ReportRow(int row) {
  if (row % 32 == 0 && row > 0)
    image_.Progress(TProgressStage::psRunning, row * 100 / Height(), false, SGIFConverting.text);
}

void TGIFSubImage::ImportRows(TDIBReader& reader, int bits) {
  const int width = Width();
  for (int y = 0; y < Height(); ++y) {
    ReportRow(y);
    const uint8_t* row = reader.ScanLine(y);
    uint8_t* out = data_.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    switch (bits) {
      case 8:
        std::memcpy(out, row, static_cast<size_t>(width));
        break;
      case 4:  // two pixels per byte, high nibble first
        for (int x = 0; x < width; ++x)
          out[x] = static_cast<uint8_t>(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
        break;
      default:  // eight pixels per byte, most significant bit first
        for (int x = 0; x < width; ++x)
          out[x] = static_cast<uint8_t>((row[x / 8] >> (7 - x % 8)) & 1);
        break;
    }
  }
}

namespace {

// The colours of a colour table by value, for the import's table searches: what AddUnique
// would find by searching the table, without walking up to 256 entries for every colour
// that the recent-colour slots miss. Later entries of equal colour replace earlier ones,
// as the table's own search (from the last entry down) would find them.
class TColorIndexHash {
 public:
  explicit TColorIndexHash(const TGIFColorMap& map) {
    for (int i = 0; i < map.Count(); ++i) Put(map.Color(i), i);
  }
  int Find(TColor colour) const {
    for (uint32_t h = Home(colour);; h = (h + 1) & kMask) {
      if (cells_[h].index < 0) return -1;
      if (cells_[h].colour == colour) return cells_[h].index;
    }
  }
  // At most 256 colours go in, so the table of 1024 cells never fills.
  void Put(TColor colour, int index) {
    uint32_t h = Home(colour);
    while (cells_[h].index >= 0 && cells_[h].colour != colour) h = (h + 1) & kMask;
    cells_[h] = Cell{colour, index};
  }

 private:
  static constexpr int kCellBits = 10;
  static constexpr uint32_t kMask = (1u << kCellBits) - 1;
  // 2^32 divided by the golden ratio: the product spreads colours that differ a little
  // over the whole table (multiplicative hashing), and its top bits pick the cell.
  static constexpr uint32_t kGoldenRatio32 = 2654435761u;
  static uint32_t Home(TColor c) { return (c * kGoldenRatio32) >> (32 - kCellBits); }
  struct Cell {
    TColor colour = 0;
    int index = -1;
  };
  Cell cells_[kMask + 1];
};

}  // namespace

// The table lists the picture's colours in order of first appearance. Eight recent
// colours are remembered, so that most pixels need no search through the table: the slots
// are probed from the last one used backwards.
void TGIFSubImage::Import24(TDIBReader& reader) {
  constexpr uint32_t kEmpty = 0xFFFFFFFF;
  struct Slot {
    uint32_t key = kEmpty;
    uint8_t index = 0;
  };
  Slot slots[8];
  int cursor = 0;
  TColorIndexHash known(color_map_);
  const int width = Width();
  uint8_t* out = data_.data();
  for (int y = 0; y < Height(); ++y) {
    ReportRow(y);
    const uint8_t* row = reader.ScanLine(y);
    for (int x = 0; x < width; ++x, row += 3, ++out) {
      const uint32_t key =
          row[0] | static_cast<uint32_t>(row[1]) << 8 | static_cast<uint32_t>(row[2]) << 16;
      int s = cursor;
      bool found = false;
      for (int probe = 0; probe < 8 && slots[s].key != kEmpty; ++probe, s = (s + 7) & 7) {
        if (slots[s].key == key) {
          *out = slots[s].index;
          cursor = s;
          found = true;
          break;
        }
      }
      if (found) continue;
      // Entries go in as red, green, blue straight away. The table is searched through its
      // hash when it is not sorted by use (an unsorted table is searched from its last
      // entry, which is the entry the hash keeps); a sorted table is searched as it is.
      const TColor colour = RGBColor(row[2], row[1], row[0]);
      int index = color_map_.Optimized() ? color_map_.IndexOf(colour) : known.Find(colour);
      if (index < 0) {
        index = color_map_.AddUnique(colour);
        known.Put(colour, index);
      }
      *out = static_cast<uint8_t>(index);
      cursor = (cursor + 1) & 7;
      slots[cursor] = Slot{key, static_cast<uint8_t>(index)};
    }
  }
}

void TGIFSubImage::ApplyMask(std::span<const uint8_t> mask) {
  if (Empty()) return;
  if (mask.size() != data_.size()) throw GIFException(SGIFInvalidImageDimensions);
  color_map_.Optimize();
  const int count = color_map_.Count();
  if (count < 1 || count >= TGIFColorMap::kMaxColors) return;
  const int t = color_map_.Add(clBlack);
  bool any = false;
  for (size_t i = 0; i < data_.size(); ++i) {
    if (mask[i] != 0) {
      data_[i] = static_cast<uint8_t>(t);
      any = true;
    }
  }
  if (!any) {
    color_map_.Delete(t);
    return;
  }
  // A frame may have one graphic control block: an existing one takes the transparency.
  TGIFGraphicControlExtension* control = GraphicControlExtension();
  if (control == nullptr) {
    auto added = std::make_unique<TGIFGraphicControlExtension>();
    control = added.get();
    extensions_.push_back(std::move(added));
  }
  control->Transparent = true;
  control->TransparentColorIndex = static_cast<uint8_t>(t);
}
