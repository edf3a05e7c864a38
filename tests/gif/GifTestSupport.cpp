#include "tests/gif/GifTestSupport.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct Reader {
  const std::vector<uint8_t>* bytes;
  size_t position;
};

int ReadBytes(GifFileType* file, GifByteType* buffer, int count) {
  auto* reader = static_cast<Reader*>(file->UserData);
  const size_t n =
      std::min<size_t>(static_cast<size_t>(count), reader->bytes->size() - reader->position);
  std::memcpy(buffer, reader->bytes->data() + reader->position, n);
  reader->position += n;
  return static_cast<int>(n);
}

std::vector<Rgb> TableOf(const ColorMapObject* map) {
  std::vector<Rgb> table;
  if (map == nullptr) return table;
  for (int i = 0; i < map->ColorCount; ++i)
    table.push_back(Rgb{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
  return table;
}

}  // namespace

std::vector<Rgb> DecodedFrame::Pixels() const {
  std::vector<Rgb> pixels;
  pixels.reserve(indices.size());
  for (const uint8_t i : indices) pixels.push_back(i < table.size() ? table[i] : Rgb{1, 2, 3});
  return pixels;
}

DecodedGif DecodeGif(const std::vector<uint8_t>& bytes) {
  DecodedGif result;
  Reader reader{&bytes, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&reader, ReadBytes, &error);
  if (file == nullptr) {
    ADD_FAILURE() << "giflib cannot open the file: " << GifErrorString(error);
    return result;
  }
  if (DGifSlurp(file) != GIF_OK) {
    ADD_FAILURE() << "giflib cannot read the file: " << GifErrorString(file->Error);
    DGifCloseFile(file, &error);
    return result;
  }
  result.width = file->SWidth;
  result.height = file->SHeight;
  result.global_table = TableOf(file->SColorMap);
  for (int i = 0; i < file->ImageCount; ++i) {
    const SavedImage& image = file->SavedImages[i];
    DecodedFrame frame;
    frame.left = image.ImageDesc.Left;
    frame.top = image.ImageDesc.Top;
    frame.width = image.ImageDesc.Width;
    frame.height = image.ImageDesc.Height;
    frame.interlaced = image.ImageDesc.Interlace;
    const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
    frame.indices.assign(image.RasterBits, image.RasterBits + count);
    frame.local_table = image.ImageDesc.ColorMap != nullptr;
    frame.table = frame.local_table ? TableOf(image.ImageDesc.ColorMap) : result.global_table;
    GraphicsControlBlock control;
    if (DGifSavedExtensionToGCB(file, i, &control) == GIF_OK)
      frame.transparent_index = control.TransparentColor;
    result.frames.push_back(std::move(frame));
  }
  DGifCloseFile(file, &error);
  return result;
}

std::vector<uint8_t> Bytes(TMemoryStream& stream) {
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

std::vector<uint8_t> SaveGif(TGIFImage& gif) {
  TMemoryStream stream;
  gif.SaveToStream(stream);
  return Bytes(stream);
}

std::vector<Code> ReadCodes(const std::vector<uint8_t>& data, std::vector<int>* blocks) {
  std::vector<Code> codes;
  if (data.empty()) return codes;
  const int code_size = data[0];
  std::vector<uint8_t> bytes;
  size_t p = 1;
  while (p < data.size() && data[p] != 0) {
    const size_t n = data[p];
    if (blocks) blocks->push_back(static_cast<int>(n));
    bytes.insert(bytes.end(), data.begin() + static_cast<long>(p + 1),
                 data.begin() + static_cast<long>(std::min(data.size(), p + 1 + n)));
    p += 1 + n;
  }
  const uint32_t clear = 1u << code_size;
  int width = code_size + 1;
  uint32_t next = clear + 2;
  bool first = true;
  size_t bit = 0;
  while (bit + static_cast<size_t>(width) <= bytes.size() * 8) {
    uint32_t code = 0;
    for (int i = 0; i < width; ++i, ++bit)
      code |= static_cast<uint32_t>((bytes[bit / 8] >> (bit % 8)) & 1) << i;
    codes.push_back(Code{code, width});
    if (code == clear) {
      width = code_size + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (code == clear + 1) break;
    // Every code but the first after a clear adds one entry to the decoder's table; the
    // codes widen when the next entry no longer fits.
    if (!first && next < 4096) ++next;
    first = false;
    if (next == (1u << width) && width < 12) ++width;
  }
  return codes;
}

std::vector<uint32_t> Values(const std::vector<Code>& codes) {
  std::vector<uint32_t> values;
  for (const Code& c : codes) values.push_back(c.value);
  return values;
}

std::unique_ptr<TBitmap> MakeBitmap24(int width, int height,
                                      const std::function<TColor(int, int)>& colour) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(TPixelFormat::Bits24);
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap->Scanline(y);
    for (int x = 0; x < width; ++x) {
      const TColor c = colour(x, y);
      row[3 * x] = GetBValue(c);
      row[3 * x + 1] = GetGValue(c);
      row[3 * x + 2] = GetRValue(c);
    }
  }
  return bitmap;
}

std::unique_ptr<TBitmap> MakeBitmap8(int width, int height,
                                     const std::vector<TPaletteEntry>& palette,
                                     const std::function<uint8_t(int, int)>& index) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(TPixelFormat::Bits8);
  bitmap->SetPalette(CreatePalette(palette));
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap->Scanline(y);
    for (int x = 0; x < width; ++x) row[x] = index(x, y);
  }
  return bitmap;
}

std::vector<Rgb> PixelsOf(const TBitmap& bitmap) {
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SetPixelFormat(TPixelFormat::Bits24);
  std::vector<Rgb> pixels;
  pixels.reserve(static_cast<size_t>(copy.Width()) * static_cast<size_t>(copy.Height()));
  for (int y = 0; y < copy.Height(); ++y) {
    const uint8_t* row = copy.ConstScanline(y);
    for (int x = 0; x < copy.Width(); ++x)
      pixels.push_back(Rgb{row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  return pixels;
}

std::unique_ptr<TBitmap> LoadBitmap(const std::string& path) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->LoadFromFile(path);
  return bitmap;
}
