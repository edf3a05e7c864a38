#include "app/web/PageModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/CellRows.h"
#include "platform/MemoryStream.h"
#include "platform/web/SavedFiles.h"
#include "reveal/Band.h"

namespace {

// A 24-bit picture of width x height into slot, each row written by fill_row(y, row).
template <typename FillRow>
void FillPicture(TBitmap& slot, int width, int height, const FillRow& fill_row) {
  if (width <= 0 || height <= 0)
    throw EInvalidGraphicOperation(Format(SInvalidPictureSize, width, height));
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::Bits24);
  picture.SetSizeForOverwrite(width, height);
  const TRows rows = picture.RowsForOverwrite();
  for (int y = 0; y < height; ++y) fill_row(y, rows[y]);
  slot.Assign(&picture);
}

// A picture from the canvas's pixels: red, green, blue, alpha, row 0 at the top.
void FillFromRgba(TBitmap& slot, const uint8_t* rgba, int width, int height) {
  FillPicture(slot, width, height, [rgba, width](int y, uint8_t* out) {
    const uint8_t* in = rgba + size_t(4) * width * y;
    for (int x = 0; x < width; ++x, in += 4, out += 3)
      out[0] = in[2], out[1] = in[1], out[2] = in[0];
  });
}

// Sums bytes from .. from + count - 1 of rows y0 .. y1 - 1 into sums, two rows at a time
// (each pass over the sums adds a pair: half the passes of one row at a time).
template <typename Sum>
void SumRows(const TConstRows& rows, int y0, int y1, int from, int count, Sum* __restrict sums) {
  int y = y0;
  if ((y1 - y0) % 2 != 0) {
    const uint8_t* __restrict row = rows[y++] + from;
    for (int k = 0; k < count; ++k) sums[k] = row[k];
  } else {
    std::fill(sums, sums + count, Sum{0});
  }
  for (; y < y1; y += 2) {
    const uint8_t* __restrict a = rows[y] + from;
    const uint8_t* __restrict b = rows[y + 1] + from;
    for (int k = 0; k < count; ++k) sums[k] = static_cast<Sum>(sums[k] + (Sum{a[k]} + Sum{b[k]}));
  }
}

// The end of view pixel i's span along one axis (starts: each view pixel's first picture
// pixel, as Render's spans give them): the next one's start, at least one pixel on, within
// the picture's size.
int SpanEnd(const std::vector<int>& starts, int i, int size) {
  const int start = starts[static_cast<size_t>(i)];
  return std::min(std::max(start + 1, starts[static_cast<size_t>(i) + 1]), size);
}

// Rounded means without a division per pixel: for a count n below 2^16 and x below
// 256 n, x / n rounded down is (x * r) >> 40 with r = 2^40 / n + 1 (the error x / 2^40
// stays below 1 / n); larger counts divide.
struct TDivisor {
  explicit TDivisor(uint32_t n) : n(n), reciprocal(n < 65536 ? (uint64_t{1} << 40) / n + 1 : 0) {}
  uint32_t Mean(uint32_t sum) const {
    const uint32_t x = sum + n / 2;
    return reciprocal != 0 ? static_cast<uint32_t>((x * reciprocal) >> 40) : x / n;
  }
  uint32_t n;
  uint64_t reciprocal;
};

// The divisors of the pixels of a view row that sums `rows` rows, by the number of columns
// they cover (0 .. widest; 0 as 1).
void Divisors(uint32_t rows, int widest, std::vector<TDivisor>& divisors) {
  divisors.clear();
  for (int columns = 0; columns <= widest; ++columns)
    divisors.emplace_back(rows * static_cast<uint32_t>(std::max(columns, 1)));
}

