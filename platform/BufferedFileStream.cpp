#include "platform/BufferedFileStream.h"

#include <system_error>

TBufferedFileStream::TBufferedFileStream() {
  buffer_.reserve(kBuffer);
}

TBufferedFileStream::~TBufferedFileStream() {
  Finish();
}

void TBufferedFileStream::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

int64_t TBufferedFileStream::Write(const void* data, int64_t count) {
  if (count <= 0 || failed_) return 0;
  const auto* p = static_cast<const char*>(data);
  if (buffer_.size() + static_cast<size_t>(count) > kBuffer) {
    if (static_cast<size_t>(count) >= kBuffer) {
      // A large piece goes straight to the file, after everything before it.
      if (!Flush()) return 0;
      if (WriteOut(p, count)) return count;
      failed_ = true;
      return 0;
    }
    if (!HandOver()) return 0;
  }
  buffer_.insert(buffer_.end(), p, p + count);
  return count;
}

int64_t TBufferedFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (!Flush()) return -1;
  return SeekFile(offset, origin);
}

bool TBufferedFileStream::WaitIdle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !pending_; });
  return !failed_;
}

bool TBufferedFileStream::HandOver() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!WaitIdle(lock)) {
    buffer_.clear();
    return false;
  }
  if (buffer_.empty()) return true;
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { WriteLoop(); });
    } catch (const std::system_error&) {
      // No thread to be had: the buffer is written here, as it comes.
      lock.unlock();
      const bool written = WriteOut(buffer_.data(), static_cast<int64_t>(buffer_.size()));
      buffer_.clear();
      lock.lock();
      if (!written) failed_ = true;
      return written;
    }
  }
  writing_.swap(buffer_);
  buffer_.clear();
  buffer_.reserve(kBuffer);
  pending_ = true;
  lock.unlock();
  changed_.notify_all();
  return true;
}

bool TBufferedFileStream::Flush() {
  if (!HandOver()) return false;
  std::unique_lock<std::mutex> lock(mutex_);
  return WaitIdle(lock);
}

void TBufferedFileStream::WriteLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || stop_; });
    if (!pending_) return;
    lock.unlock();
    const bool written = WriteOut(writing_.data(), static_cast<int64_t>(writing_.size()));
    lock.lock();
    if (!written) failed_ = true;
    writing_.clear();
    pending_ = false;
    changed_.notify_all();
  }
}
