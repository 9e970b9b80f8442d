#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/catalog_type.h"
#include "import/readme_import.h"
#include "input/row_source.h"
#include "input/table_header.h"
#include "util/file_system.h"

namespace mirdal {

// A project from what a table file says about its own columns: the names,
// units, descriptions, datatypes and UCDs of its header, mapped by the rules
// of the ReadMe import (applyReadMeTable).

// The rows read after the header to choose text widths and to see what the
// cells hold: at most this many, from at most this many bytes of text.
constexpr std::size_t kSampleRows = 20000;
constexpr std::size_t kSampleBytes = std::size_t{4} << 20;

// How many different cells the first kCells cells of a column hold, up to
// kTracked of them (by a hash of each): enough to tell a column of one value
// from one that varies, at a cost bounded whatever the sample's size.
struct DistinctCells {
  static constexpr std::size_t kTracked = 128;
  static constexpr std::size_t kCells = 4096;
  std::vector<std::size_t> hashes{};
  std::size_t cells = 0;  // cells counted

  void add(std::string_view cell);
  std::size_t count() const { return hashes.size(); }
  bool saturated() const { return hashes.size() >= kTracked; }
  bool done() const { return saturated() || cells >= kCells; }
};

// What the first rows show of one column.
struct ColumnSample {
  std::size_t widest = 0;   // bytes of the longest cell
  int values = 0;           // cells that hold a value (not empty, not "NaN")
  int numbers = 0;          // of those, decimal numbers
  int integers = 0;         // of those, without a point or an exponent
  int sexagesimal = 0;      // of those, parts in one cell: "12 34 56.7", "-05:06:07"
  double largest = 0;       // the largest |number| of them
  DistinctCells distinct{};  // of the cells that hold a value
  std::string firstOther;   // the first value that is no decimal number, trimmed (at most 40 bytes)
};

struct TableSample {
  std::size_t rows = 0;                // rows looked at
  bool whole = true;                   // every row of the file was looked at
  std::vector<ColumnSample> columns;   // one per column of the layout
  // MRT only: the lines themselves, to check a column's bytes against.
  std::vector<std::string> lines;
  // Delimited forms with a header row: rows whose cells are the names of
  // the columns (a file made by joining files), not counted as rows.
  std::size_t repeatedHeaders = 0;
};

// Reads up to kSampleRows rows (within kSampleBytes of text) of `path` read
// as `format` says, as the build reads them: of a larger plain file its
// head, evenly spaced places and its tail (see sampleRows). Rows that cannot be split are
// passed over: the sample only guides. Throws Error as RowSource does.
// With `parts` (the files of a catalog in several, `path` the first), the
// rows of a text form are sampled over them all.
TableSample readTableSample(FileSystem& fs, const std::string& path, const InputFormat& format,
                            const std::vector<std::string>& parts = {});

// Units as the mapping rules write them: factors joined by "." with the
// divisors after one "/", powers as digits. "arcsec / yr", "arcsec.yr-1",
// "arcsec yr-1", "arcsec yr**-1", "arcsec yr^-1" and "arcsec/yr" all give
// "arcsec/yr"; "km.s-1" "km/s"; "mag.arcsec-2" "mag/arcsec2"; "degree"
// "deg", "hourangle" "h"; quotes around "h:m:s" dropped; "---" nothing.
std::string normalizedUnit(std::string_view unit);

// The layout's columns as rows of a byte-by-byte table: label the name,
// units normalized, explanation the description, format the datatype read
// as a Fortran-like letter (ECSV "string" "A", "int64" "I", "float64" "F";
// FITS "12A" "A12"; VOTable "char[12]" "A12"; from the sample where the
// file gives no datatype). In forms whose slots name columns each row
// carries its column number and the width of its texts: from the datatype
// where it says, else the widest cell of the sample, at least 1. MRT rows
// keep the layout's bytes (readTableLayout places columns where the rows
// have them). `notes` receives what was decided that the user should know;
// `evidence`, when given, what the sample shows of each column.
ReadMeTable describedColumns(const TableLayout& layout, const TableSample& sample, std::vector<std::string>& notes,
                             std::vector<ColumnEvidence>* evidence = nullptr);

struct TableImport {
  TableLayout layout;
  bool headerRow = false;
  // False when the columns have no names: the form is set, no slot is.
  bool mapped = false;
  // For the summary: the form, then the header's own notes, then what went
  // where and what was not mapped.
  std::vector<std::string> notes;
  // A right ascension whose unit nothing told (see mapTableColumns): the
  // caller asks, and imports again with the answer as `raUnit`.
  std::optional<OpenRaUnit> openRaUnit{};
  std::vector<std::string> positionCandidates{};  // see TableMapping
  std::string positionProblem{};                  // see TableMapping
  // The columns as the mapping read them, and what the sample showed of
  // each: what a later choice of a column for a field picks from.
  ReadMeTable table{};
  std::vector<ColumnEvidence> evidence{};
};

// Sets `definition` from the description of the file at `path`: its form
// (detected when `form` is nothing), header row, type, position modes,
// slots and field names, by the rules of applyReadMeTable. A file whose
// columns have no names gets its form and no slot (TableImport::mapped
// false). Throws Error naming the file when it cannot be read, when its
// header is wrong (see readTableLayout), when it is in fixed columns, which
// carry no description, and for FITS and VOTable files, not read here yet.
// `raUnit` is the unit the user stated for a right ascension that neither
// its unit, its name nor its values tell (MappingChoices).
// `names`, when not empty, names the columns of a delimited file without a
// header row, in order, as if its first row had held them: the file is read
// without a header row, and its columns are mapped by these names (the
// project's slots still find them by number). Throws UsageError when the
// file's columns are named already or their count differs. `parts`, when
// given, are all the files of the catalog (`path` the first): the rows that
// choose widths and tell what the columns hold are sampled over them all.
TableImport importTableDescription(FileSystem& fs, const std::string& path, std::optional<TableForm> form,
                                   CatalogType type, CatalogDefinition& definition,
                                   std::optional<RaUnit> raUnit = std::nullopt,
                                   const std::vector<std::string>& names = {},
                                   const std::vector<std::string>& parts = {});

}  // namespace mirdal
