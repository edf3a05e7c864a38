// The raster store: copy on write, sizes and formats, row access, and the BMP reader and
// writer on crafted files (one per guard) and round trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "platform/MemoryStream.h"
#include "platform/Palettes.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"
#include "tests/common/ErrorMessage.h"
#include "tests/common/TestFiles.h"

namespace {

// A BMP file image built field by field, so each test can break exactly one field.
struct BmpBytes {
  uint32_t header_size = 40;
  int32_t width = 4, height = 2;
  uint16_t planes = 1, bits = 24;
  uint32_t compression = BI_RGB, image_size = 0, colours_used = 0;
  std::vector<uint8_t> extra_header;  // bytes after the first 40 of a larger header
  std::vector<uint8_t> masks;         // 12 bytes after a 40-byte header
  std::vector<uint8_t> table;         // colour entries as stored
  std::vector<uint8_t> gap;           // bytes between table and pixels
  std::vector<uint8_t> pixels;

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> b(14 + 40);
    b[0] = 'B', b[1] = 'M';
    TBitmapInfoHeader h;
    h.biSize = header_size;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = planes;
    h.biBitCount = bits;
    h.biCompression = compression;
    h.biSizeImage = image_size;
    h.biClrUsed = colours_used;
    EncodeInfoHeader(h, b.data() + 14);
    b.insert(b.end(), extra_header.begin(), extra_header.end());
    b.insert(b.end(), masks.begin(), masks.end());
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), gap.begin(), gap.end());
    PutU32(b.data() + 10, static_cast<uint32_t>(b.size()));
    b.insert(b.end(), pixels.begin(), pixels.end());
    PutU32(b.data() + 2, static_cast<uint32_t>(b.size()));
    return b;
  }
};

void LoadBytes(TBitmap& bitmap, const std::vector<uint8_t>& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  bitmap.LoadFromStream(stream);
}

std::vector<uint8_t> SaveBytes(TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

// A 24-bit picture whose pixel (x, y) is (x, y, x + y) as blue, green, red.
void MakeGradient(TBitmap& bitmap, int width, int height) {
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = static_cast<uint8_t>(x + y);
    }
  }
}

}  // namespace

// Copy on write ----------------------------------------------------------------------------

TEST(CopyOnWrite, AssignSharesAndAChangeMakesAPrivateStore) {
  TBitmap a, b;
  MakeGradient(a, 5, 3);
  b.Assign(&a);
  EXPECT_TRUE(a.SharesImageWith(b));
  b.Scanline(1)[0] = 200;
  EXPECT_FALSE(a.SharesImageWith(b));
  EXPECT_EQ(a.ConstScanline(1)[0], 0);
  EXPECT_EQ(b.ConstScanline(1)[0], 200);
}

TEST(CopyOnWrite, ReadingNeverCopiesAndSizeOrFormatChangesDetach) {
  TBitmap a, b, c;
  MakeGradient(a, 5, 3);
  b.Assign(&a);
  c.Assign(&a);
  (void)b.ConstScanline(2);
  (void)b.Pixel(4, 2);
  EXPECT_TRUE(a.SharesImageWith(b));
  b.SetWidth(6);
  c.SetPixelFormat(TPixelFormat::Bits8);
  EXPECT_FALSE(a.SharesImageWith(b));
  EXPECT_FALSE(a.SharesImageWith(c));
  EXPECT_EQ(a.Width(), 5);
  EXPECT_EQ(a.PixelFormat(), TPixelFormat::Bits24);
}

TEST(CopyOnWrite, AssigningNothingEmptiesTheBitmap) {
  TBitmap a;
  MakeGradient(a, 2, 2);
  a.Assign(nullptr);
  EXPECT_TRUE(a.Empty());
}

// Sizes and formats -------------------------------------------------------------------------

TEST(Size, ANewBitmapGivenWidthThenHeightIsAWhiteDevicePicture) {
  TBitmap bitmap;
  bitmap.SetWidth(3);
  EXPECT_TRUE(bitmap.Empty());
  bitmap.SetHeight(2);
  EXPECT_FALSE(bitmap.Empty());
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Device);
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(bitmap.Pixel(x, y), clWhite);
}

