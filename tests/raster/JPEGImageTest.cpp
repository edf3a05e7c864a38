// TJPEGImage: the header is parsed without decoding, pixels are decoded on demand, and
// libjpeg's errors and the size change are refused with their messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "base/Format.h"
#include "base/Messages.h"
#include "platform/MemoryStream.h"
#include "raster/BmpFormat.h"
#include "raster/JPEGImage.h"
#include "raster/Picture.h"
#include "tests/ImageReference.h"
#include "tests/common/TestFiles.h"

namespace {

std::string Rocket() {
  return std::string(LUMIVEIL_SAMPLES) + "/rocket.jpg";
}
std::string Data(const std::string& name) {
  return std::string(LUMIVEIL_TESTDATA) + "/" + name;
}

void LoadBytes(TJPEGImage& jpeg, const std::vector<uint8_t>& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  jpeg.LoadFromStream(stream);
}

}  // namespace

TEST(JPEGImage, ReadsTheHeaderWithoutDecoding) {
  struct Case {
    std::string file;
    int width, height;
    bool grey, progressive;
  } cases[] = {{Rocket(), 640, 427, false, false},
               {Data("sdl2-image/sample.jpg"), 23, 42, false, true},
               {Data("plugins/grey.jpg"), 40, 30, true, false},
               {Data("plugins/progressive.jpg"), 40, 30, false, true}};
  for (const Case& c : cases) {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(c.file);
    EXPECT_EQ(jpeg.Width(), c.width) << c.file;
    EXPECT_EQ(jpeg.Height(), c.height) << c.file;
    EXPECT_EQ(jpeg.Grayscale(), c.grey) << c.file;
    EXPECT_EQ(jpeg.ProgressiveEncoding(), c.progressive) << c.file;
    EXPECT_FALSE(jpeg.BitmapDecoded()) << c.file;
    EXPECT_EQ(jpeg.Data().Data, ReadBytes(c.file)) << "the stream is kept as it is";
  }
  TJPEGImage jpeg;
  EXPECT_EQ(jpeg.CompressionQuality(), 90);
  EXPECT_TRUE(jpeg.Smoothing());
  EXPECT_EQ(jpeg.PixelFormat(), TJPEGPixelFormat::jf24Bit);
  EXPECT_EQ(jpeg.Scale(), TJPEGScale::jsFullSize);
  EXPECT_FALSE(jpeg.ProgressiveDisplay());
}

TEST(JPEGImage, DecodesOnDemandToTheIndependentDecodersPixels) {
  SKIP_WITHOUT_REFERENCE_DECODER();
  for (const std::string& file :
       {Rocket(), Data("plugins/grey.jpg"), Data("plugins/progressive.jpg")}) {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(file);
    const TBitmap& bitmap = jpeg.Bitmap();
    EXPECT_TRUE(jpeg.BitmapDecoded());
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
    EXPECT_EQ(FirstDifference(PixelsOf(bitmap), ReferencePixels(file)), "") << file;
    TBitmap assigned;
    assigned.Assign(&jpeg);  // through AssignTo
    EXPECT_TRUE(assigned.SharesImageWith(bitmap));
  }
  TJPEGImage half;
  half.LoadFromFile(Rocket());
  half.SetScale(TJPEGScale::jsHalf);
  EXPECT_EQ(half.Width(), 320);
  EXPECT_EQ(half.Height(), 214);
  EXPECT_EQ(half.Bitmap().Height(), 214);
}

TEST(JPEGImage, ErrorsAndSizeChangesAreRefused) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(Rocket());
  try {
    jpeg.SetWidth(10);
    FAIL() << "the width changed";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), SJPEGChangeSize);
  }
  EXPECT_THROW(jpeg.SetHeight(10), EInvalidGraphicOperation);

  // Not a JPEG stream: libjpeg's code for a missing start-of-image marker in the message;
  // the previous picture stays.
  try {
    LoadBytes(jpeg, {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'});
    FAIL() << "garbage read as JPEG";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), Format(SJPEGError, static_cast<int>(JERR_NO_SOI)));
  }
  EXPECT_EQ(jpeg.Width(), 640);

  // A header that parses but data that is cut short decodes with libjpeg's warnings only;
  // a stream cut inside the header fails.
  std::vector<uint8_t> bytes = ReadBytes(Rocket());
  std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 100);
  EXPECT_THROW(LoadBytes(jpeg, head), EJPEG);
  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
  LoadBytes(jpeg, cut);
  EXPECT_EQ(jpeg.Bitmap().Width(), 640);

  LoadBytes(jpeg, {});
  EXPECT_TRUE(jpeg.Empty());
  EXPECT_TRUE(jpeg.Bitmap().Empty());
}

// Found by fuzzing: a progressive stream is decoded through coefficient buffers for the
// whole picture at full size, whatever the scale. A small stream whose header claims a
// huge picture, decoded at an eighth, made libjpeg allocate far beyond the store limit
// (162 MB for a 1 KB stream and a 1 MB picture) and fill it.
TEST(JPEGImage, ScaledProgressiveDecodeMayNotAllocateForTheFullSizeBeyondTheLimit) {
  struct RestoreLimit {
    ~RestoreLimit() { SetMaxPixelStoreBytes(0); }
  } restore;
  SetMaxPixelStoreBytes(uint64_t{2} << 20);
  std::vector<uint8_t> bytes = ReadBytes(Data("plugins/progressive.jpg"));
  const std::vector<uint8_t> sof2 = {0xFF, 0xC2};
  const auto at = std::search(bytes.begin(), bytes.end(), sof2.begin(), sof2.end());
  ASSERT_NE(at, bytes.end());
  const size_t sof = static_cast<size_t>(at - bytes.begin());
  for (size_t field : {sof + 5, sof + 7}) bytes[field] = 6000 >> 8, bytes[field + 1] = 6000 & 255;
  TJPEGImage jpeg;
  LoadBytes(jpeg, bytes);
  jpeg.SetScale(TJPEGScale::jsEighth);
  EXPECT_EQ(jpeg.Width(), 750);  // 750 x 750 x 3 bytes fit the lowered limit
  EXPECT_THROW(jpeg.Bitmap(), EOutOfMemory);
  EXPECT_FALSE(jpeg.BitmapDecoded());

  // A progressive picture whose buffers fit still decodes under the same limit.
  jpeg.LoadFromFile(Data("plugins/progressive.jpg"));
  EXPECT_EQ(jpeg.Bitmap().Width(), 5);
}

TEST(JPEGImage, StoredPictureSharesDataOnAssign) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(Data("sdl2-image/sample.jpg"));
  TPicture picture;
  picture.SetGraphic(&jpeg);
  auto* held = dynamic_cast<TJPEGImage*>(picture.Graphic());
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(&held->Data(), &jpeg.Data());

  TMemoryStream stream;
  picture.WriteData(stream);
  const size_t size = jpeg.Data().Data.size();
  ASSERT_EQ(static_cast<size_t>(stream.Size()), 1 + 10 + 4 + size);
  EXPECT_EQ(GetU32(stream.Memory() + 11), size);
  stream.SetPosition(0);
  TPicture copy;
  copy.ReadData(stream);
  auto* read = dynamic_cast<TJPEGImage*>(copy.Graphic());
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Data().Data, jpeg.Data().Data);
  EXPECT_EQ(read->Width(), 23);
  EXPECT_TRUE(read->ProgressiveEncoding());
}
