// Fuzz target: a stored picture (a form resource's picture property) read into a
// TPicture through the format registry: a class name, then that graphic's stored data.
// What reads must write and read back as a picture of the same class and size.
//
// Last input byte: bit 0 also turns the graphic into a TBitmap (for a JPEG picture that
// decodes it), as drawing it would.
#include "base/Exceptions.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/Picture.h"
#include "susie/Spibmp.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetFuzzLimits();
  // A loaded import plug-in registers its extensions with the plug-in-aware raster class;
  // stored pictures of that class then read too.
  TPicture::RegisterFileFormat("spi", "plug-in picture", TSPIBitmap::Class());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input = TakeOptions(data, size, 1);
  TPicture picture;
  if (!ReadInput(
          input, [&](TStream& stream) { picture.ReadData(stream); },
          [&] { return picture.Graphic() == nullptr; }))
    return 0;
  TGraphic* graphic = picture.Graphic();
  if (graphic == nullptr) return 0;
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(graphic)) TouchBitmap(*bitmap);

  TMemoryStream written;
  picture.WriteData(written);
  written.SetPosition(0);
  TPicture copy;
  try {
    copy.ReadData(written);
  } catch (const Exception& e) {
    std::fprintf(stderr, "the written picture does not read back: %s\n", e.what());
    std::abort();
  }
  FUZZ_CHECK(copy.Graphic() != nullptr);
  FUZZ_CHECK(copy.Graphic()->ClassType().name == graphic->ClassType().name);
  FUZZ_CHECK(copy.Width() == picture.Width() && copy.Height() == picture.Height());

  if (input.options & 1) {
    TBitmap bitmap;
    try {
      bitmap.Assign(graphic);
      TouchBitmap(bitmap);
    } catch (const Exception&) {
    }
  }
  return 0;
}
