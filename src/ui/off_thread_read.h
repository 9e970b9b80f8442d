#pragma once

#include <optional>
#include <utility>

#include <functional>

namespace mirdal {

// Runs `read` on a thread of its own and waits for it while the window goes
// on painting: a slow disk or a large file never freezes it. Keys and clicks
// wait until the read is over, so nothing the read depends on changes under
// it. Returns once `read` has; an exception it throws is thrown here.
void runOffWindowThread(const std::function<void()>& read);

// The same for a read that gives a value.
template <typename Read>
auto readOffWindowThread(Read&& read) -> decltype(read()) {
  std::optional<decltype(read())> result;
  runOffWindowThread([&] { result.emplace(read()); });
  return std::move(*result);
}

// Whether a read runs off the window's thread now: the window is not closed
// under it.
bool offThreadReadRunning();

}  // namespace mirdal
