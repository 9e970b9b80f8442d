#pragma once

#include "input/header_lines.h"
#include "input/table_header.h"

namespace mirdal {
namespace detail {

// The header of an ECSV table: the YAML header's `datatype` list and
// `delimiter` (which sets `layout.delimiting`); the row of names after it
// must repeat the list's names.
void readEcsvHeader(HeaderLines& lines, TableLayout& layout);

}  // namespace detail
}  // namespace mirdal
