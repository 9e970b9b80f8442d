#pragma once

#include "input/header_lines.h"
#include "input/table_header.h"

namespace mirdal {
namespace detail {

// The header of a machine-readable table: the byte-by-byte description; the
// data starts after the rule line that closes the header (after any notes).
// Where the first rows of data stand outside the columns the description
// gives, the columns are placed where the rows have them.
void readMrtHeader(HeaderLines& lines, TableLayout& layout);

}  // namespace detail
}  // namespace mirdal
