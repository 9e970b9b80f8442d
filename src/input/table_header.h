#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/table_form.h"
#include "util/file_system.h"

namespace mirdal {

// One column as the file describes it.
struct TableColumn {
  int number = 0;           // 1-based: the cell of a delimited row, the row of an MRT description
  std::string name;         // empty where the file names no column
  std::string unit;         // empty where none is given (MRT's "---" included)
  std::string description;  // ECSV's description, MRT's explanation
  std::string datatype;     // ECSV's "int64", "float64", "string"...; MRT's format "F5.2", "A10";
                            // FITS TFORM "D", "1E", "12A", "K"; VOTable datatype and arraysize
                            // "double", "char[12]", "char[*]", "float[3]"; or empty
  std::string ucd;          // what the column holds as a UCD ("pos.eq.ra;meta.main", "POS_EQ_RA_MAIN"); or empty
  std::string nullValue;    // FITS TNULL, VOTable VALUES null, IPAC null line ("null" by default): the stored
                            // value that means "missing"; or empty
  int firstByte = 0;        // MRT, IPAC: the field's 1-based inclusive byte columns; 0 for other forms
  int lastByte = 0;

  bool operator==(const TableColumn&) const = default;
};

// What a table file says about its columns, and where its rows begin.
struct TableLayout {
  TableForm form = TableForm::Fixed;
  Delimiting delimiting;  // the form's, what an ECSV header sets, or enclosed for a `|` table drawn with bars
  std::vector<TableColumn> columns;
  // The first line after the header: rows are read from here on, and
  // nothing before it is a row (nor goes to the reject log).
  std::int64_t dataLine = 1;    // 1-based line number
  std::int64_t dataOffset = 0;  // byte offset in the text (of a ".gz" file, in the text it holds)
  // The text starts with the UTF-8 byte order mark; when the data starts at
  // line 1, its first row carries those three bytes.
  bool byteOrderMark = false;
  // What the header holds that was not understood or is doubtful: MRT
  // description rows that could not be read ("line 12: ...: <reason>"), an
  // ECSV datatype that is not one of the standard's, a name given to two
  // columns ("columns 23 and 24 are both named "DE-"").
  std::vector<std::string> notes;
};

// A header longer than this is refused: real ones are well below a
// megabyte, and a binary file read as a table must not fill the memory.
constexpr std::int64_t kMaxTableHeaderBytes = std::int64_t{16} << 20;

// Reads the column description of the file at `path` read as `form`:
//
//   Fixed            no columns (the catalog definition places them); data from line 1
//   Fits, VoTable    Error: a typed table has no header of text (readInputLayout reads it)
//   delimited forms  `#` comment and blank lines are skipped; with `hasHeaderRow` the
//                    first other row names the columns, and a row of units and a row of
//                    dashes under it (either may be missing) are taken as the archives
//                    write them; without, the first row is data and its cells are
//                    numbered. A `|` table whose first row (or a rule over it) starts
//                    and ends with a bar gets an enclosed delimiting
//   Ecsv             the YAML header's `datatype` list and `delimiter`; the row of names
//                    after it must repeat the list's names
//   Mrt              the byte-by-byte description; the data starts after the rule line
//                    that closes the header, after any closing sections (notes, history,
//                    "(End)" and the rules around them)
//   Ipac             the `|` lines of names, types, units and null markers after the `\`
//                    lines; the data starts after them
//
// Throws Error naming the file, and the line where it helps, when the file
// cannot be opened or read, holds binary data in its header, when its
// header is longer than kMaxTableHeaderBytes, when a header row stops
// inside a quote, when an ECSV header is missing, not YAML or not as the
// standard has it (anchors and aliases included), longer than 4 MiB or of
// more than 100,000 YAML nodes, when an MRT file has no byte-by-byte description, when an IPAC file has no
// line of names or its header lines' bars disagree, and
// when a header row is asked for and there is none.
TableLayout readTableLayout(FileSystem& fs, const std::string& path, TableForm form, bool hasHeaderRow);

}  // namespace mirdal
