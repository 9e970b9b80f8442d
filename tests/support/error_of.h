#pragma once

#include <string>

#include "util/error.h"

namespace mirdal::testing {

// The message of the Error `f` throws, or "no error".
template <typename F>
std::string errorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace mirdal::testing