// View pixels of one view row from the column sums of its rows (sums[3 x + c - from] for
// picture column x and channel c): each the rounded mean of the columns it covers, divided
// by divisors[columns covered].
template <typename Sum>
void MeanPixels(const Sum* sums, int from, const std::vector<int>& xs, int width,
                const std::vector<TDivisor>& divisors, uint8_t* out, int view_width) {
  for (int i = 0; i < view_width; ++i, out += 4) {
    const int x0 = xs[static_cast<size_t>(i)];
    if (x0 < 0 || x0 >= width) continue;
    const int x1 = SpanEnd(xs, i, width);
    uint32_t b = 0, g = 0, r = 0;
    for (const Sum* c = sums + (3 * x0 - from); c < sums + (3 * x1 - from); c += 3)
      b += c[0], g += c[1], r += c[2];
    const TDivisor& divisor = divisors[static_cast<size_t>(x1 - x0)];
    out[0] = static_cast<uint8_t>(divisor.Mean(r));
    out[1] = static_cast<uint8_t>(divisor.Mean(g));
    out[2] = static_cast<uint8_t>(divisor.Mean(b));
    out[3] = 255;
  }
}

// A picture from rows of three bytes a pixel (blue, green, red), row 0 at the top.
void FillFromBgr(TBitmap& slot, const uint8_t* bgr, int width, int height) {
  const size_t line = size_t(3) * static_cast<size_t>(width);
  FillPicture(slot, width, height, [bgr, line](int y, uint8_t* out) {
    std::memcpy(out, bgr + line * static_cast<size_t>(y), line);
  });
}

void FillFromBmp(TBitmap& slot, const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.Write(data, static_cast<int64_t>(size));
  stream.Seek(0, TSeekOrigin::soBeginning);
  slot.LoadFromStream(stream);
}

}  // namespace

const std::vector<TPageSave>& PageSaves() {
  static const std::vector<TPageSave> saves = [] {
    std::vector<TPageSave> list;
    for (const bool band : {true, false})
      for (const TOutputFormat& format : OutputFormats()) {
        if (format.records_band != band) continue;
        const std::string name = format.name;
        const std::vector<std::string> endings = EndingsOf(format);
        const std::string ending = endings.empty() ? std::string() : endings.front();
        std::string title = name + ", full colour";
        if (format.records_band) title += ", the band recorded in the file";
        if (format.panel)
          title = name + ", as the window saves it: the halftone copy on the chart panel";
        list.push_back({format.value, false, name, title, "lumiveil" + ending});
        if (format.palette_form)
          list.push_back({format.value, true, "Palette " + name,
                          name + " reduced to the 256-colour halftone palette as for GIF" +
                              (format.records_band ? ", with the band" : ""),
                          "lumiveil-palette" + ending});
      }
    return list;
  }();
  return saves;
}

TPageModel::TPageModel() = default;

void TPageModel::LoadPixels(bool hidden, const uint8_t* rgba, int width, int height) {
  Load(hidden, [&](TBitmap& slot) { FillFromRgba(slot, rgba, width, height); });
}

void TPageModel::LoadBmp(bool hidden, const uint8_t* data, size_t size) {
  Load(hidden, [&](TBitmap& slot) { FillFromBmp(slot, data, size); });
}

void TPageModel::Load(bool hidden, const std::function<void(TBitmap&)>& fill) {
  // The workflow keeps a failed load silent; a page says why a picture did not load.
  std::string failure;
  const auto loader = [&](TBitmap& slot) {
    try {
      fill(slot);
    } catch (const Exception& e) {
      failure = e.FullMessage();
      throw;
    }
  };
  bool loaded = false;
  try {
    loaded = hidden ? work_.LoadInnerImage(loader) : work_.LoadExternalImage(loader);
  } catch (...) {
    // The preview after a hidden load fails without a hidden picture (the scan-line
    // error), having resized the result: there is no result until both are loaded.
    Refresh();
    throw;
  }
  // Also after a failed load: the workflow recomposes its unmapped preview after any hidden
  // load, and the page's result is always the synthesis.
  Refresh();
  if (!loaded) throw EInvalidGraphic(failure.empty() ? std::string(SInvalidBitmap) : failure);
}

