#include "raster/StoredData.h"

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "raster/BmpFormat.h"

std::vector<uint8_t> ReadRest(TStream& stream) {
  const int64_t count = stream.Size() - stream.Position();
  std::vector<uint8_t> data(static_cast<size_t>(count > 0 ? count : 0));
  if (!data.empty()) stream.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  return data;
}

std::vector<uint8_t> ReadSizedBlock(TStream& stream) {
  uint8_t word[4];
  stream.ReadBuffer(word, 4);
  const uint32_t size = GetU32(word);
  if (static_cast<int64_t>(size) > stream.Size() - stream.Position()) throw EReadError(SReadError);
  std::vector<uint8_t> data(size);
  if (size != 0) stream.ReadBuffer(data.data(), size);
  return data;
}

void WriteSizedBlock(TStream& stream, const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) throw EWriteError(SWriteError);
  uint8_t word[4];
  PutU32(word, static_cast<uint32_t>(size));
  stream.WriteBuffer(word, 4);
  if (size != 0) stream.WriteBuffer(data, static_cast<int64_t>(size));
}
