#include "build/magnitude_scan.h"

#include <cmath>
#include <limits>
#include <memory>

#include "build/cell_columns.h"
#include "build/field_value.h"
#include "build/input_reader.h"
#include "build/table_header.h"

namespace mirdal {

MagnitudeScan scanMagnitudes(const CatalogDefinition& d, const std::vector<std::string>& inputs, FileSystem& fs) {
  MagnitudeScan scan;
  const int field = magnitudeFieldOf(d.type());
  const int position = field == 0 ? -1 : d.fields().positionOfField(field);
  const TableForm form = d.settings.format;
  // Typed tables (FITS, VOTable) hold no text lines to read.
  const bool text = form == TableForm::Fixed || form == TableForm::Mrt || isDelimited(form);
  if (position < 0 || !d.ticked(position) || !text) return scan;
  const FieldSlot& base = d.fieldSlots[static_cast<std::size_t>(position)];
  if (base.firstChar < 1 || base.length < 1) return scan;

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
