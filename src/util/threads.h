#pragma once

#include <pthread.h>
#include <signal.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
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

// A thread that runs the jobs posted to it, one after the other, in the
// order they were posted. Throws std::system_error when it cannot start.
class JobThread {
 public:
  JobThread() : thread_(threadWithoutStopSignals([this] { run(); })) {}
  // Jobs still posted run first.
  ~JobThread() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  JobThread(const JobThread&) = delete;
  JobThread& operator=(const JobThread&) = delete;

  void post(std::function<void()> job) {
    {
      const std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
  }
  // Waits until every job posted has run; rethrows the first failure. Jobs
  // posted after a failure are dropped until it has been rethrown here.
  void wait() {
    wait([] {});
  }
  // The same, but while it waits the caller lends a hand: `help` runs at
  // once, and again after every nudge() (from a job that has work to share),
  // outside the lock.
  template <typename Help>
  void wait(const Help& help) {
    std::unique_lock lock(mutex_);
    nudged_ = true;
    for (;;) {
      done_.wait(lock, [&] { return (jobs_.empty() && !running_) || nudged_; });
      if (!nudged_) break;
      nudged_ = false;
      lock.unlock();
      help();
      lock.lock();
    }
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }
  // Wakes a wait() to run its help.
  void nudge() {
    {
      const std::lock_guard lock(mutex_);
      nudged_ = true;
    }
    done_.notify_one();
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return !jobs_.empty() || stop_; });
      if (jobs_.empty()) return;
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      const bool skip = error_ != nullptr;
      running_ = true;
      lock.unlock();
      std::exception_ptr error;
      if (!skip) {
        try {
          job();
        } catch (...) {
          error = std::current_exception();
        }
      }
      lock.lock();
      if (error) error_ = error;
      running_ = false;
      if (jobs_.empty()) done_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<std::function<void()>> jobs_;
  std::exception_ptr error_;
  bool running_ = false;
  bool stop_ = false;
  bool nudged_ = false;
  std::thread thread_;  // last: it starts running in the constructor
};

}  // namespace mirdal
