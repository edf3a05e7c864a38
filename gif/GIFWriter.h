// Streams of the GIF library: TGIFStream refuses every operation that a subclass does not
// provide, and TGIFWriter cuts the bytes written to it into the data sub-blocks of a GIF
// file (a length byte, then 1 to 255 bytes).
#pragma once

#include <cstdint>

#include "base/Streams.h"

class TGIFStream : public TStream {
 public:
  // Each raises GIFException "Invalid stream operation".
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
};

class TGIFWriter final : public TGIFStream {
 public:
  explicit TGIFWriter(TStream& stream) : stream_(stream) {}
  // Writes a partial block that Close has not written; errors of the stream at that point
  // are dropped (an error is already on its way when Close was not reached).
  ~TGIFWriter() override;
  TGIFWriter(const TGIFWriter&) = delete;
  TGIFWriter& operator=(const TGIFWriter&) = delete;

  int64_t Write(const void* buffer, int64_t count) override;
  void WriteByte(uint8_t value) {
    buffer_[count_++] = value;
    if (count_ == kBlockBytes) FlushBlock();
  }
  // Writes the partial block, if any; errors of the stream propagate.
  void Close();

 private:
  // buffer_[0] receives the length; buffer_[1..255] the data.
  static constexpr int kBlockBytes = 256;
  void FlushBlock();

  TStream& stream_;
  uint8_t buffer_[kBlockBytes];
  int count_ = 1;  // 1..256: the next free place in buffer_; above 1 while data waits
};
