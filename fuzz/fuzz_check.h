#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A broken expectation inside a fuzz target is a finding: it is printed and
// the process aborts, so that libFuzzer keeps the input and the corpus replay
// fails.
#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                          \
    if (!(condition)) {                                                                         \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);        \
      std::abort();                                                                             \
    }                                                                                           \
  } while (0)

namespace mirdal::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace mirdal::fuzz
