// The band: mapping back through it, finding it from a picture (with stray cells), and
// reading it from the "Lumiveil" text chunk of PNG files made here with libpng and by
// hand, hostile ones among them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/MemoryStream.h"
#include "reveal/Band.h"
#include "reveal/StoredBand.h"
#include "tests/common/TestFiles.h"
#include "tests/reveal/PngFiles.h"
#include "tests/reveal/RevealTestSupport.h"

namespace {

// Every byte the mapping gives stands for the middle of the hidden values that give it.
TEST(InverseTone, EachGivenByteStandsForTheMiddleOfItsHiddenValues) {
  for (int a = 0; a <= 255; a += 3)
    for (int c = 0; c <= ContrastLimit(a); c += (c < 10 ? 1 : 7)) {
      const TToneTable tone(a, c);
      const TInverseTone inverse({a, c});
      for (int b = 0; b < 256; ++b) {
        int first = -1, last = -1;
        for (int v = 0; v < 256; ++v)
          if (tone.map[v] == b) {
            if (first < 0) first = v;
            last = v;
          }
        if (first >= 0) {
          ASSERT_EQ(inverse.map[b], (first + last + 1) / 2) << a << " " << c << " " << b;
          ASSERT_EQ(tone.map[inverse.map[b]], b);
        } else if (b < tone.map[0]) {
          ASSERT_EQ(inverse.map[b], 0);
        } else if (b > tone.map[255]) {
          ASSERT_EQ(inverse.map[b], 255);
        }
      }
    }
  EXPECT_EQ(TInverseTone({77, 0}).map[77], 128);
  EXPECT_THROW(TInverseTone({200, 56}), EInvalidGraphicOperation);
}

// A hidden picture that spans 0 .. 255 (in its luminance: the finder reads the odd cells'
// luminance) gives back the band used, exactly; within 1 is what is asked.
TEST(FindBand, GivesTheBandUsedForAHiddenPictureSpanningEveryValue) {
  int checked = 0;
  for (int a = 0; a <= 255; a += 5)
    for (int c = 0; c <= ContrastLimit(a); c += 9) {
      const TSynthesis s =
          MakeSynthesis(40, 30, {a, c}, static_cast<uint32_t>(a * 256 + c), /*grey=*/true);
      const TToneBand found = FindBand(s.result).band;
      ASSERT_LE(std::abs(found.average - a), 1) << a << " " << c;
      ASSERT_LE(std::abs(found.contrast - c), 1) << a << " " << c;
      EXPECT_EQ(found, (TToneBand{a, c}));
      ++checked;
    }
  EXPECT_GT(checked, 300);
}

TEST(FindBand, LeavesOutAFewStrayCellsButKeepsThePicturesOwnTones) {
  const TToneBand used{150, 40};
  TSynthesis s = MakeSynthesis(200, 100, used, 9, true);  // 10000 odd cells: 10 may stray
  // Eight stray odd cells far outside the band, at both ends (a mark painted on it).
  for (int k = 0; k < 8; ++k) {
    uint8_t* row = s.result.Scanline(2 * k);
    const int x = 2 * k + 1;
    std::memset(row + 3 * x, k % 2 == 0 ? 3 : 250, 3);
  }
  EXPECT_EQ(FindBand(s.result).band, used);
  // Many cells outside are the picture's own: they count.
  for (int y = 0; y < 40; ++y) {
    uint8_t* row = s.result.Scanline(y);
    for (int x = (y + 1) % 2; x < 200; x += 2) std::memset(row + 3 * x, 250, 3);
  }
  EXPECT_EQ(FindBand(s.result).band.average + FindBand(s.result).band.contrast, 250);
}

TEST(FindBand, APictureWithoutOddCellsGivesTheIdentityBand) {
  const TSynthesis s = MakeSynthesis(1, 1, {10, 10});
  EXPECT_EQ(FindBand(s.result).band, kIdentityBand);
  TBitmap empty;
  EXPECT_THROW(FindBand(empty), EInvalidGraphic);
}

// --- The stored band ---

struct TChunk {
  std::string type;
  std::string data;
};

uint32_t Crc(const std::string& type, const std::string& data) {
  const std::string both = type + data;
  return ChunkCrc(reinterpret_cast<const uint8_t*>(both.data()), both.size());
}

// A PNG file made by hand: the signature, then the chunks as given (with `length` and
// `crc` overriding the true ones where set).
std::string PngBytes(const std::vector<TChunk>& chunks, long long length = -1, long long crc = -1) {
  std::string out("\x89PNG\r\n\x1a\n", 8);
  for (const TChunk& c : chunks) {
    const uint32_t n = length >= 0 && c.type == "tEXt" ? static_cast<uint32_t>(length)
                                                       : static_cast<uint32_t>(c.data.size());
    const uint32_t k =
        crc >= 0 && c.type == "tEXt" ? static_cast<uint32_t>(crc) : Crc(c.type, c.data);
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(n >> s));
    out += c.type + c.data;
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(k >> s));
  }
  return out;
}

