#include "catalog/project_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <iterator>
#include <limits>
#include <tuple>
#include <type_traits>
#include <vector>

#include "catalog/ini_file.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr std::string_view kPage1 = "Page1";
constexpr std::string_view kPage2 = "Page2";
constexpr std::string_view kPage3 = "Page3";
constexpr std::string_view kPage4 = "Page4";
constexpr std::string_view kPage5 = "Page5";
constexpr std::string_view kPage6 = "Page6";
constexpr std::string_view kPage7 = "Page7";

// An indexed key: the stem followed by the index without leading zeros.
std::string indexed(std::string_view stem, int index) {
  char digits[16];
  auto r = std::to_chars(digits, digits + sizeof digits, index);
  return std::string(stem) + std::string(digits, r.ptr);
}

std::string integerText(std::int64_t v) {
  char digits[24];
  auto r = std::to_chars(digits, digits + sizeof digits, v);
  return std::string(digits, r.ptr);
}

std::string booleanText(bool v) { return v ? "1" : "0"; }

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Reads one key; a missing key or a value of the wrong form gives the
// fallback the caller passes.
class KeyReader {
 public:
  KeyReader(const IniFile& ini, std::string_view section, const std::string& key, const std::string& path)
      : ini_(ini), section_(section), key_(key), path_(path) {}

  // "\"<path>\": the value of <key> in [<section>]" followed by `rest`.
  Error error(const std::string& rest) const {
    return Error("\"" + path_ + "\": the value of " + key_ + " in [" + std::string(section_) + "]" + rest);
  }

  // A value longer than a profile read takes would come back cut, and a cut
  // path names another file: such a project is refused, never applied.
  std::optional<std::string> text() const {
    auto v = ini_.wholeValue(section_, key_);
    if (v && v->size() > IniFile::kMaxValueLength)
      throw error(" is " + std::to_string(v->size()) + " characters long; a project file holds at most " +
                  std::to_string(IniFile::kMaxValueLength) + " characters in a value");
    return v;
  }
  std::string text(const std::string& current) const {
    auto v = text();
    return v ? *v : current;
  }

  std::optional<std::int64_t> integer() const {
    auto v = text();
    return v ? parseProjectInteger(*v) : std::nullopt;
  }

  // Hand-edited values outside the range are clamped to its nearest end, the
  // same rule for every bounded quantity: nebsize=99999 becomes 3600.
  int integer(int current, std::int64_t lo, std::int64_t hi) const {
    auto v = integer();
    return v ? static_cast<int>(std::clamp(*v, lo, hi)) : current;
  }

  // One of the values lo..hi of an enumerated setting (a catalog type, a
  // line end, a coordinate form). Unlike a bound, a value outside names
  // nothing, and taking the nearest end would build another kind of catalog
  // without a word: it is refused, with the values there are.
  int choice(int current, std::int64_t lo, std::int64_t hi, std::string_view allowed) const {
    auto v = integer();
    if (!v) return current;
    if (*v < lo || *v > hi) throw outside(allowed);
    return static_cast<int>(*v);
  }

  // A drop-down list's selection 0..hi; a negative one (none selected) is
  // `none`, one beyond the list is refused as choice() refuses it.
  int selection(int current, std::int64_t hi, int none, std::string_view allowed) const {
    auto v = integer();
    if (!v) return current;
    if (*v > hi) throw outside(allowed);
    return *v < 0 ? none : static_cast<int>(*v);
  }

  Error outside(std::string_view allowed) const {
    return error(" is " + text().value_or(std::string()) + ", which is none of " + std::string(allowed));
  }

  bool boolean(bool current) const {
    auto v = integer();
    return v ? *v != 0 : current;
  }

  // A value that is no number gives the fallback; one that names a number
  // no setting takes (nan, inf, 1e400) is refused rather than replaced.
  double real(double fallback) const {
    auto v = text();
    if (!v) return fallback;
    auto d = parseProjectFloat(*v);
    if (!d && isNonFiniteNumber(*v)) throw error(" is " + *v + ", which is not a finite number");
    return d ? *d : fallback;
  }

