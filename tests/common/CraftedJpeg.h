// Grey JPEG files made byte by byte: the tables, a frame of the size a test asks for, and
// scans that hold next to nothing, as the small files that claim huge pictures or hold a
// decoder for minutes are built.
#pragma once

#include <cstdint>
#include <vector>

namespace crafted_jpeg {

// One marker segment: the marker, its length, its body.
inline void Segment(std::vector<uint8_t>& f, uint8_t marker, const std::vector<uint8_t>& body) {
  const size_t length = body.size() + 2;
  f.insert(f.end(),
           {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
  f.insert(f.end(), body.begin(), body.end());
}

// The start of a grey file of width x height (progressive or baseline): the markers up to
// the scans, with Huffman tables of one one-bit code each: DC category 0, and AC the
// end-of-band run EOB14.
inline std::vector<uint8_t> Head(int width, int height, bool progressive) {
  std::vector<uint8_t> f = {0xFF, 0xD8};
  std::vector<uint8_t> quant = {0x00};
  quant.resize(65, 1);
  Segment(f, 0xDB, quant);
  Segment(f, progressive ? 0xC2 : 0xC0,
          {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
           static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width), 1, 1, 0x11, 0});
  // One code of one bit ('0') in each table: DC category 0, AC end-of-band run EOB14.
  std::vector<uint8_t> dc = {0x00, 1};
  dc.resize(17, 0);
  dc.push_back(0x00);
  Segment(f, 0xC4, dc);
  std::vector<uint8_t> ac = {0x10, 1};
  ac.resize(17, 0);
  ac.push_back(0xE0);
  Segment(f, 0xC4, ac);
  return f;
}

}  // namespace crafted_jpeg

// A baseline file of width x height whose one scan holds no data: a couple of hundred
// bytes that describe a picture of any size.
inline std::vector<uint8_t> JpegWithoutData(int width, int height) {
  std::vector<uint8_t> f = crafted_jpeg::Head(width, height, false);
  crafted_jpeg::Segment(f, 0xDA, {1, 1, 0x00, 0, 63, 0x00});
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}

// A progressive file with `scans` scans: one DC scan, then AC scans that each hold nothing
// but end-of-band runs over every block (a few bytes a scan); libjpeg reads every one,
// warning of the repeated ones. width and height are multiples of 1024, so that the
// blocks come in whole runs of 16384 (one code with 14 extra bits each).
inline std::vector<uint8_t> ProgressiveGreyJpeg(int width, int height, int scans) {
  using crafted_jpeg::Segment;
  std::vector<uint8_t> f = crafted_jpeg::Head(width, height, true);
  const size_t blocks = static_cast<size_t>(width / 8) * static_cast<size_t>(height / 8);
  // The DC scan: one '0' bit a block.
  Segment(f, 0xDA, {1, 1, 0x00, 0, 0, 0x00});
  f.insert(f.end(), blocks / 8, 0x00);
  // Each AC scan: runs of 16384 blocks, 15 zero bits each, the last byte filled with ones.
  const size_t bits = blocks / 16384 * 15;
  for (int s = 1; s < scans; ++s) {
    Segment(f, 0xDA, {1, 1, 0x00, 1, 63, 0x00});
    f.insert(f.end(), bits / 8, 0x00);
    if (bits % 8 != 0) f.push_back(static_cast<uint8_t>((1u << (8 - bits % 8)) - 1));
  }
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}
