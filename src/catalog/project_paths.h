#pragma once

#include <string>

#include "catalog/catalog_definition.h"
#include "util/file_system.h"

// Names in a project file that are relative: which directory they are taken
// from, and how an import writes them.

namespace mirdal {

// The directory that holds `projectFile`, absolute, without a final "/".
std::string projectDirectory(const std::string& projectFile);

// An input name as a build opens it: an absolute (or empty) name as it is; a
// relative one below `baseDirectory` (as it is when that is empty), or below
// `fallbackDirectory` when only that directory holds it.
std::string resolveInputName(const std::string& name, const std::string& baseDirectory,
                             const std::string& fallbackDirectory, FileSystem& fs);

// Makes the relative input names and a relative output directory of
// `settings` names below `directory` (mirdal-build: the project file's
// directory). Call after "~" expansion.
void takeRelativeNamesFrom(BuildSettings& settings, const std::string& directory);

// How a project written to `projectFile` names `file`: relative to the
// project's directory when the file lies below it ("data/cat.dat"),
// absolute otherwise, so that the project and its catalog can move together.
std::string nameInProject(const std::string& file, const std::string& projectFile);

}  // namespace mirdal