void TPageModel::Refresh() {
  tone_.reset();
  waiting_.clear();
  waiting_count_ = 0;
  scores_.reset();
  reveal_.Assign(nullptr);
  odd_cells_ = std::vector<uint8_t>();
  even_sums_ = std::vector<uint32_t>();
  even_xs_.clear();
  even_ys_.clear();
  if (!work_.ExternalLoaded() || !work_.InnerLoaded()) return;
  // The page has no Synthesize button: what it shows and saves is always the synthesis,
  // as `lumiveil synth` makes it.
  work_.Synthesize();
  scores_ = std::make_unique<TScoreBasis>(work_.ExternalBitmap(), work_.InnerBitmap());
}

// The workflow's handlers as a batch job's: the sliders and their limit change, and the
// mapping is left to MapRows.
void TPageModel::SetAverage(int average) {
  work_.BatchJob = true;
  work_.AverageTrackBarChange(average);
  work_.BatchJob = false;
  ToneChanged();
}

void TPageModel::SetContrast(int contrast) {
  work_.BatchJob = true;
  work_.MinMaxTrackBarChange(contrast);
  work_.BatchJob = false;
  ToneChanged();
}

void TPageModel::ToneChanged() {
  if (!HasResult()) return;
  tone_ = std::make_unique<TToneTable>(work_.Average(), work_.Contrast());
  waiting_.assign(static_cast<size_t>(work_.ResultBitmap().Height()), 1);
  waiting_count_ = work_.ResultBitmap().Height();
}

void TPageModel::MapRows(const TRows& rows, int first, int last) {
  if (waiting_count_ == 0) return;
  const TBitmap& result = work_.ResultBitmap();
  const TBitmap& hidden = work_.InnerBitmap();
  // As ApplyInnerTone: only the cells both pictures have (after the synthesis, all).
  const int width = std::min(result.Width(), hidden.Width());
  last = std::min(last, std::min(result.Height(), hidden.Height()));
  const TConstRows from = hidden.ConstRows();
  for (int y = std::max(first, 0); y < last; ++y) {
    if (!waiting_[static_cast<size_t>(y)]) continue;
    MapOddCellsRow(from[y], rows[y], width, y, *tone_);
    waiting_[static_cast<size_t>(y)] = 0;
    --waiting_count_;
  }
}

const TBitmap& TPageModel::Picture(TPagePicture picture) {
  if (picture == TPagePicture::ppResult && waiting_count_ > 0)
    MapRows(work_.ResultBitmap().Rows(), 0, work_.ResultBitmap().Height());
  return Shown(picture);
}

void TPageModel::CopyPicture(TPagePicture which, uint8_t* bgr) {
  const TBitmap& picture = Picture(which);
  if (picture.Empty()) return;
  if (picture.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidBitmap);
  const TConstRows rows = picture.ConstRows();
  const size_t line = size_t(3) * static_cast<size_t>(picture.Width());
  for (int y = 0; y < picture.Height(); ++y)
    std::memcpy(bgr + line * static_cast<size_t>(y), rows[y], line);
}

const TBitmap& TPageModel::Shown(TPagePicture picture) const {
  static const TBitmap none;
  switch (picture) {
    case TPagePicture::ppVisible:
      return work_.ExternalBitmap();
    case TPagePicture::ppHidden:
      return work_.InnerBitmap();
    case TPagePicture::ppResult:
      return HasResult() ? work_.ResultBitmap() : none;
    case TPagePicture::ppReveal:
      return reveal_;
  }
  return reveal_;
}

int TPageModel::Width(TPagePicture picture) const {
  const TBitmap& p = Shown(picture);
  return p.Empty() ? 0 : p.Width();
}

int TPageModel::Height(TPagePicture picture) const {
  const TBitmap& p = Shown(picture);
  return p.Empty() ? 0 : p.Height();
}

void TPageModel::MakeReveal(TRevealView view, int size, TThumbnailFilter filter) {
  if (!HasResult()) throw EInvalidGraphic(SInvalidBitmap);
  const TBitmap& result = Picture(TPagePicture::ppResult);
  TViewOptions options;
  options.view = view;
  options.size = size;
  options.filter = filter;
  options.band = TToneBand{work_.Average(), work_.Contrast()};
  MakeView(result, options, reveal_);
}

