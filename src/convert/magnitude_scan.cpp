#include "convert/magnitude_scan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "catalog/project_file.h"
#include "convert/field_value.h"
#include "convert/record_builder.h"
#include "input/cell_columns.h"
#include "input/row_source.h"
#include "input/spread_sample.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

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

  // A row's magnitude as the build reads it: a delimited row's cell is
  // found by the column the slot names, and rows the build would refuse
  // have none; a typed row's cell of that column holds the stored value.
  std::array<FieldSlot, kSlotCount> slots = d.fieldSlots;
  std::unique_ptr<CellPlacer> placer;
  auto row = [&](const SourceRow& read) {
    SourceRow placed = read;
    if (placer && placer->place(read.text, d.fieldSlots.data(), slots.data(), placed.text) != RowRefusal::None)
      return;
    take(RecordBuilder::slotNumber(placed, slots.data(), position, kNone));
  };
  // Each part's cells found by its own header.
  auto startPart = [&](RowSource& rows) {
    placer.reset();
    if (!isDelimited(rows.form()) && !isTypedForm(rows.form())) return;
    const FileColumns columns = resolveColumns(d, {position}, rows.layout(), rows.path());
    rows.selectSlots(columns);
    if (isDelimited(rows.form()))
      placer = std::make_unique<CellPlacer>(rows.layout().delimiting, columns, std::array<bool, kSlotCount>{});
  };
  // The rows of a part from where it stands, as many as its limit lets
  // (`limit` 0: all); `more` set when rows were left.
  auto readRows = [&](RowSource& rows, std::int64_t limit, bool& more) {
    rows.setRowLimit(limit);
    std::int64_t read = 0;
    SourceRow r;
    while (rows.next(r)) {
      ++read;
      row(r);
    }
    more = rows.rowsLeft();
    return read;
  };

  if (budget) {
    scan.extent = sampleRows(
        fs, inputs, InputFormat::of(d.settings), *budget,
        [&](std::string_view line) {
          ++scan.lines;
          SourceRow r;
          r.text = line;
          row(r);
        },
        [&](RowSource& rows, std::size_t most, bool& more) {
          const std::int64_t n = readRows(rows, static_cast<std::int64_t>(most), more);
          scan.lines += n;
          return static_cast<std::size_t>(n);
        },
        startPart);
    scan.sampled = !scan.extent.whole;
    return scan;
  }

  for (const std::string& path : inputs) {
    RowSource rows(fs, path, InputFormat::of(d.settings));
    startPart(rows);
    bool more = false;
    scan.lines += readRows(rows, maxTypedRows, more);
    scan.sampled = scan.sampled || more;
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
