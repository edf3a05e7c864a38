#include "compose/Workflow.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"

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

bool TWorkflow::LoadSlot(TBitmap& slot, const TLoader& loader, std::string* failure) {
  // The slot's picture before the load (a copy shares its store, so this costs no pixels):
  // a failed load puts it back, whatever the loader had left in the slot.
  TBitmap before;
  before.Assign(&slot);
  std::string reason;
  try {
    loader(slot);
    slot.SetPixelFormat(TPixelFormat::Bits24);
    if (!slot.Empty()) {
      if (failure) failure->clear();
      return true;
    }
    reason = SLoadedNoPicture.text;
  } catch (const Exception& e) {
    reason = e.FullMessage();
  } catch (const std::bad_alloc&) {
    reason = Exception(SOutOfMemory).FullMessage();
  } catch (const std::exception& e) {
    reason = e.what();
  }
  try {
    slot.Assign(&before);
  } catch (const std::exception&) {
    // Assigning shares the store and cannot fail but for a small allocation; the slot
    // then keeps what the loader left, as a failed load always could.
  }
  if (failure) *failure = reason;
  return false;
}

bool TWorkflow::LoadExternalImage(const TLoader& loader, std::string* failure) {
  if (!loader) return false;
  // A failed load is silent: no message, the remaining steps are skipped, the flag keeps
  // its value, and the hidden picture and the result are not touched.
  if (!LoadSlot(*external_, loader, failure)) return false;
  try {
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

bool TWorkflow::LoadInnerImage(const TLoader& loader, std::string* failure) {
  bool loaded = false;
  if (loader && LoadSlot(*inner_, loader, failure)) {
    try {
      Show(TSlot::slInner);
      inner_loaded_ = true;
      loaded = true;
    } catch (const std::exception&) {
      // Silent, as for the visible picture; the steps below run all the same.
    }
  }
  // With no visible picture the target is 0 x 0, which ResizeBitmap leaves alone. A batch
  // job refits it when it synthesizes, where the enlarged rows need not be held whole.
  if (BatchJob) return loaded;
  ResizeBitmap(*inner_, external_->Width(), external_->Height());
  Show(TSlot::slInner);
  if (external_loaded_) {
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

void TWorkflow::ApplyEdits(int x, int y, std::string& partner_text, const std::string& partner) {
  // Both pictures are resized as copies (which share the slots' stores until a pass makes
  // a new one) and take their new size together once every pass has succeeded: a size
  // that cannot be made leaves both as they were, never the visible picture with its width
  // pass done or the hidden picture at a size the visible one does not have.
  TBitmap visible, hidden;
  try {
    // A size beyond the limit of one picture is refused at once, with the error its height
    // pass would raise, rather than after a width pass of up to the limit's size.
    if (!ComputeStoreSize(x, y, 24)) throw EPictureTooLarge(x, y, 24, MaxPixelStoreBytes());
    visible.Assign(external_.get());
    ResizeBitmap(visible, x, y);
    if (inner_loaded_) {
      hidden.Assign(inner_.get());
      ResizeBitmap(hidden, visible.Width(), visible.Height());
    }
  } catch (...) {
    partner_text = partner;
    ControlsChanged();
    throw;
  }
  external_->Assign(&visible);
  Show(TSlot::slExternal);
  if (inner_loaded_) {
    inner_->Assign(&hidden);
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
  const std::string before = y_text_;
  y_text_ = IntToStr(y);
  ControlsChanged();
  ApplyEdits(x, y, y_text_, before);
}

void TWorkflow::YEditChange() {
  const int y = StrToInt(y_text_);
  const long double partner = StrToFloat(x_text_);
  const int x = ScaledPartner(partner, y, external_->Height());
  if (x <= 0 || y <= 0) throw EInvalidGraphicOperation(Format(SInvalidPictureSize, x, y));
  const std::string before = x_text_;
  x_text_ = IntToStr(x);
  ControlsChanged();
  ApplyEdits(x, y, x_text_, before);
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
  if (BatchJob) {
    // Refits the hidden picture itself (see BatchJob).
    SynthesizeConsuming(*result_, *external_, *inner_, average_, contrast_);
    ReleaseSources();
  } else {
    if (inner_->Width() != external_->Width() || inner_->Height() != external_->Height()) {
      // A visible picture loaded after the hidden one: refit the hidden one first.
      ResizeBitmap(*inner_, external_->Width(), external_->Height());
      Show(TSlot::slInner);
    }
    ::Synthesize(*result_, *external_, *inner_, average_, contrast_);
  }
  result_tone_mapped_ = true;
  Show(TSlot::slResult);
}

void TWorkflow::ComposePreview() {
  if (BatchJob) {
    ResizeBitmap(*inner_, external_->Width(), external_->Height());  // as LoadInnerImage would
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
