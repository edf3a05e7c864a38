#include "reveal/Views.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/NamedRows.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"
#include "reveal/Sheet.h"
#include "reveal/ViewRows.h"

namespace {

const char* const kFilterNames[] = {"area", "bilinear", "nearest"};

// even: cells (2i, 2j), what a half-size thumbnail that keeps one pixel in four shows (the
// visible picture); ceil(W/2) x ceil(H/2).
class TEvenRows : public TRowMaker {
 public:
  explicit TEvenRows(const TBitmap& r) : r_(r) {}
  void Row(int y, int from, int to, uint8_t* out) override {
    GatherCells(r_.ConstScanline(2 * y), out, 2 * from, to - from);
  }

 private:
  const TBitmap& r_;
};

// odd: cells (2i + 1, 2j), the same thumbnail at the other phase (the tone-mapped hidden
// picture); floor(W/2) x ceil(H/2). A picture one pixel wide has its odd cells in the odd
// rows: cells (0, 2j + 1), 1 x floor(H/2). A 1 x 1 picture has no odd cell: one mid-grey
// pixel (128, 128, 128).
class TOddRows : public TRowMaker {
 public:
  explicit TOddRows(const TBitmap& r) : r_(r) {}
  void Row(int y, int from, int to, uint8_t* out) override {
    if (r_.Width() >= 2) {
      GatherCells(r_.ConstScanline(2 * y), out, 2 * from + 1, to - from);
    } else if (r_.Height() >= 2) {
      std::memcpy(out, r_.ConstScanline(2 * y + 1), 3);  // one pixel wide: the odd rows
    } else {
      std::memset(out, 128, 3);  // 1 x 1: no odd cell
    }
  }

 private:
  const TBitmap& r_;
};

// average: each 2 x 2 block's mean, rounded half up: what an averaging downscaler shows at
// half size; the blocks of the last column and row of an odd width or height are 2 x 1,
// 1 x 2 or 1 x 1 and average the pixels they have; ceil(W/2) x ceil(H/2).
class TAverageRows : public TRowMaker {
 public:
  explicit TAverageRows(const TBitmap& r) : r_(r) {}
  void Row(int y, int from, int to, uint8_t* out) override {
    const uint8_t* bottom = 2 * y + 1 < r_.Height() ? r_.ConstScanline(2 * y + 1) : nullptr;
    AverageRow(r_.ConstScanline(2 * y), bottom, out, from, to, r_.Width());
  }

 private:
  const TBitmap& r_;
};

// The stretch of levels: round((v - (A - C)) * 255 / 2C) clamped, i.e. the floor of
// (255 d + C) / 2C for d = v - (A - C) >= 0.
uint8_t LevelsByte(int v, const TToneBand& band) {
  const int c = band.contrast;
  const int d = v - (band.average - c);
  if (c == 0) return d < 0 ? 0 : d == 0 ? 128 : 255;
  if (d <= 0) return 0;
  return static_cast<uint8_t>(std::min(255, (255 * d + c) / (2 * c)));
}

TByteMap LevelsMap(const TToneBand& band) {
  CheckBand(band);
  uint8_t table[256];
  for (int v = 0; v < 256; ++v) table[v] = LevelsByte(v, band);
  return TByteMap(table);
}

// levels: R with the band A - C .. A + C stretched to 0 .. 255, rounded half up and clamped:
// what darkening or brightening shows; with C = 0 bytes below A become 0, A itself 128,
// bytes above 255; W x H.
class TLevelsRows : public TRowMaker {
 public:
  TLevelsRows(const TBitmap& r, const TToneBand& band) : r_(r), map_(LevelsMap(band)) {}
  void Row(int y, int from, int to, uint8_t* out) override {
    MapBytes(r_.ConstScanline(y) + 3 * from, out, 3 * static_cast<size_t>(to - from), map_);
  }

