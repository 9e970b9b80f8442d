#pragma once

// What the readers of table headers (delimited_header, ecsv_header,
// mrt_header) share: the lines of the header and where the data starts.
// Internal to src/input.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "input/input_source.h"
#include "input/row_splitter.h"
#include "input/table_header.h"
#include "util/file_system.h"

namespace mirdal {
namespace detail {

// The lines of a table's header, read through InputSource (so ".gz" files
// too) with their numbers and byte offsets. Lines end at LF with a CR before
// it dropped, or, in a text whose first block has CR but no LF, at CR.
class HeaderLines {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{64} << 10;

  HeaderLines(FileSystem& fs, const std::string& path);
  ~HeaderLines();

  // The next line in `line` (valid until the next call); false at the end of the text.
  bool next(std::string_view& line);

  // As next, for a line that may be a row of data rather than the header:
  // one too long for a header is left to the reader of the rows.
  bool nextOfHeaderOrData(std::string_view& line);

  std::int64_t number() const { return number_; }          // of the line handed out last
  std::int64_t offset() const { return begin_; }           // where it starts
  std::int64_t nextOffset() const { return end_; }         // where the line after it starts
  bool byteOrderMark() const { return byteOrderMark_; }
  const std::string& path() const { return path_; }

  [[noreturn]] void fail(const std::string& reason) const;

 private:
  void fill();

  std::unique_ptr<InputSource> source_;
  std::string path_;
  std::string buffer_;          // text from offset buffered_ on
  std::int64_t buffered_ = 0;
  std::int64_t begin_ = 0;      // offset of the line handed out last
  std::int64_t end_ = 0;        // offset after its line end
  std::int64_t number_ = 0;
  char lineEnd_ = '\n';
  bool atEnd_ = false;
  bool first_ = true;
  bool byteOrderMark_ = false;
};

// A column with only its number.
TableColumn numberedColumn(int number);

// The data starts on the line after the one handed out last.
void startDataAfter(const HeaderLines& lines, TableLayout& layout);
// The data starts on the line handed out last.
void startDataAt(const HeaderLines& lines, TableLayout& layout);

// Splits a header row, which must be whole: names with line ends are not taken.
const RowSplitter& splitHeaderRow(RowSplitter& splitter, std::string_view line, const HeaderLines& lines,
                                  std::string_view what);

}  // namespace detail
}  // namespace mirdal
