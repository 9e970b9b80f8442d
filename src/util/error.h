#pragma once

#include <stdexcept>
#include <string>

namespace mirdal {

// Every failure of the program is an Error carrying the text shown to the
// user: the window's error handling displays what(), the command line prints it.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The user pressed Abort; the build stops at its next checkpoint.
class AbortError : public Error {
 public:
  AbortError() : Error("Aborted by user") {}
};

}  // namespace mirdal
