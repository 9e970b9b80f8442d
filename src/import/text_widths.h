#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/table_import.h"
#include "input/row_source.h"
#include "input/table_header.h"
#include "util/file_system.h"

// How wide a text field is in the record, where slots name columns: what
// the file declares for the column, else what its rows show. The command
// line's import and a click on page 3 both take the width from here, so
// that a project gets the same width whichever made it.

namespace mirdal {

// The width a datatype declares for its texts, 0 where it declares none:
// Fortran "A10", FITS TFORM "12A", VOTable "char[12]" and the bound of a
// variable array "char[12*]"; "char[*]", "string" and numbers declare none.
int declaredTextWidth(std::string_view datatype);

struct TextWidth {
  int width = 1;       // at least 1
  std::string source;  // why, for the import's summary
};

// The width of `column`'s texts: the declared one (declaredTextWidth), else
// the widest cell of `seen`, measured over `rows` rows as the build reads
// them (the cells of a delimited row without their blanks, a typed cell as
// its text), else 1.
TextWidth textWidthOf(const TableColumn& column, const ColumnSample& seen, std::size_t rows, bool whole = true);

// textWidthOf for every column of the file at `path` read as `format` says,
// in the order of its layout. The rows are sampled (readTableSample) only
// when some column declares no width. Throws Error as RowSource does.
std::vector<TextWidth> textWidthsOf(FileSystem& fs, const std::string& path, const InputFormat& format);

}  // namespace mirdal
