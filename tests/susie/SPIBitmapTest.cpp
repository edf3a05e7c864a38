// Loading through TSPIBitmap and TInSPIAble: the order of own reader and plug-ins, the
// head and length a plug-in sees, the retry at byte 128, the picture information, the
// wrapping of a plug-in's bitmap, and plug-ins that hand back wrong handles or sizes.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "base/Format.h"
#include "base/Messages.h"
#include "platform/MemoryStream.h"
#include "raster/Picture.h"
#include "susie/Spibmp.h"
#include "susie/Spis.h"
#include "tests/ImageReference.h"
#include "tests/susie/SusieTestSupport.h"

namespace {

// A registry holding the named test plug-ins, in that order.
std::unique_ptr<TSPIs> Load(std::initializer_list<const char*> names) {
  auto spis = std::make_unique<TSPIs>();
  for (const char* name : names) spis->Search(TestPlugin(name));
  return spis;
}

TSPI& Find(TSPIs& spis, const char* name) {
  return spis.GetPlugins(spis.IndexOfSPIName(TestPlugin(name)));
}

// The message of the exception a load raises, or "" when it loads.
std::string LoadError(TSPIBitmap& bitmap, const std::string& file) {
  try {
    bitmap.LoadFromFile(file);
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return "";
}

std::vector<uint8_t> BmpBytes() {
  return ReadFile(std::string(LUMIVEIL_TESTDATA) + "/bmpsuite/g/rgb24.bmp");
}

}  // namespace

TEST(SPIBitmap, ReadsAPluginPictureAndNamesThePlugin) {
  auto spis = Load({"tp_basic"});
  TempDir dir;
  WriteFile(dir / "small.tpic", SmallPicture());
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(dir / "small.tpic");
  ASSERT_EQ(bitmap.Width(), 2);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGBColor(255, 255, 255));
  EXPECT_EQ(bitmap.Pixel(0, 1), RGBColor(0, 0, 255));
  EXPECT_EQ(bitmap.Pixel(1, 1), RGBColor(0, 255, 0));
  EXPECT_EQ(bitmap.LoadedBy(), TestPlugin("tp_basic"));
  TestPluginState& state = StateOf(Find(*spis, "tp_basic"));
  EXPECT_EQ(std::string(state.file_name), dir / "small.tpic");
  EXPECT_EQ(state.last_flag, 1u);
  EXPECT_EQ(state.progress_result, 0);
  EXPECT_TRUE(bitmap.SPIAble().Ext.empty());
  EXPECT_TRUE(bitmap.SPIAble().FileName.empty());
}

TEST(SPIBitmap, AShortFileIsShownAsAZeroPaddedHeadWithItsRealLength) {
  auto spis = Load({"tp_basic"});
  std::vector<uint8_t> data = SmallPicture();
  data.resize(100, 0xAB);  // trailing bytes the plug-in ignores
  TempDir dir;
  WriteFile(dir / "short.tpic", data);
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(dir / "short.tpic");
  const TestPluginState& state = StateOf(Find(*spis, "tp_basic"));
  EXPECT_EQ(0, std::memcmp(state.head, data.data(), 100));
  EXPECT_EQ(std::count(state.head + 100, state.head + 2048, 0), 2048 - 100);
  EXPECT_EQ(state.last_info_length, 100);
  EXPECT_EQ(state.last_picture_length, 100);
}

TEST(SPIBitmap, DataFoundOnlyFromByte128IsReadOnTheSecondTry) {
  auto spis = Load({"tp_basic"});
  TempDir dir;
  std::vector<uint8_t> data(128, 'x');
  const std::vector<uint8_t> picture = SmallPicture();
  data.insert(data.end(), picture.begin(), picture.end());
  WriteFile(dir / "late.tpic", data);
  TestPluginState& state = StateOf(Find(*spis, "tp_basic"));

  TSPIBitmap bitmap;
  bitmap.LoadFromFile(dir / "late.tpic");
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(state.is_supported_calls, 2);
  EXPECT_EQ(state.last_picture_length, static_cast<intptr_t>(picture.size()));

  TSPIBitmap no_retry;
  no_retry.SetRetryAtOffset128(false);
  state.is_supported_calls = 0;
  EXPECT_EQ(LoadError(no_retry, dir / "late.tpic"),
            std::string("EInvalidGraphic: ") + SUnknownPictureFormat.text);
  EXPECT_EQ(state.is_supported_calls, 1);
  EXPECT_TRUE(no_retry.Empty());

  // Exactly 128 bytes: no second try.
  WriteFile(dir / "exact.tpic", std::vector<uint8_t>(128, 'x'));
  state.is_supported_calls = 0;
  EXPECT_NE(LoadError(bitmap, dir / "exact.tpic"), "");
  EXPECT_EQ(state.is_supported_calls, 1);
  EXPECT_EQ(bitmap.Width(), 2) << "a failed load keeps the previous picture";

  // Assign takes the flag over with the picture; a picture holding a TSPIBitmap holds a
  // TSPIBitmap that shares the pixels.
  TSPIBitmap copy;
  copy.Assign(&no_retry);
  EXPECT_FALSE(copy.RetryAtOffset128());
  TPicture shown;
  shown.SetGraphic(&bitmap);
  auto* held = dynamic_cast<TSPIBitmap*>(shown.Graphic());
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(held->SharesImageWith(bitmap));
  bitmap.SetWidth(5);
  EXPECT_EQ(held->Width(), 2);
}

