#include "import/import_options.h"

#include <cmath>

#include "catalog/definition_check.h"
#include "catalog/project_file.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr int kRegionCounts[] = {50, 184, 732, 9537};

[[noreturn]] void refuse(std::string_view option, const std::string& value, const std::string& why) {
  throw UsageError(std::string(option) + " \"" + value + "\": " + why);
}

double finiteNumber(std::string_view option, const std::string& value) {
  const std::optional<double> v = parseProjectFloat(std::string(trimmed(value)));
  if (!v || !std::isfinite(*v)) refuse(option, value, "not a number");
  return *v;
}

bool sameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

// String k (1..10) named by its number or by the label of its entry.
int stringNumber(const CatalogDefinition& d, const std::string& item) {
  const FieldCatalogue& f = d.fields();
  if (const std::optional<std::int64_t> k = parseProjectInteger(item); k && *k >= 1 && *k <= kFreeStringCount)
    return static_cast<int>(*k);
  for (int k = 1; k <= kFreeStringCount; ++k)
    if (sameLetters(trimmed(d.labelOfPosition(f.stringPosition(k))), item)) return k;
  refuse("--alt-names", item, "neither a String number 1 to 10 nor the label of a String field");
}

}  // namespace

int regionCountOfNumfile(int numfile) { return kRegionCounts[numfile < 0 ? 0 : numfile > 3 ? 3 : numfile]; }

bool readImportOption(std::string_view name, const std::string& value, ImportOptions& o) {
  if (name == "--short-name") {
    o.shortName = value;
  } else if (name == "--long-name") {
    o.longName = value;
  } else if (name == "--regions") {
    const std::optional<std::int64_t> n = parseProjectInteger(std::string(trimmed(value)));
    int numfile = -1;
    for (int i = 0; i < 4; ++i)
      if (n && *n == kRegionCounts[i]) numfile = i;
    if (numfile < 0) refuse(name, value, "give 50, 184, 732 or 9537");
    o.regions = kRegionCounts[numfile];
  } else if (name == "--alt-names") {
    std::vector<std::string> items;
    if (!sameLetters(trimmed(value), "none")) {
      for (std::string_view rest = value; !rest.empty();) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = trimmed(rest.substr(0, comma));
        if (item.empty()) refuse(name, value, "an empty name in the list");
        items.emplace_back(item);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      }
      if (items.empty()) refuse(name, value, "give String numbers or labels, or none");
    }
    o.altNames = std::move(items);
  } else if (name == "--magmax") {
    o.magmax = finiteNumber(name, value);
  } else if (name == "--equinox") {
    o.equinox = finiteNumber(name, value);
  } else if (name == "--ra-unit") {
    o.raUnit = parseRaUnit(value);
    if (!o.raUnit) refuse(name, value, "give hours or degrees");
  } else {
    return false;
  }
  return true;
}

void applyImportOptions(const ImportOptions& o, CatalogDefinition& d) {
  BuildSettings& s = d.settings;
  if (o.shortName) {
    if (trimmed(*o.shortName).empty()) refuse("--short-name", *o.shortName, "blank");
    // Characters as UTF-8 counts them; the header holds 4 bytes of them.
    const std::optional<std::size_t> characters = utf8Characters(*o.shortName);
    if (characters.value_or(o.shortName->size()) > kShortNameMaxLength)
      refuse("--short-name", *o.shortName, "longer than 4 characters");
    if (o.shortName->size() > kShortNameMaxLength)
      refuse("--short-name", *o.shortName,
             std::to_string(*characters) + (*characters == 1 ? " character" : " characters") + " of " +
                 std::to_string(o.shortName->size()) + " bytes: " + kShortNameTooLong);
    if (const char* why = shortNameProblem(*o.shortName)) refuse("--short-name", *o.shortName, why);
    s.shortname = *o.shortName;
  }
  if (o.longName) {
    if (trimmed(*o.longName).empty()) refuse("--long-name", *o.longName, "blank");
    if (o.longName->size() > kLongNameMaxLength) refuse("--long-name", *o.longName, "longer than 50 characters");
    s.longname = *o.longName;
  }
  if (o.regions) {
    if (!d.regionChoiceOffered())
      refuse("--regions", std::to_string(*o.regions), "a catalog of nebula outlines has one region file");
    for (int i = 0; i < 4; ++i)
      if (kRegionCounts[i] == *o.regions) s.numfile = i;
  }
  if (o.index) {
    if (!d.indexChoiceOffered() && *o.index)
      refuse("--index", "", "a catalog of nebula outlines has no index");
    s.index = *o.index;
  }
  if (o.altNames) {
    if (!d.indexChoiceOffered() && !o.altNames->empty())
      refuse("--alt-names", o.altNames->front(), "a catalog of nebula outlines has no index");
    std::array<std::uint8_t, kAltNameCount> flags{};
    for (const std::string& item : *o.altNames) {
      const int k = stringNumber(d, item);
      const int position = d.fields().stringPosition(k);
      const FieldSlot& slot = d.fieldSlots[static_cast<std::size_t>(position)];
      if (!d.ticked(position) || slot.firstChar < 1 || slot.length < 1)
        refuse("--alt-names", item, "String " + std::to_string(k) + " is not a field of this catalog (no column)");
      flags[static_cast<std::size_t>(k - 1)] = 1;
    }
    d.altNames = flags;
    s.altindex = !o.altNames->empty();
    if (s.altindex && !s.index) refuse("--alt-names", o.altNames->front(), "alternate names need the index (--index)");
  }
  if (o.magmax) s.magmax = *o.magmax;
  if (o.equinox) s.equinox = *o.equinox;
}

}  // namespace mirdal
