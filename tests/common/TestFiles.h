// Helpers shared by the tests: paths of the test material, whole-file reads, temporary
// folders, and a picture's pixels as rows of R, G, B bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "raster/Bitmap.h"

inline std::string TestData(const std::string& relative) {
  return std::string(LUMIVEIL_TESTDATA) + "/" + relative;
}
inline std::string Sample(const std::string& name) {
  return std::string(LUMIVEIL_SAMPLES) + "/" + name;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder for one test's files, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    std::mt19937_64 rng(std::random_device{}());
    path_ = std::filesystem::temp_directory_path() / ("lumiveil-test-" + std::to_string(rng()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// The pixels of a 24-bit copy of the picture, rows from the top, R, G, B per pixel, no
// padding (the form the manifests' checksums are taken over).
inline std::vector<uint8_t> RGBPixels(const TBitmap& bitmap) {
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SetPixelFormat(TPixelFormat::Bits24);
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(copy.Width()) * copy.Height() * 3);
  for (int y = 0; y < copy.Height(); ++y) {
    const uint8_t* row = copy.ConstScanline(y);
    for (int x = 0; x < copy.Width(); ++x) {
      rgb.push_back(row[3 * x + 2]);
      rgb.push_back(row[3 * x + 1]);
      rgb.push_back(row[3 * x]);
    }
  }
  return rgb;
}

// A 24-bit picture of random pixels.
inline void FillRandom24(TBitmap& bitmap, int width, int height, uint32_t seed) {
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < width * 3; ++x) row[x] = static_cast<uint8_t>(rng());
  }
}
