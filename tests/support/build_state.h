#pragma once

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

// What a build leaves behind: open descriptors and threads of the process,
// the files of a directory tree.
namespace mirdal::testing {

// Descriptors open in this process; a build must give back every one it took.
inline int openFileCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Threads of this process, taken again for up to a second while above
// `atMost`: a thread just joined may be listed for a moment.
inline int threadCount(int atMost = INT_MAX) {
  for (int tries = 0;; ++tries) {
    const auto n = std::distance(std::filesystem::directory_iterator("/proc/self/task"), {});
    if (n <= atMost || tries == 100) return static_cast<int>(n);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Every regular file below `dir`, by path relative to it, with its bytes,
// and every directory, by its path and a final "/", with no bytes.
inline std::map<std::string, std::string> directoryContents(const std::filesystem::path& dir) {
  std::map<std::string, std::string> out;
  if (!std::filesystem::is_directory(dir)) return out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    if (e.is_directory()) out[std::filesystem::relative(e.path(), dir).string() + "/"];
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    out[std::filesystem::relative(e.path(), dir).string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

}  // namespace mirdal::testing
