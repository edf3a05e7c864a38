// The PNG writer on libpng. libpng reports errors by a long jump back to the function that
// set it up; only plain data lives in the frames it jumps over (our write callback keeps a
// stream's exception aside before it asks libpng to stop).
#include "raster/PngWriter.h"

#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"

namespace {

// The rows that pcAuto tries: the first kSampleRows of every kSamplePeriod rows, an
// even spread over the picture at one 32nd of its size.
constexpr int kSampleRows = 8, kSamplePeriod = 256;

struct TSettings {
  int filters;
  int level;
};

TSettings SettingsOf(TPngCompression compression) {
  return {PngAdaptiveFilter(compression) ? PNG_ALL_FILTERS : PNG_FILTER_NONE,
          PngZlibLevel(compression)};
}

// The picture as PNG rows take it: R, G, B bytes, or one palette index per pixel (indices
// renumbered to the colours actually used). Rows of 15, 16 and 32 bits are decoded as the
// raster converts them to 24 bits.
class TPngSource {
 public:
  explicit TPngSource(const TBitmap& bitmap)
      : bitmap_(bitmap), decoder_(bitmap), row_(3 * static_cast<size_t>(bitmap.Width())) {
    if (IsPalette()) MakePalette();
  }

  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  bool IsPalette() const { return decoder_.Bits() <= 8; }
  // The PNG bit depth: 8 for RGB; for a palette the fewest bits that number its colours.
  int Depth() const { return depth_; }
  const std::vector<png_color>& Colours() const { return colours_; }
  // Bytes of one row as Row writes it.
  size_t RowBytes() const { return static_cast<size_t>(Width()) * (IsPalette() ? 1 : 3); }

  void Row(int y, uint8_t* out) const {
    const int width = Width();
    if (IsPalette()) {
      decoder_.Indices(bitmap_.ConstScanline(y), out, width);
      for (int x = 0; x < width; ++x) out[x] = remap_[out[x]];
      return;
    }
    const uint8_t* row = bitmap_.ConstScanline(y);
    if (decoder_.Bits() != 24) {
      decoder_.Decode(row, row_.data(), width);
      row = row_.data();
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
    for (int y = 0; y < height; ++y) {
      decoder_.Indices(bitmap_.ConstScanline(y), row_.data(), width);
      for (int x = 0; x < width; ++x) used[row_[x]] = true;
    }
    const std::vector<TRGBQuad>& table = bitmap_.ColorTable();
    for (int i = 0; i < 256; ++i) {
      if (!used[i]) continue;
      png_color c{0, 0, 0};
      if (static_cast<size_t>(i) < table.size())
        c = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue};
      size_t entry = 0;
      while (entry < colours_.size() &&
             (colours_[entry].red != c.red || colours_[entry].green != c.green ||
              colours_[entry].blue != c.blue))
        ++entry;
      if (entry == colours_.size()) colours_.push_back(c);
      remap_[i] = static_cast<uint8_t>(entry);
    }
    const size_t n = colours_.size();
    depth_ = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  }

  const TBitmap& bitmap_;
  const TRowDecoder decoder_;
  // A row decoded (three bytes a pixel, or one index a pixel).
  mutable std::vector<uint8_t> row_;
  int depth_ = 8;
  std::vector<png_color> colours_;
  std::array<uint8_t, 256> remap_{};
};

// Where libpng's bytes go: a stream, or only a count (for the trial of pcAuto).
struct TSink {
  TStream* stream = nullptr;
  uint64_t count = 0;
  std::exception_ptr failure;
  char message[160] = {};
};

void WriteData(png_structp png, png_bytep data, size_t length) {
  auto* sink = static_cast<TSink*>(png_get_io_ptr(png));
  sink->count += length;
  if (sink->stream == nullptr) return;
  bool failed = false;
  try {
    sink->stream->WriteBuffer(data, static_cast<int64_t>(length));
  } catch (...) {
    sink->failure = std::current_exception();
    failed = true;
  }
  if (failed) png_error(png, "write failed");
}

void FlushData(png_structp) {}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<TSink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message ? message : "");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Frees libpng's state however Encode ends.
struct TWriteStruct {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~TWriteStruct() {
    if (png != nullptr) png_destroy_write_struct(&png, &info);
  }
};

// What one encoding writes, made ready before libpng starts.
struct TJob {
  const TPngSource* source;
  const std::vector<int>* rows;  // the rows of source to write, in order
  uint8_t* row;                  // a buffer of source->RowBytes()
  std::vector<png_text>* chunks;
  TSettings settings;
  TSink* sink;
};

