// Fuzz target: the band chunk scanner on a file's bytes, as reveal runs it on any picture
// it is given. A band it reports stored must be one the sliders can set.
#include "fuzz/FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "reveal/Band.h"
#include "reveal/StoredBand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  FillStream(stream, data, size);
  const TStoredBand band = ReadStoredBand(stream);
  if (band.state == TStoredBandState::sbStored) {
    FUZZ_CHECK(IsSliderBand(band.band));
    FUZZ_CHECK(!band.version.empty());
  }
  if (band.state == TStoredBandState::sbMalformed) FUZZ_CHECK(!band.problem.empty());
  return 0;
}
