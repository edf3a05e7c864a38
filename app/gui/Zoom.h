// The zoom of a picture window: the steps of zoom in and out, the scale that fits a picture
// into a window, the size of a picture on screen and the text that names a scale.
//
// A scale is screen pixels per picture pixel. The steps are 1/32, 1/24, 1/16, 1/12, 1/8,
// 1/6, 1/4, 1/3, 1/2, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32: below 1:1 every screen pixel
// averages a whole n x n block of picture pixels (so a one-pixel checkerboard shows as the
// even mix of its two pictures at every even step), above it every picture pixel is a
// whole n x n block.
#pragma once

#include <QString>

// The largest side of an image box in screen pixels (the toolkit's limit on a widget).
inline constexpr int kMaxScaledLength = (1 << 24) - 1;

// The next step above `scale` (the top step stays), and the next below (the bottom stays).
double ZoomInStep(double scale);
double ZoomOutStep(double scale);

// The scale that shows the whole of a width x height picture in a viewport: below 1:1 the
// exact fraction, above it the largest whole number (equal blocks for every pixel). An empty
// picture or viewport gives 1.
double FitScale(int width, int height, int viewport_width, int viewport_height);

// The largest scale at which a picture whose longer side is `length` still fits an image box.
double MaxScaleFor(int length);

// A picture side of `length` pixels on screen: every picture pixel covered, so at least one
// screen pixel for a picture that has any.
int ScaledLength(int length, double scale);

// "100%", "25%", "4.7%", "0.52%", "800%".
QString ZoomText(double scale);
