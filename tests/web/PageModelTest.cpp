// The page's model: what the page's script relies on, in the module it runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/web/PageModel.h"
#include "base/Exceptions.h"
#include "platform/MemoryStream.h"
#include "tests/common/TestFiles.h"

namespace {

// A width x height picture as a canvas gives it (red, green, blue, alpha), a gradient.
std::vector<uint8_t> Rgba(int width, int height, int seed) {
  std::vector<uint8_t> rgba(size_t(4) * width * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgba[size_t(4) * (y * width + x)];
      p[0] = static_cast<uint8_t>(x * 7 + seed), p[1] = static_cast<uint8_t>(y * 5 + seed);
      p[2] = static_cast<uint8_t>((x + y) * 3), p[3] = 255;
    }
  return rgba;
}

// The same picture as a BMP file image, written by the raster's own writer.
std::vector<uint8_t> Bmp(const std::vector<uint8_t>& rgba, int width, int height) {
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::Bits24);
  picture.SetWidth(width);
  picture.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture.Scanline(y);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgba[size_t(4) * (y * width + x)];
      row[3 * x] = p[2], row[3 * x + 1] = p[1], row[3 * x + 2] = p[0];
    }
  }
  TMemoryStream stream;
  picture.SaveToStream(stream);
  return {stream.Memory(), stream.Memory() + stream.Size()};
}

// The page's save of a format, in full colour or in its palette form.
const TPageSave& SaveOf(TSaveFormat format, bool indexed = false) {
  for (const TPageSave& save : PageSaves())
    if (save.format == format && save.indexed == indexed) return save;
  throw std::logic_error("the page has no such save");
}

bool Contains(const std::vector<uint8_t>& file, const std::string& text) {
  return std::search(file.begin(), file.end(), text.begin(), text.end()) != file.end();
}

// Renders a picture of the model below 1:1 and checks each view pixel inside the picture
// against the rounded mean of the picture pixels it covers, summed plainly from the picture
// as it stands; the pixels outside must be left as they were.
void ExpectMeans(TPageModel& model, TPagePicture which, double scale, double left, double top,
                 int view_width, int view_height) {
  const TBitmap& picture = model.Picture(which);
  const int width = picture.Width(), height = picture.Height();
  std::vector<uint8_t> view(size_t(4) * view_width * view_height, 7);
  model.Render(which, scale, left, top, view_width, view_height, view.data());
  const auto start = [&](double origin, int i, int size) {
    const double position = std::floor((origin * scale + i) / scale);
    return position < 0 ? -1 : static_cast<int>(std::min<double>(position, size));
  };
  for (int j = 0; j < view_height; ++j)
    for (int i = 0; i < view_width; ++i) {
      const uint8_t* shown = &view[size_t(4) * (j * view_width + i)];
      const int x0 = start(left, i, width), y0 = start(top, j, height);
      if (x0 < 0 || x0 >= width || y0 < 0 || y0 >= height) {
        ASSERT_EQ(shown[0], 7) << "view pixel " << i << "," << j << " is outside";
        continue;
      }
      const int x1 = std::min(std::max(x0 + 1, start(left, i + 1, width)), width);
      const int y1 = std::min(std::max(y0 + 1, start(top, j + 1, height)), height);
      for (int k = 0; k < 3; ++k) {
        uint32_t sum = 0;
        for (int y = y0; y < y1; ++y)
          for (int x = x0; x < x1; ++x) sum += picture.ConstRows()[y][3 * x + 2 - k];
        const uint32_t n = static_cast<uint32_t>((x1 - x0) * (y1 - y0));
        ASSERT_EQ(shown[k], (sum + n / 2) / n)
            << width << "x" << height << " at " << scale << " from " << left << "," << top
            << ", view pixel " << i << "," << j << ", channel " << k;
      }
      ASSERT_EQ(shown[3], 255);
    }
}

}  // namespace

