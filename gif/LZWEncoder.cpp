#include "gif/LZWEncoder.h"

#include "base/Messages.h"
#include "gif/GIFException.h"

void THashTable::Full() {
  throw GIFException(SGIFHashTableFull);
}

void TLZWEncoder::OutputCode(uint32_t code) {
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

void TLZWEncoder::EmitClear() {
  clear_flag_ = true;
  OutputCode(clear_code_);
  table_->Clear();
  next_code_ = clear_code_ + 2;
}

void TLZWEncoder::EncodePixels() {
  table_ = std::make_unique<THashTable>();
  // A byte is always below 256 colours: the check is needed only for smaller tables.
  if (color_count_ >= 256)
    Encode<false>();
  else
    Encode<true>();
}

template <bool kCheckColors>
void TLZWEncoder::Encode() {
  const uint32_t color_count = static_cast<uint32_t>(color_count_ < 0 ? 0 : color_count_);
  THashTable& table = *table_;
  EmitClear();
  const uint8_t* p = nullptr;
  size_t n = 0;
  if (!walk_.NextSpan(p, n)) return;
  uint32_t prefix = *p++;
  --n;
  if (kCheckColors && prefix >= color_count) ColorNotInTable();
  do {
    for (const uint8_t* end = p + n; p != end; ++p) {
      const uint32_t pixel = *p;
      if (kCheckColors && pixel >= color_count) ColorNotInTable();
      const uint32_t key = prefix << 8 | pixel;
      uint32_t cell;
      const int code = table.Find(key, cell);
      if (code >= 0) {
        prefix = static_cast<uint32_t>(code);
        continue;
      }
      OutputCode(prefix);
      prefix = pixel;
      if (next_code_ >= kMaxCode) {
        EmitClear();
      } else {
        table.Store(cell, key, next_code_++);
      }
    }
  } while (walk_.NextSpan(p, n));
  OutputCode(prefix);
}