TStoredBand Scan(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  return ReadStoredBand(stream);
}

const std::string kText = std::string("Lumiveil\0average=230 contrast=25 version=0.1.0", 46);
const TChunk kHeader{"IHDR", std::string(13, '\1')};
const TChunk kEnd{"IEND", ""};

TEST(StoredBand, ReadsTheChunkBeforeOrAfterTheImageDataAndAfterOtherTexts) {
  for (const auto& chunks : std::vector<std::vector<TChunk>>{
           {kHeader, {"tEXt", kText}, {"IDAT", "xx"}, kEnd},
           {kHeader, {"IDAT", std::string(70000, 'x')}, {"tEXt", kText}, kEnd},
           {kHeader, {"tEXt", std::string("Comment\0hello", 13)}, {"tEXt", kText}, kEnd},
           {kHeader, {"tEXt", std::string("Lumiveil2\0x", 11)}, {"tEXt", kText}, kEnd}}) {
    const TStoredBand b = Scan(PngBytes(chunks));
    ASSERT_EQ(b.state, TStoredBandState::sbStored) << b.problem;
    EXPECT_EQ(b.band, (TToneBand{230, 25}));
    EXPECT_EQ(b.version, "0.1.0");
  }
}

struct THostile {
  const char* name;
  std::string bytes;
  TStoredBandState state;
};

std::vector<THostile> HostileFiles() {
  const std::string good = PngBytes({kHeader, {"tEXt", kText}, kEnd});
  const auto text = [](const std::string& t) {
    return PngBytes({kHeader, {"tEXt", std::string("Lumiveil\0", 9) + t}, kEnd});
  };
  return {
      {"not_png", "BM" + good.substr(2), TStoredBandState::sbNone},
      {"empty", "", TStoredBandState::sbNone},
      {"signature_only", good.substr(0, 8), TStoredBandState::sbNone},
      {"no_band_chunk", PngBytes({kHeader, {"IDAT", "x"}, kEnd}), TStoredBandState::sbNone},
      {"band_after_end", PngBytes({kHeader, kEnd, {"tEXt", kText}}), TStoredBandState::sbNone},
      {"cut_in_the_chunk", good.substr(0, good.size() - 30), TStoredBandState::sbMalformed},
      {"cut_in_a_header", good.substr(0, 8 + 25 + 5), TStoredBandState::sbNone},
      {"wrong_checksum", PngBytes({kHeader, {"tEXt", kText}, kEnd}, -1, 12345),
       TStoredBandState::sbMalformed},
      {"length_beyond_the_file", PngBytes({kHeader, {"tEXt", kText}, kEnd}, 1000),
       TStoredBandState::sbMalformed},
      {"length_of_2GB", PngBytes({kHeader, {"tEXt", kText}, kEnd}, 0x7FFFFFFF),
       TStoredBandState::sbMalformed},
      {"length_over_2GB", PngBytes({kHeader, {"tEXt", kText}, kEnd}, 0x80000000LL),
       TStoredBandState::sbNone},
      {"huge_other_chunk",
       PngBytes({kHeader, {"IDAT", "x"}, kEnd}, -1).replace(33, 4, "\x7f\xff\xff\xff", 4),
       TStoredBandState::sbNone},
      {"longer_than_we_read", text("average=1 contrast=1 version=" + std::string(2000, 'v')),
       TStoredBandState::sbMalformed},
      {"other_words", text("avg=230 contrast=25 version=0.1.0"), TStoredBandState::sbMalformed},
      {"no_version", text("average=230 contrast=25 version="), TStoredBandState::sbMalformed},
      {"space_in_version", text("average=230 contrast=25 version=0.1 x"),
       TStoredBandState::sbMalformed},
      {"four_digits", text("average=1280 contrast=25 version=1"), TStoredBandState::sbMalformed},
      {"contrast_beyond_the_limit", text("average=230 contrast=26 version=1"),
       TStoredBandState::sbMalformed},
      {"average_above_255", text("average=256 contrast=0 version=1"),
       TStoredBandState::sbMalformed},
      {"negative", text("average=-1 contrast=0 version=1"), TStoredBandState::sbMalformed},
      {"zero_byte_in_text", text(std::string("average=128 contrast=1\0 version=1", 34)),
       TStoredBandState::sbMalformed},
  };
}

class HostilePng : public testing::TestWithParam<THostile> {};