  static bool isNonFiniteNumber(std::string_view t) {
    t = trimmed(t);
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) t.remove_prefix(1);
    for (std::string_view word : {"nan", "inf", "infinity"})
      if (equalNoCase(t, word)) return true;
    // A number too large for a double (from_chars leaves no value to tell
    // an overflow from an underflow).
    const std::string whole(t);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(whole.c_str(), &end);
    return !whole.empty() && end == whole.c_str() + whole.size() && errno == ERANGE && std::isinf(v);
  }

  // Colours keep their low 24 bits (0x00BBGGRR); -1 becomes white.
  Colour colour(Colour current) const {
    auto v = integer();
    return v ? static_cast<Colour>(static_cast<std::uint64_t>(*v) & 0x00FFFFFFu) : current;
  }

 private:
  const IniFile& ini_;
  std::string_view section_;
  const std::string& key_;
  const std::string& path_;
};

// Which keys a rule stands for.
struct Indexes {
  enum Kind {
    kOnce,       // one key, the stem itself
    kRange,      // the stem followed by each index first .. first + count - 1
    kCounted,    // indexes 0 .. n - 1, n the value of the count rule before
    kSameLoop,   // the indexes of the rule before, key by key with it: fieldindex0, fieldlength0, ...
    kCount,      // no keys of its own: the count of the next rule
  };
  Kind kind = kOnce;
  int first = 0;
  int count = 0;
};

constexpr Indexes kOnce{};
constexpr Indexes kCounted{Indexes::kCounted};
constexpr Indexes kSameLoop{Indexes::kSameLoop};
constexpr Indexes kCount{Indexes::kCount};
constexpr Indexes range(int first, int count) { return {Indexes::kRange, first, count}; }

// One key of a project file, or one family of indexed keys, and how its value
// maps to and from the definition.
struct KeyRule {
  std::string_view section;
  std::string_view stem;
  Indexes indexes;
  // The value written for the key of `index`.
  std::string (*write)(const CatalogDefinition& d, int index);
  // Applies the key of `index` to the definition, with the key's fallback
  // where it is missing or of the wrong form.
  void (*read)(const KeyReader& r, CatalogDefinition& d, int index);
  // Keys that came after the first project files are written only when they
  // say something, so that a fixed-column project saves as it always did.
  bool (*says)(const CatalogDefinition& d, int index) = nullptr;
  // A count rule's value: how many keys of the next rule the definition holds.
  int (*count)(const CatalogDefinition& d) = nullptr;
  // How many keys of the next rule a file gives (a count out of range is
  // clamped, a missing or malformed one is 0), after any preparation of the
  // list they fill.
  int (*readCount)(const KeyReader& r, CatalogDefinition& d) = nullptr;
};

constexpr KeyRule countKey(std::string_view section, std::string_view key, int (*count)(const CatalogDefinition&),
                           int (*readCount)(const KeyReader&, CatalogDefinition&)) {
  return {section, key, kCount, nullptr, nullptr, nullptr, count, readCount};
}

FieldSlot& slotOf(CatalogDefinition& d, int n) { return d.fieldSlots[static_cast<std::size_t>(n)]; }
const FieldSlot& slotOf(const CatalogDefinition& d, int n) { return d.fieldSlots[static_cast<std::size_t>(n)]; }

// The common forms of a BuildSettings member; a missing or malformed key
// keeps the current value.
template <auto member>
constexpr KeyRule textSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return d.settings.*member; },
          [](const KeyReader& r, CatalogDefinition& d, int) { d.settings.*member = r.text(d.settings.*member); }};
}
template <auto member, int lo, int hi>
constexpr KeyRule integerSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.*member); },
          [](const KeyReader& r, CatalogDefinition& d, int) {
            d.settings.*member = r.integer(d.settings.*member, lo, hi);
          }};
}
template <auto member, int lo, int hi, const char* allowed>
constexpr KeyRule choiceSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.*member); },
          [](const KeyReader& r, CatalogDefinition& d, int) {
            d.settings.*member = r.choice(d.settings.*member, lo, hi, allowed);
          }};
}
// -1 is the selection of a drop-down list with no item selected (text typed
// into it, as earlier versions saved it): the list's default, not its first item.
template <auto member, int hi, const char* allowed>
constexpr KeyRule selectionSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.*member); },
          [](const KeyReader& r, CatalogDefinition& d, int) {
            d.settings.*member = r.selection(d.settings.*member, hi, BuildSettings{}.*member, allowed);
          }};
}

