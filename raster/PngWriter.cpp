// The PNG writer: the chunks written here, the rows filtered here, the image data
// compressed in pieces of a fixed number of rows on every core (raster/PngDeflate.h).
#include "raster/PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"
#include "raster/PngDeflate.h"
#include "raster/PngFilter.h"

namespace {

// The rows that pcAuto tries: the first kSampleRows of every kSamplePeriod rows, an
// even spread over the picture at one 32nd of its size.
constexpr int kSampleRows = 8, kSamplePeriod = 256;
// The filtered bytes of one piece of the image data (whole rows, at least one): large
// enough that cutting the compressor's window at each piece costs next to nothing, small
// enough that two cores share a picture's pieces evenly. The number of rows a piece holds
// follows from the width alone, so the file is the same for any number of threads.
constexpr size_t kPieceBytes = size_t{1} << 20;
// The most bytes of image data in one chunk (the format allows 2^31 - 1).
constexpr size_t kMaxChunk = size_t{1} << 30;

struct TSettings {
  bool adaptive;
  TDeflateMethod method;
};

TSettings SettingsOf(TPngCompression compression) {
  return {PngAdaptiveFilter(compression),
          PngZlibLevel(compression) == 1 ? TDeflateMethod::dmQuick : TDeflateMethod::dmSmall};
}

struct TColour {
  uint8_t red, green, blue;
  bool operator==(const TColour&) const = default;
};

// The picture as PNG rows take it: R, G, B bytes, or palette indices (renumbered to the
// colours actually used) packed in the fewest bits that number the colours. Rows of 15, 16
// and 32 bits are decoded as the raster converts them to 24 bits.
class TPngSource {
 public:
  explicit TPngSource(const TBitmap& bitmap) : bitmap_(bitmap), decoder_(bitmap) {
    if (IsPalette()) MakePalette();
  }

  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  bool IsPalette() const { return decoder_.Bits() <= 8; }
  // The PNG bit depth: 8 for RGB; for a palette the fewest bits that number its colours.
  int Depth() const { return depth_; }
  const std::vector<TColour>& Colours() const { return colours_; }
  // Bytes of a pixel as the filters see it (a palette row's packed pixels count as one).
  int FilterStep() const { return IsPalette() ? 1 : 3; }
  // Bytes of one row as Row writes it.
  size_t RowBytes() const {
    const size_t width = static_cast<size_t>(Width());
    return IsPalette() ? (width * static_cast<size_t>(depth_) + 7) / 8 : width * 3;
  }
  // Bytes of the scratch that Row takes.
  size_t ScratchBytes() const { return 3 * static_cast<size_t>(Width()); }

  // Row y as the file holds it, before filtering, decoded through `scratch`
  // (ScratchBytes()); any thread may ask for any row.
  void Row(int y, uint8_t* out, uint8_t* scratch) const {
    const int width = Width();
    const uint8_t* row = bitmap_.ConstScanline(y);
    if (IsPalette()) {
      if (depth_ == 8) {
        decoder_.Indices(row, out, width);
        for (int x = 0; x < width; ++x) out[x] = remap_[out[x]];
        return;
      }
      // Packed from the most significant bit, the last byte's spare bits zero.
      decoder_.Indices(row, scratch, width);
      std::memset(out, 0, RowBytes());
      for (int x = 0; x < width; ++x) {
        const int bit = x * depth_;
        out[bit / 8] |= static_cast<uint8_t>(remap_[scratch[x]] << (8 - depth_ - bit % 8));
      }
      return;
    }
    if (decoder_.Bits() != 24) {
      decoder_.Decode(row, scratch, width);
      row = scratch;
    }
    for (int x = 0; x < width; ++x, row += 3, out += 3) {
      out[0] = row[2];
      out[1] = row[1];
      out[2] = row[0];
    }
  }

 private:
  // The palette of the colours used, in the order of their first index; two indices of
  // one colour share an entry. An index beyond the colour table is black, as the raster
  // shows it.
  void MakePalette() {
    std::array<bool, 256> used{};
    const int width = Width(), height = Height();
    std::vector<uint8_t> indices(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
      decoder_.Indices(bitmap_.ConstScanline(y), indices.data(), width);
      for (int x = 0; x < width; ++x) used[indices[x]] = true;
    }
    const std::vector<TRGBQuad>& table = bitmap_.ColorTable();
    for (int i = 0; i < 256; ++i) {
      if (!used[i]) continue;
      TColour c{0, 0, 0};
      if (static_cast<size_t>(i) < table.size())
        c = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue};
      size_t entry = 0;
      while (entry < colours_.size() && !(colours_[entry] == c)) ++entry;
      if (entry == colours_.size()) colours_.push_back(c);
      remap_[i] = static_cast<uint8_t>(entry);
    }
    const size_t n = colours_.size();
    depth_ = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  }

  const TBitmap& bitmap_;
  const TRowDecoder decoder_;
  int depth_ = 8;
  std::vector<TColour> colours_;
  std::array<uint8_t, 256> remap_{};
};

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A part of a chunk's data.
struct TSpan {
  const uint8_t* data;
  size_t size;
};

