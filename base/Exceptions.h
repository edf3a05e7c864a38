// The exception tree of the class library. Every failure of the system is one of these,
// carrying its message text and, for a Japanese text of the message list, its English
// sense; `Exception` is the class library's base exception class.
#pragma once

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
  // The class name, as a message box or the command-line tool may show it.
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
  std::string sense_;
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

// A failure of a platform call, with its error code and the platform's text for it.
class EOSError : public Exception {
 public:
  EOSError(int code, const std::string& text);
  int ErrorCode() const { return code_; }
  const char* ClassName() const override { return "EOSError"; }

 private:
  int code_;
};
