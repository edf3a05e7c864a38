#include "raster/ByteMap.h"

#include <cstring>

#include "platform/Processor.h"
#include "raster/ByteMapVector.h"

TByteMap::TByteMap(const uint8_t (&source)[256]) {
  std::memcpy(table, source, 256);
  for (int half = 0; half < 2; ++half)
    for (int k = 0; k < 8; ++k)
      for (int l = 0; l < 16; ++l) {
        const uint8_t row = table[128 * half + 16 * k + l];
        const uint8_t before = k > 0 ? table[128 * half + 16 * (k - 1) + l] : 0;
        steps[half][k][l] = static_cast<uint8_t>(row ^ before);
      }
}

namespace {

void MapBytesGeneric(const uint8_t* in, uint8_t* out, size_t count, const uint8_t* table) {
  for (size_t i = 0; i < count; ++i) out[i] = table[in[i]];
}

// The kernel to run: the one asked for where the processor has it, else the generic loop.
TByteMapKernel Runnable(TByteMapKernel kernel) {
  return ByteMapKernelAvailable(kernel) ? kernel : TByteMapKernel::bkGeneric;
}

}  // namespace

bool ByteMapKernelAvailable(TByteMapKernel kernel) {
  switch (kernel) {
    case TByteMapKernel::bkGeneric:
      return true;
    case TByteMapKernel::bkAvx2:
      return Avx2Available();
    case TByteMapKernel::bkAvx512:
      return Avx512VbmiAvailable();
  }
  return false;
}

void MapBytesWith(TByteMapKernel kernel, const uint8_t* in, uint8_t* out, size_t count,
                  const TByteMap& map) {
  const TByteMapKernel runs = Runnable(kernel);
  const size_t done = runs == TByteMapKernel::bkAvx2     ? MapBytesAvx2(in, out, count, map)
                      : runs == TByteMapKernel::bkAvx512 ? MapBytesAvx512(in, out, count, map)
                                                         : 0;
  MapBytesGeneric(in + done, out + done, count - done, map.table);
}

TByteMapKernel WidestByteMapKernel() {
  return Avx512VbmiAvailable() ? TByteMapKernel::bkAvx512
         : Avx2Available()     ? TByteMapKernel::bkAvx2
                               : TByteMapKernel::bkGeneric;
}

size_t FirstFlagged(TByteMapKernel kernel, const uint8_t* in, size_t count, const TByteMap& map) {
  const TByteMapKernel runs = Runnable(kernel);
  size_t done = runs == TByteMapKernel::bkAvx2     ? FirstFlaggedAvx2(in, count, map)
                : runs == TByteMapKernel::bkAvx512 ? FirstFlaggedAvx512(in, count, map)
                                                   : 0;
  while (done < count && map.table[in[done]] == 0) ++done;
  return done;
}
