// The picture format registry, TPicture (assigning, notifications) and stored pictures.
#include <gtest/gtest.h>

#include "gif/Gifimage.h"

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/Clipboard.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/FileFormats.h"
#include "raster/Icon.h"
#include "raster/JPEGImage.h"
#include "raster/Metafile.h"
#include "raster/Picture.h"

namespace {

// A graphic class derived from TBitmap, to check "the class or derived from it".
class TDerivedBitmap : public TBitmap {
  LV_GRAPHIC_CLASS_DECL(TDerivedBitmap)
};
LV_GRAPHIC_CLASS_IMPL(TDerivedBitmap, &TBitmap::Class())

// A graphic whose stored data always fails to read.
class TFailingGraphic : public TMetafile {
  LV_GRAPHIC_CLASS_DECL(TFailingGraphic)

 public:
  void ReadData(TStream&) override { throw EReadError(SReadError); }
};
LV_GRAPHIC_CLASS_IMPL(TFailingGraphic, &TMetafile::Class())

class TGraphicWithAVeryLongClassNameThatIsCutWhenStoredInAPictureAtSixtyThree : public TMetafile {
  LV_GRAPHIC_CLASS_DECL(TGraphicWithAVeryLongClassNameThatIsCutWhenStoredInAPictureAtSixtyThree)
};
LV_GRAPHIC_CLASS_IMPL(TGraphicWithAVeryLongClassNameThatIsCutWhenStoredInAPictureAtSixtyThree,
                      &TMetafile::Class())

std::unique_ptr<TBitmap> SmallBitmap(TColor colour) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(TPixelFormat::Bits24);
  bitmap->SetWidth(3);
  bitmap->SetHeight(2);
  for (int y = 0; y < 2; ++y) {
    uint8_t* row = bitmap->Scanline(y);
    for (int x = 0; x < 3; ++x) {
      row[3 * x] = GetBValue(colour);
      row[3 * x + 1] = GetGValue(colour);
      row[3 * x + 2] = GetRValue(colour);
    }
  }
  return bitmap;
}

std::vector<uint8_t> StoredName(const std::string& name) {
  std::vector<uint8_t> v(1 + name.size());
  v[0] = static_cast<uint8_t>(name.size());
  for (size_t i = 0; i < name.size(); ++i) v[1 + i] = static_cast<uint8_t>(name[i]);
  return v;
}

