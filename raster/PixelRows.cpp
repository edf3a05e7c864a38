#include "raster/PixelRows.h"

#include <algorithm>
#include <bit>
#include <cstring>

uint8_t* RowAddress(const TBitmapImage& image, int row) {
  const TDIBSection& d = image.DIBInfo;
  const size_t stride = static_cast<size_t>(d.dsBm.bmWidthBytes);
  const int height = d.dsBm.bmHeight;
  const bool top_down = d.dsBmih.biSize != 0 && d.dsBmih.biHeight < 0;
  const size_t index = top_down ? static_cast<size_t>(row) : static_cast<size_t>(height - 1 - row);
  return image.pixels.get() + index * stride;
}

uint8_t TRowDecoder::Channel::Get(uint32_t pixel) const {
  const uint32_t v = (pixel & mask) >> shift;
  if (!widen.empty()) return widen[v];
  if (max == 0) return 0;
  return static_cast<uint8_t>((uint64_t{v} * 510 + max) / (uint64_t{max} * 2));
}

TRowDecoder::TRowDecoder(const TBitmapImage& image) {
  Prepare(image.DIBInfo, image.color_table, image.IsSection());
}

TRowDecoder::TRowDecoder(const TBitmap& bitmap) {
  Prepare(bitmap.DIBInfo(), bitmap.ColorTable(), bitmap.IsSection());
}

void TRowDecoder::Prepare(const TDIBSection& d, const std::vector<TRGBQuad>& table, bool section) {
  bits_ = d.dsBm.bmBitsPixel;
  if (!section) bits_ = 24;
  table_ = table;
  if (bits_ <= 8) table_.resize(size_t{1} << bits_);
  uint32_t masks[3] = {d.dsBitfields[0], d.dsBitfields[1], d.dsBitfields[2]};
  if (d.dsBmih.biCompression != BI_BITFIELDS) {
    if (bits_ == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
  }
  plain32_ = bits_ == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
  Channel* channels[3] = {&red_, &green_, &blue_};
  for (int i = 0; i < 3; ++i) {
    Channel& c = *channels[i];
    c.mask = masks[i];
    c.shift = c.mask ? std::countr_zero(c.mask) : 0;
    c.max = c.mask >> c.shift;
    if (c.max != 0 && c.max < 65536) {
      c.widen.resize(c.max + 1);
      for (uint32_t v = 0; v <= c.max; ++v)
        c.widen[v] = static_cast<uint8_t>((uint64_t{v} * 510 + c.max) / (uint64_t{c.max} * 2));
    }
  }
}

void TRowDecoder::Indices(const uint8_t* row, uint8_t* indices, int count, int first) const {
  switch (bits_) {
    case 8:
      std::memcpy(indices, row + first, static_cast<size_t>(count));
      return;
    case 4:  // two pixels a byte, the high nibble first
      for (int i = 0, x = first; i < count; ++i, ++x)
        indices[i] = static_cast<uint8_t>((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
      return;
    case 1:  // eight pixels a byte, the most significant bit first
      for (int i = 0, x = first; i < count; ++i, ++x)
        indices[i] = static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
      return;
    default:
      std::memset(indices, 0, static_cast<size_t>(count));
  }
}

void TRowDecoder::Decode(const uint8_t* row, uint8_t* bgr, int count, int first) const {
  const auto put = [&](int i, const TRGBQuad& q) {
    bgr[3 * i] = q.rgbBlue;
    bgr[3 * i + 1] = q.rgbGreen;
    bgr[3 * i + 2] = q.rgbRed;
  };
  // A 16- or 32-bit pixel taken apart with the masks.
  const auto masked = [&](int i, uint32_t p) {
    bgr[3 * i] = blue_.Get(p);
    bgr[3 * i + 1] = green_.Get(p);
    bgr[3 * i + 2] = red_.Get(p);
  };
  switch (bits_) {
    case 1:
      for (int i = 0, x = first; i < count; ++i, ++x)
        put(i, table_[(row[x >> 3] >> (7 - (x & 7))) & 1]);
      return;
    case 4:
      for (int i = 0, x = first; i < count; ++i, ++x)
        put(i, table_[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]);
      return;
    case 8:
      for (int i = 0; i < count; ++i) put(i, table_[row[first + i]]);
      return;
    case 24:
      std::memcpy(bgr, row + 3 * static_cast<size_t>(first), static_cast<size_t>(count) * 3);
      return;
    case 16:
      for (int i = 0; i < count; ++i) masked(i, GetU16(row + 2 * static_cast<size_t>(first + i)));
      return;
    case 32:
      if (plain32_) {
        for (int i = 0; i < count; ++i)
          std::memcpy(bgr + 3 * i, row + 4 * static_cast<size_t>(first + i), 3);
        return;
      }
      for (int i = 0; i < count; ++i) masked(i, GetU32(row + 4 * static_cast<size_t>(first + i)));
      return;
    default:
      std::memset(bgr, 0, static_cast<size_t>(count) * 3);
  }
}

namespace {

// Keeps the top bits of an 8-bit value for a channel mask.
uint32_t Narrow(uint8_t value, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask >> shift);
  const uint32_t v = width >= 8 ? uint32_t{value} << (width - 8) : uint32_t{value} >> (8 - width);
  return (v << shift) & mask;
}

}  // namespace

void EncodeRowFromBGR(const uint8_t* bgr, uint8_t* row, int width, int bits,
                      const uint32_t masks[3]) {
  if (bits == 24) {
    std::memcpy(row, bgr, static_cast<size_t>(width) * 3);
    return;
  }
  if (bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF) {
    for (int x = 0; x < width; ++x) {
      row[4 * x] = bgr[3 * x];
      row[4 * x + 1] = bgr[3 * x + 1];
      row[4 * x + 2] = bgr[3 * x + 2];
      row[4 * x + 3] = 0;
    }
    return;
  }
  for (int x = 0; x < width; ++x) {
    const uint32_t p = Narrow(bgr[3 * x + 2], masks[0]) | Narrow(bgr[3 * x + 1], masks[1]) |
                       Narrow(bgr[3 * x], masks[2]);
    if (bits == 16)
      PutU16(row + 2 * x, static_cast<uint16_t>(p));
    else
      PutU32(row + 4 * x, p);
  }
}

void PackIndices(const uint8_t* indices, uint8_t* row, int width, int bits) {
  if (bits == 8) {
    std::memcpy(row, indices, static_cast<size_t>(width));
  } else if (bits == 4) {
    for (int x = 0; x < width; x += 2) {
      const uint8_t high = indices[x] & 15;
      const uint8_t low = x + 1 < width ? indices[x + 1] & 15 : 0;
      row[x >> 1] = static_cast<uint8_t>(high << 4 | low);
    }
  } else {
    for (int x = 0; x < width; x += 8) {
      uint8_t byte = 0;
      for (int k = 0; k < 8 && x + k < width; ++k) byte |= (indices[x + k] & 1) << (7 - k);
      row[x >> 3] = byte;
    }
  }
}

void FillRow(uint8_t* row, int width, int bits, const uint32_t masks[3], TColor colour,
             uint8_t index) {
  const size_t bytes = BytesPerScanline(static_cast<uint32_t>(width), static_cast<uint32_t>(bits));
  switch (bits) {
    case 1:
      std::memset(row, (index & 1) ? 0xFF : 0x00, bytes);
      return;
    case 4:
      std::memset(row, (index & 15) * 0x11, bytes);
      return;
    case 8:
      std::memset(row, index, bytes);
      return;
    default:
      break;
  }
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    bgr[3 * x] = GetBValue(colour);
    bgr[3 * x + 1] = GetGValue(colour);
    bgr[3 * x + 2] = GetRValue(colour);
  }
  EncodeRowFromBGR(bgr.data(), row, width, bits, masks);
}

void ZeroRowPadding(TBitmapImage& image) {
  if (!image.pixels) return;
  const TBitmapRecord& bm = image.DIBInfo.dsBm;
  const size_t stride = static_cast<size_t>(bm.bmWidthBytes);
  const size_t used = (static_cast<size_t>(bm.bmWidth) * bm.bmBitsPixel + 7) / 8;
  if (used >= stride) return;
  for (int y = 0; y < bm.bmHeight; ++y)
    std::memset(image.pixels.get() + static_cast<size_t>(y) * stride + used, 0, stride - used);
}

void CopyRowPrefix(const uint8_t* source, uint8_t* dest, int width, int bits) {
  const uint64_t total_bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bits);
  const size_t whole = static_cast<size_t>(total_bits / 8);
  std::memcpy(dest, source, whole);
  const int rest = static_cast<int>(total_bits % 8);
  if (rest != 0) {
    const uint8_t mask = static_cast<uint8_t>(0xFF << (8 - rest));
    dest[whole] = static_cast<uint8_t>((source[whole] & mask) | (dest[whole] & ~mask));
  }
}