TEST(Size, TwentyFourBitsOnAnEmptyBitmapIsRememberedForTheLaterSize) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  bitmap.SetWidth(4);
  bitmap.SetHeight(4);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  EXPECT_TRUE(bitmap.IsSection());
  EXPECT_EQ(bitmap.Pixel(3, 3), clWhite);
}

TEST(Size, ChangingKeepsTheTopLeftAndFillsNewAreaWhite) {
  TBitmap bitmap;
  MakeGradient(bitmap, 4, 3);
  bitmap.SetWidth(6);
  bitmap.SetHeight(2);
  EXPECT_EQ(bitmap.Width(), 6);
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.Pixel(3, 1), RGBColor(4, 1, 3));
  EXPECT_EQ(bitmap.Pixel(4, 0), clWhite);
  EXPECT_EQ(bitmap.Pixel(5, 1), clWhite);
  bitmap.SetHeight(0);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(Size, PaletteFormatsKeepTheirIndicesAndFillWithTheNearestWhite) {
  TBitmap bitmap;
  bitmap.LoadFromFile(TestData("bmpsuite/g/pal4.bmp"));
  TBitmap original;
  original.Assign(&bitmap);
  bitmap.SetWidth(130);
  for (int x = 0; x < 127; ++x) EXPECT_EQ(bitmap.Pixel(x, 5), original.Pixel(x, 5)) << x;
  // pal4.bmp's 12 colours hold no pure white; the fill is the nearest entry to white.
  const TColor fill = bitmap.Pixel(129, 5);
  EXPECT_EQ(bitmap.Pixel(127, 0), fill);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits4);
}

TEST(Size, APictureOverTheStoreLimitIsRefused) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(40000);
  EXPECT_THROW(bitmap.SetHeight(40000), EPictureTooLarge);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(Size, TheStoreLimitCanBeLoweredButNeverRaised) {
  struct Restore {
    ~Restore() { SetMaxPixelStoreBytes(0); }
  } restore;
  SetMaxPixelStoreBytes(1 << 20);
  EXPECT_EQ(MaxPixelStoreBytes(), uint64_t{1} << 20);
  EXPECT_TRUE(ComputeStoreSize(512, 512, 32));  // exactly 1 MiB
  EXPECT_FALSE(ComputeStoreSize(512, 513, 32));
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(1000);
  EXPECT_THROW(bitmap.SetHeight(1000), EInvalidGraphic);
  SetMaxPixelStoreBytes(kMaxPixelStoreBytes * 2);
  EXPECT_EQ(MaxPixelStoreBytes(), kMaxPixelStoreBytes);
  SetMaxPixelStoreBytes(0);
  EXPECT_EQ(MaxPixelStoreBytes(), kMaxPixelStoreBytes);
  EXPECT_TRUE(ComputeStoreSize(16384, 16384, 32));  // exactly 1 GiB
  EXPECT_FALSE(ComputeStoreSize(16384, 16385, 32));
}

TEST(PixelFormat, EightBitsMapsToTheNearestHalftoneEntryAndTwentyFourKeepsThePalette) {
  TBitmap bitmap;
  MakeGradient(bitmap, 40, 30);
  const TColor before = bitmap.Pixel(37, 29);  // (66, 29, 37) as red, green, blue
  bitmap.SetPixelFormat(TPixelFormat::Bits8);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits8);
  ASSERT_EQ(bitmap.ColorTable().size(), 256u);
  const auto& halftone = HalftonePaletteEntries();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(ToPaletteEntry(bitmap.ColorTable()[i]), halftone[i]);
  // Nearest by squared distance among the halftone entries: the grey 41 is 25 + 144 + 16
  // away, the cube colour (51, 51, 51) 225 + 484 + 196; (51, 0, 51) 225 + 841 + 196.
  EXPECT_EQ(bitmap.Pixel(37, 29), RGBColor(41, 41, 41));
  EXPECT_NE(bitmap.Pixel(37, 29), before);
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  EXPECT_EQ(bitmap.Pixel(37, 29), RGBColor(41, 41, 41));
  EXPECT_EQ(GetPaletteEntries(bitmap.Palette()).size(), 256u);
}

