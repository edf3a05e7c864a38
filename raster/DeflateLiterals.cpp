// The blocks are dynamic Huffman blocks (type 2) of 257 literal/length codes (the 256 byte
// values and the end of block) and one distance code of length 0, which says that the block
// holds no matches. The code lengths are sent with the code-length code unabridged (no
// run-length symbols): about 150 bytes a block, nothing beside the hundreds of kilobytes a
// block codes.
#include "raster/DeflateLiterals.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr int kSymbols = 257;  // the byte values and the end of block
constexpr int kEndOfBlock = 256;
constexpr int kMaxLength = 15;     // the longest code deflate allows
constexpr int kMaxLengthCode = 7;  // the longest code of the code-length code
// The order in which the code-length code's lengths are sent.
constexpr std::array<uint8_t, 19> kLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                  11, 4,  12, 3, 13, 2, 14, 1, 15};
// A block's header at most: 17 bits, 19 lengths of 3 bits, 258 codes of 7 bits.
constexpr size_t kMaxHeaderBytes = (17 + 19 * 3 + 258 * 7) / 8 + 1;

// Writes bits from the least significant up, as deflate packs them. Up to 64 bits are held;
// Flush stores all eight bytes at once and keeps the bits of the last byte not yet whole
// (fewer than 8), so that three codes of up to 15 bits fit between two flushes. The
// buffer needs eight bytes of room beyond the data.
class TBitWriter {
 public:
  explicit TBitWriter(uint8_t* out) : out_(out) {}
  void Add(uint32_t code, int length) {
    bits_ |= uint64_t{code} << held_;
    held_ += length;
  }
  void Flush() {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(out_, &bits_, 8);
    } else {
      for (int i = 0; i < 8; ++i) out_[i] = static_cast<uint8_t>(bits_ >> (8 * i));
    }
    out_ += held_ >> 3;
    bits_ = held_ >= 8 ? bits_ >> (held_ & ~7) : bits_;
    held_ &= 7;
  }
  void Put(uint32_t code, int length) {
    Add(code, length);
    Flush();
  }
  // Pads the last byte with zero bits; returns the end of the data written.
  uint8_t* Align() {
    Flush();
    if (held_ > 0) *out_++ = static_cast<uint8_t>(bits_);
    held_ = 0;
    bits_ = 0;
    return out_;
  }
  void PutByte(uint8_t byte) { *out_++ = byte; }  // only when aligned

 private:
  uint8_t* out_;
  uint64_t bits_ = 0;
  int held_ = 0;
};

// The canonical codes of the lengths, bit-reversed for writing from the least significant
// bit: code << 16 | length for each symbol.
template <size_t N>
void CanonicalCodes(const std::vector<uint8_t>& lengths, std::array<uint32_t, N>& codes) {
  std::array<uint32_t, kMaxLength + 2> count{}, next{};
  for (const uint8_t length : lengths) ++count[length];
  count[0] = 0;
  uint32_t code = 0;
  for (int bits = 1; bits <= kMaxLength; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    const int length = lengths[symbol];
    if (length == 0) {
      codes[symbol] = 0;
      continue;
    }
    uint32_t c = next[length]++, reversed = 0;
    for (int i = 0; i < length; ++i, c >>= 1) reversed = reversed << 1 | (c & 1);
    codes[symbol] = reversed | static_cast<uint32_t>(length) << 16;
  }
}

inline void PutCode(TBitWriter& bits, uint32_t code) {
  bits.Put(code & 0xFFFF, static_cast<int>(code >> 16));
}

// One block of data's bytes, final or not.
void WriteBlock(TBitWriter& bits, const uint8_t* data, size_t size, bool final) {
  // Four tallies side by side, so that runs of one byte value do not wait on one counter.
  std::array<std::array<uint32_t, 256>, 4> tally{};
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    ++tally[0][data[i]];
    ++tally[1][data[i + 1]];
    ++tally[2][data[i + 2]];
    ++tally[3][data[i + 3]];
  }
  for (; i < size; ++i) ++tally[0][data[i]];
  std::vector<uint32_t> counts(kSymbols, 0);
  for (int v = 0; v < 256; ++v) counts[v] = tally[0][v] + tally[1][v] + tally[2][v] + tally[3][v];
  counts[kEndOfBlock] = 1;
  std::vector<uint8_t> lengths = HuffmanLengths(counts, kMaxLength);
  std::array<uint32_t, kSymbols> codes{};
  CanonicalCodes(lengths, codes);

  // The lengths as the code-length code sends them: the 257 literal/length codes, then the
  // one distance code's 0.
  lengths.push_back(0);
  std::vector<uint32_t> length_counts(19, 0);
  for (const uint8_t length : lengths) ++length_counts[length];
  const std::vector<uint8_t> length_lengths = HuffmanLengths(length_counts, kMaxLengthCode);
  std::array<uint32_t, 19> length_codes{};
  CanonicalCodes(length_lengths, length_codes);
  int sent = 19;  // the code-length code's lengths sent: trailing zeros left off, at least 4
  while (sent > 4 && length_lengths[kLengthOrder[sent - 1]] == 0) --sent;

  bits.Put(final ? 1 : 0, 1);
  bits.Put(2, 2);  // dynamic Huffman codes
  bits.Put(kSymbols - 257, 5);
  bits.Put(0, 5);  // one distance code
  bits.Put(static_cast<uint32_t>(sent - 4), 4);
  for (int k = 0; k < sent; ++k) bits.Put(length_lengths[kLengthOrder[k]], 3);
  for (const uint8_t length : lengths) PutCode(bits, length_codes[length]);

  // A copy of the writer, whose state the compiler keeps in registers: the writer itself
  // could be reached through the byte pointer it stores with.
  TBitWriter local = bits;
  i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t a = codes[data[i]], b = codes[data[i + 1]], c = codes[data[i + 2]];
    local.Add(a & 0xFFFF, static_cast<int>(a >> 16));
    local.Add(b & 0xFFFF, static_cast<int>(b >> 16));
    local.Add(c & 0xFFFF, static_cast<int>(c >> 16));
    local.Flush();
  }
  for (; i < size; ++i) PutCode(local, codes[data[i]]);
  PutCode(local, codes[kEndOfBlock]);
  bits = local;
}

}  // namespace

