// The exception tree of the class library. Every failure of the system is one of these,
// carrying its message text; `Exception` is the class library's base exception class.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  // The class name, as a message box or the command-line tool may show it.
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
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
