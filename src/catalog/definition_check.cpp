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

bool isSafeShortName(std::string_view shortname) {
  const std::string_view t = trimmed(shortname);
  if (t.find("..") != std::string_view::npos) return false;
  return std::none_of(t.begin(), t.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || u < 32 || u == 127;
  });
}

std::optional<DefinitionProblem> checkCatalogPage(const CatalogDefinition& definition, FileSystem& fs) {
  const BuildSettings& s = definition.settings;
  // Only the first file is looked for, as the page does; the build names any
  // later one that is missing when it comes to it.
  if (s.inputfiles.empty()) return problem(DefinitionItem::InputFiles, kFileNotFound, "no input file is listed");
  const std::string first = expandHome(s.inputfiles.front());
  if (!fs.exists(first) || fs.isDirectory(first))
    return problem(DefinitionItem::InputFiles, kFileNotFound, quotedName(first));
  if (trimmed(s.shortname).empty()) return problem(DefinitionItem::ShortName, kShortNameMissing);
  if (!isSafeShortName(s.shortname))
    return problem(DefinitionItem::ShortName, kShortNameUnsafe, quotedName(s.shortname));
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
  return std::nullopt;
}

std::optional<std::string> validateDefinition(const CatalogDefinition& definition, FileSystem& fs) {
  if (auto p = findDefinitionProblem(definition, fs)) return p->text();
  return std::nullopt;
}

}  // namespace mirdal