TEST(SPIBitmap, TheOrderOfReaderAndPluginsFollowsTheExtension) {
  auto spis = Load({"tp_refuse", "tp_basic"});  // tp_refuse claims *.pic and takes nothing
  TestPluginState& refuse = StateOf(Find(*spis, "tp_refuse"));
  TempDir dir;
  WriteFile(dir / "picture.BMP", BmpBytes());
  WriteFile(dir / "picture.pic", BmpBytes());
  WriteFile(dir / "picture", BmpBytes());
  WriteFile(dir / "broken.bmp", SmallPicture());  // a .bmp name with plug-in data

  TSPIBitmap bitmap;
  bitmap.LoadFromFile(dir / "picture.BMP");
  EXPECT_EQ(refuse.is_supported_calls, 0) << "a .bmp file is read without asking plug-ins";
  EXPECT_EQ(bitmap.LoadedBy(), "");
  bitmap.LoadFromFile(dir / "picture");
  EXPECT_EQ(refuse.is_supported_calls, 0) << "no extension: own reader first";
  bitmap.LoadFromFile(dir / "picture.pic");
  EXPECT_EQ(refuse.is_supported_calls, 2) << "plug-ins first (and the retry at 128)";
  EXPECT_EQ(bitmap.LoadedBy(), "");
  EXPECT_EQ(bitmap.Width(), 127);

  bitmap.LoadFromFile(dir / "broken.bmp");  // own reader fails, then the plug-ins
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.LoadedBy(), TestPlugin("tp_basic"));

  // A stream with a name takes the order from the name.
  TMemoryStream stream;
  const std::vector<uint8_t> bmp = BmpBytes();
  stream.WriteBuffer(bmp.data(), static_cast<int64_t>(bmp.size()));
  refuse.is_supported_calls = 0;
  bitmap.LoadFromStreamWithName(stream, "x.pic");
  EXPECT_EQ(refuse.is_supported_calls, 2);
  bitmap.LoadFromStream(stream);
  EXPECT_EQ(refuse.is_supported_calls, 2);
}

TEST(SPIBitmap, WithoutPluginsAnOtherFormatIsUnrecognised) {
  ASSERT_EQ(SusiePlugins(), nullptr);
  TempDir dir;
  WriteFile(dir / "small.tpic", SmallPicture());
  TSPIBitmap bitmap;
  EXPECT_EQ(LoadError(bitmap, dir / "small.tpic"),
            std::string("EInvalidGraphic: ") + SUnknownPictureFormat.text);
  TSPIs spis;  // a registry with no plug-ins: the same
  EXPECT_EQ(LoadError(bitmap, dir / "small.tpic"),
            std::string("EInvalidGraphic: ") + SUnknownPictureFormat.text);
}

TEST(SPIBitmap, AnEmptyFileLoadsAsAnEmptyPicture) {
  auto spis = Load({"tp_basic"});
  TempDir dir;
  WriteFile(dir / "empty.tpic", {});
  TSPIBitmap bitmap;
  WriteFile(dir / "small.tpic", SmallPicture());
  bitmap.LoadFromFile(dir / "small.tpic");
  bitmap.LoadFromFile(dir / "empty.tpic");
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(StateOf(Find(*spis, "tp_basic")).is_supported_calls, 2);  // asked, refused
}