TEST(PageModel, PixelsAndBmpFilesGiveTheSameResultInEveryFormat) {
  const std::vector<uint8_t> visible = Rgba(37, 23, 10), hidden = Rgba(11, 29, 99);
  TPageModel from_pixels, from_files;
  from_pixels.LoadPixels(false, visible.data(), 37, 23);
  EXPECT_FALSE(from_pixels.HasResult());
  from_pixels.LoadPixels(true, hidden.data(), 11, 29);
  const std::vector<uint8_t> visible_bmp = Bmp(visible, 37, 23), hidden_bmp = Bmp(hidden, 11, 29);
  from_files.LoadBmp(false, visible_bmp.data(), visible_bmp.size());
  from_files.LoadBmp(true, hidden_bmp.data(), hidden_bmp.size());
  ASSERT_TRUE(from_pixels.HasResult());
  // The hidden picture is fitted to the visible one's size at once.
  EXPECT_EQ(from_pixels.Width(TPagePicture::ppHidden), 37);
  EXPECT_EQ(from_pixels.Height(TPagePicture::ppResult), 23);
  for (TPageModel* model : {&from_pixels, &from_files}) {
    model->SetAverage(90);
    model->SetContrast(40);
  }
  for (const TPageSave& save : PageSaves()) {
    const std::vector<uint8_t> file = from_pixels.Save(save);
    EXPECT_EQ(file, from_files.Save(save)) << save.file_name;
    ASSERT_GT(file.size(), 8u);
  }
  const std::vector<uint8_t> png = from_pixels.Save(SaveOf(TSaveFormat::sfPNG));
  EXPECT_EQ(std::memcmp(png.data(), "\x89PNG", 4), 0);
  EXPECT_TRUE(Contains(png, "average=90 contrast=40"));
  EXPECT_TRUE(
      Contains(from_pixels.Save(SaveOf(TSaveFormat::sfPNG, true)), "average=90 contrast=40"));
  EXPECT_EQ(std::memcmp(from_pixels.Save(SaveOf(TSaveFormat::sfGIF)).data(), "GIF87a", 6), 0);
  EXPECT_EQ(std::memcmp(from_pixels.Save(SaveOf(TSaveFormat::sfBMP)).data(), "BM", 2), 0);
  // The mapped odd cells lie in the band 50 .. 130; the even cells are the visible ones.
  const TBitmap& result = from_pixels.Picture(TPagePicture::ppResult);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) {
      const uint8_t* p = result.ConstScanline(y) + 3 * x;
      if ((x + y) % 2 == 1) {
        EXPECT_GE(p[0], 50);
        EXPECT_LE(p[0], 130);
      } else {
        EXPECT_EQ(p[2], visible[size_t(4) * (y * 37 + x)]);
      }
    }
}

TEST(PageModel, EveryOutputFormatIsSavedUnderANameOfItsOwn) {
  // Each row of the table of output formats gives a download, and its palette form another;
  // no two downloads share a name (a later one would replace the earlier in the browser's
  // folder), and each name has an ending of its format.
  std::vector<std::string> names;
  for (const TOutputFormat& format : OutputFormats())
    for (const bool indexed : {false, true}) {
      if (indexed && !format.palette_form) continue;
      const TPageSave& save = SaveOf(format.value, indexed);
      EXPECT_EQ(FormatForName(save.file_name, format.panel), format.value) << save.file_name;
      names.push_back(save.file_name);
    }
  EXPECT_EQ(names.size(), PageSaves().size());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
  // The first save keeps the band, as the window's Export does.
  EXPECT_TRUE(OutputFormatOf(PageSaves().front().format).records_band);
}

TEST(PageModel, TheAverageLimitsTheContrastAsTheWindowsSlidersDo) {
  TPageModel model;
  EXPECT_EQ(model.ContrastMax(), 128);
  model.SetAverage(200);
  EXPECT_EQ(model.ContrastMax(), 55);
  EXPECT_EQ(model.Contrast(), 55);
  model.SetContrast(100);
  EXPECT_EQ(model.Contrast(), 55);
  model.SetAverage(128);
  model.SetContrast(128);
  EXPECT_EQ(model.Contrast(), 128);
}