TEST(PixelFormat, CustomCannotBeSet) {
  TBitmap bitmap;
  MakeGradient(bitmap, 2, 2);
  EXPECT_EQ(ErrorMessage<EInvalidGraphic>([&] { bitmap.SetPixelFormat(TPixelFormat::Custom); }),
            SInvalidPixelFormat);
}

TEST(PixelFormat, FourBitsUsesTheSixteenColourPalette) {
  TBitmap bitmap;
  MakeGradient(bitmap, 3, 1);
  bitmap.Scanline(0)[0] = 250, bitmap.Scanline(0)[1] = 5, bitmap.Scanline(0)[2] = 10;
  bitmap.SetPixelFormat(TPixelFormat::Bits4);
  EXPECT_EQ(bitmap.ColorTable().size(), 16u);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(0, 0, 255));  // (10, 5, 250) is nearest to blue
}

TEST(PixelFormat, EveryCreatableFormatSurvivesAWriteAndReadBack) {
  for (TPixelFormat format :
       {TPixelFormat::Bits1, TPixelFormat::Bits4, TPixelFormat::Bits8, TPixelFormat::Bits15,
        TPixelFormat::Bits16, TPixelFormat::Bits24, TPixelFormat::Bits32, TPixelFormat::Device}) {
    TBitmap bitmap;
    FillRandom24(bitmap, 13, 7, 42);
    bitmap.SetPixelFormat(format);
    const std::vector<uint8_t> pixels = RGBPixels(bitmap);
    TBitmap read;
    LoadBytes(read, SaveBytes(bitmap));
    // A device-dependent picture is written as the 24-bit section it would become.
    const TPixelFormat expected = format == TPixelFormat::Device ? TPixelFormat::Bits24 : format;
    EXPECT_EQ(read.PixelFormat(), expected) << static_cast<int>(format);
    EXPECT_EQ(RGBPixels(read), pixels) << static_cast<int>(format);
    EXPECT_EQ(SaveBytes(read), SaveBytes(bitmap)) << static_cast<int>(format);
  }
}

// Row access --------------------------------------------------------------------------------

// Any run of pixels of a row decodes as the same pixels of the whole row do, in every pixel
// format; palette rows give their indices, the 4-bit ones high nibble first.
TEST(RowDecoder, AnyRunOfARowIsThatPartOfTheWholeRow) {
  for (TPixelFormat format :
       {TPixelFormat::Bits1, TPixelFormat::Bits4, TPixelFormat::Bits8, TPixelFormat::Bits15,
        TPixelFormat::Bits16, TPixelFormat::Bits24, TPixelFormat::Bits32}) {
    TBitmap b;
    b.SetPixelFormat(format);
    b.SetWidth(37);
    b.SetHeight(2);
    uint8_t* row = b.Scanline(1);
    for (int i = 0; i < b.RowStride(); ++i) row[i] = static_cast<uint8_t>(i * 89 + 7);
    const TRowDecoder decoder(b);
    std::vector<uint8_t> whole(3 * 37), run(3 * 37), indices(37), part(37);
    decoder.Decode(b.ConstScanline(1), whole.data(), 37);
    if (decoder.Bits() <= 8) decoder.Indices(b.ConstScanline(1), indices.data(), 37);
    for (int first = 0; first < 37; first += 5)
      for (int count = 1; first + count <= 37; count += 7) {
        decoder.Decode(b.ConstScanline(1), run.data(), count, first);
        ASSERT_TRUE(std::equal(run.begin(), run.begin() + 3 * count, whole.begin() + 3 * first))
            << decoder.Bits() << " bits, " << first << " + " << count;
        if (decoder.Bits() > 8) continue;
        decoder.Indices(b.ConstScanline(1), part.data(), count, first);
        ASSERT_TRUE(std::equal(part.begin(), part.begin() + count, indices.begin() + first));
      }
    for (int x = 0; x < 37; ++x)
      EXPECT_EQ(RGBColor(whole[3 * x + 2], whole[3 * x + 1], whole[3 * x]), b.Pixel(x, 1));
    if (format == TPixelFormat::Bits4) {
      EXPECT_EQ(indices[0], row[0] >> 4);
      EXPECT_EQ(indices[1], row[0] & 15);
      EXPECT_EQ(indices[36], row[18] >> 4);
    }
  }
}