void DecodeRunLength(const uint8_t* data, size_t size, bool four_bit, int width, int height,
                     uint8_t* indices) {
  size_t pos = 0;
  // Wide counters: a long run of delta codes can move far beyond any int.
  int64_t x = 0;
  int64_t y = 0;  // counted from the bottom
  const auto put = [&](uint8_t value) {
    if (x >= 0 && x < width && y < height)
      indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = value;
    ++x;
  };
  // Every pass of the loop consumes at least two bytes, so it ends after size / 2 passes.
  while (pos + 2 <= size && y < height) {
    const uint8_t count = data[pos];
    const uint8_t value = data[pos + 1];
    pos += 2;
    if (count != 0) {
      // Encoded run: count pixels of one value (two alternating nibbles for RLE4).
      // At most 255 pixels; put() drops those outside the picture.
      for (int i = 0; i < count; ++i)
        put(four_bit ? static_cast<uint8_t>((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2:  // delta: move right and up
        if (pos + 2 > size) return;
        x += data[pos];
        y += data[pos + 1];
        pos += 2;
        break;
      default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
        const size_t bytes = four_bit ? (value + 1u) / 2u : value;
        const size_t padded = (bytes + 1) & ~size_t{1};
        const size_t available = std::min(bytes, size - pos);
        for (size_t i = 0; i < (four_bit ? size_t{value} : available); ++i) {
          if (four_bit) {
            if (i / 2 >= available) break;
            const uint8_t b = data[pos + i / 2];
            put(static_cast<uint8_t>((i & 1) ? b & 15 : b >> 4));
          } else {
            put(data[pos + i]);
          }
        }
        pos += std::min(padded, size - pos);
        break;
      }
    }
  }
}
