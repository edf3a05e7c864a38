// The part that the two image-data encoders share: the frame's parameters, the walk over
// its pixels (with the four-pass interlaced row order), the code packer and the data
// sub-block writer. TLZWEncoder and TRLEEncoder only decide which codes to send.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/GIFWriter.h"

class TStream;

// Walks a frame's pixels in the order they are encoded: row by row from the top, or for an
// interlaced frame rows 0, 8, 16, ...; then 4, 12, ...; then 2, 6, 10, ...; then 1, 3, 5,
// .... Pixels that follow each other in memory and in walk order come as one span, so the
// encoders' inner loops run over plain byte ranges.
class TPixelWalk {
 public:
  void Start(const uint8_t* data, int width, int height, bool interlaced);
  // The next span of pixels in walk order; false when the walk has ended.
  bool NextSpan(const uint8_t*& begin, size_t& count);

 private:
  const uint8_t* data_ = nullptr;
  size_t width_ = 0;
  int height_ = 0;
  bool interlaced_ = false;
  int row_ = 0;
  int pass_ = 0;  // 0..3; 4 once the walk has ended
};

class TGIFEncoder {
 public:
  virtual ~TGIFEncoder() = default;

  // Writes a frame's image data: the minimum code size byte, the code stream in data
  // sub-blocks, and the zero-length block that ends them. data holds width x height bytes
  // (row-major, top row first); every pixel must be below color_count, else GIFException
  // "Color not in color table" ends the encoding (the stream keeps what was written).
  void EncodeFrame(TStream& stream, int bits_per_pixel, int width, int height, bool interlaced,
                   const uint8_t* data, int color_count);

 protected:
  // The largest code that 12 bits hold; the table of a GIF decoder never grows past it.
  static constexpr int kMaxCode = 4095;
  static constexpr int kMaxCodeBits = 12;

  // Packs a code of the current width into the bit bucket, least significant bit first,
  // and writes every full byte. The end code also writes the bits left over, if any, as a
  // final byte whose unused high bits are zero. The bucket never holds bits above its
  // bit count, so a code is simply or-ed in above them.
  void PutCode(uint32_t code) {
    uint32_t bucket = bucket_ | code << bit_count_;
    int bits = bit_count_ + code_width_;
    for (; bits >= 8; bits -= 8, bucket >>= 8) writer_->WriteByte(static_cast<uint8_t>(bucket));
    if (code == end_code_ && bits > 0) {
      writer_->WriteByte(static_cast<uint8_t>(bucket));
      bucket = 0;
      bits = 0;
    }
    bucket_ = bucket;
    bit_count_ = bits;
  }

  // The one place where the code width grows. It must stay in step with the decoder,
  // which widens its codes when its next table entry no longer fits the present width;
  // each encoder calls this when its own bookkeeping says that moment has come.
  void WidenCode() {
    ++code_width_;
    max_code_ = code_width_ >= kMaxCodeBits ? kMaxCode + 1 : (1 << code_width_) - 1;
  }
  // Back to the width of a fresh table (after a clear code).
  void ResetCodeWidth() {
    code_width_ = initial_code_width_;
    max_code_ = (1 << code_width_) - 1;
  }

  virtual void OutputCode(uint32_t code) { PutCode(code); }
  virtual void EmitClear() {
    clear_flag_ = true;
    OutputCode(clear_code_);
  }
  virtual void EncodePixels() = 0;

  // Raises "Color not in color table".
  [[noreturn]] static void ColorNotInTable();

  int bits_per_pixel_ = 0;  // at least 2
  int initial_code_width_ = 0;
  int code_width_ = 0;
  uint32_t max_code_ = 0;  // the largest code of the current width (4096 at 12 bits)
  uint32_t clear_code_ = 0;
  uint32_t end_code_ = 0;
  uint32_t base_code_ = 0;  // the first code a decoder adds to its table
  uint32_t bucket_ = 0;
  int bit_count_ = 0;
  bool clear_flag_ = false;

  int width_ = 0;
  int height_ = 0;
  bool interlaced_ = false;
  const uint8_t* data_ = nullptr;
  int color_count_ = 0;
  TPixelWalk walk_;
  TGIFWriter* writer_ = nullptr;
};
