#include "base/Exceptions.h"

#include "base/Format.h"
#include "base/Messages.h"

EOSError::EOSError(int code, const std::string& text)
    : Exception(Format(SOSError, code, text.c_str())), code_(code) {}