 private:
  const TBitmap& r_;
  const TByteMap map_;
};

// hidden: the hidden picture recovered: each odd cell mapped back through the band
// (TInverseTone), each even cell the mean of the odd neighbours it has; W x H. Grey: each
// pixel then its luminance (Luma, Scores.h), the recovery that a codec's blurred colour
// (4:2:0 JPEG) spoils least.
class THiddenRows : public TRowMaker {
 public:
  THiddenRows(const TBitmap& r, const TToneBand& band, bool grey)
      : r_(r), map_(TInverseTone(band).map), grey_(grey) {
    for (auto& row : rows_) row.assign(3 * static_cast<size_t>(r.Width()), 0);
  }
  void Row(int y, int from, int to, uint8_t* out) override {
    ColourRow(y, from, to, out);
    if (!grey_) return;
    for (uint8_t* p = out; p < out + 3 * static_cast<size_t>(to - from); p += 3)
      p[0] = p[1] = p[2] = Luma(p);
  }

 private:
  void ColourRow(int y, int from, int to, uint8_t* out) {
    const int first = std::max(0, from - 1), last = std::min(r_.Width(), to + 1);
    if (y > 0 && y + 1 < r_.Height() && HiddenRowMappingBelowAvailable()) {
      const uint8_t* up = Mapped(y - 1, first, last, last);
      const uint8_t* row = Mapped(y, first, last, last);
      // The row below is mapped here, unless a part made before has it already.
      TRow& slot = slots_[(y + 1) % 3];
      if (!(slot.y == y + 1 && slot.first == first && slot.last == last && slot.done == last)) {
        uint8_t* below = rows_[(y + 1) % 3].data();
        const uint8_t* ahead = y + 2 < r_.Height() ? r_.ConstScanline(y + 2) : nullptr;
        HiddenRowMappingBelow(up, row, r_.ConstScanline(y + 1), ahead, below, map_, out, y, from,
                              to, r_.Width());
        slot = {y + 1, first, last, last};
        return;
      }
    }
    // The rows are mapped back over the pixels from - 1 .. to, as the neighbours need.
    const uint8_t* up = y > 0 ? Mapped(y - 1, first, last, last) : nullptr;
    const uint8_t* row = Mapped(y, first, last, last);
    const uint8_t* down = y + 1 < r_.Height() ? Mapped(y + 1, first, last, last) : nullptr;
    HiddenRow(up, row, down, out, y, from, to, r_.Width());
  }

  // Row y mapped back over first .. upto - 1 at least (of first .. last), kept among the
  // last three (the rows go down the picture).
  const uint8_t* Mapped(int y, int first, int last, int upto) {
    TRow& slot = slots_[y % 3];
    std::vector<uint8_t>& row = rows_[y % 3];
    if (slot.y != y || slot.first != first || slot.last != last) slot = {y, first, last, first};
    if (slot.done < upto) {
      MapBytes(r_.ConstScanline(y) + 3 * slot.done, row.data() + 3 * slot.done,
               3 * static_cast<size_t>(upto - slot.done), map_);
      slot.done = upto;
    }
    return row.data();
  }

