#include "raster/Metafile.h"

#include "base/Streams.h"
#include "raster/BmpFormat.h"
#include "raster/StoredData.h"

LV_GRAPHIC_CLASS_IMPL(TMetafile, &TGraphic::Class())

void TMetafile::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  Changed();
}

void TMetafile::SetHeight(int value) {
  if (value == height_) return;
  height_ = value;
  Changed();
}

bool TMetafile::Enhanced() const {
  return data_.size() >= 4 && GetU32(data_.data()) == 1;
}

void TMetafile::Assign(const TGraphic* source) {
  if (source == this) return;
  if (const auto* other = dynamic_cast<const TMetafile*>(source)) {
    data_ = other->data_;
    width_ = other->width_;
    height_ = other->height_;
    Changed();
    return;
  }
  if (source == nullptr) {
    data_.clear();
    width_ = height_ = 0;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TMetafile::LoadFromStream(TStream& stream) {
  data_ = ReadRest(stream);
  Changed();
}

void TMetafile::SaveToStream(TStream& stream) {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TMetafile::ReadData(TStream& stream) {
  data_ = ReadSizedBlock(stream);
  Changed();
}

void TMetafile::WriteData(TStream& stream) {
  WriteSizedBlock(stream, data_.data(), data_.size());
}
