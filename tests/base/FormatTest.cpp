// The class library's number conversions and message formatting.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"

TEST(StrToInt, AcceptsWhatAnEditUserTypes) {
  EXPECT_EQ(StrToInt("320"), 320);
  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
}

TEST(StrToInt, RejectsEverythingElseWithTheInvalidIntegerMessage) {
  for (const char* text : {"", " ", "12a", "1.5", "2147483648", "99999999999", "--1", "0x"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), Format(SInvalidInteger, text));
    }
  }
}

TEST(StrToFloat, ReadsDecimalNotationOnly) {
  EXPECT_EQ(StrToFloat("240"), 240.0L);
  EXPECT_EQ(StrToFloat("-1.5"), -1.5L);
  EXPECT_EQ(StrToFloat("2e3"), 2000.0L);
  EXPECT_EQ(StrToFloat(".5"), 0.5L);
  for (const char* text : {"", "abc", "1.2.3", "inf", "nan", "0x10", "1e", "1e999999"})
    EXPECT_THROW(StrToFloat(text), EConvertError) << text;
}

TEST(Exceptions, CarryTheirFormattedTexts) {
  const EOSError e(5, "Access denied");
  EXPECT_EQ(e.Message(), "システムエラー。コード：5.\nAccess denied");
  EXPECT_EQ(e.ErrorCode(), 5);
  EXPECT_STREQ(EReadError(SReadError).ClassName(), "EReadError");
  EXPECT_EQ(Format(SFCreateError, "a.bmp"), "ファイル a.bmp を作成できません");
}

TEST(ByteSizeText, GivesWholeUnitsOrTheBytes) {
  EXPECT_EQ(ByteSizeText(uint64_t{3} << 30), "3 GiB");
  EXPECT_EQ(ByteSizeText((uint64_t{2} << 30) + (1 << 20)), "2049 MiB");
  EXPECT_EQ(ByteSizeText(4096), "4 KiB");
  EXPECT_EQ(ByteSizeText(3000000001ull), "3000000001 bytes");
  EXPECT_EQ(ByteSizeText(1), "1 byte");
  EXPECT_EQ(ByteSizeText(0), "0 bytes");
}

TEST(Exceptions, KeepTheirMessageAndShowTheDetailAfterIt) {
  const EFCreateError plain(Format(SFCreateError, "a.bmp"));
  EXPECT_EQ(plain.FullMessage(), "ファイル a.bmp を作成できません [cannot create file a.bmp]");
  EInvalidGraphic e(SUnknownPictureFormat, "the BMP reader recognised the file's head");
  EXPECT_EQ(e.Message(), SUnknownPictureFormat.text);
  EXPECT_EQ(e.Sense(), SUnknownPictureFormat.sense);
  EXPECT_EQ(e.FullMessage(),
            "認識できない画像形式です [unrecognised picture format]: the BMP reader recognised "
            "the file's head");
  e.SetDetail("");
  EXPECT_EQ(e.FullMessage(), e.MessageWithSense());
  const Exception english("a text from elsewhere", "why");
  EXPECT_EQ(english.FullMessage(), "a text from elsewhere: why");
}
