#include "gif/GIFColorMap.h"

#include <algorithm>
#include <numeric>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/GIFException.h"
#include "gif/Gifimage.h"

namespace {

[[noreturn]] void IndexError(int index) {
  throw EListError(Format(SListIndexError, index));
}

TGIFColor ToGIFColor(TColor color) {
  return TGIFColor{GetRValue(color), GetGValue(color), GetBValue(color)};
}

}  // namespace

const TGIFColor& TGIFColorMap::Entry(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return entries_[static_cast<size_t>(index)];
}

TColor TGIFColorMap::Color(int index) const {
  const TGIFColor& c = Entry(index);
  return RGBColor(c.Red, c.Green, c.Blue);
}

void TGIFColorMap::SetColor(int index, TColor color) {
  if (index < 0 || index >= Count()) IndexError(index);
  entries_[static_cast<size_t>(index)] = ToGIFColor(color);
}

// Room for at least `requested` entries: 16 for small tables, else the next multiple of
// 32, never above 256.
void TGIFColorMap::Grow(int requested) {
  if (requested <= capacity_) return;
  int capacity = requested <= 16 ? 16 : (requested + 31) / 32 * 32;
  capacity = std::min(capacity, kMaxColors);
  entries_.reserve(static_cast<size_t>(capacity));
  capacity_ = capacity;
}

int TGIFColorMap::Add(TColor color) {
  if (Count() >= kMaxColors) throw GIFException(SGIFColorTableOverflow);
  Grow(Count() + 1);
  entries_.push_back(ToGIFColor(color));
  optimized_ = false;
  return Count() - 1;
}

int TGIFColorMap::AddUnique(TColor color) {
  const int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

int TGIFColorMap::IndexOf(TColor color) const {
  const TGIFColor wanted = ToGIFColor(color);
  if (optimized_) {
    // Sorted by usage: the colours met most often are at the start.
    for (int i = 0; i < Count(); ++i)
      if (entries_[static_cast<size_t>(i)] == wanted) return i;
  } else {
    // New colours are appended: the ones added last are the likeliest.
    for (int i = Count() - 1; i >= 0; --i)
      if (entries_[static_cast<size_t>(i)] == wanted) return i;
  }
  return -1;
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  entries_.erase(entries_.begin() + index);
  optimized_ = false;
}

void TGIFColorMap::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  capacity_ = 0;
  optimized_ = false;
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
  if (&source == this) return;
  Clear();
  Grow(source.Count());
  entries_ = source.entries_;
  optimized_ = source.optimized_;
}

void TGIFColorMap::ImportPalette(const TPaletteHandle& palette) {
  const auto entries = GetPaletteEntries(palette);
  const size_t count = std::min<size_t>(entries.size(), kMaxColors);
  Clear();
  Grow(static_cast<int>(count));
  for (size_t i = 0; i < count; ++i)
    entries_.push_back(TGIFColor{entries[i].peRed, entries[i].peGreen, entries[i].peBlue});
}

void TGIFColorMap::ImportColorTable(std::span<const TRGBQuad> table) {
  const size_t count = std::min<size_t>(table.size(), kMaxColors);
  Clear();
  Grow(static_cast<int>(count));
  for (size_t i = 0; i < count; ++i)
    entries_.push_back(TGIFColor{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
}

int TGIFColorMap::BitsPerPixel() const {
  if (entries_.empty()) return 0;
  int bits = 1;
  while ((1 << bits) < Count()) ++bits;
  return bits;
}

void TGIFColorMap::SaveToStream(TStream& stream) const {
  if (entries_.empty()) return;
  // Always 2^bits entries, as the size field in the flags byte announces.
  std::vector<uint8_t> bytes(size_t{3} << BitsPerPixel(), 0);
  for (size_t i = 0; i < entries_.size(); ++i) {
    bytes[3 * i] = entries_[i].Red;
    bytes[3 * i + 1] = entries_[i].Green;
    bytes[3 * i + 2] = entries_[i].Blue;
  }
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

bool TGIFColorMap::SortByUsage(const std::vector<std::span<uint8_t>>& pixels,
                               const std::vector<uint8_t*>& indices) {
  const int count = Count();
  if (count <= 1) return false;
  optimized_ = true;
  uint64_t use[kMaxColors] = {};
  for (const auto& set : pixels)
    for (const uint8_t p : set) ++use[p];
  // An entry that a transparent index names stays, even when no pixel uses it.
  bool named[kMaxColors] = {};
  for (const uint8_t* index : indices)
    if (*index < count) named[*index] = true;

  std::vector<int> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&use](int a, int b) { return use[a] > use[b]; });
  if (std::is_sorted(order.begin(), order.end())) return false;

  uint8_t map[kMaxColors];
  std::iota(map, map + kMaxColors, 0);  // indices outside the table stay as they are
  std::vector<TGIFColor> sorted;
  sorted.reserve(static_cast<size_t>(count));
  for (const int old : order) {
    if (use[old] == 0 && !named[old]) continue;
    map[old] = static_cast<uint8_t>(sorted.size());
    sorted.push_back(entries_[static_cast<size_t>(old)]);
  }
  entries_ = std::move(sorted);
  for (const auto& set : pixels)
    for (uint8_t& p : set) p = map[p];
  for (uint8_t* index : indices) *index = map[*index];
  return true;
}

bool TGIFGlobalColorMap::Optimize() {
  std::vector<std::span<uint8_t>> pixels;
  std::vector<uint8_t*> indices;
  for (int i = 0; i < image_.Images().Count(); ++i) {
    TGIFSubImage& frame = image_.Images()[i];
    if (frame.ColorMap().Count() > 0) continue;
    pixels.emplace_back(frame.Data(), frame.DataSize());
    if (auto* control = frame.GraphicControlExtension(); control && control->Transparent)
      indices.push_back(&control->TransparentColorIndex);
  }
  return SortByUsage(pixels, indices);
}

bool TGIFLocalColorMap::Optimize() {
  std::vector<std::span<uint8_t>> pixels{{frame_.Data(), frame_.DataSize()}};
  std::vector<uint8_t*> indices;
  if (auto* control = frame_.GraphicControlExtension(); control && control->Transparent)
    indices.push_back(&control->TransparentColorIndex);
  return SortByUsage(pixels, indices);
}
