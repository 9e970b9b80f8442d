// Runs a command and reports its wall time and the operating system's figures
// for it: peak resident set size and CPU time, from wait4 on the child.
//
// Usage: measure [--stdout FILE] [--stderr FILE] [--report FILE] -- COMMAND [ARG ...]
//
// The report is one line, to FILE or to stderr:
//   wall=1.234567 maxrss_kb=123456 user=1.100000 sys=0.100000 status=0
// status is the command's exit status, or 128 + the signal that ended it.
// measure's own exit status is the command's.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kUsage = "Usage: measure [--stdout FILE] [--stderr FILE] [--report FILE] -- COMMAND [ARG ...]\n";

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

bool redirect(const std::string& path, int fd) {
  int f = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (f < 0) return false;
  bool ok = ::dup2(f, fd) >= 0;
  ::close(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out, err, report;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if ((a == "--stdout" || a == "--stderr" || a == "--report") && i + 1 < argc) {
      (a == "--stdout" ? out : a == "--stderr" ? err : report) = argv[++i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (i >= argc) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<char*> command(argv + i, argv + argc);
  command.push_back(nullptr);

  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid < 0) {
    std::fprintf(stderr, "measure: fork: %s\n", std::strerror(errno));
    return 2;
  }
  if (pid == 0) {
    if ((!out.empty() && !redirect(out, STDOUT_FILENO)) || (!err.empty() && !redirect(err, STDERR_FILENO))) {
      std::fprintf(stderr, "measure: cannot redirect output: %s\n", std::strerror(errno));
      ::_exit(127);
    }
    ::execvp(command[0], command.data());
    std::fprintf(stderr, "measure: cannot run %s: %s\n", command[0], std::strerror(errno));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::fprintf(stderr, "measure: wait4: %s\n", std::strerror(errno));
      return 2;
    }
  }
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  char line[256];
  // ru_maxrss is in KiB on Linux.
  std::snprintf(line, sizeof line, "wall=%.6f maxrss_kb=%ld user=%.6f sys=%.6f status=%d\n", wall, usage.ru_maxrss,
                seconds(usage.ru_utime), seconds(usage.ru_stime), code);
  if (report.empty()) {
    std::fputs(line, stderr);
  } else {
    FILE* f = std::fopen(report.c_str(), "w");
    if (!f) {
      std::fprintf(stderr, "measure: cannot write %s: %s\n", report.c_str(), std::strerror(errno));
      return 2;
    }
    std::fputs(line, f);
    std::fclose(f);
  }
  return code;
}
