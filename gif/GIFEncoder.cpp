#include "gif/GIFEncoder.h"

#include <algorithm>

#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/GIFException.h"

namespace {

// The four passes of an interlaced frame: first row and row step of each.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

}  // namespace

void TPixelWalk::Start(const uint8_t* data, int width, int height, bool interlaced) {
  data_ = data;
  width_ = static_cast<size_t>(std::max(width, 0));
  height_ = std::max(height, 0);
  interlaced_ = interlaced;
  row_ = 0;
  pass_ = data == nullptr || width_ == 0 || height_ == 0 ? 4 : 0;
}

bool TPixelWalk::NextSpan(const uint8_t*& begin, size_t& count) {
  if (pass_ >= 4) return false;
  if (!interlaced_) {
    begin = data_;
    count = width_ * static_cast<size_t>(height_);
    pass_ = 4;
    return true;
  }
  begin = data_ + static_cast<size_t>(row_) * width_;
  count = width_;
  // The next row of this pass; past the bottom, the first row of the next pass that lies
  // inside the frame.
  row_ += kPassStep[pass_];
  while (row_ >= height_) {
    if (++pass_ >= 4) break;
    row_ = kPassStart[pass_];
  }
  return true;
}

void TGIFEncoder::ColorNotInTable() {
  throw GIFException(SGIFColorNotInTable);
}

void TGIFEncoder::EncodeFrame(TStream& stream, int bits_per_pixel, int width, int height,
                              bool interlaced, const uint8_t* data, int color_count) {
  // Codes of more than 12 bits do not exist, so a table may not need more than 8 bits.
  if (bits_per_pixel > 8) throw GIFException(SGIFInvalidBitsPerPixel);
  bits_per_pixel_ = std::max(bits_per_pixel, 2);
  width_ = width;
  height_ = height;
  interlaced_ = interlaced;
  data_ = data;
  color_count_ = color_count;

  const uint8_t code_size = static_cast<uint8_t>(bits_per_pixel_);
  stream.WriteBuffer(&code_size, 1);

  initial_code_width_ = bits_per_pixel_ + 1;
  ResetCodeWidth();
  clear_code_ = 1u << bits_per_pixel_;
  end_code_ = clear_code_ + 1;
  base_code_ = clear_code_ + 2;
  bucket_ = 0;
  bit_count_ = 0;
  clear_flag_ = false;
  walk_.Start(data, width, height, interlaced);

  TGIFWriter writer(stream);
  writer_ = &writer;
  try {
    // An empty frame is only the end code: a valid image of no pixels.
    if (data != nullptr && width > 0 && height > 0) EncodePixels();
    OutputCode(end_code_);
    writer.Close();
  } catch (...) {
    writer_ = nullptr;
    throw;  // the writer still writes its partial block as it goes
  }
  writer_ = nullptr;
  const uint8_t terminator = 0;
  stream.WriteBuffer(&terminator, 1);
}
