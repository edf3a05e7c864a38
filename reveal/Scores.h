// The two scores of a combined picture R, each a peak signal-to-noise ratio in dB,
// 10 log10(255^2 / MSE), infinite when the mean squared error MSE is 0:
//
//   visible  how little the hidden picture shows in the normal view: R against the visible
//            picture, MSE over every cell and channel (the even cells add nothing when R
//            keeps them unchanged); higher means the hidden picture shows less
//   hidden   how well the hidden picture comes back: the hidden view's odd cells (each
//            stored byte mapped back through the band) against the hidden picture, MSE
//            over the odd cells and channels; higher means a truer hidden picture. A
//            picture without odd cells (1 x 1) has no hidden score
//   grey     the same in luminance only: the grey hidden view's odd cells (Luma of the
//            bytes mapped back) against the hidden picture's Luma, MSE over the odd cells.
//            A lossy codec that blurs colour (JPEG's 4:2:0 chroma) tints the recovered
//            colours with the visible picture's; its luminance suffers less
//
// The visible and the hidden picture are compared at R's size: FitToResult brings them
// there as the workflow fits a hidden picture (ResizeBitmap).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "reveal/Band.h"

class TBitmap;

// The luminance of a pixel (blue, green, red bytes): 0.299 R + 0.587 G + 0.114 B in 16-bit
// fixed point, rounded, as JPEG's YCbCr computes it.
inline uint8_t Luma(const uint8_t* bgr) {
  return static_cast<uint8_t>((7471 * bgr[0] + 38470 * bgr[1] + 19595 * bgr[2] + 32768) >> 16);
}

// 10 log10(255^2 / (squares / count)); +infinity for squares = 0. count > 0.
double Psnr(uint64_t squares, uint64_t count);

// A 24-bit copy of `picture` at the result's size (a copy sharing the pixels when the size
// is already right).
void FitToResult(const TBitmap& result, const TBitmap& picture, TBitmap& fitted);

// The scores of R against pictures of its own size (24 bits); EInvalidGraphicOperation for
// pictures of another size.
double VisiblePsnr(const TBitmap& result, const TBitmap& visible);
std::optional<double> HiddenPsnr(const TBitmap& result, const TBitmap& hidden,
                                 const TToneBand& band);

// Whether R is exactly the synthesis of the visible and the hidden picture (all three of
// one size) with the band: even cells the visible picture's, odd cells the hidden
// picture's mapped into the band (kIdentityBand: the unmapped preview).
std::optional<double> HiddenGreyPsnr(const TBitmap& result, const TBitmap& hidden,
                                     const TToneBand& band);

bool IsSynthesisOf(const TBitmap& result, const TBitmap& visible, const TBitmap& hidden,
                   const TToneBand& band);

// The hidden score of a synthesis whose bytes are kept as they are (the band's rounding
// alone), from the counts of the hidden picture's bytes over the odd cells and channels;
// none when there are none.
std::optional<double> KeptHiddenPsnr(const uint64_t (&hidden)[256], const TToneBand& band);

// The scores of every synthesis of one visible and one hidden picture, for any band at the
// cost of 65536 products: the counts of each (hidden byte, visible byte) pair over the odd
// cells and channels are taken once. Gives the same scores as VisiblePsnr and HiddenPsnr of
// the synthesis with that band (which a window can then show at every slider step).
class TScoreBasis {
 public:
  // Both pictures 24 bits and of one size, not empty.
  TScoreBasis(const TBitmap& visible, const TBitmap& hidden);
  double VisiblePsnr(const TToneBand& band) const;
  std::optional<double> HiddenPsnr(const TToneBand& band) const;

 private:
  std::vector<uint64_t> pairs_;  // [hidden * 256 + visible]
  uint64_t hidden_[256] = {};
  uint64_t all_bytes_ = 0;
  uint64_t odd_bytes_ = 0;
};
