#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/catalog_type.h"
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
// This file reads those tables and proposes a catalog definition from one.

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

// The table of one or more data files: the names are those of the heading,
// and may hold the wildcards * ? [...] ("table[12].dat", "*.dat").
struct ReadMeTable {
  std::vector<std::string> fileNames;
  std::vector<ReadMeColumn> columns;
  // Rows that were not read: their columns are missing from `columns`, so
  // another column may take their place in the mapping.
  std::vector<ReadMeUnreadRow> unreadRows;

  // Whether the table describes `path`: its last path component, with a final
  // ".gz" dropped on both sides, matched against each name (letter case
  // counts only when an exact match exists).
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
ReadMe readReadMe(const std::string& path, FileSystem& fs = FileSystem::real());

// Replaces the field layout of `definition` by the one the table proposes for
// `type`: sets the type, `ratype` and `dectype` (rebuilding the field list,
// which clears the ticks and resets the labels), clears all 41 slots and the
// alternate-name flags, then fills and ticks the entries found. Also sets
// `equinox` and `epoch` when the chosen right ascension column states them,
// and `nebunit` from the units of a nebula size column. Names, input files,
// output settings and mapping tables are left as they are.
//
// Returns notes for the user, one line each: first every row of the table
// that could not be read, then what was mapped where and with which
// calibration, what was skipped and why, which required entry found no column.
//
// Tables that describe their own columns (ECSV, MRT, delimited text with
// names; see build/table_import.h, which turns such a file's description
// into these rows) go through the same rules. Columns with a `column`
// number are placed by it: the slot's first character is the column
// number, its length the column's `width` (at least 1), and the slot's
// field name the column's label; a notes line tells the width chosen for
// each text entry. Columns with a UCD are mapped by it before the labels
// are looked at: positions from pos.eq.ra and pos.eq.dec (meta.main first),
// the V magnitude (else the first magnitude), colours, proper motions,
// parallax, the main identifier (meta.id with meta.main); UCD1 names such
// as POS_EQ_RA_MAIN, PHOT_JHN_V and ID_MAIN as well.
std::vector<std::string> applyReadMeTable(const ReadMeTable& table, CatalogType type,
                                          CatalogDefinition& definition);

// Short and long catalog names proposed from the ReadMe: the short name is
// letters and digits only (it names the output files), up to 4 characters,
// never empty; the long name at most 50 characters.
std::string proposedShortName(const ReadMe& readMe, std::string_view inputPath);
std::string proposedLongName(const ReadMe& readMe, std::string_view inputPath);

// The list entries whose text starts with "[" and that are not ticked.
std::vector<std::string> missingRequiredEntries(const CatalogDefinition& definition);

// The table to use for `inputPath`: the one of `tableFile` when that is not
// empty, else the one that describes `inputPath`, else the only table. Throws
// Error naming the ReadMe when it has no byte-by-byte table, or none for the
// file, listing the files it describes.
const ReadMeTable& selectReadMeTable(const ReadMe& readMe, const std::string& readMePath,
                                     std::string_view inputPath, std::string_view tableFile = {});

struct ReadMeImport {
  ReadMe readMe;
  std::vector<std::string> notes;
};

// Reads the ReadMe, selects the table as above and applies it to
// `definition`. Throws Error as readReadMe and selectReadMeTable do.
ReadMeImport importReadMe(const std::string& readMePath, const std::string& inputPath,
                          std::string_view tableFile, CatalogType type, CatalogDefinition& definition,
                          FileSystem& fs = FileSystem::real());

}  // namespace mirdal
