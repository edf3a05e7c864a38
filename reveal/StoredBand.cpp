#include "reveal/StoredBand.h"

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

// Reads a decimal number of one to three digits at text[pos]; false otherwise.
bool Number(const std::string& text, size_t& pos, int& value) {
  size_t digits = 0;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
    value = value * 10 + (text[pos] - '0');
    ++pos, ++digits;
  }
  return digits >= 1 && digits <= 3;
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
  size_t pos = 0;
  int average = 0, contrast = 0;
  if (!Literal(text, pos, "average=") || !Number(text, pos, average) ||
      !Literal(text, pos, " contrast=") || !Number(text, pos, contrast) ||
      !Literal(text, pos, " version=") || pos == text.size()) {
    problem = "its text is not \"average=A contrast=C version=V\"";
    return false;
  }
  for (size_t i = pos; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c <= 32 || (c >= 127 && c <= 160)) {
      problem = "its version holds a space or a control character";
      return false;
    }
  }
  if (!IsSliderBand({average, contrast})) {
    problem = "its band (average " + std::to_string(average) + ", contrast " +
              std::to_string(contrast) + ") is one the sliders cannot set";
    return false;
  }
  band = {average, contrast};
  version = text.substr(pos);
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
    if (std::memcmp(header + 4, "tEXt", 4) == 0 && length > keyword_size) {
      // Only the keyword first: a long text chunk of another keyword is skipped unread.
      uint8_t chunk[4 + kMaxBandChunk + 4];
      std::memcpy(chunk, header + 4, 4);
      if (!ReadAll(stream, chunk + 4, static_cast<int64_t>(keyword_size) + 1)) return result;
      if (std::memcmp(chunk + 4, kBandChunkKeyword, keyword_size) == 0 &&
          chunk[4 + keyword_size] == 0) {
        result.state = TStoredBandState::sbMalformed;
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
        const std::string text(reinterpret_cast<const char*>(chunk + 4 + keyword_size + 1),
                               static_cast<size_t>(rest));
        if (ParseBandText(text, result.band, result.version, result.problem))
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