double TPageModel::VisibleScore() const {
  return scores_ ? scores_->VisiblePsnr(TToneBand{work_.Average(), work_.Contrast()}) : 0;
}

std::optional<double> TPageModel::HiddenScore() const {
  if (!scores_) return std::nullopt;
  return scores_->HiddenPsnr(TToneBand{work_.Average(), work_.Contrast()});
}

TToneBand TPageModel::FoundBand() {
  if (!HasResult()) return kIdentityBand;
  return FindBand(Picture(TPagePicture::ppResult)).band;
}

void CheckPageResult(const TTarget& target, const TBitmap& result, const TBitmap& visible,
                     const TBitmap& hidden, const TToneBand& band, TTargetCheck& check) {
  TCheckPictures pictures;
  PrepareCheck(result, &visible, &hidden, band, pictures);
  TUpload upload;
  upload.kind = TUploadKind::ukPng;
  upload.has_text = true;
  CheckTarget(ResolveTarget(target.name), pictures, upload, check);
}

void CheckPixels(const TTarget& target, int width, int height, const uint8_t* result,
                 const uint8_t* visible, const uint8_t* hidden, const TToneBand& band,
                 TTargetCheck& check) {
  TBitmap pictures[3];
  FillFromBgr(pictures[0], result, width, height);
  FillFromBgr(pictures[1], visible, width, height);
  FillFromBgr(pictures[2], hidden, width, height);
  CheckPageResult(target, pictures[0], pictures[1], pictures[2], band, check);
}

void TPageModel::CheckTarget(const TTarget& target, TTargetCheck& check) {
  if (!HasResult()) throw EInvalidGraphic(SInvalidBitmap);
  CheckPageResult(target, Picture(TPagePicture::ppResult), work_.ExternalBitmap(),
                  work_.InnerBitmap(), TToneBand{work_.Average(), work_.Contrast()}, check);
}

std::vector<uint8_t> TPageModel::Save(const TPageSave& save) {
  if (!HasResult()) throw EInvalidGraphic(SInvalidBitmap);
  TSaveOptions options(save.format);
  options.indexed = save.indexed;
  options.band = TToneBand{work_.Average(), work_.Contrast()};
  SaveByFormat(Picture(TPagePicture::ppResult), save.file_name, options);
  std::optional<std::vector<uint8_t>> bytes = TakeSavedFile(save.file_name);
  if (!bytes) throw EWriteError(SWriteError);
  return std::move(*bytes);
}