// Writes one chunk: its length, its name, its data (the parts joined), its CRC.
void WriteChunk(TStream& stream, const char name[4], std::initializer_list<TSpan> parts) {
  size_t length = 0;
  for (const TSpan& part : parts) length += part.size;
  uint8_t head[8];
  Put32(head, static_cast<uint32_t>(length));
  std::memcpy(head + 4, name, 4);
  uint32_t crc = Crc32(0, head + 4, 4);
  stream.WriteBuffer(head, 8);
  for (const TSpan& part : parts) {
    crc = Crc32(crc, part.data, part.size);
    stream.WriteBuffer(part.data, static_cast<int64_t>(part.size));
  }
  uint8_t tail[4];
  Put32(tail, crc);
  stream.WriteBuffer(tail, 4);
}

// How the image data is cut: pieces of `rows` rows (the last may hold fewer) of the rows
// `ys` of the source (all rows, or pcAuto's sample), each row `row_bytes` before its filter
// byte.
struct TPieces {
  std::vector<int> ys;
  size_t row_bytes = 0;
  int rows = 1;
  int Count() const { return static_cast<int>((ys.size() + rows - 1) / rows); }
  size_t First(int piece) const { return static_cast<size_t>(piece) * rows; }
  size_t End(int piece) const { return std::min(ys.size(), First(piece) + rows); }
};

TPieces PiecesOf(const TPngSource& source, bool sample_only) {
  TPieces pieces;
  for (int y = 0; y < source.Height(); ++y)
    if (!sample_only || y % kSamplePeriod < kSampleRows) pieces.ys.push_back(y);
  pieces.row_bytes = source.RowBytes();
  pieces.rows = static_cast<int>(
      std::clamp<size_t>(kPieceBytes / (pieces.row_bytes + 1), 1, size_t{INT32_MAX}));
  return pieces;
}

// What each thread keeps: its compressor and the rows it filters.
struct TWorker {
  std::unique_ptr<TDeflatePieces> deflate;
  std::vector<uint8_t> row, prior, decoded, scratch, filtered;
};

// One compressed piece, held from its compression until it is written.
struct TPiece {
  std::vector<uint8_t> bytes;
  uint32_t adler = 1;
  size_t size = 0;  // of the data before compression
};

// Filters and compresses piece `p` of the source's rows on the worker's thread; as a piece
// of the whole stream when `joined`, else as a stream of its own (for its size alone).
void MakePiece(const TPngSource& source, const TPieces& pieces, TSettings settings, int p,
               bool joined, TWorker& worker, TPiece& piece) {
  if (!worker.deflate) worker.deflate = std::make_unique<TDeflatePieces>(settings.method);
  const size_t bytes = pieces.row_bytes, first = pieces.First(p), end = pieces.End(p);
  worker.row.resize(bytes);
  worker.prior.resize(bytes);
  worker.decoded.resize(source.ScratchBytes());
  worker.scratch.resize(settings.adaptive ? 4 * bytes : 0);
  worker.filtered.resize((end - first) * (bytes + 1));
  uint8_t* out = worker.filtered.data();
  int held = -1;  // the row that worker.row holds
  for (size_t i = first; i < end; ++i, out += bytes + 1) {
    const int y = pieces.ys[i];
    // The row above, as the filters see it (zeros above the first row); pcAuto's sample
    // rows are filtered against their picture's row above, as in the whole file.
    if (settings.adaptive) {
      if (y == 0)
        std::fill(worker.prior.begin(), worker.prior.end(), uint8_t{0});
      else if (held == y - 1)
        worker.prior.swap(worker.row);
      else
        source.Row(y - 1, worker.prior.data(), worker.decoded.data());
    }
    source.Row(y, worker.row.data(), worker.decoded.data());
    held = y;
    FilterPngRow(worker.row.data(), worker.prior.data(), bytes, source.FilterStep(),
                 settings.adaptive, out, worker.scratch.data());
  }
  piece.size = worker.filtered.size();
  piece.adler = Adler32(1, worker.filtered.data(), piece.size);
  worker.deflate->Compress(worker.filtered.data(), piece.size, !joined || p + 1 == pieces.Count(),
                           piece.bytes);
}

