// The exception tree of the class library. Every failure of the system is one of these,
// carrying its message text and, for a Japanese text of the message list, its English
// sense; `Exception` is the class library's base exception class.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "base/Format.h"
#include "base/Messages.h"

class Exception : public std::exception {
 public:
  // A message of the list, as it stands or filled in (Format): text and sense.
  explicit Exception(const TMessage& message) : message_(message.text), sense_(message.sense) {}
  explicit Exception(TText message)
      : message_(std::move(message.text)), sense_(std::move(message.sense)) {}
  // A text from elsewhere (a plug-in, the platform), which has no sense of ours.
  explicit Exception(std::string message) : message_(std::move(message)) {}
  // The same with a detail (see Detail).
  Exception(const TMessage& message, std::string detail)
      : message_(message.text), sense_(message.sense), detail_(std::move(detail)) {}
  Exception(TText message, std::string detail)
      : message_(std::move(message.text)),
        sense_(std::move(message.sense)),
        detail_(std::move(detail)) {}
  Exception(std::string message, std::string detail)
      : message_(std::move(message)), detail_(std::move(detail)) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  // The English sense of a Japanese message, as the message list gives it; empty for an
  // English text. Shown after the message, in brackets, where the reader may not read
  // Japanese.
  const std::string& Sense() const { return sense_; }
  // The message followed by " [sense]" when it has a sense.
  std::string MessageWithSense() const {
    return sense_.empty() ? message_ : message_ + " [" + sense_ + "]";
  }
  // What the failing code learned beyond its message (which reader recognised the file
  // and why it gave up, the system's reason for a refused file); empty when there is
  // nothing more. The message stays the class library's text; the front ends show the
  // detail after it.
  const std::string& Detail() const { return detail_; }
  void SetDetail(std::string detail) { detail_ = std::move(detail); }
  // The message with its sense, then ": " and the detail when there is one: what a person
  // is shown.
  std::string FullMessage() const {
    return detail_.empty() ? MessageWithSense() : MessageWithSense() + ": " + detail_;
  }
  // The class name, as a message box or the command-line tool may show it.
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
  std::string sense_;
  std::string detail_;
};

#define LV_DECLARE_EXCEPTION(Name, Base)                     \
  class Name : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    const char* ClassName() const override { return #Name; } \
  }

LV_DECLARE_EXCEPTION(EAbstractError, Exception);
LV_DECLARE_EXCEPTION(EConvertError, Exception);
LV_DECLARE_EXCEPTION(EListError, Exception);
LV_DECLARE_EXCEPTION(EOutOfMemory, Exception);
LV_DECLARE_EXCEPTION(EMathError, Exception);
LV_DECLARE_EXCEPTION(EZeroDivide, EMathError);
LV_DECLARE_EXCEPTION(EInvalidOp, EMathError);
LV_DECLARE_EXCEPTION(EStreamError, Exception);
LV_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
LV_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
LV_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
LV_DECLARE_EXCEPTION(EFilerError, EStreamError);
LV_DECLARE_EXCEPTION(EReadError, EFilerError);
LV_DECLARE_EXCEPTION(EWriteError, EFilerError);
LV_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
LV_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

// What can be wrong with a picture's description (a BMP file's headers, a plug-in's
// bitmap), each kind its own class so that a person (and a caller) learns which it was.
// All three are invalid-graphic errors.
//
// Malformed: the description breaks the format's own rules (planes not 1, a size of 0,
// a compression the bit count cannot have).
LV_DECLARE_EXCEPTION(EInvalidBitmap, EInvalidGraphic);
// Unsupported: a form the format knows that this reader does not read (a bit count of 2
// or 64, JPEG or PNG data inside, a header of a size between the core and the info form).
LV_DECLARE_EXCEPTION(EUnsupportedBitmap, EInvalidGraphic);

// Over the limit: a picture whose pixel store would exceed our limit (or the arithmetic's
// range). Its width, height, bits per pixel and the limit in force are in the text and
// at hand, whoever found the picture (the BMP reader, the plug-in host, a size change).
class EPictureTooLarge : public EInvalidGraphic {
 public:
  EPictureTooLarge(int64_t width, int64_t height, int bits, uint64_t limit);
  int64_t Width() const { return width_; }
  int64_t Height() const { return height_; }
  int Bits() const { return bits_; }
  uint64_t Limit() const { return limit_; }
  const char* ClassName() const override { return "EPictureTooLarge"; }

 private:
  int64_t width_;
  int64_t height_;
  int bits_;
  uint64_t limit_;
};

// Over the bound on a run's picture memory (platform/PixelBudget.h): the bytes the pictures
// would hold at once, and the bound. Not a lack of memory: the run refuses to take more.
class EPixelMemoryBound : public Exception {
 public:
  EPixelMemoryBound(uint64_t needed, uint64_t bound);
  uint64_t Needed() const { return needed_; }
  uint64_t Bound() const { return bound_; }
  const char* ClassName() const override { return "EPixelMemoryBound"; }

 private:
  uint64_t needed_;
  uint64_t bound_;
};

// A failure of a platform call, with its error code and the platform's text for it.
class EOSError : public Exception {
 public:
  EOSError(int code, const std::string& text);
  int ErrorCode() const { return code_; }
  const char* ClassName() const override { return "EOSError"; }

 private:
  int code_;
};