TEST(SPIBitmap, PictureInformationIsReadAndAFailureDoesNotEndTheTry) {
  auto spis = Load({"tp_basic", "tp_infofail"});
  TInSPIAble able;
  std::vector<TPictureInfoRec> seen;
  able.LoadFromSPIProc = [&](const uint8_t*, size_t, const uint8_t*, size_t,
                             const TPictureInfoRec& info, bool& done) {
    seen.push_back(info);
    done = true;
  };
  TMemoryStream stream;
  const std::vector<uint8_t> text_picture = SmallPicture('T');
  stream.WriteBuffer(text_picture.data(), static_cast<int64_t>(text_picture.size()));
  able.LoadFromStreamBySPI(stream, static_cast<TInSPI&>(Find(*spis, "tp_basic")));
  able.LoadFromStreamBySPI(stream, static_cast<TInSPI&>(Find(*spis, "tp_infofail")));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0].InfoValid);
  EXPECT_EQ(seen[0].Left, 1);
  EXPECT_EQ(seen[0].Top, 2);
  EXPECT_EQ(seen[0].Width, 3);
  EXPECT_EQ(seen[0].Height, 4);
  EXPECT_EQ(seen[0].XDensity, 72);
  EXPECT_EQ(seen[0].YDensity, 96);
  EXPECT_EQ(seen[0].ColorDepth, 24);
  EXPECT_EQ(seen[0].InfoText, "hello") << "text without NUL, read up to the block's size";
  EXPECT_FALSE(seen[1].InfoValid);
  EXPECT_EQ(seen[1].Width, 0);

  // Through TSPIBitmap: tp_infofail is first for .tpic and still loads the picture.
  TempDir dir;
  WriteFile(dir / "small.tpic", SmallPicture());
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(dir / "small.tpic");
  EXPECT_EQ(bitmap.LoadedBy(), TestPlugin("tp_infofail"));
  EXPECT_EQ(bitmap.Width(), 2);
}

TEST(SPIBitmap, AnEightBitPictureWithColoursUsedZeroGetsAFullColourTable) {
  std::vector<uint8_t> info = InfoHeader(3, 1, 8, 0);
  for (int i = 0; i < 256; ++i) {
    const uint8_t quad[4] = {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i), 0};
    info.insert(info.end(), quad, quad + 4);
  }
  const std::vector<uint8_t> bits = {0, 128, 255, 0};
  auto spis = Load({"tp_basic"});
  TempDir dir;
  WriteFile(dir / "pal.tpic", TestPicture(info, bits));
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(dir / "pal.tpic");
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits8);
  EXPECT_EQ(bitmap.ColorTable().size(), 256u);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGBColor(127, 0, 128));
  EXPECT_EQ(bitmap.Pixel(2, 0), RGBColor(0, 0, 255));
  // Saved, it is the BMP file of that picture: the whole table before the pixels.
  TMemoryStream saved;
  bitmap.SaveToStream(saved);
  EXPECT_EQ(GetU32(saved.Memory() + 10), 14u + 40 + 1024) << "pixel offset";
  EXPECT_EQ(GetU32(saved.Memory() + 2), 14u + 40 + 1024 + 4) << "file size";
}

TEST(SPIBitmap, LargerHeadersAndBitFieldMasksAreWrappedWhole) {
  auto spis = Load({"tp_basic"});
  TempDir dir;
  TSPIBitmap bitmap;
  // 16 bits, 5-6-5 masks after a 40-byte header: one red and one blue pixel.
  std::vector<uint8_t> info = InfoHeader(2, 1, 16, 0, BI_BITFIELDS);
  for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) Append32(info, mask);
  WriteFile(dir / "masks.tpic", TestPicture(info, {0x00, 0xF8, 0x1F, 0x00}));
  bitmap.LoadFromFile(dir / "masks.tpic");
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits16);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGBColor(0, 0, 255));
  // A 124-byte header with its masks inside, 32 bits, top-down rows.
  std::vector<uint8_t> v5 = InfoHeader(1, -2, 32, 0, BI_BITFIELDS);
  PutU32(v5.data(), 124);
  v5.resize(124, 0);
  PutU32(v5.data() + 40, 0x00FF0000);
  PutU32(v5.data() + 44, 0x0000FF00);
  PutU32(v5.data() + 48, 0x000000FF);
  WriteFile(dir / "v5.tpic", TestPicture(v5, {1, 2, 3, 0, 4, 5, 6, 0}));
  bitmap.LoadFromFile(dir / "v5.tpic");
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(3, 2, 1));
  EXPECT_EQ(bitmap.Pixel(0, 1), RGBColor(6, 5, 4));
}

