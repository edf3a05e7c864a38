// The vector instructions this processor runs, asked of it once: the one place that says
// which vector paths the pixel kernels may take. Every kernel also has a generic path that
// runs everywhere, and every path gives the same bytes.
#pragma once

// Whether the x86 vector kernels (AVX2, AVX-512) are built at all: only where the compiler
// targets x86. Elsewhere (WebAssembly) the functions below say no, and the kernels run
// their generic code or vector code of their target chosen when they are compiled.
#if defined(__x86_64__) || defined(__i386__)
#define LUMIVEIL_X86_KERNELS 1
#else
#define LUMIVEIL_X86_KERNELS 0
#endif

// AVX2 (which brings SSE4.1 and the sets before it).
bool Avx2Available();

// AVX-512 F, BW and VBMI, in 64-byte registers the program may use: not on Windows, where
// the compilers do not keep the stack aligned for them.
bool Avx512VbmiAvailable();
