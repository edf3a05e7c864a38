#include "platform/NearestColor.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/Processor.h"

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>
#endif

TNearestColorMap::TNearestColorMap(std::span<const TPaletteEntry> palette) {
  for (const TPaletteEntry& e : palette.first(std::min<size_t>(palette.size(), 256))) {
    red_.push_back(e.peRed);
    green_.push_back(e.peGreen);
    blue_.push_back(e.peBlue);
  }
  Init();
}

namespace {

std::vector<TPaletteEntry> EntriesOf(std::span<const TRGBQuad> colour_table) {
  std::vector<TPaletteEntry> entries;
  entries.reserve(colour_table.size());
  for (const TRGBQuad& q : colour_table) entries.push_back(ToPaletteEntry(q));
  return entries;
}

// Squared distance from v to the nearest and the farthest value of [lo, lo + 7].
inline int MinAxis(int v, int lo) {
  const int d = v < lo ? lo - v : (v > lo + 7 ? v - (lo + 7) : 0);
  return d * d;
}
inline int MaxAxis(int v, int lo) {
  const int d = std::max(std::abs(v - lo), std::abs(v - (lo + 7)));
  return d * d;
}

}  // namespace

TNearestColorMap::TNearestColorMap(std::span<const TRGBQuad> colour_table)
    : TNearestColorMap(EntriesOf(colour_table)) {}

void TNearestColorMap::Init() {
  cell_block_.assign(32768, 0);
  uniform_block_.fill(0);
  const int n = Count();
  const std::vector<int>* values[3] = {&red_, &green_, &blue_};
  for (int c = 0; c < 3; ++c) {
    near_[c].resize(static_cast<size_t>(32 * n));
    far_[c].resize(static_cast<size_t>(32 * n));
    for (int level = 0; level < 32; ++level)
      for (int i = 0; i < n; ++i) {
        near_[c][static_cast<size_t>(level * n + i)] = MinAxis((*values[c])[i], level << 3);
        far_[c][static_cast<size_t>(level * n + i)] = MaxAxis((*values[c])[i], level << 3);
      }
  }
}

const uint8_t* TNearestColorMap::Block(uint32_t cell) {
  if (cell_block_[cell] == 0) {
    const int n = Count();
    const size_t r = (cell & 31) * static_cast<size_t>(n);
    const size_t g = ((cell >> 5) & 31) * static_cast<size_t>(n);
    const size_t b = (cell >> 10) * static_cast<size_t>(n);
    const int32_t* far_r = far_[0].data() + r;
    const int32_t* far_g = far_[1].data() + g;
    const int32_t* far_b = far_[2].data() + b;
    int32_t bound = INT32_MAX;
    for (int i = 0; i < n; ++i) bound = std::min(bound, far_r[i] + far_g[i] + far_b[i]);
    const int32_t* near_r = near_[0].data() + r;
    const int32_t* near_g = near_[1].data() + g;
    const int32_t* near_b = near_[2].data() + b;
    uint8_t candidates[256];
    int count = 0;
    for (int i = 0; i < n; ++i)
      if (near_r[i] + near_g[i] + near_b[i] <= bound) candidates[count++] = static_cast<uint8_t>(i);

    if (count == 1) {
      // Most cells lie inside one entry's region: they share one block of that entry, so
      // the blocks that pixels read stay few and in cache.
      uint32_t& shared = uniform_block_[candidates[0]];
      if (shared == 0) {
        shared = NewBlock();
        std::fill_n(blocks_.data() + (shared - 1), 512, candidates[0]);
      }
      cell_block_[cell] = shared;
    } else {
      const uint32_t at = NewBlock();
      FillBlock(cell, candidates, count, blocks_.data() + (at - 1));
      cell_block_[cell] = at;
    }
  }
  return blocks_.data() + (cell_block_[cell] - 1);
}

uint32_t TNearestColorMap::NewBlock() {
  // The blocks follow one another, with kSpare bytes after the last: the vector path reads
  // an answer as the first byte of four.
  const size_t offset = blocks_.empty() ? 0 : blocks_.size() - kSpare;
  blocks_.resize(offset + 512 + kSpare);
  return static_cast<uint32_t>(offset) + 1;
}

void TNearestColorMap::FillBlock(uint32_t cell, const uint8_t* candidates, int count,
                                 uint8_t* block) const {
  const int r0 = static_cast<int>(cell & 31) << 3;
  const int g0 = static_cast<int>((cell >> 5) & 31) << 3;
  const int b0 = static_cast<int>(cell >> 10) << 3;
  // The 512 colours at once, one candidate after another: each candidate's distance is the
  // sum of three per-axis squares, and only a strictly smaller distance replaces the best.
  // Candidates come in index order, so the lowest index wins a tie.
  int32_t best_distance[512];
  int32_t best[512];  // as wide as the distances, so that both are chosen in one vector
  std::fill_n(best_distance, 512, INT32_MAX);
  std::fill_n(best, 512, int32_t{candidates[0]});
  for (int j = 0; j < count; ++j) {
    const int i = candidates[j];
    int32_t dr[8], dg[8], db[8];
    for (int k = 0; k < 8; ++k) {
      dr[k] = (r0 + k - red_[i]) * (r0 + k - red_[i]);
      dg[k] = (g0 + k - green_[i]) * (g0 + k - green_[i]);
      db[k] = (b0 + k - blue_[i]) * (b0 + k - blue_[i]);
    }
    const int32_t index = i;
    for (int bg = 0; bg < 64; ++bg) {
      const int32_t plane = dg[bg & 7] + db[bg >> 3];
      int32_t* distance = best_distance + 8 * bg;
      int32_t* answer = best + 8 * bg;
      for (int k = 0; k < 8; ++k) {
        const int32_t d = plane + dr[k];
        const bool nearer = d < distance[k];
        distance[k] = nearer ? d : distance[k];
        answer[k] = nearer ? index : answer[k];
      }
    }
  }
  for (int k = 0; k < 512; ++k) block[k] = static_cast<uint8_t>(best[k]);
}

