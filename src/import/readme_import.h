#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/catalog_type.h"
#include "import/position_units.h"
#include "input/readme_parser.h"
#include "util/file_system.h"

namespace mirdal {

// Replaces the field layout of `definition` by the one the table proposes for
// `type`: sets the type, `ratype` and `dectype` (rebuilding the field list,
// which clears the ticks and resets the labels), clears all 41 slots and the
// alternate-name flags, then fills and ticks the entries found. Also sets
// `equinox` and `epoch` when the chosen right ascension column states them,
// and `nebunit` from the units of a nebula size column. Names, input files,
// output settings and mapping tables are left as they are.
//
// Returns notes for the user, one line each: first every row of the table
// that could not be read, then what was mapped where and with which
// calibration, what was skipped and why, which required entry found no column.
//
// Tables that describe their own columns (ECSV, MRT, delimited text with
// names; see import/table_import.h, which turns such a file's description
// into these rows) go through the same rules. Columns with a `column`
// number are placed by it: the slot's first character is the column
// number, its length the column's `width` (at least 1), and the slot's
// field name the column's label; a notes line tells the width chosen for
// each text entry. Columns with a UCD are mapped by it before the labels
// are looked at: positions from pos.eq.ra and pos.eq.dec (meta.main first),
// the V magnitude (else the first magnitude), colours, proper motions,
// parallax, the main identifier (meta.id with meta.main); UCD1 names such
// as POS_EQ_RA_MAIN, PHOT_JHN_V and ID_MAIN as well. A position in radians
// is taken with calcA 57.29577951308232, into degrees.
std::vector<std::string> applyReadMeTable(const ReadMeTable& table, CatalogType type,
                                          CatalogDefinition& definition);

// What the rows show of one column of a table.
struct ColumnEvidence {
  std::size_t values = 0;    // sampled cells holding a number
  double largest = 0;        // the largest |value| among them
  std::size_t cells = 0;     // sampled cells holding anything, as far as counted (DistinctCells); 0: none looked at
  std::size_t distinct = 0;  // different texts among them
  bool manyDistinct = false; // more different texts than were counted
  bool fractional = false;   // some of the numbers have a point or an exponent
};

// What applyReadMeTable cannot read from the description: the evidence of
// the rows, and what the user stated.
struct MappingChoices {
  std::vector<ColumnEvidence> columns{};  // by column of the table; none: no row was looked at
  std::optional<RaUnit> raUnit{};         // for a right ascension no unit or name tells (--ra-unit)
};

// A right ascension the mapping took without knowing its unit: it is in the
// definition as decimal degrees, which nothing confirms.
struct OpenRaUnit {
  std::string column;  // as notes name it: "ra (column 2)"
  std::string reason;  // what was seen: "no unit, and its 2 values are all within 0-24"
};

struct TableMapping {
  std::vector<std::string> notes;  // as applyReadMeTable returns them
  std::optional<OpenRaUnit> openRaUnit{};
  // With no right ascension or no declination found: the columns that
  // might hold one (numbers, or sexagesimal texts, that no entry took), as
  // notes name them.
  std::vector<std::string> positionCandidates{};
  // Why the file gives no position although it has position columns of
  // another kind ("only galactic coordinates (glon (column 2), ...)"); empty
  // otherwise.
  std::string positionProblem{};
};

// What the import looked for when it finds no position, for messages.
extern const char* const kPositionsLookedFor;

// applyReadMeTable with the evidence and the user's choices: a decimal right
// ascension without a unit is in hours or degrees as decideRaUnit says
// (import/position_units.h); when it cannot tell, the column is taken as
// degrees and `openRaUnit` says so, for the caller to ask.
TableMapping mapTableColumns(const ReadMeTable& table, CatalogType type, CatalogDefinition& definition,
                             const MappingChoices& choices);

// Short and long catalog names proposed from the ReadMe: the short name is
// letters and digits only (it names the output files), up to 4 characters,
// never empty; the long name at most 50 characters.
std::string proposedShortName(const ReadMe& readMe, std::string_view inputPath);
std::string proposedLongName(const ReadMe& readMe, std::string_view inputPath);

// The list entries whose text starts with "[" and that are not ticked.
std::vector<std::string> missingRequiredEntries(const CatalogDefinition& definition);

// The table to use for `inputPath`: the one of `tableFile` when that is not
// empty, else the one that describes `inputPath`, else the only table. Throws
// Error naming the ReadMe when it has no byte-by-byte table, or none for the
// file, listing the files it describes.
const ReadMeTable& selectReadMeTable(const ReadMe& readMe, const std::string& readMePath,
                                     std::string_view inputPath, std::string_view tableFile = {});

struct ReadMeImport {
  ReadMe readMe;
  std::vector<std::string> notes;
  std::optional<OpenRaUnit> openRaUnit{};             // see TableMapping
  std::vector<std::string> positionCandidates{};      // see TableMapping
  std::string positionProblem{};                      // see TableMapping
};

// Reads the ReadMe, selects the table as above and applies it to
// `definition` (with `raUnit` as MappingChoices has it). Throws Error as
// readReadMe and selectReadMeTable do.
ReadMeImport importReadMe(const std::string& readMePath, const std::string& inputPath,
                          std::string_view tableFile, CatalogType type, CatalogDefinition& definition,
                          FileSystem& fs, std::optional<RaUnit> raUnit = std::nullopt);

}  // namespace mirdal
