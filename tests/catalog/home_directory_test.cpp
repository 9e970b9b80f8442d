#include "util/home_directory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace mirdal {
namespace {

TEST(HomeDirectory, OnlyALeadingTildeIsTheHomeDirectory) {
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  const struct {
    const char *home, *path, *expanded;
  } rows[] = {
      {"/home/ann", "~/cats", "/home/ann/cats"},  {"/home/ann/", "~/cats", "/home/ann/cats"},
      {"/home/ann", "~", "/home/ann"},            {"/", "~/cats", "/cats"},
      {"/home/ann", "  ~/c ", "/home/ann/c "},    {"/home/ann", "~ann/cats", "~ann/cats"},
      {"/home/ann", "cats/~/x", "cats/~/x"},      {"/home/ann", "", ""},
  };
  for (const auto& row : rows) {
    ::setenv("HOME", row.home, 1);
    EXPECT_EQ(expandHome(row.path), row.expanded) << row.path << " with HOME " << row.home;
  }
  if (old) ::setenv("HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace mirdal
