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

EPixelMemoryBound::EPixelMemoryBound(uint64_t needed, uint64_t bound)
    : Exception(Format(SPixelMemoryBound,
                       static_cast<unsigned long long>((needed + (uint64_t{1} << 20) - 1) >> 20),
                       ByteSizeText(bound).c_str())),
      needed_(needed),
      bound_(bound) {}
