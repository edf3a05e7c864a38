// GIF image data: our LZW and run-length encoders against giflib's encoder on the same
// colour indices, in the same run. Each benchmark writes a whole one-frame file into
// memory; the output of every encoder is decoded with giflib and checked before timing.
//
// Pictures (4000 x 3000, built once):
// - photo: samples/coffee.bmp (600 x 400) scaled up bilinearly, with a mild deterministic
//   grain added (+-6 per channel) so that it keeps a photo's noise at that size, then
//   mapped without dithering to the nearest colour of a 256-colour palette made from the
//   picture itself (the average colours of its 256 most frequent 4-4-4 colour cells):
//   every one of the 256 entries is used.
// - halftone photo: the same scaled-up photo brought to the 256-entry halftone palette
//   instead, as the system's GIF save path does (it uses 92 of the entries).
// - runs: 8 colours, a background with 600 random overlapping rectangles and bands:
//   flat areas with runs of up to 4000 pixels, like a chart or a drawing.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "gif/Gifimage.h"
#include "platform/MemoryStream.h"
#include "platform/NearestColor.h"
#include "raster/Bitmap.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Picture {
  std::vector<uint8_t> indices;  // kWidth x kHeight, rows from the top
  std::vector<TGIFColor> table;
};

uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

std::unique_ptr<TBitmap> MakePhoto() {
  TBitmap small;
  small.LoadFromFile(LUMIVEIL_SAMPLES "/coffee.bmp");
  small.SetPixelFormat(TPixelFormat::Bits24);
  const int sw = small.Width(), sh = small.Height();
  auto photo = std::make_unique<TBitmap>();
  TBitmap& big = *photo;
  big.SetPixelFormat(TPixelFormat::Bits24);
  big.SetWidth(kWidth);
  big.SetHeight(kHeight);
  uint32_t random = 12345;
  for (int y = 0; y < kHeight; ++y) {
    const double fy = (y + 0.5) * sh / kHeight - 0.5;
    const int y0 = std::clamp(static_cast<int>(std::floor(fy)), 0, sh - 1);
    const int y1 = std::min(y0 + 1, sh - 1);
    const double wy = std::clamp(fy - y0, 0.0, 1.0);
    const uint8_t* r0 = small.ConstScanline(y0);
    const uint8_t* r1 = small.ConstScanline(y1);
    uint8_t* out = big.Scanline(y);
    for (int x = 0; x < kWidth; ++x) {
      const double fx = (x + 0.5) * sw / kWidth - 0.5;
      const int x0 = std::clamp(static_cast<int>(std::floor(fx)), 0, sw - 1);
      const int x1 = std::min(x0 + 1, sw - 1);
      const double wx = std::clamp(fx - x0, 0.0, 1.0);
      for (int c = 0; c < 3; ++c) {
        const double top = r0[3 * x0 + c] * (1 - wx) + r0[3 * x1 + c] * wx;
        const double bottom = r1[3 * x0 + c] * (1 - wx) + r1[3 * x1 + c] * wx;
        const int grain = static_cast<int>(NextRandom(random) % 13) - 6;
        out[3 * x + c] = static_cast<uint8_t>(
            std::clamp(static_cast<int>(top * (1 - wy) + bottom * wy + 0.5) + grain, 0, 255));
      }
    }
  }
  return photo;
}

// The photo's own 256 colours: the average colour of each of its 256 most frequent 4-4-4
// cells; every pixel gets the nearest of them.
Picture PopularityReduced(const TBitmap& big) {
  std::vector<uint64_t> count(4096), red(4096), green(4096), blue(4096);
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = big.ConstScanline(y);
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
      const int cell = (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
      ++count[cell];
      red[cell] += r;
      green[cell] += g;
      blue[cell] += b;
    }
  }
  std::vector<int> cells(4096);
  for (int i = 0; i < 4096; ++i) cells[i] = i;
  std::stable_sort(cells.begin(), cells.end(),
                   [&count](int a, int b) { return count[a] > count[b]; });
  std::vector<TPaletteEntry> palette;
  for (int i = 0; i < 256; ++i) {
    const int c = cells[i];
    const uint64_t n = std::max<uint64_t>(count[c], 1);
    palette.push_back(TPaletteEntry{static_cast<uint8_t>(red[c] / n),
                                    static_cast<uint8_t>(green[c] / n),
                                    static_cast<uint8_t>(blue[c] / n), 0});
  }
  TNearestColorMap map(palette);
  Picture picture;
  picture.indices.resize(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    map.MapBGR(big.ConstScanline(y), picture.indices.data() + static_cast<size_t>(y) * kWidth,
               kWidth);
  for (const TPaletteEntry& e : palette)
    picture.table.push_back(TGIFColor{e.peRed, e.peGreen, e.peBlue});
  return picture;
}

