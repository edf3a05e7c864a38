// Loading pictures through TSPIBitmap: the shipped PNG and JPEG plug-ins (decode, handles,
// wrapping into a BMP image, BMP reader) against the BMP reader alone; and a 12-megapixel
// photo as PNG and as JPEG (written here by libpng and libjpeg with their usual settings)
// through the plug-ins against the same library decoding the same file into memory alone
// (reading the file included in both).
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "bench/BenchPictures.h"
#include "susie/Spibmp.h"
#include "susie/Spis.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

TSPIs& Plugins() {
  static TSPIs plugins;
  static const bool searched = [] {
    plugins.Search(std::string(LUMIVEIL_BIN_DIR) + "/SusiePlugin/*.spi");
    return true;
  }();
  (void)searched;
  return plugins;
}

void LoadPath(benchmark::State& state, const std::string& file) {
  Plugins();
  TSPIBitmap check;
  check.LoadFromFile(file);
  if (check.Empty()) {
    state.SkipWithError("the sample did not load");
    return;
  }
  for (auto _ : state) {
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(file);
    benchmark::DoNotOptimize(bitmap.ConstScanline(0));
  }
  state.SetLabel(std::to_string(check.Width()) + "x" + std::to_string(check.Height()) + " " +
                 (check.LoadedBy().empty() ? "BMP reader" : "plug-in"));
}

void LoadFile(benchmark::State& state, const std::string& name) {
  LoadPath(state, std::string(LUMIVEIL_SAMPLES) + "/" + name);
}

std::vector<uint8_t> ReadWhole(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The 12-megapixel photo (the cup tiled at its own resolution) as red, green, blue rows.
std::vector<uint8_t> PhotoRgb() {
  const TBitmap& photo = SharedPhotoPicture(kWidth, kHeight);
  std::vector<uint8_t> rgb(size_t{3} * kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = photo.ConstScanline(y);
    uint8_t* out = rgb.data() + size_t{3} * kWidth * y;
    for (int x = 0; x < 3 * kWidth; x += 3) {
      out[x] = row[x + 2];
      out[x + 1] = row[x + 1];
      out[x + 2] = row[x];
    }
  }
  return rgb;
}

std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

// The photo as a PNG file from libpng's defaults (zlib level 6, adaptive filters), made once.
const std::string& PhotoPng() {
  static const std::string file = [] {
    const std::string name = TempFile("lumiveil-bench-photo.png");
    const std::vector<uint8_t> rgb = PhotoRgb();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    png_image_write_to_file(&image, name.c_str(), 0, rgb.data(), 0, nullptr);
    return name;
  }();
  return file;
}

// The photo as a JPEG file at quality 90 (4:2:0), made once.
const std::string& PhotoJpeg() {
  static const std::string file = [] {
    const std::string name = TempFile("lumiveil-bench-photo.jpg");
    const std::vector<uint8_t> rgb = PhotoRgb();
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    FILE* f = std::fopen(name.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      JSAMPROW row = const_cast<uint8_t*>(rgb.data()) + size_t{3} * kWidth * c.next_scanline;
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return name;
  }();
  return file;
}

void BM_Load12MPPNGThroughPlugin(benchmark::State& state) {
  LoadPath(state, PhotoPng());
}
void BM_Load12MPJPEGThroughPlugin(benchmark::State& state) {
  LoadPath(state, PhotoJpeg());
}

// libpng alone: the file read into memory, decoded row by row into one buffer of RGB.
void BM_Load12MPPNGLibraryAlone(benchmark::State& state) {
  const std::string& file = PhotoPng();
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    const std::vector<uint8_t> data = ReadWhole(file);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, data.data(), data.size());
    image.format = PNG_FORMAT_BGR;
    pixels.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// libjpeg alone: the file read into memory, decoded with its defaults into blue, green, red.
void BM_Load12MPJPEGLibraryAlone(benchmark::State& state) {
  const std::string& file = PhotoJpeg();
  std::vector<uint8_t> pixels(size_t{3} * kWidth * kHeight);
  for (auto _ : state) {
    const std::vector<uint8_t> data = ReadWhole(file);
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
      JSAMPROW row = pixels.data() + size_t{3} * kWidth * d.output_scanline;
      jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_LoadPNGThroughPlugin(benchmark::State& state) {
  LoadFile(state, "astronaut.png");
}
void BM_LoadJPEGThroughPlugin(benchmark::State& state) {
  LoadFile(state, "rocket.jpg");
}
void BM_LoadBMPWithOwnReader(benchmark::State& state) {
  LoadFile(state, "coffee.bmp");
}

}  // namespace

BENCHMARK(BM_LoadPNGThroughPlugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJPEGThroughPlugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBMPWithOwnReader)->Unit(benchmark::kMillisecond);
// Alternating, so that both sides of each pair see the same machine.
BENCHMARK(BM_Load12MPPNGThroughPlugin)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load12MPPNGLibraryAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load12MPJPEGThroughPlugin)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load12MPJPEGLibraryAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
