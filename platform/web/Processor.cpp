// The vector instructions in the web page: none of x86's. The kernels' WebAssembly vector
// code is chosen when they are compiled (-msimd128), as a page cannot ask its processor.
#include "platform/Processor.h"

bool Avx2Available() {
  return false;
}

bool Avx512VbmiAvailable() {
  return false;
}
