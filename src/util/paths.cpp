#include "util/paths.h"

#include <filesystem>
#include <system_error>

namespace mirdal {

namespace stdfs = std::filesystem;

std::string absoluteNormalPath(const std::string& path) {
  std::error_code ec;
  stdfs::path p = stdfs::absolute(path, ec);
  if (ec) p = path;
  return p.lexically_normal().string();
}

bool isRelativePath(const std::string& name) { return !name.empty() && !stdfs::path(name).is_absolute(); }

std::string pathBelow(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return (stdfs::path(directory) / name).lexically_normal().string();
}

std::string parentPath(const std::string& path) { return stdfs::path(path).parent_path().string(); }

std::string relativePath(const std::string& path, const std::string& directory) {
  return stdfs::path(path).lexically_relative(directory).string();
}

}  // namespace mirdal
