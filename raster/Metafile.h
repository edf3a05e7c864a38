// TMetafile: the registry names it for wmf and emf files. Minimal: it keeps the bytes it
// reads and a size in pixels; nothing in the system draws a metafile.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/Graphic.h"

class TMetafile : public TGraphic {
  LV_GRAPHIC_CLASS_DECL(TMetafile)

 public:
  bool Empty() const override { return data_.empty(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  // Whether the data is an enhanced metafile (its first record is the 0x01 header record).
  bool Enhanced() const;

  void Assign(const TGraphic* source) override;
  // Reads the rest of the stream.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Stored data: a 32-bit length, then the metafile's bytes.
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) override;

  const std::vector<uint8_t>& Data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
  int width_ = 0;
  int height_ = 0;
};