TEST(Scanline, RowZeroIsTheTopRowForBottomUpAndTopDownFiles) {
  TBitmap bottom_up, top_down;
  bottom_up.LoadFromFile(TestData("bmpsuite/g/pal8.bmp"));
  top_down.LoadFromFile(TestData("bmpsuite/g/pal8topdown.bmp"));
  EXPECT_LT(top_down.DIBInfo().dsBmih.biHeight, 0);
  for (int y : {0, 1, 32, 63})
    EXPECT_EQ(std::memcmp(bottom_up.ConstScanline(y), top_down.ConstScanline(y), 127), 0) << y;
  EXPECT_EQ(RGBPixels(bottom_up), RGBPixels(top_down));
  // After a change of format the store is bottom-up, and row 0 is still the top.
  top_down.SetPixelFormat(TPixelFormat::Bits24);
  EXPECT_GT(top_down.DIBInfo().dsBmih.biHeight, 0);
  EXPECT_EQ(RGBPixels(bottom_up), RGBPixels(top_down));
}

TEST(Scanline, RowsOutsideThePictureRaiseTheScanLineError) {
  TBitmap bitmap;
  MakeGradient(bitmap, 3, 4);
  EXPECT_EQ(ErrorMessage<EInvalidGraphicOperation>([&] { bitmap.Scanline(-1); }), SScanLine);
  EXPECT_EQ(ErrorMessage<EInvalidGraphicOperation>([&] { bitmap.Scanline(4); }), SScanLine);
  EXPECT_EQ(ErrorMessage<EInvalidGraphicOperation>([&] { bitmap.ConstScanline(4); }), SScanLine);
  TBitmap empty;
  EXPECT_EQ(ErrorMessage<EInvalidGraphicOperation>([&] { empty.Scanline(0); }), SScanLine);
}

TEST(Scanline, CountsAsAChange) {
  TBitmap bitmap;
  bitmap.LoadFromFile(TestData("bmpsuite/g/pal8rle.bmp"));
  ASSERT_NE(bitmap.SavedStream(), nullptr);
  ASSERT_EQ(bitmap.DIBInfo().dsBmih.biClrUsed, 252u);
  bitmap.Scanline(0);
  EXPECT_EQ(bitmap.SavedStream(), nullptr);
  EXPECT_EQ(bitmap.DIBInfo().dsBmih.biClrUsed, 0u);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);  // the device picture got a section
}

// Reading -----------------------------------------------------------------------------------

TEST(Read, AnEmptyStreamGivesAnEmptyBitmap) {
  TBitmap bitmap;
  MakeGradient(bitmap, 2, 2);
  TMemoryStream empty;
  bitmap.LoadFromStream(empty);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(Read, PixelsFollowTheColourTableWhateverTheOffsetSays) {
  BmpBytes b;
  b.bits = 8;
  b.width = 2;
  b.height = 1;
  b.colours_used = 2;
  b.table = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue
  b.pixels = {1, 0, 0, 0};
  std::vector<uint8_t> bytes = b.Build();
  PutU32(bytes.data() + 10, 200);  // an offset pointing nowhere
  TBitmap bitmap;
  LoadBytes(bitmap, bytes);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(0, 0, 255));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGBColor(255, 0, 0));
}