TEST(PageModel, RenderShowsBlocksAboveOneAndMeansBelow) {
  // A 2 x 2 picture: white, black / black, white.
  const uint8_t rgba[] = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255};
  TPageModel model;
  model.LoadPixels(false, rgba, 2, 2);
  std::vector<uint8_t> view(4 * 4 * 4, 7);
  model.Render(TPagePicture::ppVisible, 2, 0, 0, 4, 4, view.data());
  EXPECT_EQ(view[0], 255);  // (0, 0) and (1, 1) of the view: picture pixel (0, 0)
  EXPECT_EQ(view[4 * 5], 255);
  EXPECT_EQ(view[4 * 2], 0);         // (2, 0): picture pixel (1, 0)
  EXPECT_EQ(view[4 * 10 + 3], 255);  // opaque
  std::fill(view.begin(), view.end(), 7);
  model.Render(TPagePicture::ppVisible, 0.5, 0, 0, 2, 2, view.data());
  EXPECT_EQ(view[0], 128);  // the mean of all four, rounded half up
  EXPECT_EQ(view[4], 7);    // beyond the picture: left as it was
  // A view that starts left of and above the picture leaves those pixels alone.
  std::fill(view.begin(), view.end(), 7);
  model.Render(TPagePicture::ppVisible, 1, -1, -1, 3, 3, view.data());
  EXPECT_EQ(view[0], 7);
  EXPECT_EQ(view[4 * 4], 255);  // view (1, 1) is picture (0, 0)
}

// Below 1:1 each view pixel is the rounded mean of the picture pixels it covers: against
// the means summed plainly, for spans of odd and even row counts, counts of several column
// widths in one row, and a span of more rows than 16-bit sums hold.
TEST(PageModel, RenderBelowOneIsTheMeanOfTheCoveredPixels) {
  struct TCase {
    int width, height;
    double scale;
  };
  for (const TCase& c : {TCase{53, 41, 0.5}, TCase{53, 41, 1.0 / 3}, TCase{53, 41, 0.3},
                         TCase{53, 41, 1.0 / 7}, TCase{7, 900, 1.0 / 300}}) {
    const std::vector<uint8_t> rgba = Rgba(c.width, c.height, 41);
    TPageModel model;
    model.LoadPixels(false, rgba.data(), c.width, c.height);
    const int view_width = static_cast<int>(std::ceil(c.width * c.scale));
    const int view_height = static_cast<int>(std::ceil(c.height * c.scale));
    std::vector<uint8_t> view(size_t(4) * view_width * view_height);
    model.Render(TPagePicture::ppVisible, c.scale, 0, 0, view_width, view_height, view.data());
    const auto start = [&](int i, int size) {
      return std::min(static_cast<int>(std::floor(i / c.scale)), size);
    };
    for (int j = 0; j < view_height; ++j)
      for (int i = 0; i < view_width; ++i) {
        const int x0 = start(i, c.width), x1 = std::max(x0 + 1, start(i + 1, c.width));
        const int y0 = start(j, c.height), y1 = std::max(y0 + 1, start(j + 1, c.height));
        for (int k = 0; k < 3; ++k) {
          uint32_t sum = 0;
          for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) sum += rgba[size_t(4) * (y * c.width + x) + k];
          const uint32_t n = static_cast<uint32_t>((x1 - x0) * (y1 - y0));
          ASSERT_EQ(view[size_t(4) * (j * view_width + i) + k], (sum + n / 2) / n)
              << c.width << "x" << c.height << " at " << c.scale << ", view pixel " << i << ","
              << j;
        }
      }
  }
}

