// The one list of message texts: every Japanese text has its English sense and every
// English text none, a sense takes the same values as its text, and an exception made
// from a message carries both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"

namespace {

bool IsAscii(const char* text) {
  for (const char* p = text; *p != '\0'; ++p)
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  return true;
}

// The printf conversions of a text in order, each as its length modifier and letter
// ("s", "d", "zu", "llu"); "%%" is no conversion.
std::vector<std::string> Conversions(const std::string& text) {
  std::vector<std::string> result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 < text.size() && text[i + 1] == '%') {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < text.size() && std::string("-+ #0123456789.").find(text[j]) != std::string::npos)
      ++j;
    size_t k = j;
    while (k < text.size() && std::string("hlzjt").find(text[k]) != std::string::npos) ++k;
    result.push_back(text.substr(j, k - j + 1));
    i = k;
  }
  return result;
}

}  // namespace

TEST(MessageList, EveryJapaneseTextHasAnEnglishSenseAndNoEnglishTextHasOne) {
  ASSERT_GT(std::size(kMessageList), 50u);
  for (const TMessageEntry& entry : kMessageList) {
    const TMessage& m = *entry.message;
    EXPECT_NE(*m.text, '\0') << entry.name;
    EXPECT_TRUE(IsAscii(m.sense)) << entry.name << ": the sense is English";
    if (IsAscii(m.text))
      EXPECT_STREQ(m.sense, "") << entry.name << " is English already";
    else
      EXPECT_STRNE(m.sense, "") << entry.name << " needs its sense";
  }
}

TEST(MessageList, ASenseTakesTheValuesOfItsTextInTheSameOrder) {
  for (const TMessageEntry& entry : kMessageList) {
    const std::vector<std::string> text = Conversions(entry.message->text);
    const std::vector<std::string> sense = Conversions(entry.message->sense);
    ASSERT_LE(sense.size(), text.size()) << entry.name;
    EXPECT_EQ(sense, std::vector<std::string>(text.begin(), text.begin() + sense.size()))
        << entry.name;
  }
  EXPECT_EQ(Conversions("%s: %3d%% of %zu, %llu"),
            (std::vector<std::string>{"s", "d", "zu", "llu"}));
}

TEST(MessageList, FormatFillsTheTextAndTheSenseWithTheSameValues) {
  const TText open = Format(SFOpenError, "a.bmp");
  EXPECT_EQ(open.text, "ファイル a.bmp は開けません");
  EXPECT_EQ(open.sense, "cannot open file a.bmp");
  // A filled-in message inside another gives its text to the text and its sense to the
  // sense; an English message has no sense of its own.
  const TText nested = Format(SSPIInvalidResult, "x.spi", Format(SSPIInfoBlockShort, size_t{20}));
  EXPECT_EQ(
      nested.text,
      "x.spi:Susie Pluginが不正なデータを返しました (情報ブロックが 20 バイトしかありません)");
  EXPECT_EQ(nested.sense,
            "x.spi: the Susie plug-in returned invalid data (the information block has only 20 "
            "bytes)");
  EXPECT_EQ(Format(SGIFBlockTooLarge, 300).sense, "");
  // The sense of the system error stops before the platform's own text.
  EXPECT_EQ(Format(SOSError, 5, "Access denied").sense, "system error, code 5");
}

TEST(MessageList, AnExceptionCarriesTheSenseOfItsMessage) {
  const EReadError read(SReadError);
  EXPECT_EQ(read.Message(), "ストリームからの読み込みエラー");
  EXPECT_EQ(read.Sense(), "stream read error");
  EXPECT_EQ(read.MessageWithSense(), "ストリームからの読み込みエラー [stream read error]");
  const EFCreateError create(Format(SFCreateError, "b.bmp"));
  EXPECT_EQ(create.Sense(), "cannot create file b.bmp");
  const EOSError os(5, "Access denied");
  EXPECT_EQ(os.Sense(), "system error, code 5");
  const Exception english(SGIFColorTableOverflow);
  EXPECT_EQ(english.Sense(), "");
  EXPECT_EQ(english.MessageWithSense(), "Color table overflow");
  EXPECT_EQ(Exception(std::string("from elsewhere")).Sense(), "");
}