TEST(Read, BitFieldMasksAfterTheHeaderOrInsideALargerOne) {
  BmpBytes b;
  b.bits = 16;
  b.compression = BI_BITFIELDS;
  b.width = 1;
  b.height = 1;
  b.masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};  // 5-6-5
  b.pixels = {0x1F, 0xF8, 0, 0};                                  // red 31, blue 31
  TBitmap after_header;
  LoadBytes(after_header, b.Build());
  EXPECT_EQ(after_header.PixelFormat(), TPixelFormat::Bits16);
  EXPECT_EQ(after_header.Pixel(0, 0), RGBColor(255, 0, 255));

  BmpBytes v4 = b;
  v4.header_size = 108;
  v4.extra_header = b.masks;
  v4.extra_header.resize(68, 0);
  v4.masks.clear();
  TBitmap inside;
  LoadBytes(inside, v4.Build());
  EXPECT_EQ(inside.Pixel(0, 0), RGBColor(255, 0, 255));
}

TEST(Read, EachGuardRejectsItsCraftedFileWithItsKindOfError) {
  struct Case {
    const char* fault;
    BmpBytes bytes;
    std::string error;  // class name: message
  };
  std::vector<Case> cases;
  auto add = [&](const char* fault, auto change, std::string error) {
    BmpBytes b;
    b.pixels.assign(32, 0);
    change(b);
    cases.push_back({fault, b, std::move(error)});
  };
  const std::string malformed = "EInvalidBitmap: ビットマップイメージが不正です";
  add(
      "planes 0", [](BmpBytes& b) { b.planes = 0; }, malformed);
  add(
      "colours used 300",
      [](BmpBytes& b) { b.bits = 8, b.colours_used = 300, b.table.assign(1200, 0); },
      malformed + " (使用色数 300, 256 まで)");
  add(
      "bit fields at 24 bits",
      [](BmpBytes& b) { b.compression = BI_BITFIELDS, b.masks.assign(12, 0); },
      malformed + " (圧縮形式 3, 24 ビット/ピクセル)");
  add(
      "RLE8 at 4 bits",
      [](BmpBytes& b) { b.bits = 4, b.compression = BI_RLE8, b.table.assign(64, 0); },
      malformed + " (圧縮形式 1, 4 ビット/ピクセル)");
  add(
      "zero width", [](BmpBytes& b) { b.width = 0; }, malformed + " (大きさ 0 x 2)");
  add(
      "zero height", [](BmpBytes& b) { b.height = 0; }, malformed + " (大きさ 4 x 0)");
  add(
      "RLE8 stored top-down",
      [](BmpBytes& b) { b.bits = 8, b.compression = BI_RLE8, b.height = -2; },
      malformed + " (上から下へのランレングス圧縮)");
  add(
      "header of 16 bytes", [](BmpBytes& b) { b.header_size = 16; },
      "EUnsupportedBitmap: 16 バイトのヘッダーのビットマップには対応していません");
  add(
      "bit count 2", [](BmpBytes& b) { b.bits = 2; },
      "EUnsupportedBitmap: 2 ビット/ピクセルのビットマップには対応していません");
  add(
      "JPEG compression", [](BmpBytes& b) { b.compression = 4; },
      "EUnsupportedBitmap: 圧縮形式 4 のビットマップには対応していません");
  add(
      "20000 x 20000 at 24 bits", [](BmpBytes& b) { b.width = 20000, b.height = 20000; },
      "EPictureTooLarge: 画像が大きすぎます (20000 x 20000, 24 ビット/ピクセル, 上限 "
      "1073741824 バイト)");
  add(
      "width times bits overflowing", [](BmpBytes& b) { b.width = 0x7FFFFFFF, b.bits = 32; },
      "EPictureTooLarge: 画像が大きすぎます (2147483647 x 2, 32 ビット/ピクセル, 上限 "
      "1073741824 バイト)");
  for (const Case& c : cases) {
    TBitmap bitmap;
    std::string error = "<no error>";
    try {
      LoadBytes(bitmap, c.bytes.Build());
    } catch (const EInvalidGraphic& e) {
      error = std::string(e.ClassName()) + ": " + e.Message();
    }
    EXPECT_EQ(error, c.error) << c.fault;
    EXPECT_TRUE(bitmap.Empty()) << c.fault;
  }
}

