// The file as written: signature, screen descriptor, frames, extension blocks and
// trailer, byte for byte where the layout is fixed, and what happens when writing fails.
#include <gtest/gtest.h>

#include <cstring>

#include "base/Exceptions.h"
#include "gif/Gifimage.h"
#include "tests/gif/GifTestSupport.h"

namespace {

using ByteList = std::vector<uint8_t>;

ByteList Cat(std::initializer_list<ByteList> parts) {
  ByteList all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

ByteList Text(const std::string& s) {
  return ByteList(s.begin(), s.end());
}

// A picture of n distinct greys, one pixel each, in a row.
std::unique_ptr<TBitmap> Greys(int n) {
  return MakeBitmap24(n, 1, [](int x, int) {
    return RGBColor(static_cast<uint8_t>(x), static_cast<uint8_t>(x), static_cast<uint8_t>(x));
  });
}

TEST(GIFFile, RedBlueRedIsWrittenByteForByte) {
  auto picture = MakeBitmap24(
      3, 1, [](int x, int) { return x == 1 ? RGBColor(0, 0, 255) : RGBColor(255, 0, 0); });
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.Assign(picture.get());
  ASSERT_EQ(gif.Images().Count(), 1);
  const TGIFSubImage& frame = gif.Images()[0];
  EXPECT_EQ(frame.ColorMap().Count(), 2);
  EXPECT_EQ(ByteList(frame.Data(), frame.Data() + 3), (ByteList{0, 1, 0}));

  const ByteList expected =
      Cat({Text("GIF87a"),
           {0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},                    // screen
           {0x2C, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x80},  // frame
           {0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF},                          // table
           {0x02, 0x02, 0x44, 0x50, 0x00},  // codes 4 0 1 0 (3 bits) 5 (4 bits)
           {0x3B}});
  const ByteList file = SaveGif(gif);
  EXPECT_EQ(file, expected);
  const DecodedGif decoded = DecodeGif(file);
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.frames[0].Pixels(), PixelsOf(*picture));
}

struct TableCase {
  int colors;
  uint8_t screen_flags;
  uint8_t frame_flags;
  int entries_written;
  uint8_t code_size;
};

void PrintTo(const TableCase& c, std::ostream* os) {
  *os << c.colors << " colours";
}

class TableSizeTest : public testing::TestWithParam<TableCase> {};

TEST_P(TableSizeTest, FlagsTableAndCodeSizeFollowTheNumberOfColours) {
  const TableCase c = GetParam();
  auto picture = Greys(c.colors);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.SetCompression(gcRLE);
  gif.Assign(picture.get());
  const ByteList file = SaveGif(gif);
  EXPECT_EQ(ByteList(file.begin(), file.begin() + 6), Text("GIF87a"));
  EXPECT_EQ(file[10], c.screen_flags);
  EXPECT_EQ(file[13], 0x2C);
  EXPECT_EQ(file[22], c.frame_flags);
  const size_t table_end = 23 + 3 * static_cast<size_t>(c.entries_written);
  for (int i = c.colors; i < c.entries_written; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(file[23 + 3 * i + k], 0) << "filler entry " << i;
  EXPECT_EQ(file[table_end], c.code_size);
  EXPECT_EQ(file.back(), 0x3B);
  const DecodedGif decoded = DecodeGif(file);
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.frames[0].Pixels(), PixelsOf(*picture));
}

INSTANTIATE_TEST_SUITE_P(
    Colours, TableSizeTest,
    testing::Values(TableCase{1, 0x00, 0x80, 2, 2}, TableCase{2, 0x00, 0x80, 2, 2},
                    TableCase{3, 0x11, 0x81, 4, 2}, TableCase{17, 0x44, 0x84, 32, 5},
                    TableCase{256, 0x77, 0x87, 256, 8}),
    [](const auto& info) { return std::to_string(info.param.colors) + "Colours"; });

TEST(GIFFile, TransparentPictureIsWrittenAsGIF89aWithAGraphicControlBlock) {
  // Red background (the bottom-left pixel's colour is the transparent one) with a blue
  // and a green pixel.
  auto picture = MakeBitmap24(4, 2, [](int x, int y) {
    return x == 1 && y == 0   ? RGBColor(0, 0, 255)
           : x == 2 && y == 1 ? RGBColor(0, 255, 0)
                              : RGBColor(255, 0, 0);
  });
  picture->SetTransparent(true);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.Assign(picture.get());
  const TGIFSubImage& frame = gif.Images()[0];
  // Sorted by use: red (6 pixels), blue, green; then black as the transparent entry.
  ASSERT_EQ(frame.ColorMap().Count(), 4);
  EXPECT_EQ(frame.ColorMap().Color(3), clBlack);
  EXPECT_EQ(ByteList(frame.Data(), frame.Data() + 8), (ByteList{3, 1, 3, 3, 3, 3, 2, 3}));

  const ByteList file = SaveGif(gif);
  EXPECT_EQ(ByteList(file.begin(), file.begin() + 6), Text("GIF89a"));
  EXPECT_EQ(ByteList(file.begin() + 13, file.begin() + 21),
            (ByteList{0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x03, 0x00}));
  EXPECT_EQ(file[21], 0x2C);
  const DecodedGif decoded = DecodeGif(file);
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.frames[0].transparent_index, 3);
  EXPECT_EQ(decoded.frames[0].indices, ByteList(frame.Data(), frame.Data() + 8));
}

