#include "gif/GIFSubImage.h"

#include <cstring>
#include <new>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/GIFException.h"
#include "gif/Gifimage.h"
#include "gif/LZWEncoder.h"
#include "gif/RLEEncoder.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"

namespace {

uint16_t CheckedDimension(int value) {
  if (value < 0 || value > TGIFSubImage::kMaxDimension)
    throw GIFException(SGIFInvalidImageDimensions);
  return static_cast<uint16_t>(value);
}

}  // namespace

void TGIFImageDescriptor::Encode(uint8_t bytes[10]) const {
  bytes[0] = Separator;
  PutU16(bytes + 1, Left);
  PutU16(bytes + 3, Top);
  PutU16(bytes + 5, Width);
  PutU16(bytes + 7, Height);
  bytes[9] = PackedFields;
}

TGIFSubImage::TGIFSubImage(TGIFImage& image) : image_(image), color_map_(*this) {}

TGIFSubImage::~TGIFSubImage() = default;

void TGIFSubImage::SetLeft(int value) {
  descriptor_.Left = CheckedDimension(value);
}

void TGIFSubImage::SetTop(int value) {
  descriptor_.Top = CheckedDimension(value);
}

void TGIFSubImage::SetSize(int width, int height) {
  const uint16_t w = CheckedDimension(width);
  const uint16_t h = CheckedDimension(height);
  TPixelBlock data;
  try {
    data = TPixelBlock(size_t{w} * h);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(SOutOfMemory);
  }
  if (!data.empty()) std::memset(data.data(), 0, data.size());
  data_ = std::move(data);
  descriptor_.Width = w;
  descriptor_.Height = h;
}

void TGIFSubImage::SetInterlaced(bool value) {
  if (value)
    descriptor_.PackedFields |= TGIFImageDescriptor::kInterlaced;
  else
    descriptor_.PackedFields &= static_cast<uint8_t>(~TGIFImageDescriptor::kInterlaced);
}

bool TGIFSubImage::Empty() const {
  return data_.empty() || descriptor_.Width == 0 || descriptor_.Height == 0;
}

TGIFGraphicControlExtension* TGIFSubImage::GraphicControlExtension() const {
  for (const auto& extension : extensions_)
    if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(extension.get())) return control;
  return nullptr;
}

TGIFVersion TGIFSubImage::Version() const {
  // Every extension block and the sorted flag came with GIF89a.
  return color_map_.Optimized() || !extensions_.empty() ? gv89a : gv87a;
}

void TGIFSubImage::Clear() {
  descriptor_ = TGIFImageDescriptor();
  data_ = TPixelBlock();
  color_map_.Clear();
  extensions_.clear();
  working_.reset();
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
  if (&source == this) return;
  Clear();
  descriptor_ = source.descriptor_;
  data_ = TPixelBlock(source.data_.size());
  if (!data_.empty()) std::memcpy(data_.data(), source.data_.data(), data_.size());
  color_map_.Assign(source.color_map_);
  for (const auto& extension : source.extensions_) extensions_.push_back(extension->Clone());
  if (source.working_) {
    working_ = std::make_unique<TBitmap>();
    working_->Assign(source.working_.get());
  }
}

void TGIFSubImage::Prepare() {
  constexpr uint8_t kTableBits = TGIFImageDescriptor::kLocalColorTable |
                                 TGIFImageDescriptor::kSorted | TGIFImageDescriptor::kTableSize;
  uint8_t flags = descriptor_.PackedFields & static_cast<uint8_t>(~kTableBits);
  if (color_map_.Count() > 0) {
    flags |= TGIFImageDescriptor::kLocalColorTable;
    if (color_map_.Optimized()) flags |= TGIFImageDescriptor::kSorted;
    flags |=
        static_cast<uint8_t>((color_map_.BitsPerPixel() - 1) & TGIFImageDescriptor::kTableSize);
  }
  descriptor_.PackedFields = flags;
}

void TGIFSubImage::SaveToStream(TStream& stream) {
  for (const auto& extension : extensions_) extension->SaveToStream(stream);
  if (Empty()) return;
  Prepare();
  uint8_t bytes[10];
  descriptor_.Encode(bytes);
  stream.WriteBuffer(bytes, 10);
  color_map_.SaveToStream(stream);
  Compress(stream);
}

void TGIFSubImage::Compress(TStream& stream) {
  int bits;
  int colors;
  if (color_map_.Count() > 0) {
    bits = color_map_.BitsPerPixel();
    colors = color_map_.Count();
  } else {
    // A frame without its own table uses the image's.
    bits = image_.BitsPerPixel();
    colors = 1 << bits;
  }
  if (image_.Compression() == gcRLE) {
    TRLEEncoder encoder;
    encoder.EncodeFrame(stream, bits, Width(), Height(), Interlaced(), Data(), colors);
  } else {
    TLZWEncoder encoder;
    encoder.EncodeFrame(stream, bits, Width(), Height(), Interlaced(), Data(), colors);
  }
}
