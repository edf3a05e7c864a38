// Fuzz target: the wrapping of a plug-in's device-independent bitmap (TSPIBitmap::
// LoadFromSPI), fed an info block and bits as a misbehaving plug-in could hand them back.
//
// The last two input bytes give the info block's length n (little-endian, cut to what the
// input holds); the first n bytes are the info block, the rest are the bits.
#include <algorithm>
#include <vector>

#include "base/Exceptions.h"
#include "fuzz/FuzzSupport.h"
#include "susie/Spibmp.h"

FUZZ_INITIALIZE_LIMITS()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input = TakeOptions(data, size, 2);
  const size_t info_size = std::min<size_t>(input.options, input.size);
  // Separate blocks, as a plug-in's two memory handles are: reading past either one is
  // caught on its own.
  const std::vector<uint8_t> info(input.data, input.data + info_size);
  const std::vector<uint8_t> bits(input.data + info_size, input.data + input.size);
  TSPIBitmap bitmap;
  bool done = false;
  try {
    bitmap.LoadFromSPI(info.data(), info.size(), bits.data(), bits.size(), TPictureInfoRec{}, done);
  } catch (const Exception&) {
    FUZZ_CHECK(!done && bitmap.Empty());
    return 0;
  }
  FUZZ_CHECK(done);
  TouchBitmap(bitmap);
  return 0;
}
