#include "gif/Gifimage.h"

#include <algorithm>
#include <vector>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/Clipboard.h"
#include "platform/Files.h"
#include "platform/MemoryStream.h"
#include "raster/Picture.h"

LV_GRAPHIC_CLASS_IMPL(TGIFImage, &TGraphic::Class())

namespace {

uint16_t CheckedScreenSize(int value) {
  if (value < 0 || value > TGIFSubImage::kMaxDimension)
    throw GIFException(SGIFInvalidImageDimensions);
  return static_cast<uint16_t>(value);
}

}  // namespace

TGIFImage::TGIFImage()
    : header_(*this),
      images_(*this),
      color_reduction_(GIFImageDefaultColorReduction),
      dither_mode_(GIFImageDefaultDitherMode),
      reduction_bits_(GIFImageDefaultColorReductionBits),
      compression_(GIFImageDefaultCompression) {}

TGIFImage::~TGIFImage() = default;

bool TGIFImage::Empty() const {
  return images_.Count() == 0;
}

int TGIFImage::Width() const {
  return header_.Width;
}

int TGIFImage::Height() const {
  return header_.Height;
}

void TGIFImage::SetWidth(int value) {
  header_.Width = CheckedScreenSize(value);
  Changed();
}

void TGIFImage::SetHeight(int value) {
  header_.Height = CheckedScreenSize(value);
  Changed();
}

void TGIFImage::SetReductionBits(int value) {
  if (value < 3 || value > 8) throw GIFException(SGIFInvalidBitsPerPixel);
  reduction_bits_ = value;
}

void TGIFImage::Clear() {
  images_.Clear();
  header_.Clear();
}

TGIFVersion TGIFImage::Version() const {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < images_.Count(); ++i) {
    version = std::max(version, images_[i].Version());
    if (version == gv89a) break;
  }
  return version;
}

int TGIFImage::BitsPerPixel() const {
  int bits = header_.ColorMap().BitsPerPixel();
  for (int i = 0; i < images_.Count(); ++i)
    bits = std::max(bits, images_[i].ColorMap().BitsPerPixel());
  return bits;
}

int TGIFImage::ColorResolution() const {
  int resolution = header_.ColorMap().BitsPerPixel() - 1;
  for (int i = 0; i < images_.Count(); ++i)
    resolution = std::max(resolution, images_[i].ColorMap().BitsPerPixel() - 1);
  return resolution;
}

void TGIFImage::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    Clear();
    Changed();
    return;
  }
  if (const auto* gif = dynamic_cast<const TGIFImage*>(source)) {
    AssignImage(*gif);
    return;
  }
  // The frame is built aside and replaces the image's content only once it is whole.
  auto frame = std::make_unique<TGIFSubImage>(*this);
  try {
    frame->Assign(source);
  } catch (const EConvertError&) {
    frame.reset();
    TGraphic::Assign(source);  // the source's own AssignTo, or "cannot assign"
    return;
  }
  TakeFrame(std::move(frame));
}

void TGIFImage::AssignTrueColour(const TBitmap& source) {
  auto frame = std::make_unique<TGIFSubImage>(*this);
  frame->AssignTrueColour(source);
  TakeFrame(std::move(frame));
}

void TGIFImage::TakeFrame(std::unique_ptr<TGIFSubImage> frame) {
  Clear();
  header_.Width = static_cast<uint16_t>(frame->Width());
  header_.Height = static_cast<uint16_t>(frame->Height());
  images_.Add(std::move(frame));
  Changed();
}

void TGIFImage::AssignImage(const TGIFImage& source) {
  Progress(TProgressStage::psStarting, 0, false, SGIFCopying.text);
  std::vector<std::unique_ptr<TGIFSubImage>> frames;
  try {
    const int count = source.Images().Count();
    for (int i = 0; i < count; ++i) {
      auto frame = std::make_unique<TGIFSubImage>(*this);
      frame->Assign(source.Images()[i]);
      frames.push_back(std::move(frame));
      Progress(TProgressStage::psRunning, (i + 1) * 100 / count, false, SGIFCopying.text);
    }
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, false, SGIFCopying.text);
    throw;
  }
  Clear();
  header_.Assign(source.header_);
  for (auto& frame : frames) images_.Add(std::move(frame));
  Progress(TProgressStage::psEnding, 100, false, SGIFCopying.text);
  Changed();
}

void TGIFImage::LoadFromStream(TStream&) {
  throw GIFException(SGIFReadingNotSupported);
}

void TGIFImage::SaveToStream(TStream& stream) {
  Progress(TProgressStage::psStarting, 0, false, SGIFSaving.text);
  try {
    header_.SaveToStream(stream);
    images_.SaveToStream(stream);
    TGIFTrailer::SaveToStream(stream);
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, true, SGIFSaving.text);
    throw;
  }
  Progress(TProgressStage::psEnding, 100, true, SGIFSaving.text);
}

void TGIFImage::SaveToFile(const std::string& file_name) {
  CheckNotEmpty(file_name);
  // The file is written in one piece: the encoders hand out 256-byte blocks, too small
  // to go to the file one by one.
  TMemoryStream file;
  SaveToStream(file);
  SaveFileSafely(file_name, [&file](TStream& stream) { file.SaveToStream(stream); });
}

namespace {
unsigned gif_clipboard_format = 0;
}

unsigned GIFClipboardFormat() {
  return gif_clipboard_format;
}

void InitializeGIFModule() {
  TPicture::RegisterFileFormat("gif", SGIFImage.text, TGIFImage::Class());
  gif_clipboard_format = RegisterClipboardFormat(SGIFImage.text);
}
