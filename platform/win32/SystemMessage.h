// The system's text for a Win32 error code, shared by the Win32 interfaces.
#pragma once

#include <string>

// FormatMessageA's text for `code` without its line end; "error N" when it has none.
std::string SystemMessage(unsigned long code);
