// Every message text of the system, from the one list in base/MessageList.h. Each entry
// is a TMessage constant named as the list names it (SInvalidBitmap, SGIFColorTableOverflow,
// ...), holding the text and, for a Japanese text, its English sense. Texts with printf
// conversions are filled in with Format (base/Format.h), which fills the sense with the
// same values; an exception made from either keeps both (Exception::Sense).
#pragma once

#include <cstddef>
#include <string_view>

struct TMessage {
  const char* text;
  const char* sense;  // "" for an English text

  // The text alone, where no sense can go along (a label, a description).
  constexpr operator const char*() const noexcept { return text; }
  friend bool operator==(const TMessage& message, std::string_view text) {
    return text == message.text;
  }
};

#define LV_MESSAGE(name, text, sense) inline constexpr TMessage name{text, sense};
#include "base/MessageList.h"
#undef LV_MESSAGE

// The whole list in its order, with each entry's name (for checks over every message).
struct TMessageEntry {
  const char* name;
  const TMessage* message;
};

inline constexpr TMessageEntry kMessageList[] = {
#define LV_MESSAGE(name, text, sense) {#name, &name},
#include "base/MessageList.h"
#undef LV_MESSAGE
};