TEST(Read, APictureOverTheLimitSaysWhatItNeedsAndTheLimit) {
  struct Restore {
    ~Restore() { SetMaxPixelStoreBytes(0); }
  } restore;
  SetMaxPixelStoreBytes(1 << 20);
  BmpBytes b;
  b.width = 1000, b.height = 1000;  // 3 MB at 24 bits
  TBitmap bitmap;
  try {
    LoadBytes(bitmap, b.Build());
    FAIL() << "no error";
  } catch (const EPictureTooLarge& e) {
    EXPECT_EQ(e.Width(), 1000);
    EXPECT_EQ(e.Height(), 1000);
    EXPECT_EQ(e.Bits(), 24);
    EXPECT_EQ(e.Limit(), uint64_t{1} << 20);
    EXPECT_EQ(e.Sense(),
              "the picture is too large (1000 x 1000, 24 bits per pixel, limit 1048576 bytes)");
  }
}

TEST(Read, AStreamEndingInsideTheHeaderOrTableIsAReadError) {
  BmpBytes b;
  b.bits = 8;
  b.colours_used = 16;
  b.table.assign(64, 7);
  const std::vector<uint8_t> whole = b.Build();
  for (size_t cut : {size_t{10}, size_t{16}, size_t{30}, size_t{54 + 30}}) {
    TBitmap bitmap;
    const std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
    EXPECT_EQ(ErrorMessage<EReadError>([&] { LoadBytes(bitmap, bytes); }), SReadError) << cut;
  }
  // A header size larger than the whole stream is refused before anything is allocated.
  std::vector<uint8_t> huge = whole;
  PutU32(huge.data() + 14, 0xFFFFFFF0);
  TBitmap bitmap;
  EXPECT_EQ(ErrorMessage<EReadError>([&] { LoadBytes(bitmap, huge); }), SReadError);
}

TEST(Read, NotABitmapFileIsInvalid) {
  std::vector<uint8_t> bytes = BmpBytes().Build();
  bytes[0] = 'P';
  TBitmap bitmap;
  EXPECT_EQ(ErrorMessage<EInvalidGraphic>([&] { LoadBytes(bitmap, bytes); }), SInvalidBitmap);
}

TEST(Read, FilesThatCannotBeOpenedNameThemselves) {
  TBitmap bitmap;
  EXPECT_EQ(ErrorMessage<EFOpenError>([&] { bitmap.LoadFromFile("/nonexistent/x.bmp"); }),
            Format(SFOpenError, "/nonexistent/x.bmp"));
}

// Writing -----------------------------------------------------------------------------------

TEST(Write, ATwentyFourBitResultIsWrittenBottomUpWithA54ByteHead) {
  TBitmap bitmap;
  MakeGradient(bitmap, 5, 3);  // stride 16
  const std::vector<uint8_t> bytes = SaveBytes(bitmap);
  ASSERT_EQ(bytes.size(), 54u + 16 * 3);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(GetU32(&bytes[2]), 54u + 48);
  EXPECT_EQ(GetU32(&bytes[6]), 0u);
  EXPECT_EQ(GetU32(&bytes[10]), 54u);
  const TBitmapInfoHeader h = DecodeInfoHeader(&bytes[14]);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 48u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
  // First stored row is the bottom row (y = 2); fill bytes are zeros.
  EXPECT_EQ(bytes[54 + 3 * 4], 4);      // blue of (4, 2)
  EXPECT_EQ(bytes[54 + 3 * 4 + 1], 2);  // green
  EXPECT_EQ(bytes[54 + 15], 0);
  EXPECT_EQ(bytes[54 + 32 + 1], 0);  // green of (0, 0) in the last stored row
}

