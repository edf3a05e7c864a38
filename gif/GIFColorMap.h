// Colour tables of a GIF file: the global table of the header and the local table of a
// frame. Entries are red, green, blue; at most 256 of them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Colors.h"

class TStream;
class TGIFImage;
class TGIFSubImage;

struct TGIFColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap {
 public:
  static constexpr int kMaxColors = 256;

  virtual ~TGIFColorMap() = default;

  int Count() const { return static_cast<int>(entries_.size()); }
  int Capacity() const { return capacity_; }
  // Raises EListError for an index outside 0..Count-1.
  const TGIFColor& Entry(int index) const;
  TColor Color(int index) const;
  void SetColor(int index, TColor color);
  const std::vector<TGIFColor>& Entries() const { return entries_; }

  // Appends a colour and returns its index; a 257th entry raises GIFException "Color
  // table overflow". Clears Optimized.
  int Add(TColor color);
  // The index of the colour, appended first when the table does not hold it.
  int AddUnique(TColor color);
  // The index of the colour or -1: the first one from the start when the table is sorted
  // (Optimized), else the last one.
  int IndexOf(TColor color) const;
  // Removes an entry (EListError outside 0..Count-1). Clears Optimized.
  void Delete(int index);
  void Clear();
  void Assign(const TGIFColorMap& source);

  // Replaces the entries by those of a palette (at most 256).
  void ImportPalette(const TPaletteHandle& palette);
  // Replaces the entries by those of a DIB colour table (blue, green, red, 0; at most 256).
  void ImportColorTable(std::span<const TRGBQuad> table);

  // Set when the table has been sorted by usage.
  bool Optimized() const { return optimized_; }
  void SetOptimized(bool value) { optimized_ = value; }
  // 0 for an empty table, else the smallest n >= 1 with 2^n >= Count.
  int BitsPerPixel() const;

  // Sorts the entries by how often the pixels that use this table use them, most used
  // first; when that changes their order, renumbers those pixels (and a transparent
  // index that refers to the table) and drops the entries no pixel uses. Returns whether
  // the order changed. Tables of fewer than 2 entries stay as they are.
  virtual bool Optimize() = 0;

  // The entries, then black entries up to 2^BitsPerPixel; nothing for an empty table.
  void SaveToStream(TStream& stream) const;

 protected:
  TGIFColorMap() = default;
  // The work of Optimize over the given pixels and the indices that refer to the table.
  bool SortByUsage(const std::vector<std::span<uint8_t>>& pixels,
                   const std::vector<uint8_t*>& indices);

 private:
  void Grow(int requested);

  std::vector<TGIFColor> entries_;
  int capacity_ = 0;
  bool optimized_ = false;
};

// The header's table: used by every frame that has no table of its own.
class TGIFGlobalColorMap final : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFImage& image) : image_(image) {}
  bool Optimize() override;

 private:
  TGIFImage& image_;
};

// A frame's own table.
class TGIFLocalColorMap final : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage& frame) : frame_(frame) {}
  bool Optimize() override;

 private:
  TGIFSubImage& frame_;
};
