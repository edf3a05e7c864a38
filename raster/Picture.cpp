#include "raster/Picture.h"

#include <cstdint>

#include "base/Streams.h"
#include "raster/FileFormats.h"

namespace {
constexpr size_t kMaxClassName = 63;
}

TPicture::TPicture() {
  GetFileFormats();
}

TPicture::~TPicture() = default;

void TPicture::SetGraphic(const TGraphic* source) {
  if (source == nullptr) {
    Hold(nullptr);
    return;
  }
  if (source == graphic_.get()) return;
  std::unique_ptr<TGraphic> copy = source->ClassType().create();
  copy->Assign(source);
  Hold(std::move(copy));
}

void TPicture::Hold(std::unique_ptr<TGraphic> graphic) {
  if (graphic) {
    graphic->OnChange = [this](TGraphic&) { Changed(); };
    graphic->OnProgress = [this](TGraphic& sender, TProgressStage stage, int percent,
                                 bool redraw_now, const std::string& msg) {
      if (OnProgress) OnProgress(sender, stage, percent, redraw_now, msg);
    };
  }
  graphic_ = std::move(graphic);
  Changed();
}

void TPicture::Changed() {
  if (OnChange) OnChange(*this);
}

void TPicture::ReadData(TStream& stream) {
  uint8_t length = 0;
  stream.ReadBuffer(&length, 1);
  std::string name(length, '\0');
  stream.ReadBuffer(name.data(), length);
  const TGraphicClass* cls = length != 0 ? GetFileFormats().FindClassName(name) : nullptr;
  std::unique_ptr<TGraphic> graphic;
  if (cls != nullptr && cls->create != nullptr) {
    graphic = cls->create();
    graphic->ReadData(stream);  // a failure frees the new graphic and passes on
  }
  Hold(std::move(graphic));
}

void TPicture::WriteData(TStream& stream) const {
  std::string name = graphic_ ? graphic_->ClassName() : "";
  if (name.size() > kMaxClassName) name.resize(kMaxClassName);
  const auto length = static_cast<uint8_t>(name.size());
  stream.WriteBuffer(&length, 1);
  stream.WriteBuffer(name.data(), length);
  if (graphic_) graphic_->WriteData(stream);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const TGraphicClass& graphic_class) {
  GetFileFormats().Add(extension, description, 0, graphic_class);
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& graphic_class) {
  GetFileFormats().Remove(graphic_class);
}