// The result below 1:1 at slider steps, summed from the even cells kept for the view and
// the hidden picture's odd cells mapped with the band: the same means as the synthesis's
// pixels summed, for views that show all of it (centred, as at Fit), a part from inside it,
// odd sizes, spans of odd and even row counts, a view changed between steps, spans too
// tall for the kept sums (summed from the result instead), and a new hidden picture.
TEST(PageModel, TheResultBelowOneFollowsEverySliderStep) {
  struct TCase {
    int width, height;
    double scale, left, top;
    int view_width, view_height;
  };
  const TCase views[] = {{61, 47, 0.3, -20.5, -3, 30, 16}, {61, 47, 1.0 / 3, 5, 7, 9, 11},
                         {60, 48, 0.25, 0, 0, 15, 12},     {61, 47, 1.0 / 7, -7, -14, 12, 9},
                         {9, 1100, 1.0 / 550, 0, 0, 1, 2}, {3, 2, 0.5, 0, 0, 2, 1}};
  for (const TCase& c : views) {
    const std::vector<uint8_t> visible = Rgba(c.width, c.height, 3);
    const std::vector<uint8_t> hidden = Rgba(c.height, c.width, 101);
    TPageModel model;
    model.LoadPixels(false, visible.data(), c.width, c.height);
    model.LoadPixels(true, hidden.data(), c.height, c.width);
    const std::pair<int, int> bands[] = {{128, 127}, {100, 30}, {220, 35}, {0, 0}};
    for (const auto& [average, contrast] : bands) {
      model.SetAverage(average);
      model.SetContrast(contrast);
      ExpectMeans(model, TPagePicture::ppResult, c.scale, c.left, c.top, c.view_width,
                  c.view_height);
      // The same band once more after another view: the kept sums follow the view.
      ExpectMeans(model, TPagePicture::ppResult, c.scale, c.left + 3, c.top, c.view_width,
                  c.view_height);
    }
    // A new hidden picture: the packed cells are made again.
    const std::vector<uint8_t> other = Rgba(c.width, c.height, 200);
    model.LoadPixels(true, other.data(), c.width, c.height);
    model.SetContrast(50);
    ExpectMeans(model, TPagePicture::ppResult, c.scale, c.left, c.top, c.view_width, c.view_height);
  }
}

TEST(PageModel, AFileThatIsNoPictureChangesNothing) {
  TPageModel model;
  const std::vector<uint8_t> visible = Rgba(8, 8, 0), hidden = Rgba(5, 5, 30);
  model.LoadPixels(false, visible.data(), 8, 8);
  const uint8_t junk[] = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  EXPECT_THROW(model.LoadBmp(false, junk, sizeof junk), Exception);
  EXPECT_THROW(model.LoadPixels(true, visible.data(), 0, 8), Exception);
  EXPECT_EQ(model.Width(TPagePicture::ppVisible), 8);
  EXPECT_FALSE(model.HasHidden());
  EXPECT_THROW(model.MakeReveal(TRevealView::rvSheet, 256, TThumbnailFilter::tfArea), Exception);
  // With both pictures there, a failed load of either leaves the synthesis as it was (the
  // workflow's own unmapped preview after a hidden load is not what the page saves).
  model.LoadPixels(true, hidden.data(), 5, 5);
  model.SetContrast(20);
  const std::vector<uint8_t> before = model.Save(SaveOf(TSaveFormat::sfBMP));
  EXPECT_THROW(model.LoadBmp(true, junk, sizeof junk), Exception);
  EXPECT_THROW(model.LoadBmp(false, junk, sizeof junk), Exception);
  EXPECT_EQ(model.Save(SaveOf(TSaveFormat::sfBMP)), before);
}

TEST(PageModel, RevealViewsAndScoresFollowTheSliders) {
  TPageModel model;
  const std::vector<uint8_t> visible = Rgba(40, 30, 0), hidden = Rgba(40, 30, 50);
  model.LoadPixels(false, visible.data(), 40, 30);
  model.LoadPixels(true, hidden.data(), 40, 30);
  model.MakeReveal(TRevealView::rvEven, 256, TThumbnailFilter::tfArea);
  EXPECT_EQ(model.Width(TPagePicture::ppReveal), 20);
  const double visible_wide = model.VisibleScore();
  const std::optional<double> hidden_wide = model.HiddenScore();
  model.SetContrast(10);
  // A narrow band brings the hidden picture back coarser, and changes what shows.
  ASSERT_TRUE(hidden_wide.has_value() && model.HiddenScore().has_value());
  EXPECT_LT(*model.HiddenScore(), *hidden_wide);
  EXPECT_NE(model.VisibleScore(), visible_wide);
  EXPECT_EQ(model.FoundBand().average, 128);
}

