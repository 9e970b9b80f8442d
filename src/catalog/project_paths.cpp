#include "catalog/project_paths.h"

#include <filesystem>

namespace mirdal {

namespace {

namespace stdfs = std::filesystem;

std::string absoluteNormal(const std::string& path) {
  std::error_code ec;
  stdfs::path p = stdfs::absolute(path, ec);
  if (ec) p = path;
  return p.lexically_normal().string();
}

bool isRelative(const std::string& name) { return !name.empty() && !stdfs::path(name).is_absolute(); }

std::string below(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return (stdfs::path(directory) / name).lexically_normal().string();
}

}  // namespace

std::string projectDirectory(const std::string& projectFile) {
  std::string dir = stdfs::path(absoluteNormal(projectFile)).parent_path().string();
  return dir.empty() ? "/" : dir;
}

std::string resolveInputName(const std::string& name, const std::string& baseDirectory,
                             const std::string& fallbackDirectory, FileSystem& fs) {
  if (!isRelative(name)) return name;
  const std::string first = below(baseDirectory, name);
  if (fallbackDirectory.empty() || fs.exists(first)) return first;
  const std::string second = below(fallbackDirectory, name);
  return fs.exists(second) ? second : first;
}

void takeRelativeNamesFrom(BuildSettings& settings, const std::string& directory) {
  for (std::string& name : settings.inputfiles)
    if (isRelative(name)) name = below(directory, name);
  // Blanks around a directory are the build's to trim; an all-blank one is
  // refused by the build as empty, so it stays as it is.
  const auto first = settings.ouputdir.find_first_not_of(" \t");
  if (first != std::string::npos && isRelative(settings.ouputdir.substr(first)))
    settings.ouputdir = below(directory, settings.ouputdir.substr(first));
}

std::string nameInProject(const std::string& file, const std::string& projectFile) {
  const std::string absolute = absoluteNormal(file);
  const stdfs::path relative = stdfs::path(absolute).lexically_relative(projectDirectory(projectFile));
  if (relative.empty() || *relative.begin() == "..") return absolute;
  return relative.string();
}

}  // namespace mirdal