Picture HalftoneReduced(const TBitmap& photo) {
  TBitmap big;
  big.Assign(&photo);
  big.SetPixelFormat(TPixelFormat::Bits8);
  Picture picture;
  picture.indices.resize(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    std::memcpy(picture.indices.data() + static_cast<size_t>(y) * kWidth, big.ConstScanline(y),
                kWidth);
  for (const TRGBQuad& q : big.ColorTable())
    picture.table.push_back(TGIFColor{q.rgbRed, q.rgbGreen, q.rgbBlue});
  return picture;
}

Picture MakeRuns() {
  Picture picture;
  picture.indices.assign(static_cast<size_t>(kWidth) * kHeight, 0);
  uint32_t random = 777;
  for (int i = 0; i < 600; ++i) {
    const bool band = i % 5 == 0;
    const int w = band ? kWidth : 50 + static_cast<int>(NextRandom(random) % 1500);
    const int h = band ? 2 + static_cast<int>(NextRandom(random) % 30)
                       : 20 + static_cast<int>(NextRandom(random) % 600);
    const int x0 = band ? 0 : static_cast<int>(NextRandom(random) % (kWidth - w));
    const int y0 = static_cast<int>(NextRandom(random) % (kHeight - h));
    const auto colour = static_cast<uint8_t>(1 + NextRandom(random) % 7);
    for (int y = y0; y < y0 + h; ++y)
      std::memset(picture.indices.data() + static_cast<size_t>(y) * kWidth + x0, colour,
                  static_cast<size_t>(w));
  }
  const uint8_t levels[8][3] = {{255, 255, 255}, {0, 0, 0},     {200, 30, 30},   {30, 160, 40},
                                {40, 60, 210},   {240, 200, 0}, {128, 128, 128}, {0, 180, 200}};
  for (const auto& l : levels) picture.table.push_back(TGIFColor{l[0], l[1], l[2]});
  return picture;
}

const TBitmap& ScaledPhoto() {
  static const std::unique_ptr<TBitmap> photo = MakePhoto();
  return *photo;
}

const Picture& Photo() {
  static const Picture picture = PopularityReduced(ScaledPhoto());
  return picture;
}

const Picture& HalftonePhoto() {
  static const Picture picture = HalftoneReduced(ScaledPhoto());
  return picture;
}

const Picture& Runs() {
  static const Picture picture = MakeRuns();
  return picture;
}

std::unique_ptr<TGIFImage> MakeImage(const Picture& picture, TGIFCompression compression) {
  auto gif = std::make_unique<TGIFImage>();
  gif->SetCompression(compression);
  gif->Header().Width = kWidth;
  gif->Header().Height = kHeight;
  TGIFSubImage& frame = gif->Images().Add();
  frame.SetSize(kWidth, kHeight);
  std::memcpy(frame.Data(), picture.indices.data(), picture.indices.size());
  for (const TGIFColor& c : picture.table) frame.ColorMap().Add(RGBColor(c.Red, c.Green, c.Blue));
  return gif;
}

// giflib's encoder ---------------------------------------------------------------------

int WriteToVector(GifFileType* file, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(file->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

void EncodeWithGiflib(const Picture& picture, std::vector<GifPixelType>& pixels,
                      std::vector<uint8_t>& out) {
  out.clear();
  int error = 0;
  GifFileType* file = EGifOpen(&out, WriteToVector, &error);
  if (file == nullptr) throw std::runtime_error("EGifOpen failed");
  std::vector<GifColorType> colours;
  for (const TGIFColor& c : picture.table) colours.push_back(GifColorType{c.Red, c.Green, c.Blue});
  int size = 2;
  while (size < static_cast<int>(colours.size())) size *= 2;
  colours.resize(static_cast<size_t>(size));
  ColorMapObject* map = GifMakeMapObject(size, colours.data());
  bool ok = EGifPutScreenDesc(file, kWidth, kHeight, 8, 0, nullptr) == GIF_OK &&
            EGifPutImageDesc(file, 0, 0, kWidth, kHeight, false, map) == GIF_OK;
  for (int y = 0; ok && y < kHeight; ++y)
    ok = EGifPutLine(file, pixels.data() + static_cast<size_t>(y) * kWidth, kWidth) == GIF_OK;
  GifFreeMapObject(map);
  if (EGifCloseFile(file, &error) != GIF_OK || !ok)
    throw std::runtime_error("giflib could not encode");
}

// Decodes a file with giflib and compares it with the picture; ends the benchmark
// program when they differ.
void Check(const std::vector<uint8_t>& file, const Picture& picture, const char* who) {
  struct Reader {
    const std::vector<uint8_t>* bytes;
    size_t at;
  } reader{&file, 0};
  auto read = [](GifFileType* f, GifByteType* buffer, int count) {
    auto* r = static_cast<Reader*>(f->UserData);
    const size_t n = std::min(static_cast<size_t>(count), r->bytes->size() - r->at);
    std::memcpy(buffer, r->bytes->data() + r->at, n);
    r->at += n;
    return static_cast<int>(n);
  };
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, read, &error);
  bool same = gif != nullptr && DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1 &&
              std::memcmp(gif->SavedImages[0].RasterBits, picture.indices.data(),
                          picture.indices.size()) == 0;
  if (same) {
    const ColorMapObject* map = gif->SavedImages[0].ImageDesc.ColorMap
                                    ? gif->SavedImages[0].ImageDesc.ColorMap
                                    : gif->SColorMap;
    for (size_t i = 0; i < picture.table.size(); ++i)
      same = same && map->Colors[i].Red == picture.table[i].Red &&
             map->Colors[i].Green == picture.table[i].Green &&
             map->Colors[i].Blue == picture.table[i].Blue;
  }
  if (gif) DGifCloseFile(gif, &error);
  if (!same) {
    std::fprintf(stderr, "%s: the file does not decode to the picture\n", who);
    std::exit(1);
  }
}

int ColoursUsed(const Picture& picture) {
  bool used[256] = {};
  for (const uint8_t i : picture.indices) used[i] = true;
  return static_cast<int>(std::count(used, used + 256, true));
}

void Ours(benchmark::State& state, const Picture& picture, TGIFCompression compression) {
  auto gif = MakeImage(picture, compression);
  TMemoryStream stream;
  stream.SetSize(static_cast<int64_t>(picture.indices.size()) *
                 2);  // room enough: no growth while timed
  stream.SetPosition(0);
  gif->SaveToStream(stream);
  const int64_t size = stream.Position();
  Check(std::vector<uint8_t>(stream.Memory(), stream.Memory() + size), picture,
        compression == gcLZW ? "our LZW encoder" : "our RLE encoder");
  for (auto _ : state) {
    stream.SetPosition(0);
    gif->SaveToStream(stream);
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(picture.indices.size()));
  state.counters["file_bytes"] = static_cast<double>(size);
  state.counters["colours_used"] = static_cast<double>(ColoursUsed(picture));
}

void Giflib(benchmark::State& state, const Picture& picture) {
  std::vector<GifPixelType> pixels(picture.indices.begin(), picture.indices.end());
  std::vector<uint8_t> out;
  out.reserve(picture.indices.size() * 2);
  EncodeWithGiflib(picture, pixels, out);
  Check(out, picture, "giflib");
  for (auto _ : state) {
    EncodeWithGiflib(picture, pixels, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(picture.indices.size()));
  state.counters["file_bytes"] = static_cast<double>(out.size());
}

void BM_Photo256_OurLZW(benchmark::State& state) {
  Ours(state, Photo(), gcLZW);
}
void BM_Photo256_OurRLE(benchmark::State& state) {
  Ours(state, Photo(), gcRLE);
}
void BM_Photo256_Giflib(benchmark::State& state) {
  Giflib(state, Photo());
}
void BM_HalftonePhoto_OurLZW(benchmark::State& state) {
  Ours(state, HalftonePhoto(), gcLZW);
}
void BM_HalftonePhoto_OurRLE(benchmark::State& state) {
  Ours(state, HalftonePhoto(), gcRLE);
}
void BM_HalftonePhoto_Giflib(benchmark::State& state) {
  Giflib(state, HalftonePhoto());
}
void BM_Runs8_OurLZW(benchmark::State& state) {
  Ours(state, Runs(), gcLZW);
}
void BM_Runs8_OurRLE(benchmark::State& state) {
  Ours(state, Runs(), gcRLE);
}
void BM_Runs8_Giflib(benchmark::State& state) {
  Giflib(state, Runs());
}

BENCHMARK(BM_Photo256_OurLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo256_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo256_OurRLE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftonePhoto_OurLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftonePhoto_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftonePhoto_OurRLE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Runs8_OurLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Runs8_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Runs8_OurRLE)->Unit(benchmark::kMillisecond);

}  // namespace