// Wrong handles and blocks that do not hold what they describe are the plug-in's fault
// (ESPIInvalidResult naming it); a header the BMP reader would refuse is refused with the
// reader's kind of error. Either way the previous picture stays.
TEST(SPIBitmap, WrongPicturesFromAPluginAreRefusedWithTheirKindOfError) {
  auto spis = Load({"tp_basic"});
  const std::string plugin = TestPlugin("tp_basic");
  TempDir dir;
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    std::string error;  // class name: message
  };
  const auto invalid = [&](const std::string& detail) {
    return "ESPIInvalidResult: " + Format(SSPIInvalidResult, plugin.c_str(), detail.c_str()).text;
  };
  const std::vector<uint8_t> bits2x2(16, 0);
  std::vector<uint8_t> big_header = InfoHeader(2, 2, 24);
  PutU32(big_header.data(), 200);
  std::vector<uint8_t> rle = InfoHeader(2, -2, 8, 1, BI_RLE8);
  rle.resize(44, 0);
  const std::vector<Case> cases = {
      {"info handle not ours", SmallPicture('H'),
       invalid("情報ブロック: 不正なメモリハンドルです")},
      {"bits handle not ours", SmallPicture('B'),
       invalid("ピクセルデータ: 不正なメモリハンドルです")},
      {"no handles", SmallPicture('N'), invalid("情報ブロック: 不正なメモリハンドルです")},
      {"info text not ours", SmallPicture('X'), invalid("情報テキスト: 不正なメモリハンドルです")},
      {"info block too short", TestPicture(std::vector<uint8_t>(20, 0), bits2x2),
       invalid("情報ブロックが 20 バイトしかありません")},
      {"header larger than block", TestPicture(big_header, bits2x2),
       invalid("ヘッダーの大きさ 200 (情報ブロック 40 バイト)")},
      {"colour table missing", TestPicture(InfoHeader(2, 2, 8, 0), bits2x2),
       invalid("情報ブロックに 1064 バイト必要ですが 40 バイトです")},
      {"bits too short", TestPicture(InfoHeader(2, 2, 24), std::vector<uint8_t>(15, 0)),
       invalid("ピクセルデータに 16 バイト必要ですが 15 バイトです")},
      {"colours used above 256", TestPicture(InfoHeader(2, 2, 24, 300), bits2x2),
       "EInvalidBitmap: ビットマップイメージが不正です (使用色数 300, 256 まで)"},
      {"zero width", TestPicture(InfoHeader(0, 2, 24), bits2x2),
       "EInvalidBitmap: ビットマップイメージが不正です (大きさ 0 x 2)"},
      {"run-length data top-down", TestPicture(rle, bits2x2),
       "EInvalidBitmap: ビットマップイメージが不正です (上から下へのランレングス圧縮)"},
      {"bit count 2", TestPicture(InfoHeader(2, 2, 2), bits2x2),
       "EUnsupportedBitmap: 2 ビット/ピクセルのビットマップには対応していません"},
      {"huge width", TestPicture(InfoHeader(0x7FFFFFFF, 0x7FFFFFFF, 24), bits2x2),
       "EPictureTooLarge: 画像が大きすぎます (2147483647 x 2147483647, 24 ビット/ピクセル, 上限 "
       "1073741824 バイト)"},
  };
  WriteFile(dir / "good.tpic", SmallPicture());
  for (const Case& c : cases) {
    WriteFile(dir / "bad.tpic", c.data);
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(dir / "good.tpic");
    EXPECT_EQ(LoadError(bitmap, dir / "bad.tpic"), c.error) << c.what;
    EXPECT_EQ(bitmap.Width(), 2) << c.what << ": the previous picture stays";
  }
}

#ifdef _WIN32
TEST(SPIBitmap, TheHostFreesTheLocalAllocBlocksItIsHanded) {
  auto spis = Load({"tp_basic"});
  const auto& spi = static_cast<const TInSPI&>(Find(*spis, "tp_basic"));
  // Called directly, the blocks stay with the caller, and the check sees them.
  const std::vector<uint8_t> data = SmallPicture('F');
  THLocal info = nullptr, bits = nullptr;
  ASSERT_EQ(spi.GetPicture(data.data(), static_cast<intptr_t>(data.size()), 1, &info, &bits,
                           &ProgressCallback, 0),
            0);
  EXPECT_EQ(LocalSize(info), 40u);
  EXPECT_EQ(LocalSize(bits), 16u);
  EXPECT_EQ(LiveHandles(spi), 2);
  EXPECT_EQ(LocalFree(info), nullptr);
  EXPECT_EQ(LocalFree(bits), nullptr);
  EXPECT_EQ(LiveHandles(spi), 0);

  // Moveable blocks (the plug-in SDK's), fixed blocks, and an information text: the host
  // frees every one after the load.
  TempDir dir;
  for (const char mode : {'P', 'F', 'T'}) {
    WriteFile(dir / "small.tpic", SmallPicture(mode));
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(dir / "small.tpic");
    EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(255, 0, 0)) << mode;
    EXPECT_EQ(LiveHandles(spi), 0) << mode;
  }
}
#endif

