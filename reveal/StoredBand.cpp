#include "reveal/StoredBand.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/Streams.h"
#include "platform/FileStream.h"

uint32_t ChunkCrc(const uint8_t* data, size_t size, uint32_t crc) {
  // Bit by bit: the chunks checked here are at most a kilobyte.
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

namespace {

uint32_t BigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool ReadAll(TStream& stream, void* buffer, int64_t count) {
  return stream.Read(buffer, count) == count;
}

// Skips count bytes forward. False when the stream cannot seek or lands elsewhere (a
// pipe; a platform whose seek takes a narrower offset), so that a scan never goes back.
bool Skip(TStream& stream, int64_t count) {
  const int64_t from = stream.Position();
  return from >= 0 && stream.Seek(count, TSeekOrigin::soCurrent) == from + count;
}

// Reads a decimal number of one to `most` digits (at most 9) at text[pos]; false otherwise.
bool Number(const std::string& text, size_t& pos, int& value, size_t most = 3) {
  size_t digits = 0;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits <= most) {
    value = value * 10 + (text[pos] - '0');
    ++pos, ++digits;
  }
  return digits >= 1 && digits <= most;
}

// Inflates a zlib stream into at most kMaxBandChunk bytes of text; false, with the reason,
// for a broken stream or a longer text.
bool Inflate(const uint8_t* data, size_t size, std::string& text, std::string& problem) {
  char out[kMaxBandChunk + 1];
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    problem = "its compressed text cannot be read";
    return false;
  }
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = reinterpret_cast<Bytef*>(out);
  z.avail_out = sizeof out;
  const int status = inflate(&z, Z_FINISH);
  const size_t produced = sizeof out - z.avail_out;
  inflateEnd(&z);
  if (produced > static_cast<size_t>(kMaxBandChunk)) {
    problem = "its text is longer than " + std::to_string(kMaxBandChunk) + " bytes";
    return false;
  }
  if (status != Z_STREAM_END) {
    problem = "its compressed text is damaged";
    return false;
  }
  text.assign(out, produced);
  return true;
}

// The text of a band chunk's data after the keyword and its zero byte; false, with the
// reason, when the chunk's form is not one of PNG's.
bool ChunkText(const char* type, const uint8_t* data, size_t size, std::string& text,
               std::string& problem) {
  if (std::strcmp(type, "tEXt") == 0) {
    text.assign(reinterpret_cast<const char*>(data), size);
    return true;
  }
  if (std::strcmp(type, "zTXt") == 0) {
    if (size < 1 || data[0] != 0) {
      problem = "its compression method is not zlib's";
      return false;
    }
    return Inflate(data + 1, size - 1, text, problem);
  }
  // iTXt: compression flag and method, then the language tag and the translated keyword,
  // each ended by a zero byte, then the text.
  if (size < 2 || data[0] > 1 || data[1] != 0) {
    problem = "its compression flag or method is not PNG's";
    return false;
  }
  size_t pos = 2;
  for (int field = 0; field < 2; ++field) {
    while (pos < size && data[pos] != 0) ++pos;
    if (pos == size) {
      problem = "its language tag or translated keyword is not ended";
      return false;
    }
    ++pos;
  }
  if (data[0] == 1) return Inflate(data + pos, size - pos, text, problem);
  text.assign(reinterpret_cast<const char*>(data + pos), size - pos);
  return true;
}

bool Literal(const std::string& text, size_t& pos, const char* literal) {
  const size_t n = std::strlen(literal);
  if (text.compare(pos, n, literal) != 0) return false;
  pos += n;
  return true;
}

}  // namespace

bool ParseBandText(const std::string& text, TToneBand& band, std::string& version,
                   std::string& problem) {
  int width = 0, height = 0;
  return ParseBandText(text, band, version, width, height, problem);
}

bool ParseBandText(const std::string& text, TToneBand& band, std::string& version, int& width,
                   int& height, std::string& problem) {
  size_t pos = 0;
  int average = 0, contrast = 0;
  if (!Literal(text, pos, "average=") || !Number(text, pos, average) ||
      !Literal(text, pos, " contrast=") || !Number(text, pos, contrast) ||
      !Literal(text, pos, " version=") || pos == text.size()) {
    problem = "its text is not \"average=A contrast=C version=V\"";
    return false;
  }
  // The version runs to the next space; the size may follow.
  const size_t version_end = std::min(text.find(' ', pos), text.size());
  for (size_t i = pos; i < version_end; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 32 || (c >= 127 && c <= 160)) {
      problem = "its version holds a control character";
      return false;
    }
  }
  width = height = 0;
  if (version_end < text.size()) {
    size_t at = version_end;
    if (!Literal(text, at, " width=") || !Number(text, at, width, 9) ||
        !Literal(text, at, " height=") || !Number(text, at, height, 9) || at != text.size() ||
        width < 1 || height < 1) {
      problem = "its text after the version is not \" width=W height=H\"";
      return false;
    }
  }
  if (!IsSliderBand({average, contrast})) {
    problem = "its band (average " + std::to_string(average) + ", contrast " +
              std::to_string(contrast) + ") is one the sliders cannot set";
    return false;
  }
  band = {average, contrast};
  version = text.substr(pos, version_end - pos);
  return true;
}