std::vector<uint8_t> HuffmanLengths(const std::vector<uint32_t>& counts, int max_length) {
  const size_t n = counts.size();
  std::vector<uint8_t> lengths(n, 0);
  std::vector<uint32_t> weights(counts);
  std::vector<int> used;
  for (size_t s = 0; s < n; ++s)
    if (weights[s] > 0) used.push_back(static_cast<int>(s));
  if (used.empty()) return lengths;
  if (used.size() == 1) {
    // One symbol: a second of length 1 beside it makes the code complete.
    lengths[static_cast<size_t>(used[0])] = 1;
    lengths[used[0] == 0 ? 1 : 0] = 1;
    return lengths;
  }
  const size_t m = used.size();
  for (;;) {
    // The two-queue construction: leaves by ascending weight (ties by symbol), the merged
    // nodes in the order made, which is ascending too. Nodes 0..m-1 are the leaves.
    std::vector<int> leaves(used);
    std::stable_sort(leaves.begin(), leaves.end(),
                     [&](int a, int b) { return weights[a] < weights[b]; });
    std::vector<uint64_t> weight(2 * m - 1);
    std::vector<size_t> parent(2 * m - 1, 0);
    for (size_t k = 0; k < m; ++k) weight[k] = weights[static_cast<size_t>(leaves[k])];
    size_t next_leaf = 0, next_node = m, made = m;
    const auto take = [&]() {
      if (next_leaf < m && (next_node == made || weight[next_leaf] <= weight[next_node]))
        return next_leaf++;
      return next_node++;
    };
    while (made < 2 * m - 1) {
      const size_t a = take(), b = take();
      weight[made] = weight[a] + weight[b];
      parent[a] = parent[b] = made;
      ++made;
    }
    // Depths from the root (the last node made) down: a parent is always made after its
    // children, so one pass from the end sees every parent first.
    std::vector<int> depth(2 * m - 1, 0);
    int deepest = 0;
    for (size_t k = 2 * m - 1; k-- > 0;) {
      if (k != 2 * m - 2) depth[k] = depth[parent[k]] + 1;
      if (k < m) deepest = std::max(deepest, depth[k]);
    }
    if (deepest <= max_length) {
      for (size_t k = 0; k < m; ++k)
        lengths[static_cast<size_t>(leaves[k])] = static_cast<uint8_t>(depth[k]);
      return lengths;
    }
    // Too deep: flatten the weights and build again. Halving (rounded up) brings every
    // weight to 1 at the latest, a balanced code that max_length allows.
    for (const int s : used) weights[static_cast<size_t>(s)] = (weights[s] + 1) / 2;
  }
}

size_t DeflateLiterals(const uint8_t* data, size_t size, const std::vector<size_t>& ends, bool last,
                       std::vector<uint8_t>& out) {
  std::vector<size_t> blocks(ends);
  if (blocks.empty() || blocks.back() != size) blocks.push_back(size);
  // At most 15 bits a byte, a header a block, the empty stored block, and the eight bytes a
  // flush may write beyond the end. Grown only when too small, never shrunk: a caller that
  // keeps `out` between pieces does not have it cleared again.
  const size_t need = size * 2 + blocks.size() * kMaxHeaderBytes + 24;
  if (out.size() < need) out.resize(need);
  TBitWriter bits(out.data());
  size_t from = 0;
  for (size_t b = 0; b < blocks.size(); ++b) {
    WriteBlock(bits, data + from, blocks[b] - from, last && b + 1 == blocks.size());
    from = blocks[b];
  }
  if (!last) {
    bits.Put(0, 3);  // not final, stored
    bits.Align();
    for (const uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) bits.PutByte(byte);
  }
  return static_cast<size_t>(bits.Align() - out.data());
}
