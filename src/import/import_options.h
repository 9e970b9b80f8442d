#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_definition.h"
#include "import/position_units.h"

// What the person importing a catalog on the command line decides instead of
// editing the written project: names, region files, index, alternate names,
// magnitude limit and equinox. They are applied after the import has mapped
// the columns, whatever the import read (a ReadMe, or the file itself). The
// unit of a right ascension is the exception: the mapping takes it.

namespace mirdal {

struct ImportOptions {
  std::optional<std::string> shortName;  // --short-name
  std::optional<std::string> longName;   // --long-name
  std::optional<int> regions;            // --regions: 50, 184, 732 or 9537
  std::optional<bool> index;             // --index / --no-index
  // --alt-names: the String fields (by number 1..10 or by label) whose texts
  // also go to the index; an empty list for "none".
  std::optional<std::vector<std::string>> altNames;
  std::optional<double> magmax;   // --magmax; without it the data's faintest magnitude
  std::optional<double> equinox;  // --equinox
  std::optional<RaUnit> raUnit;   // --ra-unit: hours or degrees, where the file does not tell
};

// Reads the value of the import option `name` ("--regions", ...) into
// `options`. Returns false when `name` is not an import option taking a
// value; throws Error naming the option and the value when the value is not
// one the option takes.
bool readImportOption(std::string_view name, const std::string& value, ImportOptions& options);

// Applies what `options` holds to `definition`. Throws Error naming the
// option when the definition cannot take it: a short name the wizard would
// refuse, regions or an index for outlines, an alternate name that is not a
// ticked String field with a column.
void applyImportOptions(const ImportOptions& options, CatalogDefinition& definition);

// The option text of a region scheme `numfile` (0..3): "50" ... "9537".
int regionCountOfNumfile(int numfile);

}  // namespace mirdal
