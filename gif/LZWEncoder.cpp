#include "gif/LZWEncoder.h"

#include "base/Messages.h"
#include "gif/GIFException.h"

void THashTable::Full() {
  throw GIFException(SGIFHashTableFull);
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
  // The span comes back through references; the loop runs on copies kept in registers.
  const uint8_t* span = nullptr;
  size_t count = 0;
  if (!walk_.NextSpan(span, count)) return;
  const uint8_t* p = span;
  const uint8_t* end = span + count;
  uint32_t prefix = *p++;
  if (kCheckColors && prefix >= color_count) ColorNotInTable();
  for (;;) {
    for (; p != end; ++p) {
      const uint32_t pixel = *p;
      if (kCheckColors && pixel >= color_count) ColorNotInTable();
      uint32_t cell;
      const int code = table.Find(prefix, pixel, cell);
      if (code >= 0) {
        prefix = static_cast<uint32_t>(code);
        continue;
      }
      const uint32_t key = prefix << 8 | pixel;
      OutputCode(prefix);
      prefix = pixel;
      if (next_code_ >= kMaxCode) {
        EmitClear();
      } else {
        table.Store(cell, key, next_code_++);
      }
    }
    if (!walk_.NextSpan(span, count)) break;
    p = span;
    end = span + count;
  }
  OutputCode(prefix);
}
