#pragma once

#include "input/header_lines.h"
#include "input/table_header.h"

namespace mirdal {
namespace detail {

// The header of an IPAC table: `\key = value` and `\ comment` lines, then a
// line of names delimited by bars and up to three more such lines (types,
// units, null markers); the data starts on the line after them. A column's
// bytes are those between its two bars; the bytes under the bars belong to
// no column unless the first rows write values there (a note then says to
// which side they were given).
void readIpacHeader(HeaderLines& lines, TableLayout& layout);

}  // namespace detail
}  // namespace mirdal