TEST(Write, AnEightBitPictureMadeTwentyFourWritesItsPaletteAsAnOptionalTable) {
  TBitmap bitmap;
  bitmap.LoadFromFile(TestData("bmpsuite/g/pal8.bmp"));
  const std::vector<uint8_t> pixels = RGBPixels(bitmap);
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  const std::vector<uint8_t> bytes = SaveBytes(bitmap);
  const TBitmapInfoHeader h = DecodeInfoHeader(&bytes[14]);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biClrUsed, 252u);
  EXPECT_EQ(GetU32(&bytes[10]), 54u + 4 * 252);
  EXPECT_EQ(bytes.size(), 54u + 4 * 252 + 128 * 3 * 64);
  TBitmap read;
  LoadBytes(read, bytes);
  EXPECT_EQ(RGBPixels(read), pixels);
}

TEST(Write, ACoreHeaderFileIsWrittenInTheCoreFormAgain) {
  const std::vector<uint8_t> original = ReadBytes(TestData("bmpsuite/g/pal8os2.bmp"));
  TBitmap bitmap;
  LoadBytes(bitmap, original);
  EXPECT_TRUE(bitmap.OS2Format());
  EXPECT_EQ(SaveBytes(bitmap), original);
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  EXPECT_EQ(GetU32(&SaveBytes(bitmap)[14]), 40u);
}

TEST(Write, ARunLengthFileIsWrittenBackByteForByteUntilItChanges) {
  for (const char* name : {"g/pal8rle.bmp", "g/pal4rle.bmp"}) {
    const std::vector<uint8_t> original = ReadBytes(TestData(std::string("bmpsuite/") + name));
    TBitmap bitmap;
    LoadBytes(bitmap, original);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Device) << name;
    EXPECT_EQ(SaveBytes(bitmap), original) << name;
    const std::vector<uint8_t> pixels = RGBPixels(bitmap);
    bitmap.SetPixelFormat(TPixelFormat::Bits24);
    EXPECT_TRUE(bitmap.IsSection()) << name;
    EXPECT_EQ(bitmap.SavedStream(), nullptr) << name;
    TBitmap read;
    LoadBytes(read, SaveBytes(bitmap));
    EXPECT_EQ(read.PixelFormat(), TPixelFormat::Bits24) << name;
    EXPECT_EQ(RGBPixels(read), pixels) << name;
  }
}

TEST(Write, TheStoredFormCarriesItsSizeWord) {
  TBitmap bitmap;
  MakeGradient(bitmap, 3, 2);
  TMemoryStream stream;
  bitmap.WriteData(stream);
  const std::vector<uint8_t> plain = SaveBytes(bitmap);
  ASSERT_EQ(stream.Size(), static_cast<int64_t>(plain.size()) + 4);
  EXPECT_EQ(GetU32(stream.Memory()), plain.size());
  const uint8_t trailer = 0x5A;
  stream.WriteBuffer(&trailer, 1);
  stream.SetPosition(0);
  TBitmap read;
  read.ReadData(stream);
  EXPECT_EQ(RGBPixels(read), RGBPixels(bitmap));
  EXPECT_EQ(stream.Position(), stream.Size() - 1);  // stops after the stated size

  // A size word promising more than the stream holds is a read error.
  TMemoryStream lying;
  uint8_t word[4];
  PutU32(word, 1000);
  lying.WriteBuffer(word, 4);
  lying.WriteBuffer(plain.data(), static_cast<int64_t>(plain.size()));
  lying.SetPosition(0);
  EXPECT_THROW(read.ReadData(lying), EReadError);
  EXPECT_EQ(read.Width(), 3);
}

TEST(Write, SavingToAFolderThatCannotBeWrittenLeavesNothing) {
  TBitmap bitmap;
  MakeGradient(bitmap, 3, 2);
  EXPECT_EQ(ErrorMessage<EFCreateError>([&] { bitmap.SaveToFile("/nonexistent/out.bmp"); }),
            Format(SFCreateError, "/nonexistent/out.bmp"));
  TempDir dir;
  const std::string file = dir.File("out.bmp");
  bitmap.SaveToFile(file);
  EXPECT_EQ(ReadBytes(file), SaveBytes(bitmap));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bmp"});
}
