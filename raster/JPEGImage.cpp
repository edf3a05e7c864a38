#include "raster/JPEGImage.h"

#include <cstdlib>
#include <cstring>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "raster/Bitmap.h"
#include "raster/JPEGCodec.h"
#include "raster/Picture.h"
#include "raster/StoredData.h"

LV_GRAPHIC_CLASS_IMPL(TJPEGImage, &TGraphic::Class())

namespace {

[[noreturn]] void RaiseJPEG(int code) {
  if (code == kJPEGTooLarge || code == kJPEGNoMemory) throw EOutOfMemory(SOutOfMemory);
  throw EJPEG(Format(SJPEGError, code));
}

int ScaleDenominator(TJPEGScale scale) {
  switch (scale) {
    case TJPEGScale::jsHalf:
      return 2;
    case TJPEGScale::jsQuarter:
      return 4;
    case TJPEGScale::jsEighth:
      return 8;
    default:
      return 1;
  }
}

// libjpeg's output size at 1/denom: the size divided, rounded up.
int Scaled(int size, TJPEGScale scale) {
  const int denom = ScaleDenominator(scale);
  return (size + denom - 1) / denom;
}

const std::shared_ptr<const TJPEGData>& EmptyData() {
  static const std::shared_ptr<const TJPEGData> empty = std::make_shared<TJPEGData>();
  return empty;
}

}  // namespace

TJPEGPixelFormat DefaultJPEGPixelFormat() {
  return TJPEGPixelFormat::jf24Bit;
}

void InitializeJPEGModule() {
  TPicture::RegisterFileFormat("jpeg", SVJPEGImageFile.text, TJPEGImage::Class());
  TPicture::RegisterFileFormat("jpg", SVJPEGImageFile.text, TJPEGImage::Class());
}

TJPEGImage::TJPEGImage() : data_(EmptyData()), pixel_format_(DefaultJPEGPixelFormat()) {}

TJPEGImage::~TJPEGImage() = default;

int TJPEGImage::Width() const {
  if (bitmap_) return bitmap_->Width();
  return Scaled(data_->Width, scale_);
}

int TJPEGImage::Height() const {
  if (bitmap_) return bitmap_->Height();
  return Scaled(data_->Height, scale_);
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation(SJPEGChangeSize);
}

void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation(SJPEGChangeSize);
}

void TJPEGImage::FreeBitmap() {
  bitmap_.reset();
}

void TJPEGImage::SetScale(TJPEGScale value) {
  SetSetting(scale_, value);
}

void TJPEGImage::SetPerformance(TJPEGPerformance value) {
  SetSetting(performance_, value);
}

void TJPEGImage::SetSmoothing(bool value) {
  SetSetting(smoothing_, value);
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat value) {
  SetSetting(pixel_format_, value);
}

const TBitmap& TJPEGImage::Bitmap() const {
  if (bitmap_) return *bitmap_;
  auto bitmap = std::make_unique<TBitmap>();
  if (!data_->Data.empty()) {
    TJPEGDecodeOptions options;
    options.scale_denom = ScaleDenominator(scale_);
    options.fast = performance_ == TJPEGPerformance::jpBestSpeed;
    options.smoothing = smoothing_;
    TJPEGPixels decoded;
    const int code = DecodeJPEG(data_->Data.data(), data_->Data.size(), options, &decoded);
    if (code != 0) RaiseJPEG(code);
    std::unique_ptr<uint8_t, decltype(&std::free)> pixels(decoded.pixels, &std::free);
    bitmap->SetPixelFormat(TPixelFormat::Bits24);
    bitmap->SetWidth(decoded.width);
    bitmap->SetHeight(decoded.height);
    const size_t row_bytes = static_cast<size_t>(decoded.width) * 3;
    for (int y = 0; y < decoded.height; ++y)
      std::memcpy(bitmap->Scanline(y), pixels.get() + row_bytes * static_cast<size_t>(y),
                  row_bytes);
    if (pixel_format_ == TJPEGPixelFormat::jf8Bit) bitmap->SetPixelFormat(TPixelFormat::Bits8);
  }
  bitmap_ = std::move(bitmap);
  return *bitmap_;
}

void TJPEGImage::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    data_ = EmptyData();
    FreeBitmap();
    Changed();
    return;
  }
  if (const auto* other = dynamic_cast<const TJPEGImage*>(source)) {
    data_ = other->data_;
    scale_ = other->scale_;
    performance_ = other->performance_;
    smoothing_ = other->smoothing_;
    pixel_format_ = other->pixel_format_;
    progressive_display_ = other->progressive_display_;
    compression_quality_ = other->compression_quality_;
    FreeBitmap();
    if (other->bitmap_) {
      bitmap_ = std::make_unique<TBitmap>();
      bitmap_->Assign(other->bitmap_.get());
    }
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

bool TJPEGImage::AssignTo(TGraphic& dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&dest)) {
    bitmap->Assign(&Bitmap());
    return true;
  }
  return false;
}

void TJPEGImage::TakeData(std::vector<uint8_t> bytes) {
  auto data = std::make_shared<TJPEGData>();
  if (!bytes.empty()) {
    TJPEGHeader header;
    const int code = ReadJPEGHeader(bytes.data(), bytes.size(), &header);
    if (code != 0) RaiseJPEG(code);
    data->Width = header.width;
    data->Height = header.height;
    data->Grayscale = header.components == 1;
    data->Progressive = header.progressive;
  }
  data->Data = std::move(bytes);
  data_ = std::move(data);
  FreeBitmap();
  Changed();
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  TakeData(ReadRest(stream));
}

void TJPEGImage::SaveToStream(TStream& stream) {
  if (!data_->Data.empty())
    stream.WriteBuffer(data_->Data.data(), static_cast<int64_t>(data_->Data.size()));
}

void TJPEGImage::ReadData(TStream& stream) {
  TakeData(ReadSizedBlock(stream));
}

void TJPEGImage::WriteData(TStream& stream) {
  WriteSizedBlock(stream, data_->Data.data(), data_->Data.size());
}
