// Fuzz target: whatever the BMP reader accepts must survive the writer. The picture is
// written as BMP and read back: the copy must have the same size and the same colours,
// the same rows, and writing it again must give the same bytes. The same holds after the conversion
// to 24 bits that the program makes of every picture it loads.
//
// Last input byte: bit 0 set writes and reads the stored form (with its size word).
#include <optional>
#include <vector>

#include "base/Exceptions.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

namespace {

std::vector<uint8_t> Write(TBitmap& bitmap, bool stored) {
  TMemoryStream stream;
  if (stored)
    bitmap.WriteData(stream);
  else
    bitmap.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

void Read(TBitmap& bitmap, const std::vector<uint8_t>& bytes, bool stored) {
  TMemoryStream stream;
  FillStream(stream, bytes.data(), bytes.size());
  if (stored)
    bitmap.ReadData(stream);
  else
    bitmap.LoadFromStream(stream);
}

// Every byte of every row, rows from the top.
std::vector<uint8_t> Rows(const TBitmap& bitmap) {
  std::vector<uint8_t> bytes;
  const size_t stride = static_cast<size_t>(bitmap.RowStride());
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.ConstScanline(y);
    bytes.insert(bytes.end(), row, row + stride);
  }
  return bytes;
}

// Every pixel's colour, rows from the top; nothing when the picture is too large to be
// converted to 24 bits (the reader takes pictures whose 24-bit form is over the limit).
std::optional<std::vector<TColor>> Colours(const TBitmap& bitmap) {
  std::vector<TColor> colours;
  TBitmap copy;
  copy.Assign(&bitmap);
  try {
    copy.SetPixelFormat(TPixelFormat::Bits24);
  } catch (const EInvalidGraphic&) {
    return std::nullopt;
  }
  for (int y = 0; y < copy.Height(); ++y) {
    const uint8_t* row = copy.ConstScanline(y);
    for (int x = 0; x < copy.Width(); ++x)
      colours.push_back(RGBColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  }
  return colours;
}

// Bit-field masks that are all zero are written as the default masks (the writer's rule
// for a section without masks), so such a picture comes back with other masks: another
// pixel format (16 bits with 5-6-5 masks instead of a custom one) and other colours
// (every pixel read as black before). Its size and rows still come back unchanged.
bool WriterFillsInMasks(const TBitmap& bitmap) {
  const TDIBSection& d = bitmap.DIBInfo();
  return d.dsBmih.biCompression == BI_BITFIELDS && d.dsBitfields[0] == 0 && d.dsBitfields[1] == 0 &&
         d.dsBitfields[2] == 0;
}

void CheckRoundTrip(TBitmap& bitmap, bool stored) {
  const std::vector<uint8_t> bytes = Write(bitmap, stored);
  TBitmap copy;
  try {
    Read(copy, bytes, stored);
  } catch (const Exception& e) {
    std::fprintf(stderr, "the written picture does not read back: %s\n", e.what());
    std::abort();
  }
  FUZZ_CHECK(copy.Width() == bitmap.Width());
  FUZZ_CHECK(copy.Height() == bitmap.Height());
  FUZZ_CHECK(Rows(copy) == Rows(bitmap));
  if (!WriterFillsInMasks(bitmap)) {
    FUZZ_CHECK(copy.PixelFormat() == bitmap.PixelFormat());
    FUZZ_CHECK(Colours(copy) == Colours(bitmap));
  }
  FUZZ_CHECK(Write(copy, stored) == bytes);
}

}  // namespace

FUZZ_INITIALIZE_LIMITS()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input = TakeOptions(data, size, 1);
  const bool stored = (input.options & 1) != 0;
  std::vector<uint8_t> bytes(input.data, input.data + input.size);
  TBitmap bitmap;
  try {
    Read(bitmap, bytes, false);
  } catch (const Exception&) {
    return 0;
  }
  if (bitmap.Empty()) return 0;
  CheckRoundTrip(bitmap, stored);
  try {
    bitmap.SetPixelFormat(TPixelFormat::Bits24);
  } catch (const EInvalidGraphic&) {
    return 0;  // over the limit at 24 bits
  }
  CheckRoundTrip(bitmap, stored);
  return 0;
}