namespace {

// The detail of the exception a failed load raises, after checking that its message is
// the unrecognised-format text.
std::string FailureDetail(TSPIBitmap& bitmap, const std::string& file) {
  try {
    bitmap.LoadFromFile(file);
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), SUnknownPictureFormat);
    return e.Detail();
  }
  ADD_FAILURE() << file << " loaded";
  return "";
}

struct ResultCase {
  int result;
  const char* meaning;
};

std::string ResultCaseName(const testing::TestParamInfo<ResultCase>& info) {
  std::string name;
  for (const char* p = info.param.meaning; *p; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
  return name;
}

}  // namespace

class PluginResult : public testing::TestWithParam<ResultCase> {};

// A plug-in that takes the file's head and then fails is named with what its result means,
// so a damaged file is not mistaken for one of an unknown format.
TEST_P(PluginResult, IsToldWithItsMeaningAfterTheUnrecognisedFormatMessage) {
  auto spis = Load({"tp_refuse", "tp_basic"});
  TempDir dir;
  WriteFile(dir / "failing.tpic", {'T', 'P', 'I', 'C', 'R',
                                   static_cast<uint8_t>(static_cast<int8_t>(GetParam().result))});
  TSPIBitmap bitmap;
  EXPECT_EQ(FailureDetail(bitmap, dir / "failing.tpic"),
            "plug-in " + TestPlugin("tp_basic") +
                " recognised the file's head, then failed: GetPicture returned " +
                std::to_string(GetParam().result) + " (" + GetParam().meaning + ")");
}

INSTANTIATE_TEST_SUITE_P(
    SPIBitmap, PluginResult,
    testing::Values(ResultCase{-1, "not implemented"}, ResultCase{1, "aborted"},
                    ResultCase{2, "unknown format"}, ResultCase{3, "damaged data"},
                    ResultCase{4, "out of memory"}, ResultCase{5, "memory error"},
                    ResultCase{6, "file read error"}, ResultCase{7, "an undefined result"},
                    ResultCase{8, "internal error"}),
    ResultCaseName);

TEST(SPIBitmap, APictureOverTheLimitIsToldWithItsSizeAndTheLimit) {
  auto spis = Load({"tp_basic"});
  TestPluginState& state = StateOf(Find(*spis, "tp_basic"));
  TempDir dir;
  TSPIBitmap bitmap;
  // 100000 x 100000 fits no pixel store even at 1 bit per pixel: the plug-in is not asked
  // to decode it (a plug-in would allocate it first).
  WriteFile(dir / "huge.tpic", {'T', 'P', 'I', 'C', 'L'});
  const int calls = state.get_picture_calls;
  EXPECT_EQ(FailureDetail(bitmap, dir / "huge.tpic"),
            "plug-in " + TestPlugin("tp_basic") + " recognised the file's head, then failed: " +
                EPictureTooLarge(100000, 100000, 24, kMaxPixelStoreBytes).MessageWithSense());
  EXPECT_EQ(state.get_picture_calls, calls);
  // 60000 x 60000 would fit at 1 bit: the plug-in is asked, and its out-of-memory answer
  // for a picture over the limit at 24 bits is the limit.
  WriteFile(dir / "big.tpic", {'T', 'P', 'I', 'C', 'M'});
  EXPECT_EQ(FailureDetail(bitmap, dir / "big.tpic"),
            "plug-in " + TestPlugin("tp_basic") + " recognised the file's head, then failed: " +
                EPictureTooLarge(60000, 60000, 24, kMaxPixelStoreBytes).MessageWithSense());
  EXPECT_EQ(state.get_picture_calls, calls + 1);
}

TEST(SPIBitmap, TheOwnReaderIsAReasonOnlyForDataThatBeginsAsABitmap) {
  auto spis = Load({"tp_refuse"});
  TempDir dir;
  TSPIBitmap bitmap;
  std::vector<uint8_t> cut = BmpBytes();
  cut.resize(30);  // inside the info header
  WriteFile(dir / "cut.bmp", cut);
  EXPECT_EQ(FailureDetail(bitmap, dir / "cut.bmp"),
            std::string("the BMP reader recognised the file's head, then failed: ") +
                EReadError(SReadError).MessageWithSense());
  cut[0] = 'P';  // not a bitmap, and no plug-in takes it: nothing more to tell
  WriteFile(dir / "other.bmp", cut);
  EXPECT_EQ(FailureDetail(bitmap, dir / "other.bmp"), "");
}
