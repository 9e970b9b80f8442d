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

// A value given on the command line that the program cannot take (an
// option's value out of its list, a name it refuses): the caller's mistake,
// which a command-line program reports as a usage error.
class UsageError : public Error {
 public:
  using Error::Error;
};

// The user pressed Abort; the build stops at its next checkpoint.
class AbortError : public Error {
 public:
  AbortError() : Error("Aborted by user") {}
};

}  // namespace mirdal
