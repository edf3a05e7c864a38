#include "reveal/ViewRows.h"

#include "compose/ResampleTables.h"
#include "platform/Processor.h"
#include "reveal/ViewRowsVector.h"

namespace {

// The mean of an even cell's odd neighbours, for any place in the picture.
inline uint8_t NeighbourMean(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x,
                             int width, int c) {
  const int i = 3 * x + c;
  int sum = 0, n = 0;
  if (x > 0) sum += row[i - 3], ++n;
  if (x + 1 < width) sum += row[i + 3], ++n;
  if (up != nullptr) sum += up[i], ++n;
  if (down != nullptr) sum += down[i], ++n;
  return n == 0 ? 128 : static_cast<uint8_t>((sum + n / 2) / n);
}

void HiddenPixels(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out, int y,
                  int from, int to, int width, int out_origin) {
  for (int x = from; x < to; ++x) {
    uint8_t* o = out + 3 * (x - out_origin);
    if (((x + y) & 1) != 0) {
      o[0] = row[3 * x], o[1] = row[3 * x + 1], o[2] = row[3 * x + 2];
    } else {
      for (int c = 0; c < 3; ++c) o[c] = NeighbourMean(up, row, down, x, width, c);
    }
  }
}

bool& Avx512Allowed() {
  static bool allowed = true;
  return allowed;
}

bool Avx512InUse() {
  return Avx512Allowed() && Avx512VbmiAvailable();
}

}  // namespace

void SetAvx512Allowed(bool allowed) {
  Avx512Allowed() = allowed;
}

void MapBytes(const uint8_t* in, uint8_t* out, size_t count, const TByteMap& map) {
  // The vector paths as the composition's kernel path allows; the widest the processor has.
  TByteMapKernel kernel = TByteMapKernel::bkGeneric;
  if (KernelPath() == TKernelPath::kpAvx2)
    kernel = Avx512InUse() ? TByteMapKernel::bkAvx512 : TByteMapKernel::bkAvx2;
  MapBytesWith(kernel, in, out, count, map);
}

void GatherCells(const uint8_t* row, uint8_t* out, int first, int count) {
  const uint8_t* p = row + 3 * first;
  for (int i = 0; i < count; ++i, p += 6, out += 3) {
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
  }
}

namespace {

void AverageRowGeneric(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int from, int to,
                       int width, int out_origin) {
  for (int i = from; i < to; ++i) {
    const int x = 2 * i;
    const bool pair = x + 1 < width;
    const int n = (pair ? 2 : 1) * (bottom != nullptr ? 2 : 1);
    for (int c = 0; c < 3; ++c) {
      int sum = top[3 * x + c];
      if (pair) sum += top[3 * x + 3 + c];
      if (bottom != nullptr) {
        sum += bottom[3 * x + c];
        if (pair) sum += bottom[3 * x + 3 + c];
      }
      out[3 * (i - out_origin) + c] = static_cast<uint8_t>((sum + n / 2) / n);
    }
  }
}

}  // namespace

void AverageRow(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int from, int to,
                int width) {
  int done = from;
  if (bottom != nullptr && KernelPath() == TKernelPath::kpAvx2)
    done = AverageRowAvx2(top, bottom, out, from, to, width);
  AverageRowGeneric(top, bottom, out, done, to, width, from);
}

void HiddenRow(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out, int y,
               int from, int to, int width) {
  if (up == nullptr || down == nullptr || KernelPath() != TKernelPath::kpAvx2 || width < 3) {
    HiddenPixels(up, row, down, out, y, from, to, width, from);
    return;
  }
  const int a = from > 1 ? from : 1;
  const int b = to < width - 1 ? to : width - 1;
  if (a >= b) {
    HiddenPixels(up, row, down, out, y, from, to, width, from);
    return;
  }
  HiddenPixels(up, row, down, out, y, from, a, width, from);
  const int done = Avx512InUse() ? HiddenInnerAvx512(up, row, down, out, y, a, b, from)
                                 : HiddenInnerAvx2(up, row, down, out, y, a, b, from);
  HiddenPixels(up, row, down, out, y, done, to, width, from);
}

bool HiddenRowMappingBelowAvailable() {
  return KernelPath() == TKernelPath::kpAvx2 && Avx512InUse();
}

void HiddenRowMappingBelow(const uint8_t* up, const uint8_t* row, const uint8_t* below_stored,
                           const uint8_t* ahead, uint8_t* below, const TByteMap& map, uint8_t* out,
                           int y, int from, int to, int width) {
  const int first = from > 0 ? from - 1 : 0, last = to < width ? to + 1 : width;
  // Pixels a .. done - 1 come from the vector code, which maps bytes mapped_from ..
  // mapped_end - 1 of the row below; with nothing done there, both ranges are empty.
  int a = from, done = from, mapped_from = 3 * first, mapped_end = 3 * first;
  if (width >= 3 && HiddenRowMappingBelowAvailable()) {
    const int inner_from = from > 1 ? from : 1;
    const int inner_to = to < width - 1 ? to : width - 1;
    if (inner_from < inner_to) {
      a = inner_from;
      mapped_from = 3 * a;
      done = HiddenMappingBelowAvx512(up, row, below_stored, ahead, below, map, out, y, a, inner_to,
                                      from, mapped_end);
    }
  }
  MapBytes(below_stored + 3 * first, below + 3 * first,
           static_cast<size_t>(mapped_from - 3 * first), map);
  MapBytes(below_stored + mapped_end, below + mapped_end,
           static_cast<size_t>(3 * last - mapped_end), map);
  HiddenPixels(up, row, below, out, y, from, a, width, from);
  HiddenPixels(up, row, below, out, y, done, to, width, from);
}
