#include "convert/magnitude_scan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "catalog/project_file.h"
#include "convert/field_value.h"
#include "input/cell_columns.h"
#include "input/row_source.h"
#include "input/spread_sample.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// A typed cell as the build reads a number from it.
double cellNumber(const TableCell& c) {
  if (c.kind == TableCell::Kind::Real) return c.real;
  if (c.kind == TableCell::Kind::Integer) return static_cast<double>(c.integer);
  if (c.kind == TableCell::Kind::Text) return parseDecimal(trimmed(c.text)).value_or(kNone);
  return kNone;
}

}  // namespace

MagnitudeScan scanMagnitudes(const CatalogDefinition& d, const std::vector<std::string>& inputs, FileSystem& fs,
                             std::int64_t maxTypedRows, std::optional<SampleBudget> budget) {
  MagnitudeScan scan;
  const int field = magnitudeFieldOf(d.type());
  const int position = field == 0 ? -1 : d.fields().positionOfField(field);
  if (position < 0 || !d.ticked(position)) return scan;
  const FieldSlot& base = d.fieldSlots[static_cast<std::size_t>(position)];
  if (base.firstChar < 1 || base.length < 1) return scan;
  auto take = [&](double v) {
    if (!std::isfinite(v)) return;
    ++scan.values;
    if (!scan.faintest || v > *scan.faintest) scan.faintest = v;
  };

  // The magnitude column's stored values of a typed table, calibrated; at
  // most `most` rows (0: all), `more` set when rows were left.
  auto typedRows = [&](RowSource& rows, std::int64_t most, bool& more) {
    TypedRowSource& source = rows.typedRows();
    const FileColumns columns = resolveColumns(d, {position}, source.layout(), rows.path());
    source.selectColumns({columns.cell[static_cast<std::size_t>(position)] + 1});
    std::vector<TableCell> cells;
    std::int64_t read = 0;
    for (;;) {
      std::size_t want = 10000;
      if (most > 0) {
        if (read >= most) {
          more = source.readRows(cells, 1) > 0;
          break;
        }
        want = static_cast<std::size_t>(std::min<std::int64_t>(10000, most - read));
      }
      const std::size_t n = source.readRows(cells, want);
      if (n == 0) break;
      read += static_cast<std::int64_t>(n);
      for (std::size_t r = 0; r < n; ++r) take(base.calcA * cellNumber(cells[r]) + base.calcB);
    }
    return read;
  };

  // A delimited row's cell is found by the column the slot names, as the
  // build finds it; rows the build would refuse have no magnitude.
  std::array<FieldSlot, kSlotCount> slots = d.fieldSlots;
  std::unique_ptr<CellPlacer> placer;
  std::string placedPath;
  auto textRow = [&](std::string_view line) {
    const FieldSlot* slot = &base;
    std::string_view text = line;
    if (placer) {
      if (placer->place(line, d.fieldSlots.data(), slots.data(), text) != RowRefusal::None) return;
      slot = &slots[static_cast<std::size_t>(position)];
    }
    take(fieldNumber(text, *slot, kNone));
  };
  auto preparePlacer = [&](RowSource& rows) {
    placer.reset();
    if (isDelimited(rows.form()))
      placer = std::make_unique<CellPlacer>(rows.layout().delimiting,
                                            resolveColumns(d, {position}, rows.layout(), rows.path()),
                                            std::array<bool, kSlotCount>{});
  };

  if (budget) {
    // Each part's rows placed by its own header.
    scan.extent = sampleRows(
        fs, inputs, InputFormat::of(d.settings), *budget,
        [&](std::string_view line) {
          ++scan.lines;
          textRow(line);
        },
        [&](RowSource& rows, std::size_t most, bool& more) {
          const std::int64_t n = typedRows(rows, static_cast<std::int64_t>(most), more);
          scan.lines += n;
          return static_cast<std::size_t>(n);
        },
        [&](RowSource& rows) {
          if (!rows.typed()) preparePlacer(rows);
        });
    scan.sampled = !scan.extent.whole;
    return scan;
  }

  for (const std::string& path : inputs) {
    RowSource rows(fs, path, InputFormat::of(d.settings));
    if (rows.typed()) {
      bool more = false;
      scan.lines += typedRows(rows, maxTypedRows, more);
      scan.sampled = scan.sampled || more;
      continue;
    }
    preparePlacer(rows);
    std::string_view line;
    std::int64_t number = 0;
    while (rows.nextLine(line, number)) {
      ++scan.lines;
      textRow(line);
    }
  }
  return scan;
}

double magnitudeLimitFor(double faintest) {
  // A tenth already reached stays: 8.0 is written 8 and read back as
  // 7.99999... times 10, which must not round up to 8.1.
  return std::ceil(faintest * 10 - 1e-9) / 10;
}

std::optional<std::string> takeMagnitudeLimitFromData(CatalogDefinition& definition,
                                                      const std::vector<std::string>& inputs, FileSystem& fs) {
  const MagnitudeScan scan = scanMagnitudes(definition, inputs, fs, 0, kMagnitudeSample);
  if (!scan.faintest) return std::nullopt;
  definition.settings.magmax = magnitudeLimitFor(*scan.faintest);
  std::string note = "maximum magnitude " + formatProjectFloat(definition.settings.magmax) + " (faintest of " +
                     std::to_string(scan.values) + " magnitudes in " + scan.extent.describe() +
                     ", rounded up to the next tenth";
  if (scan.sampled) note += "; the build counts the stars fainter than it";
  return note + ")";
}

}  // namespace mirdal
