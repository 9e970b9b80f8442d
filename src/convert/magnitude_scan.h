#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "input/spread_sample.h"
#include "util/file_system.h"

namespace mirdal {

// The magnitudes that a definition reads from its input files: the
// magnitude field's column of every line, calibrated as the build reads it.
struct MagnitudeScan {
  std::int64_t lines = 0;   // rows read
  std::int64_t values = 0;  // rows whose magnitude column holds a number
  std::optional<double> faintest;
  bool sampled = false;     // rows were left unread (past maxTypedRows, or outside the budget)
  SampleExtent extent{};    // with a budget: what the sample read
};

// Reads every row of `inputs` (names as the build opens them) as the build
// reads them (see RowSource): a delimited row's cell is the column the
// magnitude slot names, and rows the build would refuse give none; a FITS or
// VOTable row's stored value is read as the build reads it. Reads nothing,
// and finds no magnitude, when the catalog type has no magnitude (outlines),
// or when the magnitude entry is not ticked or has no column. Throws Error
// naming the file when one cannot be read or its header is not understood.
//
// With `maxTypedRows` (0: no limit), a FITS or VOTable file gives at most
// its first maxTypedRows rows (the import's sample: such a file is never
// read whole for a maximum magnitude).
//
// With a `budget`, the rows are a sample of the inputs as sampleRows takes
// it (input/spread_sample.h): at most the budget's rows and bytes, spread
// over the parts and within each plain file.
MagnitudeScan scanMagnitudes(const CatalogDefinition& definition, const std::vector<std::string>& inputs,
                             FileSystem& fs, std::int64_t maxTypedRows = 0,
                             std::optional<SampleBudget> budget = std::nullopt);

// The maximum magnitude a catalog gives for its faintest magnitude: rounded
// up to the next tenth (7.96 and 8.0 give 8.0, 8.01 gives 8.1).
double magnitudeLimitFor(double faintest);

// The rows an import reads for the maximum magnitude: a sample of any
// release, never the whole of a large one.
constexpr SampleBudget kMagnitudeSample{200'000, std::size_t{32} << 20};

// What every import (mirdal-build's and the wizard's) does for the maximum
// magnitude once the columns are mapped: scans a sample of `inputs` (names
// as the build opens them) within kMagnitudeSample and sets settings.magmax to the limit of the faintest magnitude read.
// Returns the import's note saying so, or nullopt when no magnitude was read
// (magmax is then left as it was). Throws as scanMagnitudes does.
std::optional<std::string> takeMagnitudeLimitFromData(CatalogDefinition& definition,
                                                      const std::vector<std::string>& inputs,
                                                      FileSystem& fs);

}  // namespace mirdal