TEST(GIFFile, EmptyFrameWithOneExtensionWritesOnlyTheBlock) {
  TGIFImage gif;
  TGIFSubImage& frame = gif.Images().Add();
  auto comment = std::make_unique<TGIFCommentExtension>();
  comment->Text = {"hello"};
  frame.Extensions().push_back(std::move(comment));
  EXPECT_EQ(gif.Version(), gv89a);
  // No table anywhere: resolution and size fields read as -1, masked to 7.
  EXPECT_EQ(
      SaveGif(gif),
      Cat({Text("GIF89a"), {0, 0, 0, 0, 0x77, 0, 0}, {0x21, 0xFE, 5}, Text("hello"), {0, 0x3B}}));
}

TEST(GIFFile, ImageWithoutFramesFailsBeforeTheFirstByte) {
  TGIFImage gif;
  EXPECT_EQ(gif.Version(), gvUnknown);
  std::vector<std::tuple<TProgressStage, int, std::string>> progress;
  gif.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const std::string& msg) {
    progress.emplace_back(stage, percent, msg);
  };
  TMemoryStream stream;
  EXPECT_EQ(ErrorMessage<GIFException>([&] { gif.SaveToStream(stream); }),
            "Unsupported GIF version");
  EXPECT_EQ(stream.Size(), 0);
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress[1], std::make_tuple(TProgressStage::psEnding, 0, std::string("Saving...")));
}

TEST(GIFFile, SavingReportsStartEachFrameAndEnd) {
  TGIFImage gif;
  for (int i = 0; i < 2; ++i) {
    TGIFSubImage& frame = gif.Images().Add();
    frame.SetSize(2, 2);
    frame.ColorMap().Add(clWhite);
  }
  std::vector<std::pair<TProgressStage, int>> progress;
  gif.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const std::string& msg) {
    EXPECT_EQ(msg, "Saving...");
    progress.emplace_back(stage, percent);
  };
  SaveGif(gif);
  EXPECT_EQ(progress,
            (std::vector<std::pair<TProgressStage, int>>{{TProgressStage::psStarting, 0},
                                                         {TProgressStage::psRunning, 50},
                                                         {TProgressStage::psRunning, 100},
                                                         {TProgressStage::psEnding, 100}}));
}

TEST(GIFFile, ExtensionBlocksAreLaidOutAsTheStandardSays) {
  const auto bytes = [](const TGIFExtension& e) {
    TMemoryStream s;
    e.SaveToStream(s);
    return Bytes(s);
  };
  TGIFGraphicControlExtension control;
  EXPECT_EQ(bytes(control), (ByteList{0x21, 0xF9, 4, 0, 0, 0, 0, 0}));
  control.Transparent = true;
  control.UserInput = true;
  control.Disposal = dmPrevious;
  control.Delay = 0x1234;
  control.TransparentColorIndex = 9;
  EXPECT_EQ(bytes(control), (ByteList{0x21, 0xF9, 4, 0x0F, 0x34, 0x12, 9, 0}));

  // Lines are cut at 255 bytes, never share a block, and empty lines write nothing.
  TGIFCommentExtension comment;
  comment.Text = {std::string(300, 'a'), "", "bc"};
  ByteList expected = {0x21, 0xFE, 255};
  expected.insert(expected.end(), 255, 'a');
  expected.push_back(45);
  expected.insert(expected.end(), 45, 'a');
  for (int b : {2, int{'b'}, int{'c'}, 0}) expected.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(bytes(comment), expected);

  TGIFTextExtension text;
  text.Left = 0x0102;
  text.GridWidth = 0x0304;
  text.CellWidth = 8;
  text.ForegroundColorIndex = 1;
  text.Text = {"hi"};
  EXPECT_EQ(bytes(text),
            (ByteList{0x21, 0x01, 12, 2, 1, 0, 0, 4, 3, 0, 0, 8, 0, 1, 0, 2, 'h', 'i', 0}));

  TGIFAppExtNSLoop loop;
  loop.Loops = 3;
  EXPECT_EQ(bytes(loop), Cat({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 3, 0, 0}}));
  loop.BufferSize = 0x01020304;
  EXPECT_EQ(bytes(loop),
            Cat({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 3, 0, 5, 2, 4, 3, 2, 1, 0}}));

  TGIFUnknownAppExtension unknown;
  std::memcpy(unknown.Identifier.data(), "ABCDEFGH", 8);
  std::memcpy(unknown.Authentication.data(), "1.0", 3);
  unknown.Blocks.emplace_back(ByteList{7, 8});
  unknown.Blocks.emplace_back(ByteList{});
  unknown.Blocks.emplace_back(ByteList{9});
  EXPECT_EQ(bytes(unknown), Cat({{0x21, 0xFF, 11}, Text("ABCDEFGH1.0"), {2, 7, 8, 1, 9, 0}}));
  EXPECT_THROW(TGIFBlock(ByteList(256, 1)), GIFException);
}

