#include "base/Exceptions.h"

#include "base/Format.h"
#include "base/Messages.h"

EOSError::EOSError(int code, const std::string& text)
    : Exception(Format(SOSError, code, text.c_str())), code_(code) {}

EPictureTooLarge::EPictureTooLarge(int64_t width, int64_t height, int bits, uint64_t limit)
    : EInvalidGraphic(Format(SPictureTooLarge, static_cast<long long>(width),
                             static_cast<long long>(height), bits,
                             static_cast<unsigned long long>(limit))),
      width_(width),
      height_(height),
      bits_(bits),
      limit_(limit) {}
