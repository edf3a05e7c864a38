// Synthesis of the combined picture: a one-pixel checkerboard whose even cells (x + y
// even, (0, 0) the top-left pixel) carry the visible picture unchanged and whose odd cells
// carry the hidden picture, tone-mapped by Synthesize.
#pragma once

class TBitmap;

// The checkerboard alone (the preview after a hidden picture is loaded): the result
// becomes the visible picture's size W x H at 24 bits per pixel, even cells from the
// visible picture, odd cells the hidden picture's bytes untouched. The hidden picture must
// be at least W x H: when it is not (an empty hidden picture has no row 0), the command
// ends with the scan-line error after the result was resized and before any cell is
// written.
void ComposeCheckerboard(TBitmap& result, const TBitmap& external, const TBitmap& inner);

// Synthesize: when the hidden picture's size differs from the visible picture's, it is
// first refitted with ResizeBitmap (what "Resize" does; an empty hidden picture stays
// empty and the composition then ends with the scan-line error). Then the checkerboard as
// above, with the odd cells mapped from the hidden picture with average A and contrast C.
// The even cells equal the visible picture; the odd cells depend only on the hidden
// picture, A and C.
void Synthesize(TBitmap& result, const TBitmap& external, TBitmap& inner, int average,
                int contrast);

// The same two commands for a caller that needs the visible picture no more (a batch job
// that saves the result and ends): a fresh, empty result takes over the visible picture's
// store and only its odd cells are written, since its even cells hold the visible
// picture's bytes already. The result is byte for byte the one the commands above make,
// without a third full-size picture beside the visible and the hidden one. `external` is
// then empty and the return value true. When the store cannot be taken over (the result
// is not fresh, or the store is shared or not a plain 24-bit bottom-up section), the
// command runs as above, `external` stays as it is, and the return value is false.
bool ComposeCheckerboardConsuming(TBitmap& result, TBitmap& external, const TBitmap& inner);
// A hidden picture that ResizeBitmap would enlarge both ways in one pass
// (EnlargesBothAtOnce) is not refitted in place here: its enlarged rows go straight into
// the odd cells, and `inner` keeps its size (the batch job releases it next).
bool SynthesizeConsuming(TBitmap& result, TBitmap& external, TBitmap& inner, int average,
                         int contrast);