TEST(GIFFile, FrameWithoutItsOwnTableUsesTheGlobalOne) {
  TGIFImage gif;
  for (TColor c : {clBlack, clWhite, RGBColor(255, 0, 0)}) gif.Header().ColorMap().Add(c);
  gif.Header().Width = 3;
  gif.Header().Height = 2;
  TGIFSubImage& frame = gif.Images().Add();
  frame.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) frame.Data()[i] = static_cast<uint8_t>(i % 4);  // 3 is in 2^2
  frame.SetInterlaced(true);
  const ByteList file = SaveGif(gif);
  EXPECT_EQ(file[10], 0x80 | 0x10 | 0x01);
  EXPECT_EQ(file[13 + 12], 0x2C);
  EXPECT_EQ(file[13 + 12 + 9], 0x40) << "no local table, interlaced";
  const DecodedGif decoded = DecodeGif(file);
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_FALSE(decoded.frames[0].local_table);
  EXPECT_TRUE(decoded.frames[0].interlaced);
  EXPECT_EQ(decoded.frames[0].indices, (ByteList{0, 1, 2, 3, 0, 1}));
  EXPECT_EQ(decoded.global_table[2], (Rgb{255, 0, 0}));
}

TEST(GIFFile, SortedTableMakesAGIF89aFrameWithTheSortFlag) {
  TGIFImage gif;
  TGIFSubImage& frame = gif.Images().Add();
  frame.SetSize(2, 1);
  frame.Data()[1] = 1;
  frame.ColorMap().Add(clBlack);
  frame.ColorMap().Add(clWhite);
  EXPECT_EQ(gif.Version(), gv87a);
  frame.ColorMap().SetOptimized(true);
  EXPECT_EQ(gif.Version(), gv89a);
  const ByteList file = SaveGif(gif);
  EXPECT_EQ(ByteList(file.begin(), file.begin() + 6), Text("GIF89a"));
  EXPECT_EQ(file[22], 0x80 | 0x20);
}

// A stream that takes `room` bytes and then no more.
class TFullStream : public TStream {
 public:
  explicit TFullStream(int64_t room) : room_(room) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    const int64_t n = std::min(count, room_);
    room_ -= n;
    return n;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }

 private:
  int64_t room_;
};

TEST(GIFFile, EveryShortWriteIsReportedAsAWriteError) {
  auto picture = MakeBitmap24(40, 30, [](int x, int y) {
    return RGBColor(static_cast<uint8_t>(x / 4 * 20), static_cast<uint8_t>(y / 10 * 50), 0);
  });
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.Assign(picture.get());
  auto comment = std::make_unique<TGIFCommentExtension>();
  comment->Text = {"a comment"};
  gif.Images()[0].Extensions().push_back(std::move(comment));
  const size_t size = SaveGif(gif).size();
  for (size_t room = 0; room < size; ++room) {
    TFullStream stream(static_cast<int64_t>(room));
    EXPECT_THROW(gif.SaveToStream(stream), EWriteError)
        << "room for " << room << " of " << size << " bytes";
  }
  TFullStream enough(static_cast<int64_t>(size));
  EXPECT_NO_THROW(gif.SaveToStream(enough));
}

}  // namespace
