// The hashed LZW encoder: the GIF standard's LZW compression with one open-addressing
// hash table in place of a string table.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "gif/GIFEncoder.h"

// The string table of the LZW encoder: maps (prefix code, pixel) to the code that stands
// for that string. 8009 cells (a prime, about twice the 4095 - 258 = 3837 codes at most
// held between two clears at 8 bits per pixel); a cell holds key * 4096 + code, where
// key = prefix * 256 + pixel (at most 20 bits, never all ones since a prefix is at most
// 4094) and code has 12 bits. A cell whose upper 20 bits are all ones is empty.
class THashTable {
 public:
  static constexpr uint32_t kSize = 8009;

  THashTable() { Clear(); }
  void Clear() { std::memset(cells_, 0xFF, sizeof cells_); }

  // The code stored for key, or -1; then `cell` is the empty cell where key belongs.
  // Probing goes from the home cell (key xor key >> 4) mod 8009 to cell 2h mod 8009, and
  // from cell 0 to cell 8008. Doubling modulo 8009 runs in circles of 4004 cells, so a
  // search could go round forever if one circle were full; after 8009 probes
  // GIFException "LZW hash table full" ends it instead. (That needs more than 4004 of the
  // at most 4089 entries between two clears in one circle; the hash spreads them evenly
  // over both circles.)
  int Find(uint32_t key, uint32_t& cell) const {
    uint32_t h = (key ^ (key >> 4)) % kSize;
    for (uint32_t probes = 1;; ++probes) {
      const uint32_t c = cells_[h];
      if ((c >> 12) == key) return static_cast<int>(c & 0xFFF);
      if ((c >> 12) == kEmptyKey) {
        cell = h;
        return -1;
      }
      if (probes == kSize) Full();
      h = h == 0 ? kSize - 1 : (2 * h >= kSize ? 2 * h - kSize : 2 * h);
    }
  }
  // Puts (key, code) into a cell that Find returned.
  void Store(uint32_t cell, uint32_t key, uint32_t code) { cells_[cell] = key << 12 | code; }
  // Find, then Store when the key is not there yet.
  void Insert(uint32_t key, uint32_t code) {
    uint32_t cell = 0;
    if (Find(key, cell) < 0) Store(cell, key, code);
  }

 private:
  static constexpr uint32_t kEmptyKey = 0xFFFFF;
  [[noreturn]] static void Full();

  uint32_t cells_[kSize];
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
