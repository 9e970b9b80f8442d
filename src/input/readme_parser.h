#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/file_system.h"

namespace mirdal {

// The documentation file that archives ship beside a fixed-column catalog
// ("ReadMe") describes each data file in a table headed
//
//   Byte-by-byte Description of file: catalog
//   --------------------------------------------------------------------------------
//      Bytes Format  Units   Label    Explanations
//   --------------------------------------------------------------------------------
//      1-  4  I4     ---     HR       [1/9110]+ Harvard Revised Number
//                                       = Bright Star Number
//         42  A1     ---     IRflag   [I] I if infrared source
//   --------------------------------------------------------------------------------
//
// This file reads those tables; import/readme_import.h proposes a catalog
// definition from one.

// One row of a byte-by-byte table. Bytes are 1-based and inclusive.
struct ReadMeColumn {
  int firstByte = 0;
  int lastByte = 0;
  std::string format;       // Fortran-like: "A10", "I4", "F5.2", "E9.3"
  std::string units;        // "h", "deg", "mas/yr", "---" ...
  std::string label;        // "RAh", "Vmag", "n_Vmag" ...
  std::string explanation;  // continuation lines joined with one blank
  // Tables whose rows are cells rather than byte columns (see
  // slotsNameColumns): the 1-based number of the column, its bytes unused;
  // 0 for a byte range.
  int column = 0;
  // With `column`: how many bytes a text of the column takes in the record,
  // and where that figure comes from ("its datatype char[12]", "the widest
  // cell of the first 1000 rows"); 0 when nothing tells.
  int width = 0;
  std::string widthSource{};
  // What the column holds as a UCD ("pos.eq.ra;meta.main", "PHOT_JHN_V"), or
  // empty. Where it is given it decides before the label does.
  std::string ucd{};
  // The rows looked at write sexagesimal parts in one cell: "12 34 56.7",
  // "-05:06:07".
  bool sexagesimal = false;

  int length() const { return lastByte - firstByte + 1; }
  // Format letter A: the column holds text; I, F, E, D: a number.
  bool isText() const;
  // Digits after the point of the format ("F5.2" gives 2), 0 without one.
  int decimals() const;
  // "RAh (76-77)", "DE- (84)", "Vmag (column 29)": how notes name a column.
  std::string describe() const;

  bool operator==(const ReadMeColumn&) const = default;
};

// A line of a table that starts like a row (a byte number, left of where the
// rows' formats stand) but cannot be read as one: "   4- 1  I4  ---  HR".
struct ReadMeUnreadRow {
  int line = 0;        // 1-based line of the ReadMe
  std::string text;    // the line, blanks at its ends dropped
  std::string reason;  // "the byte range 4-1 runs backwards"
};

// The table of one or more data files: the names are those of the heading
// ("a.dat, b.dat", "a.dat b.dat", also on the lines under it that hold
// nothing but file names), and may hold the wildcards * ? [...]
// ("table[12].dat", "*.dat").
struct ReadMeTable {
  std::vector<std::string> fileNames;
  std::vector<ReadMeColumn> columns;
  // Rows that were not read: their columns are missing from `columns`, so
  // another column may take their place in the mapping.
  std::vector<ReadMeUnreadRow> unreadRows;

  // Whether the table describes `path`: its last path component, with a final
  // ".gz" (".bz2", ".xz", ".zst") dropped on both sides, matched against the last
  // component of each name (letter case counts only when an exact match
  // exists). The name only chooses a description: nothing opens it.
  bool describes(std::string_view path) const;
};

struct ReadMe {
  // From the first line, "V/50    Bright Star Catalogue, 5th Revised Ed.   (Hoffleit+, 1991)":
  // the designation is its first word, the title the text before the final
  // parenthesised authors. Both empty when the first line does not look so.
  std::string designation;
  std::string title;
  std::vector<ReadMeTable> tables;
  // Reading stopped at kMaxReadMeBytes.
  bool truncated = false;

  // The first table that describes `path`; nullptr when none does.
  const ReadMeTable* tableFor(std::string_view path) const;
  // Every file name of every table, in order, for messages.
  std::string describedFiles() const;
};

// A ReadMe larger than this is read up to here: real ones are well below a
// megabyte, and a catalog picked by mistake must not fill the memory.
constexpr std::int64_t kMaxReadMeBytes = std::int64_t{64} << 20;
// Longer lines are cut: table rows are about 80 bytes.
constexpr std::size_t kMaxReadMeLineLength = 4096;

// Parses ReadMe text. Never fails: lines that are not understood are skipped
// (those that look like table rows are kept in the table's unreadRows), and a
// text without byte-by-byte tables gives no tables. Lines end at LF, with a
// CR before it dropped.
ReadMe parseReadMe(std::string_view text);

// Reads and parses the ReadMe at `path`. Throws Error naming the file when it
// cannot be opened or read; its content never makes reading fail.
ReadMe readReadMe(const std::string& path, FileSystem& fs);

// The last component of `path`, and `name` without a final ".gz" (or
// ".bz2", ".xz", ".zst"): the names under which tables describe their files.
std::string_view lastPathComponent(std::string_view path);
std::string_view withoutGz(std::string_view name);

}  // namespace mirdal
