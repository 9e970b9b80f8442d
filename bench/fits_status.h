#pragma once

#include <fitsio.h>

#include <cstdio>
#include <cstdlib>

// Ends the benchmark program with the FITS library's words when `status`
// says a call failed; `what` names the call.
inline void check(int status, const char* what) {
  if (status == 0) return;
  char text[FLEN_STATUS];
  fits_get_errstatus(status, text);
  std::fprintf(stderr, "%s: %s\n", what, text);
  std::exit(1);
}
