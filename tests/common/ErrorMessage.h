// The message of the error that a piece of a test raises.
#pragma once

#include <functional>
#include <string>

#include "base/Exceptions.h"

// The message of the error of class E that f raises, or "no error".
template <class E = Exception>
std::string ErrorMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "no error";
}