uint8_t TNearestColorMap::Find(uint8_t red, uint8_t green, uint8_t blue) {
  if (red_.empty()) return 0;
  const uint32_t cell = (red >> 3) | (green >> 3) << 5 | (blue >> 3) << 10;
  return Block(cell)[(red & 7) | (green & 7) << 3 | (blue & 7) << 6];
}

#if LUMIVEIL_X86_KERNELS
namespace {

// Maps pixels eight at a time, as long as the cells they fall into have their answers;
// returns how many it mapped. It stops before a group with a cell not yet computed, and
// before the last ten pixels, since it loads 32 bytes for the 24 of a group.
__attribute__((target("avx2"))) int MapKnownBGRAvx2(const uint8_t* bgr, uint8_t* indices, int count,
                                                    const uint32_t* cells, const uint8_t* blocks) {
  // Four pixels (12 bytes) to each 128-bit lane, then each pixel to a 32-bit lane as
  // blue | green << 8 | red << 16.
  const __m256i spread = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  const __m256i lanes = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1,
                                         2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  // The first byte of each 32-bit lane, to the lane's first four bytes.
  const __m256i firsts =
      _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i one = _mm256_set1_epi32(1);
  int x = 0;
  for (; count - x >= 11; x += 8) {
    const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgr + 3 * x));
    const __m256i px = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(raw, spread), lanes);
    // The cell (red >> 3 | (green >> 3) << 5 | (blue >> 3) << 10) and the colour inside it
    // (red & 7 | (green & 7) << 3 | (blue & 7) << 6), as the scalar path makes them.
    const __m256i cell = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(px, 19), _mm256_set1_epi32(0x1F)),
                        _mm256_and_si256(_mm256_srli_epi32(px, 6), _mm256_set1_epi32(0x3E0))),
        _mm256_and_si256(_mm256_slli_epi32(px, 7), _mm256_set1_epi32(0x7C00)));
    const __m256i inner = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(px, 16), _mm256_set1_epi32(7)),
                        _mm256_and_si256(_mm256_srli_epi32(px, 5), _mm256_set1_epi32(0x38))),
        _mm256_and_si256(_mm256_slli_epi32(px, 6), _mm256_set1_epi32(0x1C0)));
    const __m256i at = _mm256_i32gather_epi32(reinterpret_cast<const int*>(cells), cell, 4);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(at, _mm256_setzero_si256())) != 0) break;
    const __m256i answers =
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(blocks),
                               _mm256_add_epi32(_mm256_sub_epi32(at, one), inner), 1);
    const __m256i packed = _mm256_shuffle_epi8(answers, firsts);
    _mm_storel_epi64(
        reinterpret_cast<__m128i*>(indices + x),
        _mm_unpacklo_epi32(_mm256_castsi256_si128(packed), _mm256_extracti128_si256(packed, 1)));
  }
  return x;
}

}  // namespace
#endif

void TNearestColorMap::MapBGR(const uint8_t* bgr, uint8_t* indices, int count) {
  if (red_.empty()) {
    std::fill(indices, indices + count, uint8_t{0});
    return;
  }
#if LUMIVEIL_X86_KERNELS
  const bool vector = Avx2Available();
#else
  const bool vector = false;
#endif
  for (int x = 0; x < count;) {
#if LUMIVEIL_X86_KERNELS
    if (vector)
      x += MapKnownBGRAvx2(bgr + 3 * static_cast<size_t>(x), indices + x, count - x,
                           cell_block_.data(), blocks_.data());
#endif
    // The group the vector path stopped at (a cell to compute) or the last pixels; every
    // pixel without it. The tables' addresses in locals: the stores into `indices` could
    // otherwise alias the members and make the compiler load them again for every pixel.
    // A new cell's block may move the blocks, so their address is taken again after one.
    const int stop = vector ? std::min(count, x + 8) : count;
    const uint32_t* cells = cell_block_.data();
    const uint8_t* blocks = blocks_.data();
    for (const uint8_t* p = bgr + 3 * static_cast<size_t>(x); x < stop; ++x, p += 3) {
      const uint32_t blue = p[0], green = p[1], red = p[2];
      const uint32_t cell = (red >> 3) | (green >> 3) << 5 | (blue >> 3) << 10;
      const uint32_t at = cells[cell];
      const uint8_t* block;
      if (at != 0) {
        block = blocks + (at - 1);
      } else {
        block = Block(cell);
        blocks = blocks_.data();
      }
      indices[x] = block[(red & 7) | (green & 7) << 3 | (blue & 7) << 6];
    }
  }
}