// The values of the enumerated keys, for the message that refuses another.
constexpr char kTypeValues[] = "0 (stars), 1 (variable stars), 2 (double stars), 3 (nebulae), 4 (nebula outlines)";
constexpr char kEolValues[] = "0 (CR), 1 (LF), 2 (CR LF)";
constexpr char kRaTypeValues[] = "0, 1, 2, 3, 4 (the forms of right ascension on page 2)";
constexpr char kDecTypeValues[] = "0, 1, 2, 3 (the forms of declination on page 2)";
constexpr char kNebUnitValues[] = "0 (degree), 1 (minute), 2 (second), or -1 for the default";
static_assert(kDefaultObjectTypeCount == 18, "kNebTypeValues names them");
constexpr char kNebTypeValues[] = "0 to 17 (the default object types), or -1 for the default";
constexpr char kDrawingTypeValues[] = "0 (line), 1 (spline), 2 (surface)";
constexpr char kNumfileValues[] = "0 (50 region files), 1 (184), 2 (732), 3 (9537)";
template <auto member>
constexpr KeyRule booleanSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return booleanText(d.settings.*member); },
          [](const KeyReader& r, CatalogDefinition& d, int) { d.settings.*member = r.boolean(d.settings.*member); }};
}
template <auto member>
constexpr KeyRule realSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return formatProjectFloat(d.settings.*member); },
          [](const KeyReader& r, CatalogDefinition& d, int) { d.settings.*member = r.real(d.settings.*member); }};
}
template <auto member>
constexpr KeyRule colourSetting(std::string_view section, std::string_view key) {
  return {section, key, kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.*member); },
          [](const KeyReader& r, CatalogDefinition& d, int) { d.settings.*member = r.colour(d.settings.*member); }};
}

// A column of the code tables, rows numbered from 1; a missing key keeps the cell.
template <auto column>
constexpr KeyRule textColumn(std::string_view section, std::string_view stem) {
  constexpr int rows = static_cast<int>(std::tuple_size_v<std::remove_cvref_t<decltype(MappingTables{}.*column)>>);
  return {section, stem, range(1, rows),
          [](const CatalogDefinition& d, int r) { return (d.tables.*column)[static_cast<std::size_t>(r - 1)]; },
          [](const KeyReader& k, CatalogDefinition& d, int r) {
            std::string& cell = (d.tables.*column)[static_cast<std::size_t>(r - 1)];
            cell = k.text(cell);
          }};
}

