#pragma once

#include <pthread.h>
#include <signal.h>

#include <thread>
#include <utility>

namespace mirdal {

// Starts a thread that takes neither SIGINT nor SIGTERM: a stop signal must
// go to the thread that runs the build, where it ends a wait on a pipe (see
// util/interrupt.h). The new thread inherits the mask it starts with; the
// caller's own mask is put back. Throws std::system_error when no thread
// can be started.
template <typename Body>
std::thread threadWithoutStopSignals(Body body) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &stop, &previous);
  struct Restore {
    const sigset_t& mask;
    ~Restore() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } restore{previous};
  return std::thread(std::move(body));
}

}  // namespace mirdal
