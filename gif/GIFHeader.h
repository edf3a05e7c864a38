// The blocks around the frames of a GIF file: the header (signature, logical screen
// descriptor and global colour table) and the trailer.
#pragma once

#include <cstdint>

#include "gif/GIFColorMap.h"

class TGIFImage;
class TStream;

class TGIFHeader {
 public:
  static constexpr uint8_t kGlobalColorTable = 0x80;
  static constexpr uint8_t kColorResolution = 0x70;
  static constexpr uint8_t kSorted = 0x08;
  static constexpr uint8_t kTableSize = 0x07;

  explicit TGIFHeader(TGIFImage& image) : image_(image), color_map_(image) {}
  TGIFHeader(const TGIFHeader&) = delete;
  TGIFHeader& operator=(const TGIFHeader&) = delete;

  // The logical screen descriptor as it lies in the file (7 bytes).
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PackedFields = 0;
  uint8_t BackgroundColorIndex = 0;
  uint8_t AspectRatio = 0;

  TGIFGlobalColorMap& ColorMap() { return color_map_; }
  const TGIFGlobalColorMap& ColorMap() const { return color_map_; }

  // All 7 bytes 0, the global table empty.
  void Clear();
  // Copies the 7 bytes and the global table.
  void Assign(const TGIFHeader& source);
  // Rebuilds the flags byte: the global table's presence and sort flag, and colour
  // resolution and table size taken from the largest of all the image's tables.
  void Prepare();
  // Writes "GIF" and the image's version, the 7 descriptor bytes and the global table.
  // An image without a version (no frames) raises GIFException "Unsupported GIF version"
  // before any byte is written.
  void SaveToStream(TStream& stream);

 private:
  TGIFImage& image_;
  TGIFGlobalColorMap color_map_;
};

struct TGIFTrailer {
  static constexpr uint8_t kTrailer = 0x3B;
  static void SaveToStream(TStream& stream);
};
