#include "util/home_directory.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr bool isSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

}  // namespace

std::string homeDirectory() {
#ifdef _WIN32
  const char* home = std::getenv("USERPROFILE");
  return home ? home : "";
#else
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  // No HOME (a service, "env -i"): the account's own directory.
  const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
#endif
}

std::string expandHome(std::string_view path) {
  std::size_t at = 0;
  while (at < path.size() && isBlank(path[at])) ++at;
  if (at >= path.size() || path[at] != '~') return std::string(path);
  const std::string_view rest = path.substr(at + 1);
  if (!rest.empty() && !isSeparator(rest.front())) return std::string(path);
  std::string home = homeDirectory();
  if (home.empty())
    throw Error("Cannot expand \"~\" in \"" + std::string(path) + "\": the home directory is not known");
  // "/" + "/cats" must not give "//cats".
  while (home.size() > 1 && isSeparator(home.back()) && !rest.empty()) home.pop_back();
  if (home.size() == 1 && isSeparator(home.front()) && !rest.empty()) home.clear();
  return home + std::string(rest);
}


}  // namespace mirdal