// Hands the rows to libpng.
void WriteRows(png_structp png, const TJob& job) {
  for (const int y : *job.rows) {
    job.source->Row(y, job.row);
    png_write_row(png, job.row);
  }
}

// The part that libpng may leave by its long jump: a frame with plain values only.
bool RunLibpng(png_structp png, png_infop info, const TJob& job) {
  if (setjmp(png_jmpbuf(png))) return false;
  const TPngSource& source = *job.source;
  png_set_write_fn(png, job.sink, WriteData, FlushData);
  // libpng refuses pictures wider or taller than a million pixels unless told otherwise;
  // the raster's own limit on its store holds here.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  const bool palette = source.IsPalette();
  png_set_IHDR(png, info, static_cast<png_uint_32>(source.Width()),
               static_cast<png_uint_32>(job.rows->size()), source.Depth(),
               palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette)
    png_set_PLTE(png, info, source.Colours().data(), static_cast<int>(source.Colours().size()));
  if (!job.chunks->empty())
    png_set_text(png, info, job.chunks->data(), static_cast<int>(job.chunks->size()));
  // zlib's largest memory level (its hash chains find a little more for no extra time
  // here) and image data in chunks of 64 KiB.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, job.settings.filters);
  png_set_compression_level(png, job.settings.level);
  png_set_compression_mem_level(png, 9);
  png_set_compression_buffer_size(png, 64 * 1024);
  png_write_info(png, info);
  // Palette indices below 8 bits are handed over one to a byte; libpng packs them.
  if (palette && source.Depth() < 8) png_set_packing(png);
  WriteRows(png, job);
  png_write_end(png, nullptr);
  return true;
}

// Encodes the rows of source (all, or only the sampled ones) into sink. False when libpng
// failed; sink then holds its message and any exception of the stream.
bool Encode(const TPngSource& source, const std::vector<TPngText>& texts, TSettings settings,
            bool sample_only, TSink& sink) {
  std::vector<int> rows;
  for (int y = 0; y < source.Height(); ++y)
    if (!sample_only || y % kSamplePeriod < kSampleRows) rows.push_back(y);
  std::vector<uint8_t> row(source.RowBytes());
  std::vector<png_text> chunks(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<char*>(texts[i].keyword.c_str());
    chunks[i].text = const_cast<char*>(texts[i].text.c_str());
    chunks[i].text_length = texts[i].text.size();
  }
  TWriteStruct s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnError, OnWarning);
  if (s.png == nullptr) throw EOutOfMemory(SOutOfMemory);
  s.info = png_create_info_struct(s.png);
  if (s.info == nullptr) throw EOutOfMemory(SOutOfMemory);
  return RunLibpng(s.png, s.info, TJob{&source, &rows, row.data(), &chunks, settings, &sink});
}

TPngCompression Choose(const TPngSource& source) {
  if (source.IsPalette()) return TPngCompression::pcNoFilterLevel6;
  uint64_t size[2] = {};
  for (int i = 0; i < 2; ++i) {
    TSink sink;
    if (!Encode(source, {}, {i == 0 ? PNG_FILTER_NONE : PNG_ALL_FILTERS, 1}, true, sink))
      throw EInvalidGraphic(Format(SPNGError, sink.message));
    size[i] = sink.count;
  }
  // A tie goes to the quicker setting.
  return size[1] < size[0] ? TPngCompression::pcAdaptiveLevel6 : TPngCompression::pcNoFilterLevel1;
}

void CheckNotEmpty(const TBitmap& bitmap) {
  if (bitmap.Empty()) throw EInvalidGraphic(SPNGEmptyPicture);
}

// A tEXt keyword is 1 to 79 printable Latin-1 characters without leading, trailing or
// repeated spaces, and its text holds no zero byte. libpng would shorten or mend a bad
// keyword with only a warning; it is refused instead, so that the file says what was asked.
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
  TSink sink;
  sink.stream = &stream;
  if (!Encode(source, options.texts, SettingsOf(compression), false, sink)) {
    if (sink.failure) std::rethrow_exception(sink.failure);
    throw EInvalidGraphic(Format(SPNGError, sink.message));
  }
}

void SavePngToFile(const TBitmap& bitmap, const std::string& file_name,
                   const TPngOptions& options) {
  // Checked before the safe save makes its temporary file.
  CheckNotEmpty(bitmap);
  CheckTexts(options.texts);
  SaveFileSafely(file_name, [&](TStream& stream) { WritePng(bitmap, stream, options); });
}