void TPageModel::Render(TPagePicture which, double scale, double left, double top, int view_width,
                        int view_height, uint8_t* rgba) {
  const TBitmap& picture = Shown(which);
  // The result's rows are mapped as the view reaches them (see MapRows).
  const bool result = which == TPagePicture::ppResult;
  if (picture.Empty() || picture.BitsPerPixel() != 24 || scale <= 0 || view_width <= 0 ||
      view_height <= 0)
    return;
  const int width = picture.Width();
  const int height = picture.Height();
  // The picture span of view pixel i along one axis: from floor((origin + i) / scale) up to
  // the start of the next one (at least one pixel); -1 where the view lies outside.
  const auto spans = [scale](double origin, int count, int size) {
    std::vector<int> starts(static_cast<size_t>(count) + 1);
    for (int i = 0; i <= count; ++i) {
      const double position = std::floor((origin * scale + i) / scale);
      starts[static_cast<size_t>(i)] =
          position < 0 ? -1 : static_cast<int>(std::min<double>(position, size));
    }
    return starts;
  };
  const std::vector<int> xs = spans(left, view_width, width);
  const std::vector<int> ys = spans(top, view_height, height);
  if (result && scale < 1 && RenderResultMeans(xs, ys, view_width, view_height, rgba)) return;
  // Rows are mapped in a store of the result's own, made (and its rows taken) first.
  const TRows mapping = result && waiting_count_ > 0 ? work_.ResultBitmap().Rows() : TRows();
  const TConstRows rows = picture.ConstRows();
  if (scale >= 1) {
    for (int j = 0; j < view_height; ++j) {
      const int y = ys[static_cast<size_t>(j)];
      if (y < 0 || y >= height) continue;
      if (result) MapRows(mapping, y, y + 1);
      const uint8_t* row = rows[y];
      uint8_t* out = rgba + size_t(4) * view_width * j;
      for (int i = 0; i < view_width; ++i, out += 4) {
        const int x = xs[static_cast<size_t>(i)];
        if (x < 0 || x >= width) continue;
        const uint8_t* p = row + 3 * x;
        out[0] = p[2], out[1] = p[1], out[2] = p[0], out[3] = 255;
      }
    }
    return;
  }
  // Below 1:1: the rows of each view row summed into per-byte column sums first (a loop
  // the compiler vectorises; 16-bit sums while they cannot overflow), then each view
  // pixel's columns summed and divided. Only the columns the view shows are summed.
  int first_column = width, last_column = 0, widest = 1;
  for (int i = 0; i < view_width; ++i) {
    const int x = xs[static_cast<size_t>(i)];
    if (x < 0 || x >= width) continue;
    const int end = SpanEnd(xs, i, width);
    first_column = std::min(first_column, x);
    last_column = std::max(last_column, end);
    widest = std::max(widest, end - x);
  }
  if (first_column >= last_column) return;
  const int from = 3 * first_column, bytes = 3 * (last_column - first_column);
  std::vector<uint16_t> narrow(static_cast<size_t>(bytes));
  std::vector<uint32_t> wide(static_cast<size_t>(bytes));
  // The divisors of the pixels' counts for the rows summed last (index: columns covered).
  std::vector<TDivisor> divisors;
  uint32_t divisors_rows = 0;
  for (int j = 0; j < view_height; ++j) {
    const int y0 = ys[static_cast<size_t>(j)];
    if (y0 < 0 || y0 >= height) continue;
    const int y1 = SpanEnd(ys, j, height);
    if (result) MapRows(mapping, y0, y1);
    const auto rows_summed = static_cast<uint32_t>(y1 - y0);
    if (rows_summed != divisors_rows) Divisors(rows_summed, widest, divisors);
    divisors_rows = rows_summed;
    uint8_t* out = rgba + size_t(4) * view_width * j;
    if (y1 - y0 <= 257) {
      SumRows(rows, y0, y1, from, bytes, narrow.data());
      MeanPixels(narrow.data(), from, xs, width, divisors, out, view_width);
    } else {
      SumRows(rows, y0, y1, from, bytes, wide.data());
      MeanPixels(wide.data(), from, xs, width, divisors, out, view_width);
    }
  }
}

