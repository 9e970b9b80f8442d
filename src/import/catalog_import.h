#pragma once

// The import as every front end runs it: a project proposed from what a
// catalog says of itself (its ReadMe, or the header of a table file), the
// person's choices of columns applied, and the maximum magnitude taken from
// a bounded sample of the data. The front ends only present the outcome:
// the notes, and the questions left open.

#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/catalog_type.h"
#include "catalog/table_form_name.h"
#include "import/column_choices.h"
#include "import/position_units.h"
#include "import/readme_import.h"
#include "util/file_system.h"

namespace mirdal {

struct ImportRequest {
  std::vector<std::string> inputs;   // as the build opens them; the first is described
  std::string readme;                // empty: the first input describes itself
  std::string readmeTable;           // with a ReadMe: the file whose table is used (empty: the input's)
  std::optional<TableForm> form;     // without a ReadMe: nothing to detect it
  CatalogType type = CatalogType::Stars;
  std::optional<RaUnit> raUnit;      // for a right ascension nothing else tells
  std::vector<std::string> names;    // for the columns of a file without a header row
  std::vector<ColumnChoice> columns; // fields whose column the person chose
  bool magnitudeFromData = true;     // take the maximum magnitude from a sample of the inputs
};

struct ImportOutcome {
  ReadMe readMe;                                 // with a ReadMe: as read
  std::vector<std::string> notes;                // what was taken and why, what was left and why
  bool mapped = true;                            // false: the columns have no names, nothing is mapped
  std::optional<OpenRaUnit> openRaUnit{};        // a question: hours or degrees
  std::vector<std::string> positionCandidates{}; // with no position found: the columns that might hold one
  std::string positionProblem{};                 // with no position found: why the columns named so were not taken
  bool magnitudeRead = false;                    // the maximum magnitude was taken from the data
};

// Fills `definition` (its names, files and output left to the caller) as
// `request` asks. Throws Error naming the file when it cannot be read or
// described, and UsageError for names or choices that do not fit the file.
ImportOutcome importCatalog(FileSystem& fs, const ImportRequest& request, CatalogDefinition& definition);

}  // namespace mirdal
