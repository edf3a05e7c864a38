#include "gif/RLEEncoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// The smallest m with m * (m + 1) >= 2r, searched from the square root of r.
int64_t TriangleSide(int64_t r) {
  auto m = static_cast<int64_t>(std::sqrt(static_cast<double>(r)));
  while (m > 0 && m * (m + 1) >= 2 * r) --m;
  while (m * (m + 1) < 2 * r) ++m;
  return m;
}

// TriangleSide of the short remainders, which nearly every run has, read from a table.
constexpr int kShortSides = 1024;
const std::array<uint8_t, kShortSides>& ShortSides() {
  static const std::array<uint8_t, kShortSides> sides = [] {
    std::array<uint8_t, kShortSides> table{};
    for (int r = 0; r < kShortSides; ++r)
      table[static_cast<size_t>(r)] = static_cast<uint8_t>(TriangleSide(r));
    return table;
  }();
  return sides;
}

}  // namespace

int64_t TRLEEncoder::TriangleCost(int64_t count, int64_t limit) {
  // limit codes after a clear carry runs of 1 + 2 + ... + limit pixels.
  const int64_t per = limit * (limit + 1) / 2;
  if (count < per && count < kShortSides) return ShortSides()[static_cast<size_t>(count)];
  int64_t cost = limit * (count / per);
  const int64_t r = count % per;
  if (r > 0) cost += r < kShortSides ? ShortSides()[static_cast<size_t>(r)] : TriangleSide(r);
  return cost;
}

void TRLEEncoder::EmitClear() {
  out_bump_ = out_bump_start_;
  out_clear_ = out_clear_start_;
  out_count_ = 0;
  run_table_max_ = 0;
  TGIFEncoder::EmitClear();
  ResetCodeWidth();
}

void TRLEEncoder::PlainOutput(uint32_t code) {
  clear_flag_ = false;
  OutputCode(code);
  ++out_count_;
  // After n codes since a clear the decoder's next free code is clear + 1 + n; when that
  // reaches 2^width its codes grow by one bit, and the next growth is 2^(width - 1)
  // codes later.
  if (out_count_ >= out_bump_) {
    WidenCode();
    out_bump_ += 1 << (code_width_ - 1);
  }
  if (out_count_ >= out_clear_) EmitClear();
}

void TRLEEncoder::RunFromClear(int64_t count) {
  // While the run lasts, clear only when the table is full.
  out_clear_ = max_codes_;
  run_table_pixel_ = run_pixel_;
  const auto pixel = static_cast<uint32_t>(run_pixel_);
  int64_t k = 1;
  while (count > 0) {
    if (k == 1) {
      run_table_max_ = 1;
      PlainOutput(pixel);
      count -= 1;
    } else if (count >= k) {
      run_table_max_ = k;
      PlainOutput(base_code_ + static_cast<uint32_t>(k) - 2);
      count -= k;
    } else if (count == 1) {
      ++run_table_max_;
      PlainOutput(pixel);
      count = 0;
    } else {
      ++run_table_max_;
      PlainOutput(base_code_ + static_cast<uint32_t>(count) - 2);
      count = 0;
    }
    // A clear inside the run starts the runs of 1, 2, 3, ... again.
    k = out_count_ == 0 ? 1 : k + 1;
  }
  RestoreOutClear();
}

void TRLEEncoder::RestoreOutClear() {
  out_clear_ = out_clear_start_;
  if (out_count_ >= out_clear_) EmitClear();
}

void TRLEEncoder::RunByRepetitionOrClear(int64_t count) {
  if (1 + TriangleCost(count, max_codes_) < count) {
    EmitClear();
    RunFromClear(count);
  } else {
    const auto pixel = static_cast<uint32_t>(run_pixel_);
    for (int64_t i = 0; i < count; ++i) PlainOutput(pixel);
  }
}

void TRLEEncoder::RunWithTable(int64_t count) {
  const int64_t table_max = run_table_max_;
  int64_t reps = count / table_max;
  int64_t left = count % table_max;
  int64_t extra = left > 0 ? 1 : 0;
  if (out_count_ + reps + extra > max_codes_) {
    // The table fills before the run ends: the rest goes after a clear.
    reps = max_codes_ - out_count_;
    left = count - reps * table_max;
    extra = 1 + TriangleCost(left, max_codes_);
  }
  if (1 + TriangleCost(count, max_codes_) < reps + extra) {
    EmitClear();
    RunFromClear(count);
    return;
  }
  out_clear_ = max_codes_;
  const uint32_t longest = base_code_ + static_cast<uint32_t>(table_max) - 2;
  for (int64_t i = 0; i < reps; ++i) PlainOutput(longest);
  if (left > 0) {
    if (clear_flag_)
      RunFromClear(left);
    else if (left == 1)
      PlainOutput(static_cast<uint32_t>(run_pixel_));
    else
      PlainOutput(base_code_ + static_cast<uint32_t>(left) - 2);
  }
  RestoreOutClear();
}

