// FITS and VOTable files of any content: opening the first table, reading
// its layout and every row of every selectable column either succeeds or
// stops with an error naming the file; a selected row has one cell per
// column chosen, and a text cell lies inside the text it was read from.
//
// Input: byte 0 chooses the reader (bit 0: VOTable, else FITS) and a ".gz"
// name (bit 1, the file then written compressed); the rest is the file.

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/typed_rows.h"
#include "fuzz_check.h"
#include "util/error.h"

namespace {

using namespace mirdal;

std::string temporaryPath(bool compressed) {
  static const std::string base = "/tmp/mirdal-typed-fuzz-" + std::to_string(getpid());
  return base + (compressed ? ".gz" : "");
}

bool write(const std::string& path, std::string_view bytes, bool compressed) {
  if (compressed) {
    gzFile f = gzopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || gzwrite(f, bytes.data(), static_cast<unsigned>(bytes.size())) > 0;
    return gzclose(f) == Z_OK && ok;
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool votable = (data[0] & 1) != 0;
  const bool compressed = (data[0] & 2) != 0;
  const std::string path = temporaryPath(compressed);
  if (!write(path, fuzz::asText(data + 1, size - 1), compressed)) return 0;
  const TableForm form = votable ? TableForm::VoTable : TableForm::Fits;
  try {
    const std::unique_ptr<TypedRowSource> source = openTypedTable(form, path, "", FileSystem::real());
    const TableLayout& layout = source->layout();
    std::vector<int> numbers;
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
      const TableColumn& c = layout.columns[i];
      FUZZ_CHECK(c.number == static_cast<int>(i) + 1);
      if (isSelectableColumn(c, form)) numbers.push_back(c.number);
    }
    source->selectColumns(numbers);
    std::vector<TableCell> cells;
    std::int64_t rows = 0;
    // Bounded: a hostile declared row count must not make the run endless.
    while (rows < 100000) {
      const std::size_t n = source->readRows(cells, 64);
      if (n == 0) break;
      FUZZ_CHECK(cells.size() == n * numbers.size());
      for (const TableCell& c : cells)
        if (c.kind == TableCell::Kind::Text) FUZZ_CHECK(c.text.size() <= size * 8 + 64);
      rows += static_cast<std::int64_t>(n);
      FUZZ_CHECK(source->rowsRead() == rows);
    }
  } catch (const Error& e) {
    FUZZ_CHECK(std::string(e.what()).find(path) != std::string::npos);
  }
  std::remove(path.c_str());
  return 0;
}
