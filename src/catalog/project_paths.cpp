#include "catalog/project_paths.h"

#include "util/paths.h"

namespace mirdal {

std::string projectDirectory(const std::string& projectFile) {
  std::string dir = parentPath(absoluteNormalPath(projectFile));
  return dir.empty() ? "/" : dir;
}

std::string resolveInputName(const std::string& name, const std::string& baseDirectory,
                             const std::string& fallbackDirectory, FileSystem& fs) {
  if (!isRelativePath(name)) return name;
  const std::string first = pathBelow(baseDirectory, name);
  if (fallbackDirectory.empty() || fs.exists(first)) return first;
  const std::string second = pathBelow(fallbackDirectory, name);
  return fs.exists(second) ? second : first;
}

void takeRelativeNamesFrom(BuildSettings& settings, const std::string& directory) {
  for (std::string& name : settings.inputfiles)
    if (isRelativePath(name)) name = pathBelow(directory, name);
  // Blanks around a directory are the build's to trim; an all-blank one is
  // refused by the build as empty, so it stays as it is.
  const auto first = settings.ouputdir.find_first_not_of(" \t");
  if (first != std::string::npos && isRelativePath(settings.ouputdir.substr(first)))
    settings.ouputdir = pathBelow(directory, settings.ouputdir.substr(first));
}

std::string nameInProject(const std::string& file, const std::string& projectFile) {
  const std::string absolute = absoluteNormalPath(file);
  const std::string relative = relativePath(absolute, projectDirectory(projectFile));
  if (relative.empty() || relative == ".." || relative.starts_with("../")) return absolute;
  return relative;
}

}  // namespace mirdal
