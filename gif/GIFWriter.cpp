#include "gif/GIFWriter.h"

#include <algorithm>
#include <cstring>

#include "base/Messages.h"
#include "gif/GIFException.h"

int64_t TGIFStream::Read(void*, int64_t) {
  throw GIFException(SInvalidStreamOperation);
}

int64_t TGIFStream::Write(const void*, int64_t) {
  throw GIFException(SInvalidStreamOperation);
}

int64_t TGIFStream::Seek(int64_t, TSeekOrigin) {
  throw GIFException(SInvalidStreamOperation);
}

TGIFWriter::~TGIFWriter() {
  try {
    Close();
  } catch (...) {
    // The stream failed while an error was already passing through; that error is the one
    // the caller sees.
  }
}

int64_t TGIFWriter::Write(const void* buffer, int64_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t n = std::min<int64_t>(count - done, kBlockBytes - count_);
    std::memcpy(buffer_ + count_, bytes + done, static_cast<size_t>(n));
    count_ += static_cast<int>(n);
    done += n;
    if (count_ == kBlockBytes) FlushBlock();
  }
  return done;
}

void TGIFWriter::FlushBlock() {
  // A block of no data bytes would read as the terminator: never write one. (A block
  // waits while count_ is above 1: that is the writer's dirty state.)
  if (count_ > 1) {
    buffer_[0] = static_cast<uint8_t>(count_ - 1);
    const int bytes = count_;
    count_ = 1;
    stream_.WriteBuffer(buffer_, bytes);
  }
}

void TGIFWriter::Close() {
  FlushBlock();
}
