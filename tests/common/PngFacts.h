// What a PNG file holds, read for tests: its chunks in order (walked by hand, CRCs
// checked), the header's fields, the palette's entries, the tEXt chunks, and the pixels as
// libpng's simplified reader decodes them to 8-bit RGB.
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

struct TPngFacts {
  std::string error;  // empty when the file read whole
  int width = 0, height = 0, bit_depth = 0, color_type = -1, interlace = -1;
  int palette_entries = 0;
  std::vector<std::string> chunks;                         // the chunk names in file order
  std::vector<std::pair<std::string, std::string>> texts;  // tEXt keyword, text
  std::vector<uint8_t> rgb;                                // rows from the top, R, G, B
  // Where a chunk name first occurs in the file (chunks.size() when it does not).
  size_t IndexOf(const std::string& name) const {
    size_t i = 0;
    while (i < chunks.size() && chunks[i] != name) ++i;
    return i;
  }
};

// With decode false, only the chunks (for pictures beyond the simplified reader's limit
// of a million pixels a side).
inline TPngFacts ReadPngFacts(const std::vector<uint8_t>& bytes, bool decode = true) {
  TPngFacts facts;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) {
    facts.error = "no PNG signature";
    return facts;
  }
  const auto u32 = [&](size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
           uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
  };
  size_t pos = 8;
  while (pos + 12 <= bytes.size()) {
    const uint32_t length = u32(pos);
    if (length > bytes.size() - pos - 12) {
      facts.error = "chunk runs past the end";
      return facts;
    }
    const std::string name(bytes.begin() + pos + 4, bytes.begin() + pos + 8);
    const uint8_t* data = bytes.data() + pos + 8;
    if (crc32(crc32(0, bytes.data() + pos + 4, 4), data, length) != u32(pos + 8 + length)) {
      facts.error = "bad CRC in " + name;
      return facts;
    }
    facts.chunks.push_back(name);
    if (name == "IHDR" && length == 13) {
      facts.width = static_cast<int>(u32(pos + 8));
      facts.height = static_cast<int>(u32(pos + 12));
      facts.bit_depth = data[8];
      facts.color_type = data[9];
      facts.interlace = data[12];
    } else if (name == "PLTE") {
      facts.palette_entries = static_cast<int>(length / 3);
    } else if (name == "tEXt") {
      const std::string body(data, data + length);
      const size_t zero = body.find('\0');
      facts.texts.emplace_back(body.substr(0, zero),
                               zero == std::string::npos ? "" : body.substr(zero + 1));
    }
    pos += 12 + length;
    if (name == "IEND") break;
  }
  if (facts.chunks.empty() || facts.chunks.back() != "IEND" || pos != bytes.size()) {
    facts.error = "no IEND at the end";
    return facts;
  }
  if (!decode) return facts;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    facts.error = image.message;
    return facts;
  }
  image.format = PNG_FORMAT_RGB;
  facts.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, facts.rgb.data(), 0, nullptr)) {
    facts.error = image.message;
    facts.rgb.clear();
  }
  png_image_free(&image);
  return facts;
}