TEST_P(HostilePng, IsReadSafelyAndSaysWhatItFound) {
  const TStoredBand b = Scan(GetParam().bytes);
  EXPECT_EQ(b.state, GetParam().state) << b.problem;
  if (b.state == TStoredBandState::sbMalformed) {
    EXPECT_FALSE(b.problem.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, HostilePng, testing::ValuesIn(HostileFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StoredBand, ParsesExactlyTheAgreedText) {
  TToneBand band;
  std::string version, problem;
  EXPECT_TRUE(ParseBandText("average=0 contrast=0 version=x", band, version, problem));
  EXPECT_EQ(band, (TToneBand{0, 0}));
  EXPECT_TRUE(ParseBandText("average=128 contrast=128 version=1.2.3~rc1", band, version, problem));
  EXPECT_EQ(version, "1.2.3~rc1");
  EXPECT_FALSE(ParseBandText("average=128  contrast=128 version=1", band, version, problem));
  EXPECT_FALSE(ParseBandText("average=128 contrast=128", band, version, problem));
  EXPECT_FALSE(ParseBandText(" average=128 contrast=128 version=1", band, version, problem));
  // The picture's size after the version, as synth now records it; nothing else there.
  int width = 0, height = 0;
  EXPECT_TRUE(ParseBandText("average=1 contrast=1 version=2 width=4000 height=3000", band, version,
                            width, height, problem));
  EXPECT_EQ(version, "2");
  EXPECT_EQ(width, 4000);
  EXPECT_EQ(height, 3000);
  EXPECT_TRUE(
      ParseBandText("average=1 contrast=1 version=2", band, version, width, height, problem));
  EXPECT_EQ(width, 0);
  for (const char* text :
       {"average=1 contrast=1 version=2 ", "average=1 contrast=1 version=2 width=4",
        "average=1 contrast=1 version=2 width=0 height=1",
        "average=1 contrast=1 version=2 width=4 height=3 x=1"})
    EXPECT_FALSE(ParseBandText(text, band, version, width, height, problem)) << text;
}

// Other tools rewrite the chunk: libvips as a compressed zTXt chunk, others as iTXt, plain
// or compressed. Each is read; one that records another size than the picture's (copied
// into a shrunk copy) is stale.
TEST(StoredBand, ReadsCompressedAndInternationalChunksAndKnowsAStaleOne) {
  TempDir dir;
  const std::string file = dir.File("band.png");
  TBitmap picture;
  FillBitmap(picture, MakePlane(4, 3));
  const std::pair<int, const char*> kForms[] = {{PNG_TEXT_COMPRESSION_NONE, "tEXt"},
                                                {PNG_TEXT_COMPRESSION_zTXt, "zTXt"},
                                                {PNG_ITXT_COMPRESSION_NONE, "iTXt"},
                                                {PNG_ITXT_COMPRESSION_zTXt, "iTXt"}};
  for (const auto& [compression, chunk] : kForms) {
    SCOPED_TRACE(compression);
    ASSERT_TRUE(WritePng(picture, file,
                         {{"Title", "cat in a cup"},
                          {"Lumiveil", "average=200 contrast=55 version=0.1.0 width=4 height=3"}},
                         compression));
    const TStoredBand b = StoredBandFor(file, 4, 3);
    ASSERT_EQ(b.state, TStoredBandState::sbStored) << b.problem;
    EXPECT_EQ(b.band, (TToneBand{200, 55}));
    EXPECT_STREQ(b.chunk, chunk);
    const TStoredBand stale = StoredBandFor(file, 2, 2);
    EXPECT_EQ(stale.state, TStoredBandState::sbStale);
    EXPECT_NE(stale.problem.find("4 x 3"), std::string::npos) << stale.problem;
  }
  // A chunk of an earlier version records no size: it holds for any picture.
  ASSERT_TRUE(WritePng(picture, file, {{"Lumiveil", "average=200 contrast=55 version=0.1.0"}},
                       PNG_TEXT_COMPRESSION_zTXt));
  EXPECT_EQ(StoredBandFor(file, 2, 2).state, TStoredBandState::sbStored);
  // A compressed text that inflates past the limit is refused, not read whole.
  ASSERT_TRUE(
      WritePng(picture, file, {{"Lumiveil", std::string(5000, 'a')}}, PNG_TEXT_COMPRESSION_zTXt));
  const TStoredBand long_text = ReadStoredBandFile(file);
  EXPECT_EQ(long_text.state, TStoredBandState::sbMalformed);
  EXPECT_NE(long_text.problem.find("longer than"), std::string::npos) << long_text.problem;
}

TEST(StoredBand, ReadsTheBandOfAFileThatLibpngWrote) {
  TempDir dir;
  const std::string file = dir.File("band.png");
  TBitmap picture;
  FillBitmap(picture, MakePlane(4, 3));
  ASSERT_TRUE(
      WritePng(picture, file,
               {{"Title", "cat in a cup"}, {"Lumiveil", "average=200 contrast=55 version=0.1.0"}}));
  const TStoredBand b = ReadStoredBandFile(file);
  ASSERT_EQ(b.state, TStoredBandState::sbStored) << b.problem;
  EXPECT_EQ(b.band, (TToneBand{200, 55}));
  ASSERT_TRUE(WritePng(picture, file, {{"Title", "no band"}}));
  EXPECT_EQ(ReadStoredBandFile(file).state, TStoredBandState::sbNone);
  EXPECT_THROW(ReadStoredBandFile(dir.File("missing.png")), EFOpenError);
}

}  // namespace
