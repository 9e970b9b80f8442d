#pragma once

#include <string>

// Path names as text: where they point, never what is there. Paths use the
// platform's separator; nothing here touches a file.

namespace mirdal {

// `path` made absolute against the current directory and with "." and ".."
// steps folded; as it is, folded, when the current directory is unknown.
std::string absoluteNormalPath(const std::string& path);

// Whether `name` is a relative path (an empty name is neither).
bool isRelativePath(const std::string& name);

// `name` below `directory`, folded ("a/./b/../c" is "a/c"); `name` as it is
// when `directory` is empty.
std::string pathBelow(const std::string& directory, const std::string& name);

// The directory part of `path` ("/a/b" gives "/a"; "b" gives "").
std::string parentPath(const std::string& path);

// `path` relative to `directory` (both absolute and folded): "data/cat.dat",
// "../x"; empty when there is no such relative path.
std::string relativePath(const std::string& path, const std::string& directory);

}  // namespace mirdal