// A target's check takes the result as the sliders leave it: the file host keeps the full
// band's hidden picture and its band chunk; JPEG at quality 85 loses a narrow band's hidden
// picture and the chunk.
TEST(PageModel, TargetChecksFollowTheSliders) {
  TPageModel model;
  EXPECT_THROW(
      {
        TTargetCheck none;
        model.CheckTarget(Targets().front(), none);
      },
      Exception);
  for (const bool hidden : {false, true}) {
    const std::vector<uint8_t> file = ReadBytes(Sample(hidden ? "chelsea.bmp" : "coffee.bmp"));
    model.LoadBmp(hidden, file.data(), file.size());
  }
  TTargetCheck lossless;
  model.CheckTarget(*FindTarget("lossless"), lossless);
  EXPECT_EQ(lossless.verdict, TVerdict::hvSurvives);
  EXPECT_TRUE(lossless.band_survives);
  model.SetContrast(8);
  TTargetCheck jpeg;
  model.CheckTarget(*FindTarget("jpeg85"), jpeg);
  EXPECT_NE(jpeg.verdict, TVerdict::hvSurvives);
  ASSERT_TRUE(jpeg.hidden_psnr.has_value());
  EXPECT_LT(*jpeg.hidden_psnr, kSurvivesPsnr);
  EXPECT_FALSE(jpeg.band_survives);
  // The page's worker checks copies of the three pictures: the same check as the model's
  // own.
  const int width = model.Width(TPagePicture::ppResult);
  const int height = model.Height(TPagePicture::ppResult);
  std::vector<uint8_t> pixels[3];
  const TPagePicture copied[] = {TPagePicture::ppResult, TPagePicture::ppVisible,
                                 TPagePicture::ppHidden};
  for (int k = 0; k < 3; ++k) {
    pixels[k].resize(size_t(3) * width * height);
    model.CopyPicture(copied[k], pixels[k].data());
  }
  TTargetCheck from_pixels;
  CheckPixels(*FindTarget("jpeg85"), width, height, pixels[0].data(), pixels[1].data(),
              pixels[2].data(), TToneBand{model.Average(), model.Contrast()}, from_pixels);
  EXPECT_EQ(from_pixels.verdict, jpeg.verdict);
  EXPECT_EQ(from_pixels.visible_psnr, jpeg.visible_psnr);
  EXPECT_EQ(from_pixels.hidden_psnr, jpeg.hidden_psnr);
  EXPECT_EQ(from_pixels.hidden_grey_psnr, jpeg.hidden_grey_psnr);
  EXPECT_EQ(from_pixels.thumbnail, jpeg.thumbnail);
  EXPECT_EQ(from_pixels.band_survives, jpeg.band_survives);
}

TEST(PageModel, RowsMappedAsTheViewReachesThemGiveTheSynthesis) {
  const std::vector<uint8_t> visible = Rgba(64, 48, 3), hidden = Rgba(30, 70, 77);
  // The reference: the sliders set first, the synthesis made at once with them.
  TPageModel reference;
  reference.SetAverage(150);
  reference.SetContrast(60);
  reference.LoadPixels(false, visible.data(), 64, 48);
  reference.LoadPixels(true, hidden.data(), 30, 70);
  TPageModel model;
  model.LoadPixels(false, visible.data(), 64, 48);
  model.LoadPixels(true, hidden.data(), 30, 70);
  std::vector<uint8_t> view(size_t(4) * 20 * 10);
  // Slider steps with views that reach only some rows (at 2:1 from row 7, below 1:1 the
  // top part), then the final band; what is saved is the synthesis with it.
  model.SetAverage(100);
  model.Render(TPagePicture::ppResult, 2, 5, 7, 20, 10, view.data());
  model.SetContrast(30);
  model.Render(TPagePicture::ppResult, 0.25, 0, 0, 20, 3, view.data());
  model.SetAverage(150);
  model.SetContrast(60);
  model.Render(TPagePicture::ppResult, 0.5, 0, 10, 20, 10, view.data());
  EXPECT_EQ(model.Save(SaveOf(TSaveFormat::sfBMP)), reference.Save(SaveOf(TSaveFormat::sfBMP)));
  // A view of the whole result at 1:4 shows the means of the synthesis's pixels.
  std::vector<uint8_t> whole(size_t(4) * 16 * 12), expected(size_t(4) * 16 * 12);
  model.SetContrast(59);
  model.SetContrast(60);
  model.Render(TPagePicture::ppResult, 0.25, 0, 0, 16, 12, whole.data());
  reference.Render(TPagePicture::ppResult, 0.25, 0, 0, 16, 12, expected.data());
  EXPECT_EQ(whole, expected);
}
