#include "convert/magnitude_scan.h"

#include <cmath>
#include <limits>
#include <memory>

#include "input/cell_columns.h"
#include "convert/field_value.h"
#include "input/input_reader.h"
#include "input/table_header.h"
#include "input/typed_rows.h"
#include "util/text.h"

namespace mirdal {

MagnitudeScan scanMagnitudes(const CatalogDefinition& d, const std::vector<std::string>& inputs, FileSystem& fs) {
  MagnitudeScan scan;
  const int field = magnitudeFieldOf(d.type());
  const int position = field == 0 ? -1 : d.fields().positionOfField(field);
  const TableForm form = d.settings.format;
  if (position < 0 || !d.ticked(position)) return scan;
  const FieldSlot& base = d.fieldSlots[static_cast<std::size_t>(position)];
  if (base.firstChar < 1 || base.length < 1) return scan;
  if (form == TableForm::Fits || form == TableForm::VoTable) {
    // Typed tables: the magnitude column's stored values, calibrated.
    for (const std::string& path : inputs) {
      const std::unique_ptr<TypedRowSource> source = openTypedTable(form, path, d.settings.table);
      const FileColumns columns = resolveColumns(d, {position}, source->layout(), path);
      source->selectColumns({columns.cell[static_cast<std::size_t>(position)] + 1});
      std::vector<TableCell> cells;
      while (const std::size_t n = source->readRows(cells, 10000)) {
        scan.lines += static_cast<std::int64_t>(n);
        for (std::size_t r = 0; r < n; ++r) {
          const TableCell& c = cells[r];
          double x = std::numeric_limits<double>::quiet_NaN();
          if (c.kind == TableCell::Kind::Real) x = c.real;
          else if (c.kind == TableCell::Kind::Integer) x = static_cast<double>(c.integer);
          else if (c.kind == TableCell::Kind::Text) x = parseDecimal(trimmed(c.text)).value_or(x);
          const double v = base.calcA * x + base.calcB;
          if (!std::isfinite(v)) continue;
          ++scan.values;
          if (!scan.faintest || v > *scan.faintest) scan.faintest = v;
        }
      }
    }
    return scan;
  }

  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  std::array<FieldSlot, kSlotCount> slots = d.fieldSlots;
  InputReader reader(fs);
  for (const std::string& path : inputs) {
    // Past the header of a table; a delimited row's cell is found by the
    // column the slot names, as the build finds it.
    std::int64_t firstLine = 1;
    std::unique_ptr<CellPlacer> placer;
    if (form != TableForm::Fixed) {
      const TableLayout layout = readTableLayout(fs, path, form, d.settings.headerrow);
      firstLine = layout.dataLine;
      if (isDelimited(form))
        placer = std::make_unique<CellPlacer>(layout.delimiting, resolveColumns(d, {position}, layout, path),
                                              std::array<bool, kSlotCount>{});
    }
    reader.open(path, d.settings.eol);
    for (std::int64_t number = 1; !reader.endOfInput(); ++number) {
      const std::string_view line = reader.readLine();
      if (number < firstLine) continue;
      ++scan.lines;
      const FieldSlot* slot = &base;
      std::string_view text = line;
      if (placer) {
        // Comment lines and rows the build would refuse have no magnitude.
        if (!line.empty() && line.front() == '#') continue;
        if (placer->place(line, d.fieldSlots.data(), slots.data(), text) != RowRefusal::None) continue;
        slot = &slots[static_cast<std::size_t>(position)];
      }
      const double v = fieldNumber(text, *slot, kNone);
      if (!std::isfinite(v)) continue;
      ++scan.values;
      if (!scan.faintest || v > *scan.faintest) scan.faintest = v;
    }
    reader.close();
  }
  return scan;
}

double magnitudeLimitFor(double faintest) {
  // A tenth already reached stays: 8.0 is written 8 and read back as
  // 7.99999... times 10, which must not round up to 8.1.
  return std::ceil(faintest * 10 - 1e-9) / 10;
}

}  // namespace mirdal