// A view of the result below 1:1 at a slider step. The result is the synthesis: even cells
// the visible picture's, odd cells the hidden picture's mapped into the band. So a view
// pixel's sum is the sum of its even cells, which no slider changes (kept while the view
// stays), plus the mapped bytes of its odd cells, summed straight from the hidden picture's
// odd cells packed together: half the bytes of the result, and no result row mapped.
bool TPageModel::RenderResultMeans(const std::vector<int>& xs, const std::vector<int>& ys,
                                   int view_width, int view_height, uint8_t* rgba) {
  const TBitmap& result = work_.ResultBitmap();
  const TBitmap& visible = work_.ExternalBitmap();
  const TBitmap& hidden = work_.InnerBitmap();
  const int width = result.Width(), height = result.Height();
  if (visible.BitsPerPixel() != 24 || hidden.BitsPerPixel() != 24 || visible.Width() != width ||
      visible.Height() != height || hidden.Width() != width || hidden.Height() != height)
    return false;
  // 16-bit sums: a view row's sums take at most 257 rows of bytes.
  for (int j = 0; j < view_height; ++j)
    if (ys[static_cast<size_t>(j) + 1] - ys[static_cast<size_t>(j)] > 257) return false;
  // Row y's odd cells are its columns x = 2 q + 1 - (y & 1): the packed cell q of the rows
  // of parity 0 is column 2 q + 1, that of parity 1 column 2 q. Summed per parity and then
  // both together, pair q holds columns 2 q and 2 q + 1; view pixel i covers the pairs
  // from cover[i].first on, and the half pairs at its ends (the odd column x0 of parity 0,
  // the even column x1 - 1 of parity 1) where it starts or ends at an odd column.
  struct TCover {
    int first, pairs;
    int left, right;  // the half pair's q, or -1
    int columns;
  };
  int shown = view_width, shown_end = 0, widest = 1;
  for (int i = 0; i < view_width; ++i) {
    const int x0 = xs[static_cast<size_t>(i)];
    if (x0 < 0 || x0 >= width) continue;
    shown = std::min(shown, i), shown_end = i + 1;
  }
  if (shown >= shown_end) return true;
  std::vector<TCover> cover(static_cast<size_t>(view_width));
  for (int i = shown; i < shown_end; ++i) {
    const int x0 = xs[static_cast<size_t>(i)];
    const int x1 = SpanEnd(xs, i, width);
    TCover& c = cover[static_cast<size_t>(i)];
    c.first = (x0 + 1) >> 1;
    c.pairs = std::max(0, (x1 >> 1) - c.first);
    c.left = (x0 & 1) != 0 ? x0 >> 1 : -1;
    c.right = (x1 & 1) != 0 ? x1 >> 1 : -1;
    c.columns = x1 - x0;
    widest = std::max(widest, c.columns);
  }
  // The packed cells the view covers, of either parity.
  const int from = xs[static_cast<size_t>(shown)] >> 1;
  const int to = (SpanEnd(xs, shown_end - 1, width) + 1) >> 1;
  const size_t stride = size_t(3) * static_cast<size_t>((width + 1) / 2);
  // What is kept is memory beside the pictures: without it the view is summed from the
  // result as before.
  try {
    KeepCells(xs, ys, stride);
  } catch (const std::bad_alloc&) {
    odd_cells_ = std::vector<uint8_t>();
    even_sums_ = std::vector<uint32_t>();
    even_xs_.clear();
    even_ys_.clear();
    return false;
  }
  const TToneTable tone = tone_ ? *tone_ : TToneTable(work_.Average(), work_.Contrast());
  std::vector<uint16_t> sums[2] = {std::vector<uint16_t>(stride), std::vector<uint16_t>(stride)};
  std::vector<uint16_t> pairs(stride);
  std::vector<TDivisor> divisors;
  uint32_t divisors_rows = 0;
  for (int j = 0; j < view_height; ++j) {
    const int y0 = ys[static_cast<size_t>(j)];
    if (y0 < 0 || y0 >= height) continue;
    const int y1 = SpanEnd(ys, j, height);
    for (int p = 0; p < 2; ++p)
      std::fill(sums[p].begin() + 3 * from, sums[p].begin() + 3 * to, uint16_t{0});
    for (int y = y0; y < y1; ++y)
      AddMappedBytes(odd_cells_.data() + odd_stride_ * static_cast<size_t>(y) + 3 * from,
                     3 * (to - from), tone, sums[y & 1].data() + 3 * from);
    {
      const uint16_t* __restrict even_rows = sums[0].data();
      const uint16_t* __restrict odd_rows = sums[1].data();
      uint16_t* __restrict both = pairs.data();
      for (int k = 3 * from; k < 3 * to; ++k)
        both[k] = static_cast<uint16_t>(even_rows[k] + odd_rows[k]);
    }
    const auto rows_summed = static_cast<uint32_t>(y1 - y0);
    if (rows_summed != divisors_rows) Divisors(rows_summed, widest, divisors);
    divisors_rows = rows_summed;
    const uint32_t* even = even_sums_.data() + size_t(3) * (size_t(view_width) * j + shown);
    uint8_t* out = rgba + size_t(4) * (size_t(view_width) * j + shown);
    for (int i = shown; i < shown_end; ++i, out += 4, even += 3) {
      const TCover& c = cover[static_cast<size_t>(i)];
      uint32_t b = even[0], g = even[1], r = even[2];
      const uint16_t* pair = pairs.data() + 3 * c.first;
      for (int k = 0; k < c.pairs; ++k, pair += 3) b += pair[0], g += pair[1], r += pair[2];
      if (c.left >= 0) {
        const uint16_t* half = sums[0].data() + 3 * c.left;
        b += half[0], g += half[1], r += half[2];
      }
      if (c.right >= 0) {
        const uint16_t* half = sums[1].data() + 3 * c.right;
        b += half[0], g += half[1], r += half[2];
      }
      const TDivisor& divisor = divisors[static_cast<size_t>(c.columns)];
      out[0] = static_cast<uint8_t>(divisor.Mean(r));
      out[1] = static_cast<uint8_t>(divisor.Mean(g));
      out[2] = static_cast<uint8_t>(divisor.Mean(b));
      out[3] = 255;
    }
  }
  return true;
}

