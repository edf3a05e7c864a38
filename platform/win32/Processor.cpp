// The vector instructions on Windows: AVX2 where the processor has it; never the 64-byte
// registers of AVX-512, which the compilers for Windows do not keep aligned on the stack
// (a spilled register would fault), so their kernels are built but never chosen.
#include "platform/Processor.h"

bool Avx2Available() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

bool Avx512VbmiAvailable() {
  return false;
}
