#include "catalog/definition_check.h"

#include <algorithm>

#include "util/home_directory.h"
#include "util/text.h"

namespace mirdal {

namespace {

std::string quotedName(std::string_view s) { return "\"" + std::string(s) + "\""; }

DefinitionProblem problem(DefinitionItem item, std::string message, std::string detail = {}, int field = -1) {
  return DefinitionProblem{item, std::move(message), std::move(detail), field};
}

}  // namespace

std::string DefinitionProblem::text() const { return detail.empty() ? message : message + ": " + detail; }

const char* shortNameProblem(std::string_view shortname) {
  const std::string_view t = trimmed(shortname);
  if (t.find("..") != std::string_view::npos) return kShortNameUnsafe;
  if (std::any_of(t.begin(), t.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 32 || u == 127;
      }))
    return kShortNameUnsafe;
  // The files' base name is the trimmed short name: ".x" would make ".x.hdr".
  if (!t.empty() && t.front() == '.') return kShortNameHidden;
  // The header keeps the first 4 bytes: blanks after them are lost harmlessly.
  std::string_view stored = shortname;
  while (!stored.empty() && static_cast<unsigned char>(stored.back()) <= 32) stored.remove_suffix(1);
  if (stored.size() > kShortNameMaxLength) return kShortNameTooLong;
  return nullptr;
}

bool isSafeShortName(std::string_view shortname) { return shortNameProblem(shortname) == nullptr; }

std::optional<std::string> tableChoiceProblem(std::optional<TableForm> form, std::string_view table) {
  if (table.empty()) return std::nullopt;
  if (std::all_of(table.begin(), table.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      (table.front() == '0' || table.size() > 6))
    return "\"" + std::string(table) + "\" is no table number: tables are numbered 1 to 999999, without leading zeros";
  if (form && !isTypedForm(*form))
    return "a table is chosen in FITS and VOTable files only, not in a file of form " +
           std::string(tableFormName(*form));
  return std::nullopt;
}

std::optional<DefinitionProblem> checkCatalogPage(const CatalogDefinition& definition, FileSystem& fs) {
  const BuildSettings& s = definition.settings;
  // Only the first file is looked for, as the page does; the build names any
  // later one that is missing when it comes to it.
  if (s.inputfiles.empty()) return problem(DefinitionItem::InputFiles, kFileNotFound, "no input file is listed");
  const std::string first = expandHome(s.inputfiles.front());
  if (!fs.exists(first)) return problem(DefinitionItem::InputFiles, kFileNotFound, quotedName(first));
  // Named whole in the message itself: the wizard shows no detail.
  if (fs.isDirectory(first)) return problem(DefinitionItem::InputFiles, notAFileMessage(first, FileKind::Directory));
  if (trimmed(s.shortname).empty()) return problem(DefinitionItem::ShortName, kShortNameMissing);
  if (const char* why = shortNameProblem(s.shortname))
    return problem(DefinitionItem::ShortName, why, quotedName(s.shortname));
  if (trimmed(s.longname).empty()) return problem(DefinitionItem::LongName, kLongNameMissing);
  return std::nullopt;
}

std::optional<DefinitionProblem> checkFieldsPage(const CatalogDefinition& definition) {
  const FieldCatalogue& f = definition.fields();
  for (int p = 0; p < f.size(); ++p)
    if (f.entry(p).required() && !definition.ticked(p))
      return problem(DefinitionItem::Fields, kRequiredFieldMissing, quotedName(f.entry(p).text) + " is not ticked", p);
  return std::nullopt;
}

std::optional<DefinitionProblem> findDefinitionProblem(const CatalogDefinition& definition, FileSystem& fs) {
  if (auto p = checkCatalogPage(definition, fs)) return p;
  if (auto p = checkFieldsPage(definition)) return p;
  // A required entry without a column would read an empty text on every
  // line: no line would have a position, or every magnitude would be missing.
  const FieldCatalogue& f = definition.fields();
  for (int p = 0; p < f.size(); ++p) {
    const FieldSlot& slot = definition.fieldSlots[static_cast<std::size_t>(p)];
    if (f.entry(p).required() && (slot.firstChar < 1 || slot.length < 1))
      return problem(DefinitionItem::Fields, kRequiredFieldMissing, quotedName(f.entry(p).text) + " has no column", p);
  }
  const int numfile = definition.settings.numfile;
  if (definition.regionChoiceOffered() && (numfile < 0 || numfile > 3))
    return problem(DefinitionItem::RegionScheme, kInvalidNumberOfFilesPrefix + std::to_string(numfile),
                   "numfile must be 0 to 3 (50, 184, 732 or 9537 region files)");
  if (auto why = tableChoiceProblem(definition.settings.format, definition.settings.table))
    return problem(DefinitionItem::InputFiles, kTableChoiceUnfit, "table " + quotedName(definition.settings.table) +
                                                                      ": " + *why);
  return std::nullopt;
}

std::optional<std::string> validateDefinition(const CatalogDefinition& definition, FileSystem& fs) {
  if (auto p = findDefinitionProblem(definition, fs)) return p->text();
  return std::nullopt;
}

}  // namespace mirdal
