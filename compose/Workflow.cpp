#include "compose/Workflow.h"

#include <algorithm>
#include <cmath>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"

TWorkflow::TWorkflow(const TSlotFactory& slot_factory) {
  const auto make = [&]() -> std::unique_ptr<TBitmap> {
    if (slot_factory) return slot_factory();
    return std::make_unique<TBitmap>();
  };
  // The window's order: the result first, then the visible and the hidden slot.
  result_ = std::make_unique<TBitmap>();
  external_ = make();
  inner_ = make();
}

TWorkflow::~TWorkflow() = default;

void TWorkflow::Show(TSlot slot) {
  if (OnShow) OnShow(slot);
}

void TWorkflow::ControlsChanged() {
  if (OnControlsChanged) OnControlsChanged();
}

bool TWorkflow::LoadExternalImage(const TLoader& loader) {
  if (!loader) return false;
  // A failed load is silent: no message, the remaining steps are skipped, the flag keeps
  // its value, and the hidden picture and the result are not touched.
  try {
    loader(*external_);
    external_->SetPixelFormat(TPixelFormat::Bits24);
    Show(TSlot::slExternal);
    x_text_ = IntToStr(external_->Width());
    y_text_ = IntToStr(external_->Height());
    ControlsChanged();
    external_loaded_ = true;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TWorkflow::LoadInnerImage(const TLoader& loader) {
  bool loaded = false;
  if (loader) {
    try {
      loader(*inner_);
      inner_->SetPixelFormat(TPixelFormat::Bits24);
      Show(TSlot::slInner);
      inner_loaded_ = true;
      loaded = true;
    } catch (const std::exception&) {
      // Silent, as for the visible picture; the steps below run all the same.
    }
  }
  // With no visible picture the target is 0 x 0, which ResizeBitmap leaves alone.
  ResizeBitmap(*inner_, external_->Width(), external_->Height());
  Show(TSlot::slInner);
  if (external_loaded_ && !BatchJob) {
    ComposeCheckerboard(*result_, *external_, *inner_);
    result_tone_mapped_ = false;
    Show(TSlot::slResult);
  }
  return loaded;
}

void TWorkflow::SizeFit() {
  ResizeBitmap(*inner_, external_->Width(), external_->Height());
  Show(TSlot::slInner);
}

int TWorkflow::ScaledPartner(long double partner, int typed, int size) {
  const long double product = partner * typed;
  // The division by a zero width or height is the floating-point error the class library
  // raises: division by zero, or an invalid operation for 0 / 0.
  if (size == 0) {
    if (product == 0 || std::isnan(product)) throw EInvalidOp(SInvalidOp);
    throw EZeroDivide(SZeroDivide);
  }
  const long double quotient = product / size;
  // Truncating a value outside the integers is an invalid operation too.
  if (!std::isfinite(quotient) || quotient >= 2147483648.0L || quotient <= -2147483649.0L)
    throw EInvalidOp(SInvalidOp);
  return static_cast<int>(quotient);
}

void TWorkflow::ApplyEdits(int x, int y) {
  ResizeBitmap(*external_, x, y);
  Show(TSlot::slExternal);
  if (inner_loaded_) {
    ResizeBitmap(*inner_, external_->Width(), external_->Height());
    Show(TSlot::slInner);
  }
}

void TWorkflow::XEditChange() {
  const int x = StrToInt(x_text_);
  const long double partner = StrToFloat(y_text_);
  const int y = ScaledPartner(partner, x, external_->Width());
  // A size of 0 or below cannot be made; it is refused before anything changes, rather
  // than showing it in the edit and leaving the pictures as they are without a word.
  if (x <= 0 || y <= 0) throw EInvalidGraphicOperation(Format(SInvalidPictureSize, x, y));
  y_text_ = IntToStr(y);
  ControlsChanged();
  ApplyEdits(x, y);
}

void TWorkflow::YEditChange() {
  const int y = StrToInt(y_text_);
  const long double partner = StrToFloat(x_text_);
  const int x = ScaledPartner(partner, y, external_->Height());
  if (x <= 0 || y <= 0) throw EInvalidGraphicOperation(Format(SInvalidPictureSize, x, y));
  x_text_ = IntToStr(x);
  ControlsChanged();
  ApplyEdits(x, y);
}

void TWorkflow::AverageTrackBarChange(int position) {
  average_ = std::clamp(position, 0, 255);
  const int limit = ContrastLimit(average_);
  max_label_ = IntToStr(limit);
  contrast_max_ = limit;
  if (contrast_ > limit) {
    // The slider control pulls its position down to its new maximum and raises its change
    // event at once, nested inside this handler, with the new A and the lowered C.
    contrast_ = limit;
    ControlsChanged();
    MinMaxTrackBarChange(contrast_);
  }
  if (contrast_ > contrast_max_) contrast_ = contrast_max_;
  ControlsChanged();
  if (BatchJob) return;
  ApplyInnerTone(*result_, *inner_, average_, contrast_);
  result_tone_mapped_ = true;
  Show(TSlot::slResult);
}

void TWorkflow::MinMaxTrackBarChange(int position) {
  const int clamped = std::clamp(position, 0, contrast_max_);
  const bool moved = clamped != contrast_ || clamped != position;
  contrast_ = clamped;
  if (moved) ControlsChanged();
  if (BatchJob) return;
  ApplyInnerTone(*result_, *inner_, average_, contrast_);
  result_tone_mapped_ = true;
  Show(TSlot::slResult);
}

void TWorkflow::Synthesize() {
  if (inner_->Width() != external_->Width() || inner_->Height() != external_->Height()) {
    // A visible picture loaded after the hidden one: refit the hidden one first.
    ResizeBitmap(*inner_, external_->Width(), external_->Height());
    Show(TSlot::slInner);
  }
  if (BatchJob) {
    SynthesizeConsuming(*result_, *external_, *inner_, average_, contrast_);
    ReleaseSources();
  } else {
    ::Synthesize(*result_, *external_, *inner_, average_, contrast_);
  }
  result_tone_mapped_ = true;
  Show(TSlot::slResult);
}

void TWorkflow::ComposePreview() {
  if (BatchJob) {
    ComposeCheckerboardConsuming(*result_, *external_, *inner_);
    ReleaseSources();
  } else {
    ComposeCheckerboard(*result_, *external_, *inner_);
  }
  result_tone_mapped_ = false;
  Show(TSlot::slResult);
}

void TWorkflow::ReleaseSources() {
  external_->Assign(nullptr);
  inner_->Assign(nullptr);
  Show(TSlot::slExternal);
  Show(TSlot::slInner);
}
