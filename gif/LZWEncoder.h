// The hashed LZW encoder: the GIF standard's LZW compression with one open-addressing
// hash table in place of a string table.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "gif/GIFEncoder.h"

// The string table of the LZW encoder: maps (prefix code, pixel) to the code that stands
// for that string. 8009 cells (a prime, about twice the 4095 - 258 = 3837 codes at most
// held between two clears at 8 bits per pixel); a cell holds key * 4096 + code, where
// key = prefix * 256 + pixel (at most 20 bits, never all ones since a prefix is at most
// 4094) and code has 12 bits. A cell whose upper 20 bits are all ones is empty.
// ((prefix xor prefix >> 4) * 256) mod size for every 12-bit prefix (see Home).
constexpr std::array<uint16_t, 4096> MakeHashPrefixPart(uint32_t size) {
  std::array<uint16_t, 4096> part{};
  for (uint32_t prefix = 0; prefix < 4096; ++prefix)
    part[prefix] = static_cast<uint16_t>(((prefix ^ (prefix >> 4)) << 8) % size);
  return part;
}

class THashTable {
 public:
  static constexpr uint32_t kSize = 8009;

  THashTable() { Clear(); }
  void Clear() { std::memset(cells_, 0xFF, sizeof cells_); }

  // The code stored for key = prefix * 256 + pixel (prefix below 4096), or -1; then
  // `cell` is the empty cell where the key belongs. The search starts at the key's home
  // cell, (key xor key >> 4) mod 8009, and goes on by doubling modulo 8009.
  int Find(uint32_t prefix, uint32_t pixel, uint32_t& cell) const {
    const uint32_t key = prefix << 8 | pixel;
    // The home cell, read through the mirror when it lies beyond the last cell.
    const uint32_t home = Home(prefix, pixel);
    uint32_t c = cells_[home];
    if ((c >> 12) == key) return static_cast<int>(c & 0xFFF);
    uint32_t h = home >= kSize ? home - kSize : home;
    for (uint32_t probes = 1;; ++probes) {
      if ((c >> 12) == kEmptyKey) {
        cell = h;
        return -1;
      }
      if (probes == kSize) Full();
      h = h == 0 ? kSize - 1 : (2 * h >= kSize ? 2 * h - kSize : 2 * h);
      c = cells_[h];
      if ((c >> 12) == key) return static_cast<int>(c & 0xFFF);
    }
  }
  // Puts (key, code) into a cell that Find returned.
  void Store(uint32_t cell, uint32_t key, uint32_t code) {
    cells_[cell] = key << 12 | code;
    if (cell < kMirrored) cells_[kSize + cell] = cells_[cell];
  }

 private:
  // The home cell (key xor key >> 4) mod 8009 of key = prefix * 256 + pixel (12-bit
  // prefix), before its last subtraction. Bits 8..19 of key xor key >> 4 are prefix xor
  // prefix >> 4 and bits 0..7 are pixel xor pixel >> 4 xor (prefix mod 16) * 16; so the
  // home cell is the prefix's part ((prefix xor prefix >> 4) * 256 mod 8009, from a table)
  // plus a byte, brought below 8009 by at most one subtraction. Find leaves even that
  // subtraction out: it reads the sum (below 8009 + 256) directly, cells 8009 and up
  // being copies of cells 0 to 255. No division or wrap lies between one search's result
  // and the next search.
  static uint32_t Home(uint32_t prefix, uint32_t pixel) {
    return kPrefixPart[prefix] + (pixel ^ (pixel >> 4) ^ ((prefix & 15) << 4));
  }

  static constexpr uint32_t kEmptyKey = 0xFFFFF;
  static constexpr std::array<uint16_t, 4096> kPrefixPart = MakeHashPrefixPart(8009);
  [[noreturn]] static void Full();

  // The 8009 cells, then copies of the first 256 (see Home).
  static constexpr uint32_t kMirrored = 256;
  uint32_t cells_[kSize + kMirrored];
};

class TLZWEncoder final : public TGIFEncoder {
 protected:
  void OutputCode(uint32_t code) override;
  void EmitClear() override;
  void EncodePixels() override;

 private:
  template <bool kCheckColors>
  void Encode();

  std::unique_ptr<THashTable> table_;
  uint32_t next_code_ = 0;  // the next free code; 4095 is never assigned
};

inline void TLZWEncoder::OutputCode(uint32_t code) {
  PutCode(code);
  // The decoder has added an entry for every code but the first after a clear; once the
  // next free code no longer fits the width, its next code is one bit wider.
  if (next_code_ > max_code_ || clear_flag_) {
    if (clear_flag_) {
      ResetCodeWidth();
      clear_flag_ = false;
    } else {
      WidenCode();
    }
  }
}
