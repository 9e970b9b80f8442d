#include "build/magnitude_scan.h"

#include <cmath>
#include <limits>

#include "build/field_value.h"
#include "build/input_reader.h"

namespace mirdal {

MagnitudeScan scanMagnitudes(const CatalogDefinition& d, const std::vector<std::string>& inputs, FileSystem& fs) {
  MagnitudeScan scan;
  const int field = magnitudeFieldOf(d.type());
  const int position = field == 0 ? -1 : d.fields().positionOfField(field);
  if (position < 0 || !d.ticked(position) || d.settings.format != TableForm::Fixed) return scan;
  const FieldSlot& slot = d.fieldSlots[static_cast<std::size_t>(position)];
  if (slot.firstChar < 1 || slot.length < 1) return scan;

  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  InputReader reader(fs);
  for (const std::string& path : inputs) {
    reader.open(path, d.settings.eol);
    while (!reader.endOfInput()) {
      const double v = fieldNumber(reader.readLine(), slot, kNone);
      ++scan.lines;
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
