#pragma once

#include <atomic>

#include "util/error.h"

// A process-wide request to stop, made from a signal handler (Ctrl-C,
// SIGTERM). The handler only sets a flag; the file layer acts on it where a
// flag alone cannot be seen, in a call that waits on a pipe:
//  - an open, read or write that the signal interrupts (EINTR) throws
//    AbortError ("Aborted by user") instead of being tried again;
//  - after the request, a read that would wait, and an open for reading
//    (which waits for a pipe's writer), throw it at once, so that a signal
//    that came between two calls is not lost. Bytes that are there are
//    still read.
// Writes after the request go ahead: the build's failure path still puts
// out what it holds and closes its files.
// The signal has to reach the thread that waits, so the build's other
// threads block SIGINT and SIGTERM.

namespace mirdal {

namespace detail {
inline std::atomic<bool> interruptFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
}  // namespace detail

// Async-signal-safe.
inline void requestInterrupt() noexcept { detail::interruptFlag.store(true, std::memory_order_relaxed); }
inline bool interruptRequested() noexcept { return detail::interruptFlag.load(std::memory_order_relaxed); }

// For a loop that may run long without reading a pipe (a parse, a copy, a
// run of skipped lines): called every few thousand steps, it throws
// AbortError once a stop was requested. One relaxed load: cheap enough for
// every step of a row loop.
inline void stopIfInterrupted() {
  if (interruptRequested()) throw AbortError();
}

}  // namespace mirdal
