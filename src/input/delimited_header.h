#pragma once

#include "input/header_lines.h"
#include "input/table_header.h"

namespace mirdal {
namespace detail {

// The header of delimited text (CSV, TSV, blank-separated): `#` comment and
// blank lines are skipped; with `hasHeaderRow` the first other row names the
// columns, and a row of units and a row of dashes under it (either may be
// missing) are taken as the archives write them; without, the first row is
// data and its cells are numbered. Reads with `layout.delimiting`.
void readDelimitedHeader(HeaderLines& lines, TableLayout& layout, bool hasHeaderRow);

}  // namespace detail
}  // namespace mirdal