void TPageModel::KeepCells(const std::vector<int>& xs, const std::vector<int>& ys, size_t stride) {
  if (odd_cells_.empty()) {
    const TBitmap& hidden = work_.InnerBitmap();
    const int width = hidden.Width(), height = hidden.Height();
    odd_cells_.resize(stride * static_cast<size_t>(height));
    const TConstRows rows = hidden.ConstRows();
    for (int y = 0; y < height; ++y) {
      const uint8_t* in = rows[y];
      uint8_t* out = odd_cells_.data() + stride * static_cast<size_t>(y);
      for (int x = (y + 1) & 1; x < width; x += 2, out += 3)
        out[0] = in[3 * x], out[1] = in[3 * x + 1], out[2] = in[3 * x + 2];
    }
    odd_stride_ = stride;
  }
  if (xs != even_xs_ || ys != even_ys_) MakeEvenSums(xs, ys);
}

void TPageModel::MakeEvenSums(const std::vector<int>& xs, const std::vector<int>& ys) {
  const TBitmap& visible = work_.ExternalBitmap();
  const int width = visible.Width(), height = visible.Height();
  const int view_width = static_cast<int>(xs.size()) - 1;
  const int view_height = static_cast<int>(ys.size()) - 1;
  even_sums_.assign(size_t(3) * view_width * view_height, 0);
  const TConstRows rows = visible.ConstRows();
  // Per view row: the bytes of its rows' even cells summed per column (a mask of whole
  // bytes for each row parity, so that the loop vectorises), then per view pixel.
  const size_t bytes = size_t(3) * width;
  std::vector<uint8_t> masks[2] = {std::vector<uint8_t>(bytes), std::vector<uint8_t>(bytes)};
  for (size_t k = 0; k < bytes; ++k)
    for (int p = 0; p < 2; ++p) masks[p][k] = ((k / 3 + p) & 1) == 0 ? 0xFF : 0;
  std::vector<uint32_t> columns(bytes);
  for (int j = 0; j < view_height; ++j) {
    const int y0 = ys[static_cast<size_t>(j)];
    if (y0 < 0 || y0 >= height) continue;
    const int y1 = SpanEnd(ys, j, height);
    std::fill(columns.begin(), columns.end(), 0);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* __restrict row = rows[y];
      const uint8_t* __restrict mask = masks[y & 1].data();
      uint32_t* __restrict sums = columns.data();
      for (size_t k = 0; k < bytes; ++k) sums[k] += row[k] & mask[k];
    }
    uint32_t* out = even_sums_.data() + size_t(3) * view_width * j;
    for (int i = 0; i < view_width; ++i, out += 3) {
      const int x0 = xs[static_cast<size_t>(i)];
      if (x0 < 0 || x0 >= width) continue;
      const int x1 = SpanEnd(xs, i, width);
      for (int x = x0; x < x1; ++x)
        out[0] += columns[3 * x], out[1] += columns[3 * x + 1], out[2] += columns[3 * x + 2];
    }
  }
  even_xs_ = xs;
  even_ys_ = ys;
}