// Every key of a project in file order: saved in this order, and read in it,
// so that the type and coordinate formats rebuild the field list before the
// ticks and labels land on its entries.
constexpr KeyRule kKeyRules[] = {
    {kPage1, "type", kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.type); },
     [](const KeyReader& r, CatalogDefinition& d, int) {
       d.setType(r.choice(d.settings.type, 0, kCatalogTypeCount - 1, kTypeValues));
     }},
    textSetting<&BuildSettings::shortname>(kPage1, "shortname"),
    textSetting<&BuildSettings::longname>(kPage1, "longname"),
    countKey(kPage1, "numfiles",
             [](const CatalogDefinition& d) { return static_cast<int>(d.settings.inputfiles.size()); },
             [](const KeyReader& r, CatalogDefinition& d) {
               // The input files are those the file lists, and no others.
               d.settings.inputfiles.clear();
               const std::optional<std::int64_t> count = r.integer();
               if (count && (*count < 0 || *count > kMaxInputFiles))
                 throw r.error(" is " + r.text().value_or(std::string()) + ", which is not a number of input files (0 to " +
                               std::to_string(kMaxInputFiles) + ")");
               return count ? static_cast<int>(*count) : 0;
             }),
    // A blank entry is skipped; a missing one means that numfiles counts
    // files the project does not name, and the build would read fewer.
    {kPage1, "inputfiles", kCounted,
     [](const CatalogDefinition& d, int k) { return d.settings.inputfiles[static_cast<std::size_t>(k)]; },
     [](const KeyReader& r, CatalogDefinition& d, int) {
       auto file = r.text();
       if (!file) throw r.error(" is missing, though numfiles counts a file there");
       if (!trimmed(*file).empty()) d.settings.inputfiles.push_back(std::move(*file));
     }},
    choiceSetting<&BuildSettings::eol, 0, 2, kEolValues>(kPage1, "eol"),
    // An unknown form name is refused rather than read as fixed columns: the
    // build would cut cells at byte columns and fill the catalog with noise.
    {kPage1, "format", kOnce,
     [](const CatalogDefinition& d, int) { return std::string(tableFormName(d.settings.format)); },
     [](const KeyReader& r, CatalogDefinition& d, int) {
       if (auto format = r.text()) {
         const auto form = parseTableForm(*format);
         if (!form)
           throw r.error(" is \"" + *format + "\", which is none of " + tableFormNameList());
         d.settings.format = *form;
       } else {
         d.settings.format = TableForm::Fixed;
       }
     },
     [](const CatalogDefinition& d, int) { return d.settings.format != TableForm::Fixed; }},
    {kPage1, "headerrow", kOnce, [](const CatalogDefinition& d, int) { return booleanText(d.settings.headerrow); },
     [](const KeyReader& r, CatalogDefinition& d, int) { d.settings.headerrow = r.boolean(false); },
     [](const CatalogDefinition& d, int) { return d.settings.headerrow; }},
    {kPage1, "table", kOnce, [](const CatalogDefinition& d, int) { return d.settings.table; },
     [](const KeyReader& r, CatalogDefinition& d, int) { d.settings.table = r.text(std::string()); },
     [](const CatalogDefinition& d, int) { return !d.settings.table.empty(); }},

    {kPage2, "ratype", kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.ratype); },
     [](const KeyReader& r, CatalogDefinition& d, int) {
       d.setRaType(r.choice(d.settings.ratype, 0, kRaTypeCount - 1, kRaTypeValues));
     }},
    {kPage2, "dectype", kOnce, [](const CatalogDefinition& d, int) { return integerText(d.settings.dectype); },
     [](const KeyReader& r, CatalogDefinition& d, int) {
       d.setDecType(r.choice(d.settings.dectype, 0, kDecTypeCount - 1, kDecTypeValues));
     }},
    realSetting<&BuildSettings::equinox>(kPage2, "equinox"),
    realSetting<&BuildSettings::epoch>(kPage2, "epoch"),
    realSetting<&BuildSettings::magmax>(kPage2, "magmax"),
    integerSetting<&BuildSettings::nebsize, 0, kNebSizeMax>(kPage2, "nebsize"),
    selectionSetting<&BuildSettings::nebunit, 2, kNebUnitValues>(kPage2, "nebunit"),
    selectionSetting<&BuildSettings::nebtype, kDefaultObjectTypeCount - 1, kNebTypeValues>(kPage2, "nebtype"),
    booleanSetting<&BuildSettings::neblog>(kPage2, "neblog"),
    integerSetting<&BuildSettings::linewidth, 0, kLineWidthMax>(kPage2, "linewidth"),
    colourSetting<&BuildSettings::linecolor>(kPage2, "linecolor"),
    choiceSetting<&BuildSettings::drawingtype, 0, 2, kDrawingTypeValues>(kPage2, "drawingtype"),
    booleanSetting<&BuildSettings::closedline>(kPage2, "closedline"),

    countKey(kPage3, "numitem", [](const CatalogDefinition& d) { return d.fields().size(); },
             [](const KeyReader& r, CatalogDefinition& d) { return r.integer(0, 0, d.fields().size()); }),
    {kPage3, "field", kCounted, [](const CatalogDefinition& d, int i) { return booleanText(d.ticked(i)); },
     [](const KeyReader& r, CatalogDefinition& d, int i) { d.setTicked(i, r.boolean(d.ticked(i))); }},
    {kPage3, "label", range(1, kLabelCount), [](const CatalogDefinition& d, int k) { return d.label(k); },
     [](const KeyReader& r, CatalogDefinition& d, int k) {
       // The label box takes 10 characters; a longer hand-edited label is cut.
       if (auto label = r.text()) d.setLabel(k, label->substr(0, kLabelMaxLength));
     }},
    // Negative columns and lengths read as "not set" downstream, as 0 does.
    {kPage3, "fieldindex", range(0, kSlotCount),
     [](const CatalogDefinition& d, int n) { return integerText(slotOf(d, n).firstChar); },
     [](const KeyReader& r, CatalogDefinition& d, int n) {
       slotOf(d, n).firstChar = r.integer(slotOf(d, n).firstChar, 0, kMaxSlotValue);
     }},
    {kPage3, "fieldlength", kSameLoop,
     [](const CatalogDefinition& d, int n) { return integerText(slotOf(d, n).length); },
     [](const KeyReader& r, CatalogDefinition& d, int n) {
       slotOf(d, n).length = r.integer(slotOf(d, n).length, 0, kMaxSlotValue);
     }},
    {kPage3, "calcA", kSameLoop,
     [](const CatalogDefinition& d, int n) { return formatProjectFloat(slotOf(d, n).calcA); },
     [](const KeyReader& r, CatalogDefinition& d, int n) { slotOf(d, n).calcA = r.real(1.0); }},
    {kPage3, "calcB", kSameLoop,
     [](const CatalogDefinition& d, int n) { return formatProjectFloat(slotOf(d, n).calcB); },
     [](const KeyReader& r, CatalogDefinition& d, int n) { slotOf(d, n).calcB = r.real(0.0); }},
    {kPage3, "fieldname", kSameLoop,
     [](const CatalogDefinition& d, int n) { return d.fieldNames[static_cast<std::size_t>(n)]; },
     [](const KeyReader& r, CatalogDefinition& d, int n) {
       d.fieldNames[static_cast<std::size_t>(n)] = r.text(std::string());
     },
     [](const CatalogDefinition& d, int n) { return !d.fieldNames[static_cast<std::size_t>(n)].empty(); }},
    {kPage3, "altname", range(1, kAltNameCount),
     [](const CatalogDefinition& d, int k) { return integerText(d.altNames[static_cast<std::size_t>(k - 1)]); },
     [](const KeyReader& r, CatalogDefinition& d, int k) {
       // The flag is stored as a byte; the header and the editor know only 0 and 1,
       // so a byte other than 0 is a set flag.
       if (auto v = r.integer())
         d.altNames[static_cast<std::size_t>(k - 1)] = (static_cast<std::uint64_t>(*v) & 0xFFu) != 0 ? 1 : 0;
     }},

    choiceSetting<&BuildSettings::numfile, 0, 3, kNumfileValues>(kPage4, "numfile"),
    textSetting<&BuildSettings::ouputdir>(kPage4, "ouputdir"),
    booleanSetting<&BuildSettings::index>(kPage4, "index"),
    booleanSetting<&BuildSettings::altindex>(kPage4, "altindex"),
    booleanSetting<&BuildSettings::prefalt>(kPage4, "prefalt"),
    booleanSetting<&BuildSettings::append>(kPage4, "append"),

    textColumn<&MappingTables::objectTypes>(kPage5, "nebtype"),
    textColumn<&MappingTables::sizeUnits>(kPage5, "unit"),
    textColumn<&MappingTables::lineOperations>(kPage6, "linetype"),
    textColumn<&MappingTables::colourStringsHidden>(kPage7, "colorstr"),
    {kPage7, "color", range(1, kColourRows),
     [](const CatalogDefinition& d, int r) { return integerText(d.tables.colours[static_cast<std::size_t>(r - 1)]); },
     [](const KeyReader& k, CatalogDefinition& d, int r) {
       Colour& cell = d.tables.colours[static_cast<std::size_t>(r - 1)];
       cell = k.colour(cell);
     }},
};

