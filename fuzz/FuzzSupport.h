// What every fuzz target shares: the limits it lowers below the fuzzer's memory budget,
// the option bytes it takes from the end of the input, and a pass over every byte a
// reader produced (so that a byte the reader left unset is read at least once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Exceptions.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"

// Stops the target when a check that must hold does not: the fuzzer reports it as a crash.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// Targets run with a memory budget of 2 GiB (libFuzzer's default RSS limit). One picture
// may take 4 MiB, so that a reader's largest honest allocation, and the few copies of it
// that a load makes (a plug-in's picture, its wrapped file, the store), stay far below
// that budget; a crafted size then meets the reader's own guard instead of the fuzzer's
// out-of-memory kill. Small pictures also keep each input fast: converting a picture
// costs time in proportion to its pixels. Plug-ins compiled into a target get the same limit
// through PLUGIN_MAX_PIXEL_BYTES (see fuzz/CMakeLists.txt).
constexpr uint64_t kFuzzPixelStoreBytes = uint64_t{4} << 20;

inline void SetFuzzLimits() {
  SetMaxPixelStoreBytes(kFuzzPixelStoreBytes);
}

// The initialisation of a target that needs nothing but the limits.
#define FUZZ_INITIALIZE_LIMITS()                       \
  extern "C" int LLVMFuzzerInitialize(int*, char***) { \
    SetFuzzLimits();                                   \
    return 0;                                          \
  }

// The input without its trailing option bytes, and the options read from them. Taking
// options from the end keeps the data's own start (its magic values) where seeds put it.
struct TFuzzInput {
  const uint8_t* data;
  size_t size;
  uint32_t options;  // 0 when the input is too short to carry them
};

inline TFuzzInput TakeOptions(const uint8_t* data, size_t size, size_t option_bytes) {
  TFuzzInput input{data, size, 0};
  if (size < option_bytes) return input;
  input.size = size - option_bytes;
  for (size_t i = 0; i < option_bytes; ++i)
    input.options |= static_cast<uint32_t>(data[input.size + i]) << (8 * i);
  return input;
}

// A memory stream holding the given bytes, positioned at their start (a reader's input).
inline void FillStream(TMemoryStream& stream, const uint8_t* data, size_t size) {
  stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
}

// Reads what the input holds with read(stream), from a stream over its bytes. A read that
// fails must leave the reader's object as it was (empty, as the target made it): then
// false.
template <class Read, class IsEmpty>
bool ReadInput(const TFuzzInput& input, Read&& read, IsEmpty&& is_empty) {
  TMemoryStream stream;
  FillStream(stream, input.data, input.size);
  try {
    read(stream);
  } catch (const Exception&) {
    FUZZ_CHECK(is_empty());
    return false;
  }
  return true;
}

// Reads a graphic from the input: its stored form (behind a 32-bit size word, ReadData)
// or its file image (LoadFromStream). A graphic that refuses the input stays empty.
template <class Graphic>
bool ReadGraphic(const TFuzzInput& input, Graphic& graphic, bool stored) {
  return ReadInput(
      input,
      [&](TStream& stream) { stored ? graphic.ReadData(stream) : graphic.LoadFromStream(stream); },
      [&] { return graphic.Empty(); });
}

// Reads every byte of a buffer; the sum goes to a volatile sink so the reads stay.
inline void TouchBytes(const uint8_t* bytes, size_t size) {
  static volatile uint32_t sink;
  uint32_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum += bytes[i];
  sink = sink + sum;
}

// Reads every byte of every row of the bitmap's store (fill bytes too), its colour table
// and its description's sizes.
inline void TouchBitmap(const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  const size_t stride = static_cast<size_t>(bitmap.RowStride());
  for (int y = 0; y < bitmap.Height(); ++y) TouchBytes(bitmap.ConstScanline(y), stride);
  const auto& table = bitmap.ColorTable();
  if (!table.empty())
    TouchBytes(reinterpret_cast<const uint8_t*>(table.data()), table.size() * sizeof(table[0]));
}
