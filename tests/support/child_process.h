#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace mirdal::testing {

// What a program run as a child process did.
struct ChildOutcome {
  bool exited = false;
  int status = -1;  // exit status when it exited
  int signal = 0;   // terminating signal otherwise
  long peakRssKb = 0;
  std::string out, err;
};

// Limits a child runs under; 0 leaves one as it is.
struct ChildLimits {
  rlim_t openFiles = 0;
  rlim_t fileSize = 0;
};

// A program started as a child process: standard input from /dev/null, its
// output into files named `name` + ".out" and ".err" in `logDir`, run in
// `workDir` (the caller's directory when empty) under `limits`.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args, const std::string& logDir,
               const std::string& name = "child", const std::string& workDir = {}, ChildLimits limits = {})
      : outPath_(logDir + "/" + name + ".out"), errPath_(logDir + "/" + name + ".err") {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only calls that are safe between fork and exec.
      const int in = ::open("/dev/null", O_RDONLY);
      const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
      if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(126);
      struct rlimit r;
      if (limits.openFiles != 0) {
        r.rlim_cur = r.rlim_max = limits.openFiles;
        if (::setrlimit(RLIMIT_NOFILE, &r) != 0) ::_exit(125);
      }
      if (limits.fileSize != 0) {
        r.rlim_cur = r.rlim_max = limits.fileSize;
        if (::setrlimit(RLIMIT_FSIZE, &r) != 0) ::_exit(125);
      }
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
  }
  ~ChildProcess() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int sig) const { ::kill(pid_, sig); }

  ChildOutcome wait() {
    ChildOutcome o;
    if (pid_ <= 0 || waited_) return o;
    int status = 0;
    struct rusage usage {};
    ::wait4(pid_, &status, 0, &usage);
    waited_ = true;
    o.exited = WIFEXITED(status);
    o.status = o.exited ? WEXITSTATUS(status) : -1;
    o.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    o.peakRssKb = usage.ru_maxrss;
    o.out = TempDir::readFile(outPath_);
    o.err = TempDir::readFile(errPath_);
    return o;
  }

 private:
  std::string outPath_, errPath_;
  pid_t pid_ = -1;
  bool waited_ = false;
};

// Runs `program` with `args` to its end (see ChildProcess).
inline ChildOutcome runProgram(const TempDir& logDir, const std::string& program,
                               const std::vector<std::string>& args) {
  return ChildProcess(program, args, logDir.str()).wait();
}

// `s` quoted for the shell, for tests that need one (pipes, several programs).
inline std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace mirdal::testing
