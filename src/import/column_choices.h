#pragma once

// The columns a person chooses for fields after the import has proposed its
// own: "Magnitude=Vmag", "Catalog ID=3", "RA=ra_hms". Applied to the
// proposal, they replace what the rules chose for those fields and leave the
// rest as proposed.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_definition.h"
#include "import/position_units.h"
#include "import/readme_import.h"
#include "input/readme_parser.h"

namespace mirdal {

struct ColumnChoice {
  std::string field;   // an entry as the summary names it, in any letter case, brackets optional; or RA, DEC
  std::string column;  // a column's name, or its 1-based number in the table
  bool operator==(const ColumnChoice&) const = default;
};

// "FIELD=COLUMN[,FIELD=COLUMN...]". Throws UsageError when an item has no
// "=" or an empty side.
std::vector<ColumnChoice> parseColumnChoices(std::string_view text);

// Column names given in order, comma-separated, for a file without a header
// row. Throws UsageError when one is empty or given twice.
std::vector<std::string> parseColumnNames(std::string_view text);

struct ChoiceOutcome {
  std::vector<std::string> notes;
  std::optional<OpenRaUnit> openRaUnit{};  // a chosen right ascension whose unit nothing tells
};

// Puts each chosen column into its field of `definition` (mapped from
// `table` before), calibrated into the field's unit where the rules know the
// column's units. "RA" and "DEC" choose the whole position: a column of
// sexagesimal texts is read in one cell, a number as decimal degrees (RA in
// hours where its unit, name, values or `raUnit` say so); the other entries
// keep their columns across the change of mode. A column chosen for one
// field leaves any other non-position field that read it. Throws UsageError
// naming the choices when a field or a column does not exist.
ChoiceOutcome applyColumnChoices(const ReadMeTable& table, const std::vector<ColumnEvidence>& evidence,
                                 std::optional<RaUnit> raUnit, const std::vector<ColumnChoice>& choices,
                                 CatalogDefinition& definition);

}  // namespace mirdal
