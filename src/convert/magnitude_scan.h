#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "util/file_system.h"

namespace mirdal {

// The magnitudes that a definition reads from its input files: the
// magnitude field's column of every line, calibrated as the build reads it.
struct MagnitudeScan {
  std::int64_t lines = 0;   // rows read
  std::int64_t values = 0;  // rows whose magnitude column holds a number
  std::optional<double> faintest;
  bool sampled = false;     // a FITS or VOTable file had rows past maxTypedRows
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
MagnitudeScan scanMagnitudes(const CatalogDefinition& definition, const std::vector<std::string>& inputs,
                             FileSystem& fs = FileSystem::real(), std::int64_t maxTypedRows = 0);

// The maximum magnitude a catalog gives for its faintest magnitude: rounded
// up to the next tenth (7.96 and 8.0 give 8.0, 8.01 gives 8.1).
double magnitudeLimitFor(double faintest);

// The rows of a FITS or VOTable file an import reads for the maximum
// magnitude: a sample, never the whole table (which may declare any number).
constexpr std::int64_t kTypedMagnitudeRows = 1'000'000;

// What every import (mirdal-build's and the wizard's) does for the maximum
// magnitude once the columns are mapped: scans `inputs` (names as the build
// opens them; of a FITS or VOTable file its first kTypedMagnitudeRows rows)
// and sets settings.magmax to the limit of the faintest magnitude read.
// Returns the import's note saying so, or nullopt when no magnitude was read
// (magmax is then left as it was). Throws as scanMagnitudes does.
std::optional<std::string> takeMagnitudeLimitFromData(CatalogDefinition& definition,
                                                      const std::vector<std::string>& inputs,
                                                      FileSystem& fs = FileSystem::real());

}  // namespace mirdal
