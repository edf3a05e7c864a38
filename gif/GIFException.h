// The GIF library's exception: every failure that the library itself detects.
#pragma once

#include "base/Exceptions.h"

LV_DECLARE_EXCEPTION(GIFException, Exception);
