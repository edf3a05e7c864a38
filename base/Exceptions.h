// The exception tree of the class library. Every failure of the system is one of these,
// carrying its message text; `Exception` is the class library's base exception class.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  Exception(std::string message, std::string detail)
      : message_(std::move(message)), detail_(std::move(detail)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  // What the failing code learned beyond its message (which reader took the file and why
  // it gave up, the system's reason for a refused file); empty when there is nothing more.
  // The message stays the class library's text; the front ends show the detail after it.
  const std::string& Detail() const { return detail_; }
  void SetDetail(std::string detail) { detail_ = std::move(detail); }
  // The message followed by the detail, as a person is shown it.
  std::string FullMessage() const { return detail_.empty() ? message_ : message_ + ": " + detail_; }
  // The class name, as a message box or the command-line tool may show it.
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
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

// A failure of a platform call, with its error code and the platform's text for it.
class EOSError : public Exception {
 public:
  EOSError(int code, const std::string& text);
  int ErrorCode() const { return code_; }
  const char* ClassName() const override { return "EOSError"; }

 private:
  int code_;
};
