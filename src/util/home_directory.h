#pragma once

#include <string>
#include <string_view>

namespace mirdal {

// The user's home directory: $HOME, else the account's entry in the user
// database (USERPROFILE on Windows). Empty when neither is known.
std::string homeDirectory();

// A leading "~" or "~/" (blanks before it skipped, "~\" too on Windows)
// stands for the home directory, as a shell would read it: "~/cats" becomes
// "/home/ann/cats", "~" the home directory itself. Any other text, "~ann/x"
// and "a/~/b" included, is returned unchanged. Throws Error naming the path
// when the text starts with "~" and no home directory is known, rather than
// take "~" for a directory of that name.
std::string expandHome(std::string_view path);

}  // namespace mirdal
