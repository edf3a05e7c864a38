// TIcon: the registry names it for ico files. Minimal: it keeps the bytes of an icon file
// and reports the size of the directory's first image; nothing in the system draws icons.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/Graphic.h"

class TIcon : public TGraphic {
  LV_GRAPHIC_CLASS_DECL(TIcon)

 public:
  bool Empty() const override { return data_.empty(); }
  int Width() const override;
  int Height() const override;
  // An icon's size cannot be changed: EInvalidGraphicOperation.
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  void Assign(const TGraphic* source) override;
  // Reads the rest of the stream; the data must begin with an icon directory.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Stored data: a 32-bit length, then the icon file's bytes.
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) override;

 private:
  // Takes an icon file image (or nothing); EInvalidGraphic when it is not one.
  void TakeData(std::vector<uint8_t> data);
  std::vector<uint8_t> data_;
};
