#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/table_form_name.h"
#include "util/file_system.h"

namespace mirdal {

// How the cells of a delimited row are told apart.
//
// With `blankRuns`, any run of blanks (bytes 0 to 32) is one separator, and
// blanks at either end of the line separate nothing. Otherwise each
// `separator` byte ends a cell, so two in a row enclose an empty cell.
// A cell whose first byte other than blanks is `"` is quoted: it runs to the
// next lone `"`, holds separators, blanks and line ends as they are, and a
// doubled `""` in it stands for one `"`. A `"` anywhere else is an ordinary byte.
//
// With `enclosed` (database dumps and text tables drawn with bars:
// `|  id|  ra|`), one separator at the start and one at the end of a row,
// blanks around them allowed, close the row and delimit no cell; rows
// without them are split as they stand. Rule lines such as `|----|----|` or
// `+----+----+` are not rows there (see isRuleLine).
struct Delimiting {
  char separator = ',';
  bool blankRuns = false;
  bool enclosed = false;

  bool operator==(const Delimiting&) const = default;
};

// The delimiting a form uses by default (ECSV: blanks; its header may say
// commas). Fixed, Mrt and Ipac have none; they get the comma, unused.
Delimiting delimitingOf(TableForm form);

// What the start of a file shows.
struct DetectedForm {
  TableForm form = TableForm::Fixed;
  // The first row that is neither blank nor a `#` comment names the columns.
  // Always true for Ecsv and Mrt (their headers describe the columns) and
  // for the archive tab-separated layout; false for Fixed.
  bool hasHeaderRow = false;
};

// The bytes detection looks at: the first 64 KiB of the text (of a ".gz"
// file, of the text it holds).
constexpr std::size_t kDetectionSampleBytes = std::size_t{64} << 10;

// Guesses the form of the file at `path` from its first kDetectionSampleBytes
// and its name. The content decides where it is plain: an ECSV first line,
// a byte-by-byte description, a separator found the same number of times
// in every row. The name (".csv", ".tsv", ".psv", ".ecsv", ".mrt", also
// followed by ".gz") decides between separators the content allows alike.
// Text that is neither delimited nor an ECSV or MRT file is Fixed, as are
// columns of blank-separated values that stand aligned at fixed byte columns.
//
// A header row is assumed only when every cell of the first row is a
// distinct non-empty text that is not a number while a later row holds a
// number: taking a row of data for names would lose it silently, the other
// mistake shows it in the reject log.
//
// Throws Error naming the file when it cannot be opened or read, when its
// compressed data is corrupt, when it is compressed in a way not read (see
// refuseUnreadCompression) or gzip-compressed under a name without ".gz",
// and when it holds binary data (a byte 0, or more than one control byte in
// a hundred).
//
// A `|`-separated text whose rows all start and end with a bar is drawn
// with bars: those make no empty first and last columns, and its rule lines
// are no rows (Delimiting::enclosed). A text whose first line after any `\`
// lines starts with a bar, as do at most three more after it, while the row
// after those does not, is an IPAC table.
DetectedForm detectTableForm(FileSystem& fs, const std::string& path);

// The same guess on `text`, the start of the file named `path` (its name
// counts, and messages name it); `complete` when `text` is the whole file,
// otherwise its last line may be cut and is not looked at.
DetectedForm detectTableFormOfText(std::string_view text, std::string_view path, bool complete);

}  // namespace mirdal
