// The hidden picture's tone mapping: the odd cells of the result (x + y odd, row 0 at the
// top) take the hidden picture's bytes squeezed into the band from A - C to A + C, where A
// is the average and C the contrast that the two sliders set.
#pragma once

#include <cstdint>

class TBitmap;

// The contrast limit L(A): A up to 128, 255 - A above. C never exceeds it, so the band
// stays within 0 .. 255 (L(128) = 128, L(127) = 127, L(129) = 126).
int ContrastLimit(int average);

// The mapping of one command as a table of the 256 byte values: t = truncate(v * s) with
// s = 2 * C * k rounded once to double (k the double nearest 1/255, slightly below it) and
// the product v * s exact, then (t + A - C) modulo 256. A and C must lie within 0 .. 255;
// the table raises EInvalidGraphicOperation for other values.
struct TToneTable {
  TToneTable(int average, int contrast);
  uint8_t map[256];
  int offset = 0;  // A - C
  // A 16.16 multiplier m with ((v * m) >> 16 + A - C) mod 256 = map[v] for every byte v,
  // for the vector code; -1 when none was found (the table is used then).
  int32_t multiplier = -1;
};

// Replaces each byte of the result's odd cells by the mapped byte of the hidden picture's
// pixel at the same place. Limited to the cells that both pictures have, so a result larger
// than the hidden picture is never read past it; even cells and the hidden picture are
// never changed. Both pictures must hold 24-bit pixels (EInvalidGraphic otherwise).
void ApplyInnerTone(TBitmap& result, const TBitmap& inner, int average, int contrast);
void ApplyInnerTone(TBitmap& result, const TBitmap& inner, const TToneTable& tone);
