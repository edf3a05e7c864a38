// The PNG writer: the chunks written here, the rows filtered here (in the seven passes of
// the interlaced form when it is chosen), the image data compressed in pieces of a fixed
// number of bytes of whole rows on every core (raster/PngDeflate.h).
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
#include "platform/Processor.h"
#include "raster/Bitmap.h"
#include "raster/PngDeflate.h"
#include "raster/PngFilter.h"

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>
#endif

namespace {

// The rows that pcAuto tries: the first kSampleRows of every kSamplePeriod rows, an
// even spread over the picture at one 32nd of its size.
constexpr int kSampleRows = 8, kSamplePeriod = 256;
// The filtered bytes of one piece of the image data (whole rows, at least one): large
// enough that cutting the compressor's window at each piece costs next to nothing, small
// enough that two cores share a picture's pieces evenly. The rows a piece holds follow
// from the picture's size alone, so the file is the same for any number of threads.
constexpr size_t kPieceBytes = size_t{1} << 20;
// The most bytes of image data in one chunk (the format allows 2^31 - 1).
constexpr size_t kMaxChunk = size_t{1} << 30;

struct TSettings {
  bool adaptive;
  TDeflateMethod method;
  bool interlaced = false;
};

TSettings SettingsOf(TPngCompression compression) {
  if (compression == TPngCompression::pcInterlacedLiterals)
    return {false, TDeflateMethod::dmLiterals, true};
  if (compression == TPngCompression::pcInterlacedLevel1)
    return {false, TDeflateMethod::dmQuick, true};
  return {PngAdaptiveFilter(compression),
          PngZlibLevel(compression) == 1 ? TDeflateMethod::dmQuick : TDeflateMethod::dmSmall};
}

// Where a pass takes its pixels: every dx-th pixel from x0 of every dy-th row from y0.
// Pass 0 is the whole picture (the form without interlacing); passes 1 to 7 are the
// interlaced form's, in the order the file holds them.
struct TPass {
  int x0, y0, dx, dy;
  int Width(int width) const { return width > x0 ? (width - x0 + dx - 1) / dx : 0; }
};
constexpr TPass kPasses[8] = {{0, 0, 1, 1}, {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                              {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// The filter of every row of each pass of the interlaced form. In a combined picture
// passes 1 to 5 hold only even cells (the visible picture) and pass 6 only odd ones (the
// hidden picture), so every neighbour a filter takes is of the same picture; pass 7 (the
// odd rows whole) alternates, but the pixel above (two rows up) is of the same picture.
// Measured on the 4000 x 3000 result of `synth` (bench/whole_job.py's pair): Paeth on
// every row 13.5 MB; the adaptive choice per row 1.5 % smaller for a quarter more of the
// writer's time (four filters a row); Sub on passes 1 to 6 and Up on pass 7 7 % larger;
// Up alone 11 %, Average alone 74 % larger.
constexpr TPngFilterType kPassFilter = pfPaeth;

// Blue, green, red pixels, every `dx`-th of a row, as red, green, blue.
void SwapRedBlueGeneric(const uint8_t* row, int dx, uint8_t* out, int count) {
  const size_t step = 3 * static_cast<size_t>(dx);
  for (int k = 0; k < count; ++k, row += step, out += 3) {
    out[0] = row[2];
    out[1] = row[1];
    out[2] = row[0];
  }
}

#if LUMIVEIL_X86_KERNELS
// Four pixels a step, shuffled in a 16-byte register: each step reads and writes 16 bytes
// for 12, so it stops while six pixels are left (the last read within the row) and the
// plain loop ends the row.
__attribute__((target("avx2"))) void SwapRedBlueAvx2(const uint8_t* row, uint8_t* out, int count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  int k = 0;
  for (; k + 6 <= count; k += 4, row += 12, out += 12) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(pixels, order));
  }
  SwapRedBlueGeneric(row, 1, out, count - k);
}
#endif

// Whole rows (dx 1: half the picture's bytes in the interlaced form and all of them without
// it) in vector steps.
void SwapRedBlue(const uint8_t* row, int dx, uint8_t* out, int count) {
#if LUMIVEIL_X86_KERNELS
  if (dx == 1 && Avx2Available()) return SwapRedBlueAvx2(row, out, count);
#endif
  SwapRedBlueGeneric(row, dx, out, count);
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
  // Bytes of one row of a pass (0: the whole picture) as Row writes it.
  size_t RowBytes(int pass = 0) const {
    const size_t width = static_cast<size_t>(kPasses[pass].Width(Width()));
    return IsPalette() ? (width * static_cast<size_t>(depth_) + 7) / 8 : width * 3;
  }
  // Bytes of the scratch that Row takes.
  size_t ScratchBytes() const { return 3 * static_cast<size_t>(Width()); }

  // The pixels of a pass (0: the whole picture) in row y as the file holds them, before
  // filtering, decoded through `scratch` (ScratchBytes()); any thread may ask for any row.
  void Row(int pass, int y, uint8_t* out, uint8_t* scratch) const {
    const TPass& p = kPasses[pass];
    const int width = Width(), count = p.Width(width);
    const uint8_t* row = bitmap_.ConstScanline(y);
    if (IsPalette()) {
      uint8_t* indices = scratch;
      if (depth_ == 8 && pass == 0) indices = out;
      decoder_.Indices(row, indices, width);
      if (depth_ == 8) {
        for (int k = 0, x = p.x0; k < count; ++k, x += p.dx) out[k] = remap_[indices[x]];
        return;
      }
      // Packed from the most significant bit, the last byte's spare bits zero.
      std::memset(out, 0, RowBytes(pass));
      for (int k = 0, x = p.x0; k < count; ++k, x += p.dx) {
        const int bit = k * depth_;
        out[bit / 8] |= static_cast<uint8_t>(remap_[indices[x]] << (8 - depth_ - bit % 8));
      }
      return;
    }
    if (decoder_.Bits() != 24) {
      decoder_.Decode(row, scratch, width);
      row = scratch;
    }
    SwapRedBlue(row + 3 * p.x0, p.dx, out, count);
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

// One row of the image data: the pixels of a pass in a row of the picture.
struct TRowRef {
  int pass, y;
};

// How the image data is cut: its rows in file order (all rows, or pcAuto's sample), and
// the index of each piece's first row, then the number of rows.
struct TPieces {
  std::vector<TRowRef> rows;
  std::vector<size_t> firsts;
  int Count() const { return static_cast<int>(firsts.size()) - 1; }
  size_t First(int piece) const { return firsts[static_cast<size_t>(piece)]; }
  size_t End(int piece) const { return firsts[static_cast<size_t>(piece) + 1]; }
};

TPieces PiecesOf(const TPngSource& source, bool interlaced, bool sample_only) {
  TPieces pieces;
  // A pass with no pixels has no rows at all, not even their filter bytes.
  for (int pass = interlaced ? 1 : 0; pass <= (interlaced ? 7 : 0); ++pass) {
    const TPass& p = kPasses[pass];
    if (p.Width(source.Width()) == 0) continue;
    for (int y = p.y0; y < source.Height(); y += p.dy)
      if (!sample_only || y % kSamplePeriod < kSampleRows) pieces.rows.push_back({pass, y});
  }
  // Each piece takes rows while they fit in kPieceBytes, at least one.
  size_t bytes = 0;
  for (size_t i = 0; i < pieces.rows.size(); ++i) {
    const size_t row = source.RowBytes(pieces.rows[i].pass) + 1;
    if (i == 0 || bytes + row > kPieceBytes) {
      pieces.firsts.push_back(i);
      bytes = 0;
    }
    bytes += row;
  }
  pieces.firsts.push_back(pieces.rows.size());
  return pieces;
}

// What each thread keeps: its compressors (one for each method it was given) and the rows
// it filters.
struct TWorker {
  std::array<std::unique_ptr<TDeflatePieces>, 3> deflate;
  std::vector<uint8_t> row, prior, decoded, scratch, filtered;
  std::vector<size_t> ends;  // where each pass's rows end in `filtered`
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
  std::unique_ptr<TDeflatePieces>& deflate = worker.deflate[static_cast<size_t>(settings.method)];
  if (!deflate) deflate = std::make_unique<TDeflatePieces>(settings.method);
  const size_t first = pieces.First(p), end = pieces.End(p), widest = source.RowBytes();
  const bool filters = settings.adaptive || settings.interlaced;
  worker.row.resize(widest);
  worker.prior.resize(widest);
  worker.decoded.resize(source.ScratchBytes());
  worker.scratch.resize(settings.adaptive ? 4 * widest : 0);
  size_t total = 0;
  for (size_t i = first; i < end; ++i) total += source.RowBytes(pieces.rows[i].pass) + 1;
  worker.filtered.resize(total);
  worker.ends.clear();
  uint8_t* out = worker.filtered.data();
  TRowRef held{-1, -1};  // the row that worker.row holds
  for (size_t i = first; i < end; ++i) {
    const TRowRef r = pieces.rows[i];
    const TPass& pass = kPasses[r.pass];
    const size_t bytes = source.RowBytes(r.pass);
    if (i > first && r.pass != pieces.rows[i - 1].pass)
      worker.ends.push_back(static_cast<size_t>(out - worker.filtered.data()));
    // The row above in the pass, as the filters see it (zeros above the pass's first row);
    // pcAuto's sample rows are filtered against their picture's row above, as in the
    // whole file.
    if (filters) {
      const int above = r.y - pass.dy;
      if (above < pass.y0)
        std::fill(worker.prior.begin(), worker.prior.end(), uint8_t{0});
      else if (held.pass == r.pass && held.y == above)
        worker.prior.swap(worker.row);
      else
        source.Row(r.pass, above, worker.prior.data(), worker.decoded.data());
    }
    source.Row(r.pass, r.y, worker.row.data(), worker.decoded.data());
    held = r;
    if (settings.interlaced)
      FilterPngRowWith(kPassFilter, worker.row.data(), worker.prior.data(), bytes,
                       source.FilterStep(), out);
    else
      FilterPngRow(worker.row.data(), worker.prior.data(), bytes, source.FilterStep(),
                   settings.adaptive, out, worker.scratch.data());
    out += bytes + 1;
  }
  piece.size = worker.filtered.size();
  piece.adler = Adler32(1, worker.filtered.data(), piece.size);
  deflate->Compress(worker.filtered.data(), piece.size, !joined || p + 1 == pieces.Count(),
                    piece.bytes, worker.ends);
}

// Compresses the rows into IDAT chunks written to stream.
void WriteImageData(const TPngSource& source, const TPieces& pieces, TSettings settings,
                    TStream& stream) {
  const int count = pieces.Count();
  std::vector<TWorker> workers(static_cast<size_t>(kMaxBandThreads));
  std::vector<TPiece> made(static_cast<size_t>(count));
  uint32_t adler = 1;
  RunPiecesInOrder(
      count,
      [&](int worker, int p) {
        MakePiece(source, pieces, settings, p, true, workers[static_cast<size_t>(worker)],
                  made[static_cast<size_t>(p)]);
      },
      [&](int p) {
        TPiece& piece = made[static_cast<size_t>(p)];
        adler = p == 0 ? piece.adler : CombineAdler32(adler, piece.adler, piece.size);
        uint8_t header[2], trailer[4];
        ZlibHeader(settings.method, header);
        ZlibTrailer(adler, trailer);
        const bool first = p == 0, last = p + 1 == count;
        // Chunks of at most kMaxChunk bytes of the piece, the header in front of the
        // first, the trailer after the last.
        size_t at = 0;
        do {
          const size_t n = std::min(kMaxChunk, piece.bytes.size() - at);
          const bool begins = first && at == 0, ends = last && at + n == piece.bytes.size();
          WriteChunk(stream, "IDAT",
                     {{header, begins ? 2u : 0u},
                      {piece.bytes.data() + at, n},
                      {trailer, ends ? 4u : 0u}});
          at += n;
        } while (at < piece.bytes.size());
        piece.bytes = std::vector<uint8_t>();
      });
}

// One way of writing that pcAuto tries: the rows and how they are filtered and compressed.
struct TTrial {
  const TPieces* pieces;
  TSettings settings;
};

// The bytes of image data that each trial would take, each of its pieces compressed as a
// stream of its own (the zlib header and trailer counted once). The pieces of all trials
// are shared out to the threads together, the largest first: a trial's sample is mostly
// one piece, so trials made one after the other would leave the other cores idle.
std::vector<uint64_t> TrialSizes(const TPngSource& source, const std::vector<TTrial>& trials) {
  struct TJob {
    size_t trial;
    int piece;
    size_t bytes;
  };
  std::vector<TJob> jobs;
  for (size_t t = 0; t < trials.size(); ++t) {
    const TPieces& pieces = *trials[t].pieces;
    for (int p = 0; p < pieces.Count(); ++p) {
      size_t bytes = 0;
      for (size_t i = pieces.First(p); i < pieces.End(p); ++i)
        bytes += source.RowBytes(pieces.rows[i].pass) + 1;
      jobs.push_back({t, p, bytes});
    }
  }
  std::stable_sort(jobs.begin(), jobs.end(),
                   [](const TJob& a, const TJob& b) { return a.bytes > b.bytes; });
  std::vector<uint64_t> sizes(trials.size(), 0);
  for (size_t t = 0; t < trials.size(); ++t)
    if (trials[t].pieces->Count() > 0) sizes[t] = 2 + 4;
  std::vector<TWorker> workers(static_cast<size_t>(kMaxBandThreads));
  std::vector<TPiece> made(jobs.size());
  RunPiecesInOrder(
      static_cast<int>(jobs.size()),
      [&](int worker, int j) {
        const TJob& job = jobs[static_cast<size_t>(j)];
        MakePiece(source, *trials[job.trial].pieces, trials[job.trial].settings, job.piece, false,
                  workers[static_cast<size_t>(worker)], made[static_cast<size_t>(j)]);
      },
      [&](int j) {
        sizes[jobs[static_cast<size_t>(j)].trial] += made[static_cast<size_t>(j)].bytes.size();
        made[static_cast<size_t>(j)].bytes = std::vector<uint8_t>();
      });
  return sizes;
}

void WriteHeaderChunks(const TPngSource& source, bool interlaced,
                       const std::vector<TPngText>& texts, TStream& stream) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  stream.WriteBuffer(kSignature, 8);
  uint8_t header[13];
  Put32(header, static_cast<uint32_t>(source.Width()));
  Put32(header + 4, static_cast<uint32_t>(source.Height()));
  header[8] = static_cast<uint8_t>(source.Depth());
  header[9] = source.IsPalette() ? 3 : 2;  // palette, or RGB
  header[10] = 0;                          // deflate
  header[11] = 0;                          // the five filters
  header[12] = interlaced ? 1 : 0;
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
  const TPieces sample = PiecesOf(source, false, true);
  // The interlaced form's sample is the passes' rows within the same rows of the picture.
  const TPieces interlaced = PiecesOf(source, true, true);
  // Unfiltered and adaptively filtered rows, and the interlaced form with its quickest
  // coder, measured together; the last is wasted when the adaptive filters win (a
  // photograph), but it runs beside the others and costs the least of the three.
  const std::vector<uint64_t> sizes =
      TrialSizes(source, {{&sample, {false, TDeflateMethod::dmQuick}},
                          {&sample, {true, TDeflateMethod::dmQuick}},
                          {&interlaced, SettingsOf(TPngCompression::pcInterlacedLiterals)}});
  const uint64_t none = sizes[0], adaptive = sizes[1];
  // A tie goes to the quicker setting.
  if (adaptive < none) return TPngCompression::pcAdaptiveLevel6;
  // Unfiltered rows won: a combined picture, or a drawing whose repeats zlib finds. The
  // interlaced form with blocks of literals first, then at zlib's level 1, which finds
  // repeats as well.
  if (sizes[2] <= none) return TPngCompression::pcInterlacedLiterals;
  const TSettings level1 = SettingsOf(TPngCompression::pcInterlacedLevel1);
  if (TrialSizes(source, {{&interlaced, level1}})[0] <= none)
    return TPngCompression::pcInterlacedLevel1;
  return TPngCompression::pcNoFilterLevel1;
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
  return compression == TPngCompression::pcNoFilterLevel1 || PngInterlaced(compression) ? 1 : 6;
}

bool PngAdaptiveFilter(TPngCompression compression) {
  return compression == TPngCompression::pcAdaptiveLevel6;
}

bool PngInterlaced(TPngCompression compression) {
  return compression == TPngCompression::pcInterlacedLiterals ||
         compression == TPngCompression::pcInterlacedLevel1;
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
  const TSettings settings = SettingsOf(compression);
  WriteHeaderChunks(source, settings.interlaced, options.texts, stream);
  WriteImageData(source, PiecesOf(source, settings.interlaced, false), settings, stream);
  WriteChunk(stream, "IEND", {});
}

void SavePngToFile(const TBitmap& bitmap, const std::string& file_name,
                   const TPngOptions& options) {
  // Checked before the safe save makes its temporary file.
  CheckNotEmpty(bitmap);
  CheckTexts(options.texts);
  SaveFileSafely(file_name, [&](TStream& stream) { WritePng(bitmap, stream, options); });
}