// Calls key(rule, name, index) for every key of the rules in file order. A
// count rule has no key loop of its own: count(rule) gives the number of
// keys of the counted rule after it.
template <class Count, class Key>
void forEachKey(Count&& count, Key&& key) {
  constexpr std::size_t kRules = std::size(kKeyRules);
  int counted = 0;
  for (std::size_t i = 0; i < kRules;) {
    const KeyRule& rule = kKeyRules[i];
    std::size_t end = i + 1;
    while (end < kRules && kKeyRules[end].indexes.kind == Indexes::kSameLoop) ++end;
    switch (rule.indexes.kind) {
      case Indexes::kCount:
        counted = count(rule);
        break;
      case Indexes::kOnce:
        key(rule, std::string(rule.stem), 0);
        break;
      default: {
        const bool isCounted = rule.indexes.kind == Indexes::kCounted;
        const int first = isCounted ? 0 : rule.indexes.first;
        const int last = first + (isCounted ? counted : rule.indexes.count);
        for (int index = first; index < last; ++index)
          for (std::size_t j = i; j < end; ++j) key(kKeyRules[j], indexed(kKeyRules[j].stem, index), index);
      }
    }
    i = end;
  }
}

struct ProjectKey {
  std::string_view section;
  std::string key;
  std::string value;
  bool optional = false;  // says nothing: not written
};

