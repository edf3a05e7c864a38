// Building a frame from a picture: the colour reduction, the import of the reduced
// picture's indices and colours, and the transparency mask.
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "gif/DIB.h"
#include "gif/GIFException.h"
#include "gif/GIFSubImage.h"
#include "gif/Gifimage.h"
#include "gif/ReduceColors.h"
#include "raster/Bitmap.h"
#include "raster/ByteMap.h"
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
    AssignBitmap(*bitmap, false);
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
  AssignBitmap(bitmap, false);
}

void TGIFSubImage::AssignTrueColour(const TBitmap& source) {
  AssignBitmap(source, true);
}

void TGIFSubImage::Assign(const TPicture& source) {
  Assign(source.Graphic());
}

void TGIFSubImage::AssignBitmap(const TBitmap& source, bool true_colour) {
  Clear();
  if (source.Empty()) return;
  const int width = source.Width();
  const int height = source.Height();
  if (width > kMaxDimension || height > kMaxDimension)
    throw GIFException(SGIFInvalidImageDimensions);

  const bool palette = IsPaletteFormat(source.PixelFormat());
  // A palette picture taken as true colour without reduction: its 24-bit copy would hold
  // exactly the table's colours, so the picture is read through its table instead.
  const bool through_table = palette && true_colour && image_.ColorReduction() == rmNone;
  std::unique_ptr<TBitmap> working;
  if (palette && (!true_colour || through_table)) {
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
    if (through_table) {
      std::vector<TRGBQuad> table = working->ColorTable();
      // Indices beyond the table decode as black, as the 24-bit copy has them.
      table.resize(size_t{1} << working->BitsPerPixel());
      ImportThroughTable(reader, table);
    } else {
      switch (read_as) {
        case TPixelFormat::Bits8:
          if (working->IsSection())
            color_map_.ImportColorTable(working->ColorTable());
          else
            color_map_.ImportPalette(working->Palette());
          ImportRows(reader);
          break;
        case TPixelFormat::Bits4:
        case TPixelFormat::Bits1:
          color_map_.ImportPalette(working->Palette());
          ImportRows(reader);
          break;
        default:
          Import24(reader);
          break;
      }
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

// The progress of an import whose rows were done in bands: the same reports, in order,
// once the pixels are done.
void TGIFSubImage::ReportRows() {
  for (int y = 0; y < Height(); ++y) ReportRow(y);
}

void TGIFSubImage::ImportRows(TDIBReader& reader) {
  const int width = Width();
  const TRowDecoder decoder(reader.Bitmap());
  for (int y = 0; y < Height(); ++y) {
    ReportRow(y);
    decoder.Indices(reader.ScanLine(y), data_.data() + static_cast<size_t>(y) * width, width);
  }
}

namespace {

// The colours of a colour table by value, for the import's table searches: what AddUnique
// would find by searching the table, without walking up to 256 entries for every colour
// that the recent-colour slots miss. Later entries of equal colour replace earlier ones,
// as the table's own search (from the last entry down) would find them.
class TColorIndexHash {
 public:
  TColorIndexHash() = default;
  int Find(TColor colour) const {
    for (uint32_t h = Home(colour);; h = (h + 1) & kMask) {
      if (cells_[h].index < 0) return -1;
      if (cells_[h].colour == colour) return cells_[h].index;
    }
  }
  // At most 257 colours go in, so the table of 1024 cells never fills.
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

// The frame's colour table by colour: the entry of each colour, added to the table the first
// time the colour is asked for (which raises "Color table overflow" on a full table).
class TTableEntries {
 public:
  explicit TTableEntries(TGIFColorMap& table) : table_(table) {}
  int operator()(TColor colour) {
    int index = known_.Find(colour);
    if (index < 0) {
      index = table_.AddUnique(colour);
      known_.Put(colour, index);
    }
    return index;
  }

 private:
  TGIFColorMap& table_;
  TColorIndexHash known_;
};

// The distinct colours of a band of pixels in order of first appearance. One more than a
// colour table holds is kept, then the band stops: the table would overflow.
struct TBandColours {
  std::vector<TColor> colours;
  bool full() const { return colours.size() > TGIFColorMap::kMaxColors; }
};

// The colours of rows first .. last - 1 of 24-bit pixels; each pixel's position in the
// band's list goes to `out` (width bytes per row). Eight recent colours are remembered, so
// that most pixels need no search: the slots are probed from the last one used backwards.
TBandColours BandColours24(const TConstRows& rows, int first, int last, int width, uint8_t* out) {
  constexpr uint32_t kEmpty = 0xFFFFFFFF;
  struct Slot {
    uint32_t key = kEmpty;
    uint8_t index = 0;
  };
  Slot slots[8];
  int cursor = 0;
  TColorIndexHash known;
  TBandColours band;
  for (int y = first; y < last; ++y) {
    const uint8_t* row = rows[y];
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
      const TColor colour = RGBColor(row[2], row[1], row[0]);
      int index = known.Find(colour);
      if (index < 0) {
        index = static_cast<int>(band.colours.size());
        band.colours.push_back(colour);
        if (band.full()) return band;
        known.Put(colour, index);
      }
      *out = static_cast<uint8_t>(index);
      cursor = (cursor + 1) & 7;
      slots[cursor] = Slot{key, static_cast<uint8_t>(index)};
    }
  }
  return band;
}

}  // namespace

// The table lists the picture's colours in order of first appearance. The rows are cut
// into bands: each band lists its own colours in order of first appearance and numbers
// its pixels by that list; the lists, taken band after band, then make the frame's table
// (so a colour first met in an earlier band comes first), and the pixels of every band
// but the first (whose list is the table's start) are renumbered. Table, indices and the
// overflow error are those of one pass from the top.
void TGIFSubImage::Import24(TDIBReader& reader) {
  const int width = Width();
  const int height = Height();
  const TConstRows rows = reader.Bitmap().ConstRows();
  const TBands bands = PlanBands(height, int64_t{4} * width);
  std::vector<TBandColours> found(static_cast<size_t>(bands.count));
  const auto band_data = [&](int first) {
    return data_.data() + static_cast<size_t>(first) * static_cast<size_t>(width);
  };
  RunBands(bands, [&](int band, int first, int last) {
    found[static_cast<size_t>(band)] = BandColours24(rows, first, last, width, band_data(first));
  });
  // Entries go in as red, green, blue straight away.
  TTableEntries entry(color_map_);
  std::vector<std::array<uint8_t, TGIFColorMap::kMaxColors>> renumber(found.size());
  for (size_t band = 0; band < found.size(); ++band) {
    const std::vector<TColor>& colours = found[band].colours;
    for (size_t i = 0; i < colours.size(); ++i)
      renumber[band][i] = static_cast<uint8_t>(entry(colours[i]));
  }
  RunBands(bands, [&](int band, int first, int last) {
    if (band == 0) return;
    const auto& to = renumber[static_cast<size_t>(band)];
    uint8_t* p = band_data(first);
    uint8_t* end = band_data(last);
    for (; p != end; ++p) *p = to[*p];
  });
  ReportRows();
}

// A palette picture as the 24-bit picture its table makes of it. The table's colours
// enter the frame's table in the order in which the pixels first show them: for each
// index, the first pixel that has it is found (band by band, the earliest band's answer
// first); the indices are then taken by that first pixel, each giving its colour, so that
// indices of equal colour share one entry; every pixel is then renumbered. Table and
// indices are those of one pass from the top that adds each colour when first met.
void TGIFSubImage::ImportThroughTable(TDIBReader& reader, std::span<const TRGBQuad> table) {
  const int width = Width();
  const int count = static_cast<int>(table.size());
  const TConstRows rows = reader.Bitmap().ConstRows();
  const TRowDecoder decoder(reader.Bitmap());
  const TBands bands = PlanBands(Height(), int64_t{2} * width);
  // Row y as one index a byte, in `indices` where the row packs several into a byte.
  const auto row_indices = [&](int y, std::vector<uint8_t>& indices) {
    if (decoder.Bits() == 8) return rows[y];
    indices.resize(static_cast<size_t>(width));
    decoder.Indices(rows[y], indices.data(), width);
    return static_cast<const uint8_t*>(indices.data());
  };
  using TFirst = std::array<int64_t, TGIFColorMap::kMaxColors>;
  std::vector<TFirst> first_seen(static_cast<size_t>(bands.count));
  const TByteMapKernel kernel = WidestByteMapKernel();
  RunBands(bands, [&](int band, int first, int last) {
    TFirst& seen = first_seen[static_cast<size_t>(band)];
    seen.fill(INT64_MAX);
    int missing = count;
    // The values not met yet, flagged: a row is searched for the first of them at once.
    uint8_t unseen[TGIFColorMap::kMaxColors] = {};
    std::fill_n(unseen, count, uint8_t{1});
    TByteMap flags(unseen);
    std::vector<uint8_t> indices;
    for (int y = first; y < last && missing > 0; ++y) {
      const uint8_t* row = row_indices(y, indices);
      const int64_t at = static_cast<int64_t>(y) * width;
      for (size_t x = 0;; ++x) {
        x += FirstFlagged(kernel, row + x, static_cast<size_t>(width) - x, flags);
        if (x >= static_cast<size_t>(width)) break;
        seen[row[x]] = at + static_cast<int64_t>(x);
        unseen[row[x]] = 0;
        flags = TByteMap(unseen);
        if (--missing == 0) break;
      }
    }
  });
  std::vector<std::pair<int64_t, int>> order;
  for (int v = 0; v < count; ++v) {
    int64_t where = INT64_MAX;
    for (const TFirst& seen : first_seen) where = std::min(where, seen[static_cast<size_t>(v)]);
    if (where != INT64_MAX) order.emplace_back(where, v);
  }
  std::sort(order.begin(), order.end());
  uint8_t renumber[TGIFColorMap::kMaxColors] = {};
  TTableEntries entry(color_map_);
  for (const auto& [where, v] : order) {
    const TRGBQuad& q = table[static_cast<size_t>(v)];
    renumber[v] = static_cast<uint8_t>(entry(RGBColor(q.rgbRed, q.rgbGreen, q.rgbBlue)));
  }
  const TByteMap map(renumber);
  RunBands(bands, [&](int, int first, int last) {
    std::vector<uint8_t> indices;
    for (int y = first; y < last; ++y) {
      uint8_t* const out = data_.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      MapBytesWith(kernel, row_indices(y, indices), out, static_cast<size_t>(width), map);
    }
  });
  ReportRows();
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
      data_.data()[i] = static_cast<uint8_t>(t);
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