void TRLEEncoder::FlushRun(int64_t count) {
  if (count == 1)
    PlainOutput(static_cast<uint32_t>(run_pixel_));
  else if (clear_flag_)
    RunFromClear(count);
  else if (run_table_max_ < 2 || run_table_pixel_ != run_pixel_)
    RunByRepetitionOrClear(count);
  else
    RunWithTable(count);
}

void TRLEEncoder::EncodePixels() {
  max_codes_ = kMaxCode - static_cast<int>(base_code_);
  out_bump_start_ = static_cast<int>(clear_code_) - 1;
  out_clear_start_ = bits_per_pixel_ <= 3 ? kSmallTableOutClear : static_cast<int>(clear_code_) - 2;
  if (color_count_ >= 256)
    Encode<false>();
  else
    Encode<true>();
}

template <bool kCheckColors>
void TRLEEncoder::Encode() {
  const auto color_count = static_cast<uint32_t>(color_count_ < 0 ? 0 : color_count_);
  EmitClear();
  run_pixel_ = -1;
  int64_t length = 0;
  const uint8_t* p = nullptr;
  size_t n = 0;
  while (walk_.NextSpan(p, n)) {
    const uint8_t* const end = p + n;
    while (p != end) {
      const int pixel = *p;
      if (kCheckColors && static_cast<uint32_t>(pixel) >= color_count) ColorNotInTable();
      ++p;
      if (pixel == run_pixel_) {
        ++length;
        continue;
      }
      if (length > 0) FlushRun(length);
      run_pixel_ = pixel;
      length = 1;
      p = SendSingles<kCheckColors>(p, end, color_count);
    }
  }
  if (length > 0) FlushRun(length);
}

// A run of one pixel followed by a different pixel goes out as the plain code of the
// pixel (FlushRun of 1), and nothing else happens until the decoder's code width grows or
// a clear is due. So while the coming pixels each differ from the one before, their codes
// are packed here in a row, with the encoder's state in locals, and the bytes handed to
// the writer in pieces: the same bytes as one PlainOutput per pixel.
static_assert(std::endian::native == std::endian::little, "the code packer stores words");

template <bool kCheckColors>
const uint8_t* TRLEEncoder::SendSingles(const uint8_t* p, const uint8_t* end,
                                        uint32_t color_count) {
  // PlainOutput acts on the count after a code reaching out_bump_ or out_clear_: up to
  // there, codes are only packed.
  const int stop = std::min(out_bump_, out_clear_) - 1;
  int count = out_count_;
  if (p == end || count >= stop) return p;
  auto pending = static_cast<uint32_t>(run_pixel_);
  uint64_t bucket = bucket_;
  int bits = bit_count_;
  const int width = code_width_;
  // Whole bytes leave the bucket eight at a time, of which the low ones are kept.
  uint8_t bytes[256 + 8];
  int filled = 0;
  bool sent = false;
  // Moves the bucket's whole bytes to `bytes` (little-endian: the low byte first), writing
  // them out when many are held. At most 55 bits are held: four codes of at most 12 bits
  // beside fewer than 8.
  const auto drain = [&]() {
    std::memcpy(bytes + filled, &bucket, 8);
    const int whole = bits >> 3;
    filled += whole;
    bucket >>= 8 * whole;
    bits &= 7;
    if (filled > 240) {
      writer_->Write(bytes, filled);
      filled = 0;
    }
  };
  while (p != end && count < stop) {
    // Four codes at once while four more pixels each differ from the one before and the
    // state does not change on the way: the same bits as four turns of the loop below.
    if (end - p >= 4 && stop - count >= 4) {
      const uint32_t a = p[0], b = p[1], c = p[2], d = p[3];
      const bool known = !kCheckColors ||
                         (a < color_count && b < color_count && c < color_count && d < color_count);
      if (known && a != pending && b != a && c != b && d != c) {
        bucket |= (uint64_t{pending} | uint64_t{a} << width | uint64_t{b} << (2 * width) |
                   uint64_t{c} << (3 * width))
                  << bits;
        bits += 4 * width;
        count += 4;
        sent = true;
        pending = d;
        p += 4;
        drain();
        continue;
      }
    }
    const uint32_t next = *p;
    if ((kCheckColors && next >= color_count) || next == pending) break;
    bucket |= uint64_t{pending} << bits;
    bits += width;
    ++count;
    sent = true;
    pending = next;
    ++p;
    drain();
  }
  if (filled > 0) writer_->Write(bytes, filled);
  if (sent) clear_flag_ = false;
  bucket_ = static_cast<uint32_t>(bucket);
  bit_count_ = bits;
  out_count_ = count;
  run_pixel_ = static_cast<int>(pending);
  return p;
}