void Write(TMemoryStream& stream, const std::vector<uint8_t>& bytes) {
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace

TEST(FileFormats, BuiltInEntriesComeFirstWithTheirDescriptions) {
  const TFileFormatsList& formats = GetFileFormats();
  ASSERT_GE(formats.Count(), 7);
  struct Entry {
    const char* ext;
    const TGraphicClass* cls;
    const char* description;
  } expected[] = {{"wmf", &TMetafile::Class(), SVMetafiles},
                  {"emf", &TMetafile::Class(), SVEnhMetafiles},
                  {"ico", &TIcon::Class(), SVIcons},
                  {"bmp", &TBitmap::Class(), SVBitmaps},
                  {"gif", &TGIFImage::Class(), "GIF Image"},
                  {"jpeg", &TJPEGImage::Class(), SVJPEGImageFile},
                  {"jpg", &TJPEGImage::Class(), SVJPEGImageFile}};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(formats[i].Extension, expected[i].ext) << i;
    EXPECT_EQ(formats[i].GraphicClass, expected[i].cls) << i;
    EXPECT_EQ(formats[i].Description, expected[i].description) << i;
  }
  // The GIF module also registers its clipboard format; the name finds the same one in
  // any case.
  const unsigned gif = GIFClipboardFormat();
  EXPECT_GE(gif, 0xC000u);
  EXPECT_EQ(ClipboardFormatName(gif), "GIF Image");
  EXPECT_EQ(RegisterClipboardFormat("gif image"), gif);
  EXPECT_NE(RegisterClipboardFormat("Another Format"), gif);
  EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

TEST(FileFormats, RegistrationAppendsLookupIsFromTheLastAndUnregisterTakesDescendants) {
  const int before = GetFileFormats().Count();
  TPicture::RegisterFileFormat("BMP", "second bitmap", TDerivedBitmap::Class());
  TPicture::RegisterFileFormat("Der", "derived", TDerivedBitmap::Class());
  const TFileFormatsList& formats = GetFileFormats();
  ASSERT_EQ(formats.Count(), before + 2);
  EXPECT_EQ(formats[before].Extension, "bmp") << "stored in lower case";
  EXPECT_EQ(formats[3].GraphicClass, &TBitmap::Class()) << "nothing is replaced";
  EXPECT_EQ(formats.FindExt("BMP"), &TDerivedBitmap::Class()) << "the last entry wins";
  EXPECT_EQ(formats.FindClassName("TDerivedBitmap"), &TDerivedBitmap::Class());
  EXPECT_EQ(formats.FindClassName("tbitmap"), nullptr) << "class names are case-sensitive";
  EXPECT_EQ(formats.FindClassName("TJPEGImage"), &TJPEGImage::Class());

  TPicture::UnregisterGraphicClass(TDerivedBitmap::Class());
  EXPECT_EQ(formats.Count(), before);
  TPicture::RegisterFileFormat("der", "derived", TDerivedBitmap::Class());
  TPicture::UnregisterGraphicClass(TBitmap::Class());  // the class and its descendants
  EXPECT_EQ(formats.FindClassName("TBitmap"), nullptr);
  EXPECT_EQ(formats.FindClassName("TDerivedBitmap"), nullptr);
  EXPECT_EQ(formats.Count(), before - 1);
  TPicture::RegisterFileFormat("bmp", SVBitmaps.text, TBitmap::Class());  // for later tests
}

TEST(Picture, AssignMakesTheSameClassSharingPixelsAndNotifies) {
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TPicture&) { ++changes; };
  TDerivedBitmap source;
  source.Assign(SmallBitmap(RGBColor(10, 20, 30)).get());
  picture.SetGraphic(&source);
  EXPECT_EQ(changes, 1);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TDerivedBitmap::Class());
  auto* held = static_cast<TBitmap*>(picture.Graphic());
  EXPECT_TRUE(held->SharesImageWith(source));
  EXPECT_EQ(picture.Width(), 3);

  // A later change of the source does not change what the picture shows.
  source.Scanline(0)[0] = 99;
  EXPECT_FALSE(held->SharesImageWith(source));
  EXPECT_EQ(held->Pixel(0, 0), RGBColor(10, 20, 30));

  // Changes of the held graphic are forwarded.
  held->SetWidth(4);
  EXPECT_EQ(changes, 2);
  const int before = changes;
  picture.SetGraphic(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(changes, before + 1);
}

TEST(Picture, StoredPicturesRoundTrip) {
  TPicture picture;
  picture.SetGraphic(SmallBitmap(RGBColor(200, 100, 50)).get());
  TMemoryStream stream;
  picture.WriteData(stream);
  EXPECT_EQ(stream.Memory()[0], 7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()) + 1, 7), "TBitmap");
  stream.SetPosition(0);
  TPicture copy;
  copy.ReadData(stream);
  ASSERT_NE(copy.Graphic(), nullptr);
  EXPECT_EQ(&copy.Graphic()->ClassType(), &TBitmap::Class());
  EXPECT_EQ(static_cast<TBitmap*>(copy.Graphic())->Pixel(2, 1), RGBColor(200, 100, 50));
  EXPECT_EQ(stream.Position(), stream.Size()) << "exactly the stored data is read";

  // An empty picture is a zero byte.
  TPicture empty;
  TMemoryStream zero;
  empty.WriteData(zero);
  EXPECT_EQ(zero.Size(), 1);
  zero.SetPosition(0);
  copy.ReadData(zero);
  EXPECT_EQ(copy.Graphic(), nullptr);
}

