#include "base/Streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {
  throw EStreamError(SInvalidStreamOperation);
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count != 0 && Read(buffer, count) != count))
    throw EReadError(SReadError, LastErrorText());
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count != 0 && Write(buffer, count) != count))
    throw EWriteError(SWriteError, LastErrorText());
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 1 << 16;
  char buffer[kChunk];
  int64_t done = 0;
  while (done < count) {
    const int64_t n = std::min(kChunk, count - done);
    source.ReadBuffer(buffer, n);
    WriteBuffer(buffer, n);
    done += n;
  }
  return done;
}
