#include "bench/BenchPictures.h"

#include <cstring>
#include <map>
#include <memory>
#include <tuple>

void MakePhotoPicture(TBitmap& picture, int width, int height, const std::string& name) {
  TBitmap photo;
  photo.LoadFromFile(std::string(LUMIVEIL_SAMPLES) + "/" + name);
  photo.SetPixelFormat(TPixelFormat::Bits24);
  const int pw = photo.Width(), ph = photo.Height();
  picture.SetPixelFormat(TPixelFormat::Bits24);
  picture.SetWidth(width);
  picture.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    const int ty = (y / ph) % 2 == 0 ? y % ph : ph - 1 - y % ph;
    const uint8_t* source = photo.ConstScanline(ty);
    uint8_t* row = picture.Scanline(y);
    for (int x = 0; x < width; ++x) {
      const int tx = (x / pw) % 2 == 0 ? x % pw : pw - 1 - x % pw;
      std::memcpy(row + 3 * x, source + 3 * tx, 3);
    }
  }
}

TBitmap& SharedPhotoPicture(int width, int height, const std::string& name) {
  static std::map<std::tuple<int, int, std::string>, std::unique_ptr<TBitmap>> pictures;
  std::unique_ptr<TBitmap>& picture = pictures[{width, height, name}];
  if (!picture) {
    picture = std::make_unique<TBitmap>();
    MakePhotoPicture(*picture, width, height, name);
  }
  return *picture;
}
