#include "raster/Graphic.h"

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/FileStream.h"
#include "platform/Files.h"

const TGraphicClass& TGraphic::Class() {
  static const TGraphicClass cls{"TGraphic", nullptr, nullptr};
  return cls;
}

void TGraphic::SetTransparent(bool value) {
  if (value != transparent_) {
    transparent_ = value;
    Changed();
  }
}

void TGraphic::Assign(const TGraphic* source) {
  if (source != nullptr && source->AssignTo(*this)) return;
  throw EConvertError(Format(SAssignError, source ? source->ClassName() : "nil", ClassName()));
}

bool TGraphic::AssignTo(TGraphic&) const {
  return false;
}

void TGraphic::LoadFromFile(const std::string& file_name) {
  TFileStream stream(file_name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& file_name) {
  CheckNotEmpty(file_name);
  SaveFileSafely(file_name, [this](TStream& stream) { SaveToStream(stream); });
}

void TGraphic::CheckNotEmpty(const std::string& file_name) const {
  if (Empty()) throw EInvalidGraphicOperation(Format(SEmptyPictureNotSaved, file_name.c_str()));
}

void TGraphic::Draw(TCanvas&, const TRect&) const {}

void TGraphic::ReadData(TStream& stream) {
  LoadFromStream(stream);
}

void TGraphic::WriteData(TStream& stream) {
  SaveToStream(stream);
}

void TGraphic::Changed() {
  if (OnChange) OnChange(*this);
}

void TGraphic::Progress(TProgressStage stage, int percent, bool redraw_now,
                        const std::string& msg) {
  if (OnProgress) OnProgress(*this, stage, percent, redraw_now, msg);
}
