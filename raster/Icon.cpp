#include "raster/Icon.h"

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "raster/BmpFormat.h"
#include "raster/StoredData.h"

LV_GRAPHIC_CLASS_IMPL(TIcon, &TGraphic::Class())

namespace {

// An icon file: reserved 0, type 1, a count of at least one, then 16-byte entries whose
// first two bytes are the width and height (0 meaning 256).
constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;

bool IsIconDirectory(const std::vector<uint8_t>& data) {
  return data.size() >= kDirectorySize + kEntrySize && GetU16(data.data()) == 0 &&
         GetU16(data.data() + 2) == 1 && GetU16(data.data() + 4) >= 1;
}

int EntrySize(uint8_t value) {
  return value == 0 ? 256 : value;
}

}  // namespace

int TIcon::Width() const {
  return data_.empty() ? 0 : EntrySize(data_[kDirectorySize]);
}

int TIcon::Height() const {
  return data_.empty() ? 0 : EntrySize(data_[kDirectorySize + 1]);
}

void TIcon::SetWidth(int) {
  throw EInvalidGraphicOperation(SChangeIconSize);
}

void TIcon::SetHeight(int) {
  throw EInvalidGraphicOperation(SChangeIconSize);
}

void TIcon::Assign(const TGraphic* source) {
  if (source == this) return;
  if (const auto* other = dynamic_cast<const TIcon*>(source)) {
    data_ = other->data_;
    Changed();
    return;
  }
  if (source == nullptr) {
    data_.clear();
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TIcon::TakeData(std::vector<uint8_t> data) {
  if (!data.empty() && !IsIconDirectory(data)) throw EInvalidGraphic(SInvalidIcon);
  data_ = std::move(data);
  Changed();
}

void TIcon::LoadFromStream(TStream& stream) {
  TakeData(ReadRest(stream));
}

void TIcon::SaveToStream(TStream& stream) {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TIcon::ReadData(TStream& stream) {
  TakeData(ReadSizedBlock(stream));
}

void TIcon::WriteData(TStream& stream) {
  WriteSizedBlock(stream, data_.data(), data_.size());
}
