// A slow reference of the resampling passes, written straight from the formulas with
// nothing shared with the library's kernels: each sample computes its own position, the
// shrink boundaries and scale are exact integer quotients, sums are 64-bit and divided
// plainly. The fast kernels must give the same bytes.
#pragma once

#include <vector>

#include "TestPictures.h"

// One line of S samples resampled to D samples (S < D enlarges, S > D shrinks).
std::vector<int> ReferenceEnlarge(const std::vector<int>& p, int dest);
std::vector<int> ReferenceShrink(const std::vector<int>& p, int dest);

// Whole passes over a plane, every channel of every row (width) or column (height).
TPlane ReferenceWidthPass(const TPlane& source, int width);
TPlane ReferenceHeightPass(const TPlane& source, int height);
// The width pass, then the height pass, each only when the size differs.
TPlane ReferenceResize(const TPlane& source, int width, int height);