// Compresses the rows into IDAT chunks written to stream (or, with no stream, only counts
// their bytes); returns the bytes of image data.
uint64_t WriteImageData(const TPngSource& source, const TPieces& pieces, TSettings settings,
                        TStream* stream) {
  const int count = pieces.Count();
  std::vector<TWorker> workers(static_cast<size_t>(kMaxBandThreads));
  std::vector<TPiece> made(static_cast<size_t>(count));
  uint64_t total = 0;
  uint32_t adler = 1;
  RunPiecesInOrder(
      count,
      [&](int worker, int p) {
        MakePiece(source, pieces, settings, p, stream != nullptr,
                  workers[static_cast<size_t>(worker)], made[static_cast<size_t>(p)]);
      },
      [&](int p) {
        TPiece& piece = made[static_cast<size_t>(p)];
        adler = p == 0 ? piece.adler : CombineAdler32(adler, piece.adler, piece.size);
        uint8_t header[2], trailer[4];
        ZlibHeader(settings.method, header);
        ZlibTrailer(adler, trailer);
        const bool first = p == 0, last = p + 1 == count;
        total += piece.bytes.size() + (first ? 2 : 0) + (last ? 4 : 0);
        if (stream != nullptr) {
          // Chunks of at most kMaxChunk bytes of the piece, the header in front of the
          // first, the trailer after the last.
          size_t at = 0;
          do {
            const size_t n = std::min(kMaxChunk, piece.bytes.size() - at);
            const bool begins = first && at == 0, ends = last && at + n == piece.bytes.size();
            WriteChunk(*stream, "IDAT",
                       {{header, begins ? 2u : 0u},
                        {piece.bytes.data() + at, n},
                        {trailer, ends ? 4u : 0u}});
            at += n;
          } while (at < piece.bytes.size());
        }
        piece.bytes = std::vector<uint8_t>();
      });
  return total;
}

void WriteHeaderChunks(const TPngSource& source, const std::vector<TPngText>& texts,
                       TStream& stream) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  stream.WriteBuffer(kSignature, 8);
  uint8_t header[13];
  Put32(header, static_cast<uint32_t>(source.Width()));
  Put32(header + 4, static_cast<uint32_t>(source.Height()));
  header[8] = static_cast<uint8_t>(source.Depth());
  header[9] = source.IsPalette() ? 3 : 2;  // palette, or RGB
  header[10] = 0;                          // deflate
  header[11] = 0;                          // the five filters
  header[12] = 0;                          // not interlaced
  WriteChunk(stream, "IHDR", {{header, sizeof header}});
  if (source.IsPalette()) {
    std::vector<uint8_t> entries;
    for (const TColour& c : source.Colours())
      entries.insert(entries.end(), {c.red, c.green, c.blue});
    WriteChunk(stream, "PLTE", {{entries.data(), entries.size()}});
  }
  for (const TPngText& text : texts) {
    const uint8_t zero = 0;
    WriteChunk(stream, "tEXt",
               {{reinterpret_cast<const uint8_t*>(text.keyword.data()), text.keyword.size()},
                {&zero, 1},
                {reinterpret_cast<const uint8_t*>(text.text.data()), text.text.size()}});
  }
}

TPngCompression Choose(const TPngSource& source) {
  if (source.IsPalette()) return TPngCompression::pcNoFilterLevel6;
  const TPieces sample = PiecesOf(source, true);
  const uint64_t none = WriteImageData(source, sample, {false, TDeflateMethod::dmQuick}, nullptr);
  const uint64_t adaptive =
      WriteImageData(source, sample, {true, TDeflateMethod::dmQuick}, nullptr);
  // A tie goes to the quicker setting.
  return adaptive < none ? TPngCompression::pcAdaptiveLevel6 : TPngCompression::pcNoFilterLevel1;
}

void CheckNotEmpty(const TBitmap& bitmap) {
  if (bitmap.Empty()) throw EInvalidGraphic(SPNGEmptyPicture);
}

// A tEXt keyword is 1 to 79 printable Latin-1 characters without leading, trailing or
// repeated spaces, and its text holds no zero byte. A bad keyword is refused rather than
// shortened or mended, so that the file says what was asked.
void CheckTexts(const std::vector<TPngText>& texts) {
  for (const TPngText& t : texts) {
    const std::string& k = t.keyword;
    bool valid = !k.empty() && k.size() <= 79 && k.front() != ' ' && k.back() != ' ' &&
                 k.find("  ") == std::string::npos && t.text.find('\0') == std::string::npos;
    for (const char ch : k) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 32 || (c > 126 && c < 161)) valid = false;
    }
    if (!valid) throw EInvalidGraphic(Format(SPNGInvalidText, k.c_str()));
  }
}

}  // namespace

int PngZlibLevel(TPngCompression compression) {
  return compression == TPngCompression::pcNoFilterLevel1 ? 1 : 6;
}

bool PngAdaptiveFilter(TPngCompression compression) {
  return compression == TPngCompression::pcAdaptiveLevel6;
}

TPngCompression ChoosePngCompression(const TBitmap& bitmap) {
  CheckNotEmpty(bitmap);
  return Choose(TPngSource(bitmap));
}

void WritePng(const TBitmap& bitmap, TStream& stream, const TPngOptions& options) {
  CheckNotEmpty(bitmap);
  CheckTexts(options.texts);
  const TPngSource source(bitmap);
  const TPngCompression compression =
      options.compression == TPngCompression::pcAuto ? Choose(source) : options.compression;
  WriteHeaderChunks(source, options.texts, stream);
  WriteImageData(source, PiecesOf(source, false), SettingsOf(compression), &stream);
  WriteChunk(stream, "IEND", {});
}

void SavePngToFile(const TBitmap& bitmap, const std::string& file_name,
                   const TPngOptions& options) {
  // Checked before the safe save makes its temporary file.
  CheckNotEmpty(bitmap);
  CheckTexts(options.texts);
  SaveFileSafely(file_name, [&](TStream& stream) { WritePng(bitmap, stream, options); });
}
