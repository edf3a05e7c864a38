#include "gif/GIFImageList.h"

#include "base/Format.h"
#include "base/Messages.h"
#include "gif/GIFException.h"
#include "gif/Gifimage.h"

TGIFSubImage& TGIFImageList::operator[](int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, index));
  return *frames_[static_cast<size_t>(index)];
}

TGIFSubImage& TGIFImageList::Add(std::unique_ptr<TGIFSubImage> frame) {
  // A frame reports to, and takes its settings from, the image it was made for.
  if (!frame || &frame->Image() != &image_) throw GIFException(SGIFForeignFrame);
  frames_.push_back(std::move(frame));
  return *frames_.back();
}

TGIFSubImage& TGIFImageList::Add() {
  return Add(std::make_unique<TGIFSubImage>(image_));
}

void TGIFImageList::Delete(int index) {
  (*this)[index];  // checks the index
  frames_.erase(frames_.begin() + index);
}

void TGIFImageList::SaveToStream(TStream& stream) {
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    frames_[static_cast<size_t>(i)]->SaveToStream(stream);
    image_.Progress(TProgressStage::psRunning, (i + 1) * 100 / count, false, SGIFSaving.text);
  }
}
