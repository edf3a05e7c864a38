// A write stream that gathers the writers' many small pieces (a GIF file comes in 256-byte
// sub-blocks) in a buffer and hands them to the operating system in large writes, on a
// thread of their own: while the system takes one buffer into the file (its page cache,
// the disk's writeback), the writer fills the next. Each platform's safe save derives
// from it with the file's own write and seek.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Streams.h"

class TBufferedFileStream : public TStream {
 public:
  TBufferedFileStream();
  ~TBufferedFileStream() override;
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* data, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Writes out what is buffered and waits until the file took it; false when the file
  // refused bytes (then and from then on).
  bool Flush();

 protected:
  // Writes all count bytes to the file; false when it takes fewer. Called on the writing
  // thread, one call at a time, or on the caller's thread while that thread is idle.
  virtual bool WriteOut(const char* p, int64_t count) = 0;
  // Moves the file's position; the new position, or -1.
  virtual int64_t SeekFile(int64_t offset, TSeekOrigin origin) = 0;
  // Waits for the write in progress and ends the writing thread. A derived stream calls it
  // first in its destructor, so that no write runs on a part of the object already gone.
  void Finish();

 private:
  static constexpr size_t kBuffer = 256 * 1024;
  // Waits until the writing thread holds no buffer; false when a write failed.
  bool WaitIdle(std::unique_lock<std::mutex>& lock);
  // Gives the filled buffer to the writing thread (started on the first) and takes an
  // empty one; false when a write failed.
  bool HandOver();
  void WriteLoop();

  std::vector<char> buffer_;   // being filled by the caller
  std::vector<char> writing_;  // being written by the thread while pending_
  std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;
  bool stop_ = false;
  std::atomic<bool> failed_ = false;  // a write failed: no more are made
  std::thread thread_;
};
