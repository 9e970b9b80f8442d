#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalog/catalog_definition.h"
#include "catalog/table_form_name.h"
#include "util/file_system.h"

namespace mirdal {

// Texts of the checks. The first four are the wizard's page checks.
inline constexpr const char* kFileNotFound = "File not found";
inline constexpr const char* kShortNameMissing = "Please indicate a catalog short name";
inline constexpr const char* kLongNameMissing = "Please indicate a catalog long name";
inline constexpr const char* kRequiredFieldMissing = "Required field missing !";
inline constexpr const char* kShortNameUnsafe =
    "The catalog short name cannot hold \"/\", \"\\\", \"..\" or control characters, as it names the output files";
inline constexpr const char* kInvalidNumberOfFilesPrefix = "Invalid number of files : ";
inline constexpr const char* kShortNameTooLong =
    "The catalog short name takes more than the 4 bytes its header holds: at most 4 characters, "
    "fewer where a character takes several bytes (\"\u00e9\" takes 2)";
inline constexpr const char* kShortNameHidden =
    "The catalog short name cannot start with \".\", as it names the output files";
inline constexpr const char* kTableChoiceUnfit = "The table to read does not suit the input file's form";

// The setting a problem is about, so that the wizard can put the focus on
// its control.
enum class DefinitionItem { InputFiles, ShortName, LongName, Fields, RegionScheme };

struct DefinitionProblem {
  DefinitionItem item;
  std::string message;  // the text the wizard shows
  std::string detail;   // what exactly is wrong, for the command line; may be empty
  int field = -1;       // the list position of the field it is about, else -1

  // The message, then ": " and the detail when there is one.
  std::string text() const;
};

// Page 1: the first input file exists (after "~" expansion) and is not a
// directory (""<path>" is not a file: it is a directory"); the short name is not blank and stays inside the output
// directory; the long name is not blank. In this order, first problem only.
std::optional<DefinitionProblem> checkCatalogPage(const CatalogDefinition& definition,
                                                  FileSystem& fs);

// Page 3: every entry whose text starts with "[" is ticked.
std::optional<DefinitionProblem> checkFieldsPage(const CatalogDefinition& definition);

// Whether the definition can be built, checked before anything is created:
// page 1 as above, every required entry ticked and given a column (first
// character and length of at least 1), a region scheme of 50, 184, 732
// or 9537 files, and a table choice that suits the form (tableChoiceProblem).
// The output directory is left to the build, which asks for it in its own
// words.
std::optional<DefinitionProblem> findDefinitionProblem(const CatalogDefinition& definition,
                                                       FileSystem& fs);

// The same as a message (DefinitionProblem::text), or nothing when the
// definition can be built. For callers that only refuse, such as the build.
std::optional<std::string> validateDefinition(const CatalogDefinition& definition,
                                              FileSystem& fs);

// A short name is the base of every output file name ("<name>.hdr",
// "<name>01.dat"): a separator, ".." or a control character in it would put
// files outside the output directory or make names no one can type, and a
// leading "." would hide them (the build refuses such names).
bool isSafeShortName(std::string_view shortname);
// Why a short name that is not blank cannot name the files (kShortNameUnsafe,
// kShortNameHidden, or kShortNameTooLong: the header stores 4 bytes, and a
// longer name would be cut there, inside a character or to another name
// than the one given), or nullptr when it can.
const char* shortNameProblem(std::string_view shortname);

// Why `table` (the FITS extension or VOTable TABLE to read, by name or
// number; empty for the first) does not suit a file of form `form`, or
// nothing when it does. Without a form only the number is looked at: a
// table number is 1 to 999999 written without leading zeros, so that it
// names the same table in either form. The same check serves the import's
// --table and the build's project.
std::optional<std::string> tableChoiceProblem(std::optional<TableForm> form, std::string_view table);

}  // namespace mirdal
