// The vector instructions this processor runs, asked of it once: the one place that says
// which vector paths the pixel kernels may take. Every kernel also has a generic path that
// runs everywhere, and every path gives the same bytes.
#pragma once

// AVX2 (which brings SSE4.1 and the sets before it).
bool Avx2Available();

// AVX-512 F, BW and VBMI, in 64-byte registers the program may use: not on Windows, where
// the compilers do not keep the stack aligned for them.
bool Avx512VbmiAvailable();