  struct TRow {
    int y = -1, first = 0, last = 0, done = 0;
  };
  const TBitmap& r_;
  const TByteMap map_;
  const bool grey_;
  std::vector<uint8_t> rows_[3];
  TRow slots_[3];
};

// The positions of bilinear and nearest sampling along one axis, in integers so that every
// build gives the same bytes. Destination pixel u of n has its centre at source position
// (u + 0.5) * S / n - 0.5, i.e. ((2u + 1) S - n) / 2n; nearest takes the pixel that holds
// (u + 0.5) * S / n. n <= S: a thumbnail never enlarges, so the position is never negative.
struct TTap {
  int index;   // the source pixel (nearest), or the first of two (bilinear)
  int next;    // the second pixel of bilinear, index + 1 within the picture
  int weight;  // the second pixel's weight in 1/65536
};

std::vector<TTap> Taps(int source, int dest, TThumbnailFilter filter) {
  std::vector<TTap> taps(static_cast<size_t>(dest));
  const int64_t s = source, n = dest;
  for (int64_t u = 0; u < n; ++u) {
    TTap& t = taps[static_cast<size_t>(u)];
    if (filter == TThumbnailFilter::tfNearest) {
      t.index = static_cast<int>(std::min<int64_t>(((2 * u + 1) * s) / (2 * n), s - 1));
      t.next = t.index;
      t.weight = 0;
    } else {
      const int64_t position = (2 * u + 1) * s - n;
      t.index = static_cast<int>(position / (2 * n));
      t.weight = static_cast<int>(((position % (2 * n)) * 65536) / (2 * n));
      if (t.index >= source - 1) t.index = source - 1, t.weight = 0;
      t.next = std::min(t.index + 1, source - 1);
    }
  }
  return taps;
}

// thumbnail: R shrunk to a long side of N (see ThumbnailSize) by bilinear sampling at pixel
// centres or by nearest sampling; with area averaging (the resampling's own shrinking) it
// is made whole (AreaThumbnail). These are the filters common viewers use.
class TSampledRows : public TRowMaker {
 public:
  TSampledRows(const TBitmap& r, TViewSize size, TThumbnailFilter filter)
      : r_(r),
        columns_(Taps(r.Width(), size.width, filter)),
        rows_(Taps(r.Height(), size.height, filter)) {}
  void Row(int y, int from, int to, uint8_t* out) override {
    const TTap& ty = rows_[static_cast<size_t>(y)];
    const uint8_t* a = r_.ConstScanline(ty.index);
    const uint8_t* b = r_.ConstScanline(ty.next);
    const int64_t wy = ty.weight;
    for (int u = from; u < to; ++u, out += 3) {
      const TTap& tx = columns_[static_cast<size_t>(u)];
      const int i = 3 * tx.index, j = 3 * tx.next, wx = tx.weight;
      for (int c = 0; c < 3; ++c) {
        const int64_t top = a[i + c] * (65536 - wx) + a[j + c] * wx;
        const int64_t bottom = b[i + c] * (65536 - wx) + b[j + c] * wx;
        out[c] =
            static_cast<uint8_t>((top * (65536 - wy) + bottom * wy + (int64_t{1} << 31)) >> 32);
      }
    }
  }

