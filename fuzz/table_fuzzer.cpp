// Table files of every form: detection and the column description either
// succeed or stop with an error naming the file; a description numbers its
// columns from 1 and starts the data inside the text. Every line splits
// without reading outside it, and a quoted cell left open at a line end is
// still open after the next line exactly when the joined lines split so.
//
// Input: byte 0 the form (bits 0-2, in TableForm's order), a header row
// (bit 3) and a ".gz" name (bit 4); the rest is the file.

#include <string>
#include <string_view>

#include "input/row_splitter.h"
#include "input/table_form.h"
#include "input/table_header.h"
#include "input/table_text.h"
#include "fuzz_check.h"
#include "support/memory_file_system.h"
#include "util/error.h"
#include "util/text.h"

namespace {

using namespace mirdal;

bool namesFile(const Error& e, const std::string& path) { return std::string(e.what()).find(path) != std::string::npos; }

void splitLines(std::string_view text, Delimiting delimiting) {
  RowSplitter splitter(delimiting);
  RowSplitter joiner(delimiting);
  const std::vector<std::string_view> lines = splitTextLines(text, true);
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const std::string_view line = lines[l];
    const RowStatus status = splitter.split(line);
    FUZZ_CHECK(splitter.size() <= RowSplitter::kMaxCells);
    FUZZ_CHECK((status == RowStatus::Ok) == (splitter.problemColumn() == 0));
    FUZZ_CHECK(splitter.problemColumn() <= line.size() + 1);
    for (const CellSpan& s : splitter.spans())
      if (!s.unescaped) FUZZ_CHECK(std::size_t{s.offset} + s.length <= line.size());
    for (std::size_t i = 0; i < splitter.size(); ++i) FUZZ_CHECK(splitter.cell(i).size() <= line.size());
    if (status == RowStatus::Ok && !delimiting.blankRuns && line.find('"') == std::string_view::npos &&
        !trimmed(line).empty()) {
      std::size_t separators = 0;
      for (char c : line) separators += c == delimiting.separator;
      FUZZ_CHECK(splitter.size() == separators + 1);
    }
    if (status == RowStatus::OpenQuote && l + 1 < lines.size()) {
      const std::string joined = std::string(line) + '\n' + std::string(lines[l + 1]);
      FUZZ_CHECK(splitter.quoteStaysOpen(lines[l + 1]) == (joiner.split(joined) == RowStatus::OpenQuote));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto form = static_cast<TableForm>(data[0] & 7);
  const bool header = (data[0] & 8) != 0;
  const std::string path = (data[0] & 16) ? "/in/table.gz" : "/in/table.txt";
  const std::string_view file = fuzz::asText(data + 1, size - 1);
  testing::MemoryFileSystem fs;
  fs.put(path, file);

  try {
    const DetectedForm detected = detectTableForm(fs, path);
    FUZZ_CHECK(detected.form != TableForm::Fixed || !detected.hasHeaderRow);
  } catch (const Error& e) {
    FUZZ_CHECK(namesFile(e, path));
  }
  try {
    const TableLayout layout = readTableLayout(fs, path, form, header);
    FUZZ_CHECK(layout.form == form);
    FUZZ_CHECK(layout.dataLine >= 1 && layout.dataOffset >= 0);
    if (!(data[0] & 16)) FUZZ_CHECK(layout.dataOffset <= static_cast<std::int64_t>(file.size()));
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
      FUZZ_CHECK(layout.columns[i].number == static_cast<int>(i) + 1);
  } catch (const Error& e) {
    FUZZ_CHECK(namesFile(e, path));
  }
  splitLines(file, isDelimited(form) ? delimitingOf(form) : Delimiting{});
  return 0;
}
