#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/table_form.h"

namespace mirdal {

// Where one cell of a row stands: `length` bytes from `offset` of the line,
// or of the splitter's scratch buffer when `unescaped`.
struct CellSpan {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
  bool quoted = false;     // written in quotes: the bytes between them, blanks kept
  bool unescaped = false;  // quoted with `""` in it, copied to the scratch with each `""` made one `"`

  bool operator==(const CellSpan&) const = default;
};

enum class RowStatus {
  Ok,
  // The line ends inside a quoted cell. The cell may go on after a line end:
  // the caller either refuses the row or splits it again with the next line
  // joined after an LF (see RowSplitter::quoteStaysOpen).
  OpenQuote,
  // Bytes other than blanks between a closing quote and the next separator:
  // `"ab"c,d` has no one reading.
  TextAfterQuote,
  TooManyCells,  // more than RowSplitter::kMaxCells
  TooLong,       // longer than RowSplitter::kMaxRowBytes
};

// Why a row is refused, for the reject log: "the line ends inside a quoted cell".
std::string_view rowStatusText(RowStatus status);

// Splits rows of a delimited table into cells under a Delimiting (see
// table_form.h). Unquoted cells lose their blanks at both ends; a line of
// blanks only has no cell. Splitting allocates only while the vector of
// spans (or the scratch, for cells with `""`) grows past its largest size so
// far, so one splitter per reading thread serves every row.
class RowSplitter {
 public:
  // Bounds that keep a hostile line from filling the memory with spans.
  static constexpr std::size_t kMaxCells = std::size_t{1} << 16;
  static constexpr std::size_t kMaxRowBytes = 0xFFFF'FFFFu;

  explicit RowSplitter(Delimiting delimiting = {}) : delimiting_(delimiting) {}

  void setDelimiting(Delimiting delimiting) { delimiting_ = delimiting; }
  // Splitting stops after this many cells (0: no limit): a reader that needs
  // the first columns only need not split the rest of the row, nor hear of
  // problems there.
  void setCellLimit(std::size_t limit) { cellLimit_ = limit; }
  const Delimiting& delimiting() const { return delimiting_; }

  // Splits `line` (without its line end). After Ok the cells are those of
  // the row; after any other status the cells read before the problem are
  // kept, and problemColumn() tells where it is.
  RowStatus split(std::string_view line);

  std::size_t size() const { return spans_.size(); }
  const std::vector<CellSpan>& spans() const { return spans_; }
  // The text of cell `i` (0-based): valid while the line passed to split()
  // lives and until the next split().
  std::string_view cell(std::size_t i) const {
    const CellSpan& s = spans_[i];
    return {(s.unescaped ? scratch_.data() : line_) + s.offset, s.length};
  }
  // 1-based byte column of the line where the problem of the last split
  // stands: the opening quote of an open cell, the first byte after a
  // closing quote, the first byte past a limit. 0 after Ok.
  std::size_t problemColumn() const { return problemColumn_; }

  // Whether a quoted cell still open at the end of the previous line is
  // still open at the end of `nextLine`, so that a caller joining lines need
  // split the joined text only once, when the quote closes.
  bool quoteStaysOpen(std::string_view nextLine) const;

 private:
  RowStatus splitCells(std::string_view line);
  RowStatus splitSeparated(std::string_view line);
  RowStatus splitGeneral(std::string_view line);
  bool add(std::size_t offset, std::size_t length, bool quoted, bool unescaped);

  Delimiting delimiting_;
  const char* line_ = nullptr;
  std::vector<CellSpan> spans_;
  std::string scratch_;
  std::size_t problemColumn_ = 0;
  std::size_t cellLimit_ = 0;
};

// Whether `line` is a rule of a table drawn with bars (`|----|:---:|`,
// `+-----+------+`, `====`): under an enclosed Delimiting, a line of `-`,
// `=`, `+`, `:` and its separator, blanks allowed, with at least one `-` or
// `=`. Never under other delimitings, where such a line is a row.
bool isRuleLine(std::string_view line, const Delimiting& delimiting);

// Whether `line`, blanks at its ends aside, starts and ends with `separator`
// (and is more than that one byte): a row of a table drawn with bars.
bool isEnclosedRow(std::string_view line, char separator);

// A cell that stands for no value: empty or blanks only, "NaN" or "null" in
// any letter case, or the form's `nullMarker` when that is not empty.
bool isMissingCell(std::string_view cell, std::string_view nullMarker = {});

// A number's cell that stands for no value, as archives write one: what
// isMissingCell takes, "-", "--" or "\N". (A text cell "-" may be a value, a
// declination's sign for one: only numbers read it so.)
bool isMissingNumber(std::string_view cell);

}  // namespace mirdal