 private:
  const TBitmap& r_;
  const std::vector<TTap> columns_, rows_;
};

void CheckResult(const TBitmap& result) {
  if (result.Empty() || result.Width() <= 0 || result.Height() <= 0)
    throw EInvalidGraphic(SRevealEmptyPicture);
  if (result.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
}

void CheckOptions(const TViewOptions& options) {
  if (options.size < 1 || options.size > kMaxThumbnailSize)
    throw EInvalidGraphicOperation(
        Format(SRevealInvalidThumbnailSize, options.size, kMaxThumbnailSize));
  CheckBand(options.band);
}

// The views' sizes, makers and captions, as the table below gives them to each view.
TViewSize HalfSize(int width, int height, const TViewOptions&) {
  return {(width + 1) / 2, (height + 1) / 2};
}

TViewSize OddSize(int width, int height, const TViewOptions&) {
  if (width >= 2) return {width / 2, (height + 1) / 2};
  if (height >= 2) return {1, height / 2};
  return {1, 1};
}

TViewSize FullSize(int width, int height, const TViewOptions&) {
  return {width, height};
}

TViewSize ThumbnailViewSize(int width, int height, const TViewOptions& options) {
  return ThumbnailSize(width, height, options.size);
}

TViewSize SheetSize(int width, int height, const TViewOptions& options) {
  return SheetLayout(width, height, options).size;
}

bool Always(const TViewOptions&) {
  return true;
}

bool Never(const TViewOptions&) {
  return false;
}

// The area thumbnail is made by the resampling's shrinking passes, over the whole picture.
bool SampledThumbnail(const TViewOptions& options) {
  return options.filter != TThumbnailFilter::tfArea;
}

template <class Maker>
std::unique_ptr<TRowMaker> Rows(const TBitmap& r, const TViewOptions&) {
  return std::make_unique<Maker>(r);
}

template <class Maker>
std::unique_ptr<TRowMaker> BandRows(const TBitmap& r, const TViewOptions& options) {
  return std::make_unique<Maker>(r, options.band);
}

std::unique_ptr<TRowMaker> HiddenRows(const TBitmap& r, const TViewOptions& options) {
  return std::make_unique<THiddenRows>(r, options.band, options.grey);
}

std::unique_ptr<TRowMaker> SampledRows(const TBitmap& r, const TViewOptions& options) {
  return std::make_unique<TSampledRows>(r, ThumbnailSize(r.Width(), r.Height(), options.size),
                                        options.filter);
}

void AreaThumbnail(const TBitmap& r, const TViewOptions& options, TBitmap& view) {
  ShrinkToSize(r, ThumbnailSize(r.Width(), r.Height(), options.size), view);
}

std::string ThumbnailCaption(const TViewOptions& options) {
  return std::string("thumbnail (") + FilterName(options.filter) + ", " +
         std::to_string(options.size) + ")";
}

// The table of views. The last, sheet, is every other view, each shrunk to at most
// kMaxTileSide on its long side and captioned with its name (Sheet.h).
constexpr TViewRow kViews[] = {
    {TRevealView::rvEven, "even",
     "the cells (2i, 2j): a half-size thumbnail that keeps one pixel in four (the visible "
     "picture)",
     HalfSize, Always, Rows<TEvenRows>, nullptr, true, nullptr},
    {TRevealView::rvOdd, "odd",
     "the cells (2i + 1, 2j): that thumbnail at the other phase (the hidden picture, "
     "tone-mapped)",
     OddSize, Always, Rows<TOddRows>, nullptr, true, nullptr},
    {TRevealView::rvAverage, "average",
     "each 2 x 2 block averaged: a half-size averaging thumbnail", HalfSize, Always,
     Rows<TAverageRows>, nullptr, true, nullptr},
    {TRevealView::rvThumbnail, "thumbnail",
     "the picture shrunk to the thumbnail's long side with its filter, as viewers shrink it",
     ThumbnailViewSize, SampledThumbnail, SampledRows, AreaThumbnail, true, ThumbnailCaption},
    {TRevealView::rvLevels, "levels",
     "the band stretched to 0..255: what darkening or brightening shows", FullSize, Always,
     BandRows<TLevelsRows>, nullptr, true, nullptr},
    {TRevealView::rvHidden, "hidden", "the hidden picture recovered through the band", FullSize,
     Always, HiddenRows, nullptr, true, nullptr},
    {TRevealView::rvSheet, "sheet", "all of these side by side, captioned", SheetSize, Never,
     nullptr, MakeSheet, false, nullptr},
};
static_assert(RowsInOrder(kViews, static_cast<size_t>(TRevealView::rvSheet) + 1));

}  // namespace

void ShrinkToSize(const TBitmap& r, TViewSize size, TBitmap& view) {
  if (size.width == r.Width() && size.height == r.Height()) {
    PrepareRaster(view, size.width, size.height);
    for (int y = 0; y < size.height; ++y)
      std::memcpy(view.Scanline(y), r.ConstScanline(y), 3 * static_cast<size_t>(size.width));
    return;
  }
  if (size.height == r.Height()) {
    PrepareRaster(view, size.width, size.height);
    ShrinkHorizontal(r, view);
    return;
  }
  if (size.width == r.Width()) {
    PrepareRaster(view, size.width, size.height);
    ShrinkVertical(r, view);
    return;
  }
  TBitmap low;
  PrepareRaster(low, r.Width(), size.height);
  ShrinkVertical(r, low);
  PrepareRaster(view, size.width, size.height);
  ShrinkHorizontal(low, view);
}

std::span<const TViewRow> ViewTable() {
  return kViews;
}

const TViewRow& ViewRowOf(TRevealView view) {
  return RowOf(ViewTable(), view);
}

const char* ViewName(TRevealView view) {
  return ViewRowOf(view).name;
}

const char* FilterName(TThumbnailFilter filter) {
  return kFilterNames[static_cast<int>(filter)];
}

bool ViewFromName(const std::string& name, TRevealView& view) {
  const TViewRow* row = RowNamed(ViewTable(), name);
  if (row != nullptr) view = row->value;
  return row != nullptr;
}

bool FilterFromName(const std::string& name, TThumbnailFilter& filter) {
  for (TThumbnailFilter f : kAllFilters)
    if (name == FilterName(f)) {
      filter = f;
      return true;
    }
  return false;
}

TViewSize ThumbnailSize(int width, int height, int long_side) {
  if (std::max(width, height) <= long_side) return {width, height};
  const auto scaled = [long_side](int other, int longer) {
    const int64_t s = (int64_t{other} * long_side + longer / 2) / longer;
    return static_cast<int>(std::max<int64_t>(1, s));
  };
  if (width >= height) return {long_side, scaled(height, width)};
  return {scaled(width, height), long_side};
}

TViewSize ViewSize(int width, int height, const TViewOptions& options) {
  return ViewRowOf(options.view).size(width, height, options);
}

bool ViewHasParts(const TViewOptions& options) {
  return ViewRowOf(options.view).in_parts(options);
}

std::string ViewCaption(const TViewOptions& options) {
  const TViewRow& row = ViewRowOf(options.view);
  return row.caption != nullptr ? row.caption(options) : row.name;
}

void PrepareRaster(TBitmap& picture, int width, int height) {
  if (picture.PixelFormat() == TPixelFormat::Bits24 && picture.IsSection() &&
      picture.Width() == width && picture.Height() == height && !picture.Empty())
    return;
  picture.Assign(nullptr);
  picture.SetPixelFormat(TPixelFormat::Bits24);
  picture.SetWidth(width);
  picture.SetHeight(height);
}

void MakeView(const TBitmap& result, const TViewOptions& options, TBitmap& view) {
  CheckResult(result);
  CheckOptions(options);
  const TViewRow& row = ViewRowOf(options.view);
  if (!row.in_parts(options)) {
    row.whole(result, options, view);
    return;
  }
  const TViewSize size = row.size(result.Width(), result.Height(), options);
  const auto rows = row.rows(result, options);
  PrepareRaster(view, size.width, size.height);
  for (int y = 0; y < size.height; ++y) rows->Row(y, 0, size.width, view.Scanline(y));
}

void MakeViewPart(const TBitmap& result, const TViewOptions& options, int left, int top, int width,
                  int height, TBitmap& part) {
  CheckResult(result);
  CheckOptions(options);
  const TViewSize size = ViewSize(result.Width(), result.Height(), options);
  if (left < 0 || top < 0 || width < 1 || height < 1 || left + width > size.width ||
      top + height > size.height)
    throw EInvalidGraphicOperation(SScanLine);
  PrepareRaster(part, width, height);
  if (ViewHasParts(options)) {
    const auto rows = ViewRowOf(options.view).rows(result, options);
    for (int y = 0; y < height; ++y) rows->Row(top + y, left, left + width, part.Scanline(y));
    return;
  }
  TBitmap whole;
  MakeView(result, options, whole);
  for (int y = 0; y < height; ++y)
    std::memcpy(part.Scanline(y), whole.ConstScanline(top + y) + 3 * static_cast<size_t>(left),
                3 * static_cast<size_t>(width));
}
