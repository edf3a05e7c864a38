// Stevenson-Arce error diffusion, divisor 200, over four rows and seven columns. Offsets
// are taken in the scan direction (positive = ahead):
//
//   current row          +2: 32
//   next row             -3: 12  -1: 26  +1: 30  +3: 16
//   second row below     -2: 12   0: 26  +2: 12
//   third row below      -3: 5   -1: 12  +1: 12  +3: 5
//
// The engine that walks the table is KernelDitherer.h's.
#pragma once

#include <cstdint>

#include "gif/KernelDitherer.h"

// The table at the offsets -3 .. +3 of each row.
inline constexpr TDiffusionKernel<4, 3> kSteveArcheKernel{200,
                                                          {{0, 0, 0, 0, 0, 32, 0},
                                                           {12, 0, 26, 0, 30, 0, 16},
                                                           {0, 12, 0, 26, 0, 12, 0},
                                                           {5, 0, 12, 0, 12, 0, 5}}};

class TSteveArcheDitherer final : public TKernelDitherer<4, 3> {
 public:
  TSteveArcheDitherer(int width, TColorLookup& lookup)
      : TKernelDitherer(width, lookup, kSteveArcheKernel.divisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override {
    KernelRow<kSteveArcheKernel>(bgr, indices);
  }

 private:
  void SpreadAt(int32_t* const* at, int32_t error) override {
    Spread<kSteveArcheKernel>(at, error);
  }
};
