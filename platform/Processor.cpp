#include "platform/Processor.h"

bool Avx2Available() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

bool Avx512VbmiAvailable() {
  static const bool available = __builtin_cpu_supports("avx512f") &&
                                __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vbmi");
  return available;
}