// Every key of a project in write order.
std::vector<ProjectKey> projectKeys(const CatalogDefinition& def) {
  std::vector<ProjectKey> keys;
  forEachKey(
      [&](const KeyRule& rule) {
        const int n = rule.count(def);
        keys.push_back(ProjectKey{rule.section, std::string(rule.stem), integerText(n)});
        return n;
      },
      [&](const KeyRule& rule, std::string name, int index) {
        keys.push_back(ProjectKey{rule.section, std::move(name), rule.write(def, index),
                                  rule.says != nullptr && !rule.says(def, index)});
      });
  return keys;
}

// The value for a message: line breaks and NUL written \r, \n and \0, cut at 200 bytes.
std::string shownValue(std::string_view v) {
  std::string out;
  for (char c : v.substr(0, 200)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\0') out += "\\0";
    else out += c;
  }
  return "\"" + out + (v.size() > 200 ? "...\"" : "\"");
}

// A value the file cannot give back as it was written: a line break would end
// the line (the rest read as another key, or lost), a NUL makes the file
// binary, and a read takes at most 2047 characters.
void checkStorable(const std::string& path, const ProjectKey& k) {
  const std::string start = "Cannot save \"" + path + "\": the value of " + k.key;
  if (k.value.find_first_of("\r\n") != std::string::npos)
    throw Error(start + " holds a line break, which a project file cannot hold: " + shownValue(k.value));
  if (k.value.find('\0') != std::string::npos)
    throw Error(start + " holds a NUL byte, which a project file cannot hold: " + shownValue(k.value));
  if (k.value.size() > IniFile::kMaxValueLength)
    throw Error(start + " is " + std::to_string(k.value.size()) + " characters long; a project file holds at most " +
                std::to_string(IniFile::kMaxValueLength) + " characters in a value");
}

Error notAProject(const std::string& path, const std::string& reason) {
  return Error("\"" + path + "\" is not a Mirdal project file: " + reason);
}

// The text of a project file, refused when it cannot be one: unreadable,
// larger than any project, binary, or without the catalog type that every
// saved project starts with.
IniFile readProjectText(const std::string& path, FileSystem& fs) {
  bool whole = false;
  std::string text;
  try {
    text = IniFile::readText(path, fs, whole);
  } catch (const Error& e) { throw notAProject(path, e.what()); }
  if (!whole)
    throw notAProject(path, "it is larger than " + std::to_string(IniFile::kMaxFileBytes >> 20) + " MiB");
  if (std::size_t nul = text.find('\0'); nul != std::string::npos)
    throw notAProject(path, "it holds binary data (a NUL byte at offset " + std::to_string(nul) + ")");
  IniFile ini(text);
  if (!ini.value(kPage1, "type")) throw notAProject(path, "it has no [Page1] section with a type key");
  return ini;
}

}  // namespace

std::string formatProjectFloat(double value) {
  char buffer[64];
  // %.15g: fixed notation for decimal exponents -4 to 14, E notation outside.
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string s(buffer, r.ptr);
  std::size_t e = s.find('e');
  if (e == std::string::npos) return s;
  // "1e-05" -> "1E-5", "1.5e+20" -> "1.5E20"
  std::string out = s.substr(0, e) + "E";
  std::size_t p = e + 1;
  if (s[p] == '-') out += '-';
  if (s[p] == '-' || s[p] == '+') ++p;
  while (p + 1 < s.size() && s[p] == '0') ++p;
  return out + s.substr(p);
}