TStoredBand ReadStoredBand(TStream& stream) {
  TStoredBand result;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t signature[8];
  if (!ReadAll(stream, signature, 8) || std::memcmp(signature, kSignature, 8) != 0) return result;
  const size_t keyword_size = std::strlen(kBandChunkKeyword);
  for (;;) {
    uint8_t header[8];
    if (!ReadAll(stream, header, 8)) return result;  // the data ends: no band chunk
    const uint32_t length = BigEndian(header);
    // Lengths above 2^31 - 1 are not PNG; such a file says nothing we can trust.
    if (length > 0x7FFFFFFFu) return result;
    if (std::memcmp(header + 4, "IEND", 4) == 0) return result;
    const char* type = std::memcmp(header + 4, "tEXt", 4) == 0   ? "tEXt"
                       : std::memcmp(header + 4, "zTXt", 4) == 0 ? "zTXt"
                       : std::memcmp(header + 4, "iTXt", 4) == 0 ? "iTXt"
                                                                 : nullptr;
    if (type != nullptr && length > keyword_size) {
      // Only the keyword first: a long text chunk of another keyword is skipped unread.
      uint8_t chunk[4 + kMaxBandChunk + 4];
      std::memcpy(chunk, header + 4, 4);
      if (!ReadAll(stream, chunk + 4, static_cast<int64_t>(keyword_size) + 1)) return result;
      if (std::memcmp(chunk + 4, kBandChunkKeyword, keyword_size) == 0 &&
          chunk[4 + keyword_size] == 0) {
        result.state = TStoredBandState::sbMalformed;
        result.chunk = type;
        if (length > static_cast<uint32_t>(kMaxBandChunk)) {
          result.problem = "it is longer than " + std::to_string(kMaxBandChunk) + " bytes";
          return result;
        }
        const int64_t rest = static_cast<int64_t>(length) - static_cast<int64_t>(keyword_size) - 1;
        if (!ReadAll(stream, chunk + 4 + keyword_size + 1, rest + 4)) {
          result.problem = "the file ends inside it";
          return result;
        }
        const uint32_t stored_crc = BigEndian(chunk + 4 + length);
        if (ChunkCrc(chunk, 4 + static_cast<size_t>(length)) != stored_crc) {
          result.problem = "its checksum is wrong";
          return result;
        }
        std::string text;
        if (ChunkText(type, chunk + 4 + keyword_size + 1, static_cast<size_t>(rest), text,
                      result.problem) &&
            ParseBandText(text, result.band, result.version, result.width, result.height,
                          result.problem))
          result.state = TStoredBandState::sbStored;
        return result;
      }
      // Another keyword: skip the rest of the chunk and its checksum.
      const int64_t skip =
          static_cast<int64_t>(length) - static_cast<int64_t>(keyword_size) - 1 + 4;
      if (!Skip(stream, skip)) return result;
      continue;
    }
    // Skipped by seeking: a position past the end makes the next read come up short.
    if (!Skip(stream, static_cast<int64_t>(length) + 4)) return result;
  }
}

TStoredBand ReadStoredBandFile(const std::string& file_name) {
  TFileStream stream(file_name, fmOpenRead | fmShareDenyWrite);
  return ReadStoredBand(stream);
}

TStoredBand StoredBandFor(const std::string& file_name, int width, int height) {
  TStoredBand stored = ReadStoredBandFile(file_name);
  if (stored.state == TStoredBandState::sbStored && stored.width > 0 &&
      (stored.width != width || stored.height != height)) {
    stored.state = TStoredBandState::sbStale;
    stored.problem = "it describes a " + std::to_string(stored.width) + " x " +
                     std::to_string(stored.height) + " picture, not this " + std::to_string(width) +
                     " x " + std::to_string(height) + " one (a tool copied it into a resized copy)";
  }
  return stored;
}