TEST(Picture, AnUnregisteredClassReadsAsEmptyAndAFailingGraphicKeepsThePicture) {
  TPicture picture;
  picture.SetGraphic(SmallBitmap(clWhite).get());
  TMemoryStream unknown;
  Write(unknown, StoredName("TNoSuchGraphic"));
  Write(unknown, {4, 0, 0, 0, 1, 2, 3, 4});
  unknown.SetPosition(0);
  picture.ReadData(unknown);
  EXPECT_EQ(picture.Graphic(), nullptr);

  picture.SetGraphic(SmallBitmap(clWhite).get());
  TPicture::RegisterFileFormat("fail", "failing", TFailingGraphic::Class());
  TMemoryStream failing;
  Write(failing, StoredName("TFailingGraphic"));
  failing.SetPosition(0);
  EXPECT_THROW(picture.ReadData(failing), EReadError);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 3);
  TPicture::UnregisterGraphicClass(TFailingGraphic::Class());

  // A size word that promises more than the stream holds is a read error.
  TMemoryStream truncated;
  Write(truncated, StoredName("TBitmap"));
  Write(truncated, {0xFF, 0xFF, 0xFF, 0x7F, 'B', 'M'});
  truncated.SetPosition(0);
  EXPECT_THROW(picture.ReadData(truncated), EReadError);
  EXPECT_EQ(picture.Width(), 3);
}

TEST(Picture, ClassNamesAreCutTo63Characters) {
  TPicture picture;
  TGraphicWithAVeryLongClassNameThatIsCutWhenStoredInAPictureAtSixtyThree graphic;
  picture.SetGraphic(&graphic);
  TMemoryStream stream;
  picture.WriteData(stream);
  const std::string full = picture.Graphic()->ClassName();
  ASSERT_GT(full.size(), 63u);
  EXPECT_EQ(stream.Memory()[0], 63);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()) + 1, 63),
            full.substr(0, 63));
}

TEST(MinimalGraphics, IconsKeepTheirBytesAndRefuseOtherData) {
  // An icon directory with one 0x0 (meaning 256) entry, then four bytes of image.
  const std::vector<uint8_t> icon = {0, 0, 1, 0, 1, 0,  0, 32, 0, 0, 1, 0, 32,
                                     0, 4, 0, 0, 0, 22, 0, 0,  0, 1, 2, 3, 4};
  TMemoryStream stream;
  Write(stream, icon);
  stream.SetPosition(0);
  TIcon ico;
  ico.LoadFromStream(stream);
  EXPECT_EQ(ico.Width(), 256);
  EXPECT_EQ(ico.Height(), 32);
  EXPECT_THROW(ico.SetWidth(16), EInvalidGraphicOperation);
  TMemoryStream saved;
  ico.SaveToStream(saved);
  EXPECT_EQ(std::vector<uint8_t>(saved.Memory(), saved.Memory() + saved.Size()), icon);

  TMemoryStream not_icon;
  Write(not_icon, std::vector<uint8_t>(30, 7));
  not_icon.SetPosition(0);
  EXPECT_THROW(ico.LoadFromStream(not_icon), EInvalidGraphic);
  EXPECT_EQ(ico.Width(), 256) << "the previous icon stays";

  TMetafile meta;
  TMemoryStream emf;
  Write(emf, {1, 0, 0, 0, 0x6C, 0, 0, 0});
  emf.SetPosition(0);
  meta.LoadFromStream(emf);
  EXPECT_TRUE(meta.Enhanced());
  meta.SetWidth(40);
  TPicture picture;
  picture.SetGraphic(&meta);
  EXPECT_EQ(picture.Width(), 40);
  EXPECT_EQ(static_cast<TMetafile*>(picture.Graphic())->Data(), meta.Data());
}