std::optional<std::int64_t> parseProjectInteger(std::string_view t) {
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  unsigned base = 10;
  if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t magnitude = 0;
  bool saturated = false;
  for (char c : t) {
    auto d = static_cast<unsigned>(digitValue(c));
    if (d >= base) return std::nullopt;
    if (magnitude > (kMax - d) / base)
      saturated = true;
    else
      magnitude = magnitude * base + d;
  }
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  if (negative) {
    if (saturated || magnitude >= kLimit) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
  }
  if (saturated || magnitude >= kLimit) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(magnitude);
}

std::optional<double> parseProjectFloat(std::string_view t) {
  // from_chars takes no "+", and would take "inf" and "nan": a number must
  // start with a digit or "." after its optional sign.
  std::string_view body = t;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  if (body.empty() || !((body.front() >= '0' && body.front() <= '9') || body.front() == '.')) return std::nullopt;
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  double v = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

void refuseSpecialSaveTarget(const std::string& path, FileSystem& fs) {
  const std::string failure = "Unable to write to " + path;
  for (const std::string& name : {path, path + ".old"}) {
    const FileKind kind = fs.kind(name);
    if (kind == FileKind::Directory && name != path) throw Error(failure + ": " + notAFileMessage(name, kind));
    if (kind != FileKind::Missing && kind != FileKind::Regular && kind != FileKind::Directory)
      throw Error(failure + ": " + notAFileMessage(name, kind));
  }
}

void saveProject(const std::string& path, const CatalogDefinition& definition, FileSystem& fs) {
  // Refused before anything is written: nothing changes on disk.
  const std::vector<ProjectKey> keys = projectKeys(definition);
  for (const ProjectKey& k : keys) checkStorable(path, k);

  const std::string failure = "Unable to write to " + path;
  // A directory at the path cannot be replaced by a file.
  if (fs.isDirectory(path)) throw Error(failure + ": " + std::strerror(EISDIR));
  // Nor is a pipe, a device or a socket (or a link to one) replaced: the
  // rename below would put a regular file in its place.
  refuseSpecialSaveTarget(path, fs);

  // The new text goes to a file beside the target (so on the same file
  // system), is put on the disk, and only then renamed over the target: the
  // target is at every moment the previous project or the new one, whole.
  // The ".old" copy is a second name of the previous file, made before the
  // rename and put in place after it; a save that fails leaves the target
  // and ".old" as they were.
  const std::string part = path + ".saving";
  const std::string oldPart = path + ".old.saving";
  auto discard = [&] {
    fs.tryRemove(part);
    fs.tryRemove(oldPart);
  };
  discard();  // what a killed save left
  IniFile ini;
  for (const ProjectKey& k : keys)
    if (!k.optional) ini.setValue(k.section, k.key, k.value);
  const std::string text = ini.text();
  try {
    auto file = fs.open(part, OpenMode::CreateNew);
    file->write(text.data(), text.size());
    file->sync();
    file->close();
    if (fs.kind(path) == FileKind::Regular && !fs.tryLink(path, oldPart)) copyFile(fs, path, oldPart);
  } catch (const Error& e) {
    discard();
    throw Error(failure + ": " + e.what());
  }
  if (const FileOutcome replaced = fs.tryRename(part, path); !replaced) {
    discard();
    throw Error(failure + ": " + fileErrorMessage("replace", path, replaced.error));
  }
  // The project is saved; a ".old" that cannot be replaced keeps the older one.
  if (fs.exists(oldPart) && !fs.tryRename(oldPart, path + ".old")) fs.tryRemove(oldPart);
}

void loadProject(const std::string& path, CatalogDefinition& target, FileSystem& fs) {
  const IniFile ini = readProjectText(path, fs);
  // Applied to a copy: a refused value leaves the target as it was.
  CatalogDefinition definition = target;
  forEachKey(
      [&](const KeyRule& rule) {
        const std::string name(rule.stem);
        return rule.readCount(KeyReader(ini, rule.section, name, path), definition);
      },
      [&](const KeyRule& rule, const std::string& name, int index) {
        rule.read(KeyReader(ini, rule.section, name, path), definition, index);
      });
  // Short and long names longer than their boxes are cut.
  definition.settings.clampToRanges();
  target = std::move(definition);
}

}  // namespace mirdal
