#include "import/column_choices.h"

#include <algorithm>

#include "catalog/project_file.h"
#include "import/mapping_rules.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

using namespace detail;

// The RA and DEC modes that read a whole position from one cell.
constexpr int kRaOneCell = 4;
constexpr int kDecOneCell = 3;

// Lower case, brackets dropped, blanks at the ends dropped and inner runs as one.
std::string fieldKey(std::string_view text) {
  std::string key;
  for (char c : text) {
    if (c == '[' || c == ']') continue;
    if (c == ' ' || c == '\t') {
      if (!key.empty() && key.back() != ' ') key += ' ';
      continue;
    }
    key += asciiLower(c);
  }
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

// "magnitude (mag)" -> "magnitude": an entry named without its unit.
std::string withoutUnit(const std::string& key) {
  const std::size_t open = key.rfind(" (");
  return open != std::string::npos && key.back() == ')' ? key.substr(0, open) : key;
}

struct Target {
  enum class Kind { Ra, Dec, Entry } kind = Kind::Entry;
  int position = -1;
};

std::string fieldChoices(const CatalogDefinition& def) {
  std::string list = "RA, DEC";
  for (int p = def.fields().firstTypePosition(); p < def.fields().size(); ++p) {
    std::string text(def.fields().entry(p).text);
    std::erase(text, '[');
    std::erase(text, ']');
    list += ", " + text;
  }
  return list;
}

Target findField(const CatalogDefinition& def, std::string_view name) {
  const std::string key = fieldKey(name);
  if (key == "ra" || key == "right ascension") return {Target::Kind::Ra};
  if (key == "dec" || key == "de" || key == "declination") return {Target::Kind::Dec};
  const FieldCatalogue& f = def.fields();
  for (bool loose : {false, true})
    for (int p = 0; p < f.size(); ++p) {
      const std::string entry = fieldKey(f.entry(p).text);
      if (entry == key || (loose && withoutUnit(entry) == key)) return {Target::Kind::Entry, p};
    }
  throw UsageError("No field \"" + std::string(name) + "\" to choose a column for; the fields are " +
                   fieldChoices(def));
}

std::string columnChoices(const ReadMeTable& table) {
  std::string list;
  constexpr std::size_t kShown = 80;
  for (std::size_t i = 0; i < table.columns.size() && i < kShown; ++i)
    list += (i ? ", " : "") + table.columns[i].describe();
  if (table.columns.size() > kShown) list += ", ... (" + std::to_string(table.columns.size()) + " in all)";
  return list.empty() ? "none" : list;
}

// The index into `table` of the column named `name`: its exact name, else
// its name in another letter case when only one column has it, else its
// 1-based number.
int findColumn(const ReadMeTable& table, std::string_view name) {
  const int count = static_cast<int>(table.columns.size());
  for (int i = 0; i < count; ++i)
    if (table.columns[static_cast<std::size_t>(i)].label == name) return i;
  int found = -1;
  for (int i = 0; i < count; ++i)
    if (equalNoCase(table.columns[static_cast<std::size_t>(i)].label, name)) {
      if (found >= 0) {
        found = -2;
        break;
      }
      found = i;
    }
  if (found >= 0) return found;
  if (!name.empty() && std::all_of(name.begin(), name.end(), isAsciiDigit) && name.size() < 7) {
    const int number = std::stoi(std::string(name));
    // A table of cells numbers its columns; a byte-by-byte table counts its rows.
    for (int i = 0; i < count; ++i)
      if (table.columns[static_cast<std::size_t>(i)].column == number) return i;
    if (number >= 1 && number <= count && table.columns.front().column == 0) return number - 1;
  }
  throw UsageError("No column \"" + std::string(name) + "\"" +
                   (found == -2 ? " (several columns have that name in other letter cases)" : "") +
                   "; the columns are " + columnChoices(table));
}

bool readsColumn(const CatalogDefinition& def, int p, const ReadMeColumn& c) {
  const FieldSlot& s = def.fieldSlots[static_cast<std::size_t>(p)];
  if (!def.ticked(p)) return false;
  if (c.column > 0) return s.firstChar == c.column;
  return s.firstChar == c.firstByte && s.length == c.length();
}

void clearSlot(CatalogDefinition& def, int p) {
  def.fieldSlots[static_cast<std::size_t>(p)] = FieldSlot{};
  def.fieldNames[static_cast<std::size_t>(p)].clear();
  def.setTicked(p, false);
}

void place(CatalogDefinition& def, int p, const ReadMeColumn& c, double a, double b) {
  FieldSlot& slot = def.fieldSlots[static_cast<std::size_t>(p)];
  if (c.column > 0) {
    slot.firstChar = c.column;
    slot.length = std::max(c.width, 1);
    def.fieldNames[static_cast<std::size_t>(p)] = c.label;
  } else {
    slot.firstChar = c.firstByte;
    slot.length = c.length();
  }
  slot.calcA = a;
  slot.calcB = b;
  def.setTicked(p, true);
}

// Changes the RA and DEC modes keeping every other entry's tick, slot,
// column name and label: the list is rebuilt, and what stood at each entry
// moves with it.
void setPositionModes(CatalogDefinition& def, int ratype, int dectype) {
  if (def.settings.ratype == ratype && def.settings.dectype == dectype) return;
  const FieldCatalogue before = def.fields();
  const auto slots = def.fieldSlots;
  const auto names = def.fieldNames;
  std::vector<bool> ticks;
  for (int p = 0; p < before.size(); ++p) ticks.push_back(def.ticked(p));
  std::vector<std::string> labels;
  for (int n = 1; n <= kLabelCount; ++n) labels.push_back(def.label(n));
  const bool sameRa = def.settings.ratype == ratype, sameDec = def.settings.dectype == dectype;

  def.setRaType(ratype);
  def.setDecType(dectype);
  const FieldCatalogue& after = def.fields();
  def.fieldSlots.fill(FieldSlot{});
  for (std::string& n : def.fieldNames) n.clear();
  auto move = [&](int from, int to) {
    def.fieldSlots[static_cast<std::size_t>(to)] = slots[static_cast<std::size_t>(from)];
    def.fieldNames[static_cast<std::size_t>(to)] = names[static_cast<std::size_t>(from)];
    def.setTicked(to, ticks[static_cast<std::size_t>(from)]);
  };
  if (sameRa)
    for (int k = 0; k < before.raCount(); ++k) move(k, k);
  if (sameDec)
    for (int k = 0; k < before.decCount(); ++k) move(before.raCount() + k, after.raCount() + k);
  for (int k = 0; before.firstTypePosition() + k < before.size(); ++k)
    move(before.firstTypePosition() + k, after.firstTypePosition() + k);
  for (int n = 1; n <= kLabelCount; ++n) def.setLabel(n, labels[static_cast<std::size_t>(n - 1)]);
}

// A position column's cells written "12 34 56.7" or "12:34:56.7", or so declared.
bool holdsSexagesimal(const ReadMeColumn& c) {
  return c.sexagesimal || c.units.find(':') != std::string::npos || c.units == "hms" || c.units == "dms";
}

class Chooser {
 public:
  Chooser(const ReadMeTable& table, const std::vector<ColumnEvidence>& evidence, std::optional<RaUnit> raUnit,
          CatalogDefinition& def)
      : table_(table), evidence_(evidence), raUnit_(raUnit), def_(def) {}

  void choose(const ColumnChoice& choice) {
    const Target target = findField(def_, choice.field);
    const int index = findColumn(table_, choice.column);
    const ReadMeColumn& c = table_.columns[static_cast<std::size_t>(index)];
    switch (target.kind) {
      case Target::Kind::Ra: chooseRa(c, index); break;
      case Target::Kind::Dec: chooseDec(c, index); break;
      case Target::Kind::Entry: chooseEntry(target.position, c); break;
    }
  }

  ChoiceOutcome outcome;

 private:
  // Other entries that read `c` give it up, positions apart (a sign and
  // its degrees may share a column).
  void release(const ReadMeColumn& c, int keep) {
    const FieldCatalogue& f = def_.fields();
    for (int p = f.firstTypePosition(); p < f.size(); ++p)
      if (p != keep && readsColumn(def_, p, c)) {
        clearSlot(def_, p);
        if (f.isString(p)) def_.altNames[static_cast<std::size_t>(p - f.stringPosition(1))] = 0;
        outcome.notes.push_back(entryText(p) + ": none, its column " + c.describe() + " was chosen for " +
                                entryText(keep));
      }
  }

  std::string entryText(int p) const { return std::string(def_.fields().entry(p).text); }

  void chooseEntry(int p, const ReadMeColumn& c) {
    const int field = def_.fields().recordField(p);
    double a = 1, b = 0;
    std::string remark;
    if (def_.fields().entry(p).kind != ValueKind::Text) {
      const auto rules = rulesOf(def_.type());
      const auto rule = std::find_if(rules.begin(), rules.end(), [&](const Rule& r) { return r.field == field; });
      if (rule != rules.end() && rule->quantity != Quantity::Any) {
        if (const auto cal = calibrationFor(rule->quantity, c.units)) {
          a = cal->a;
          b = cal->b;
          if (a != 1 || b != 0) remark = ", " + c.units + " converted" + (cal->remark.empty() ? "" : ": " + cal->remark);
        } else if (!c.units.empty()) {
          remark = ", read as it stands: its unit " + c.units + " is not one the field converts";
        }
      }
    }
    place(def_, p, c, a, b);
    if (def_.fields().isString(p) || p >= def_.fields().numericPosition(1))
      if (!c.label.empty()) def_.setLabelOfPosition(p, c.label.substr(0, kLabelMaxLength));
    outcome.notes.push_back(entryText(p) + ": " + c.describe() + ", as chosen" + remark);
    release(c, p);
  }

  ColumnEvidence evidenceOf(int index) const {
    return static_cast<std::size_t>(index) < evidence_.size() ? evidence_[static_cast<std::size_t>(index)]
                                                              : ColumnEvidence{};
  }

  // A position as one number: refused when the cells are texts of another kind.
  void requireNumber(const ReadMeColumn& c, int index, const char* axis) const {
    if (c.isText() && evidenceOf(index).values == 0)
      throw UsageError("Column " + c.describe() + " holds texts that are neither numbers nor sexagesimal parts (" +
                       "\"12 34 56.7\", \"12:34:56.7\"), so it gives no " + axis);
  }

  void chooseRa(const ReadMeColumn& c, int index) {
    std::string what;
    double a = 1;
    int ratype = kRaOneCell;
    if (holdsSexagesimal(c)) {
      what = "hours, minutes and seconds in one cell";
    } else {
      requireNumber(c, index, "right ascension");
      RaUnitEvidence e;
      e.label = c.label;
      e.unit = c.units;
      e.values = evidenceOf(index).values;
      e.largest = evidenceOf(index).largest;
      e.stated = raUnit_;
      const bool radians = c.units == "rad";
      const RaUnitDecision d = radians ? RaUnitDecision{RaUnit::Degrees, "its unit rad"} : decideRaUnit(e);
      if (radians) a = kDegreesPerRadian;
      ratype = d.unit == RaUnit::Hours ? 1 : 3;
      what = d.unit == RaUnit::Hours ? "decimal hours" : "decimal degrees";
      if (radians) what += ", radians x " + formatProjectFloat(a);
      if (!d.unit) outcome.openRaUnit = OpenRaUnit{c.describe(), d.reason};
      else what += " (" + d.reason + ")";
    }
    setPositionModes(def_, ratype, def_.settings.dectype);
    for (int p = 0; p < def_.fields().raCount(); ++p) clearSlot(def_, p);
    place(def_, 0, c, a, 0);
    release(c, 0);
    outcome.notes.push_back("RA: " + what + " from " + c.describe() + ", as chosen");
  }

  void chooseDec(const ReadMeColumn& c, int index) {
    std::string what;
    double a = 1;
    int dectype = kDecOneCell;
    if (holdsSexagesimal(c)) {
      what = "degrees, minutes and seconds in one cell, the sign the cell's";
    } else {
      requireNumber(c, index, "declination");
      dectype = 1;
      what = "decimal degrees";
      if (c.units == "rad") {
        a = kDegreesPerRadian;
        what += ", radians x " + formatProjectFloat(a);
      }
    }
    setPositionModes(def_, def_.settings.ratype, dectype);
    const int first = def_.fields().raCount();
    for (int p = first; p < first + def_.fields().decCount(); ++p) clearSlot(def_, p);
    place(def_, first, c, a, 0);
    release(c, first);
    outcome.notes.push_back("DEC: " + what + " from " + c.describe() + ", as chosen");
  }

  const ReadMeTable& table_;
  const std::vector<ColumnEvidence>& evidence_;
  std::optional<RaUnit> raUnit_;
  CatalogDefinition& def_;
};

std::vector<std::string> splitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t begin = 0;
  while (true) {
    const std::size_t comma = text.find(',', begin);
    items.emplace_back(trimmed(text.substr(begin, comma == std::string_view::npos ? comma : comma - begin)));
    if (comma == std::string_view::npos) break;
    begin = comma + 1;
  }
  return items;
}

}  // namespace

std::vector<ColumnChoice> parseColumnChoices(std::string_view text) {
  std::vector<ColumnChoice> choices;
  for (const std::string& item : splitList(text)) {
    const std::size_t eq = item.find('=');
    ColumnChoice c;
    if (eq != std::string::npos) {
      c.field = std::string(trimmed(std::string_view(item).substr(0, eq)));
      c.column = std::string(trimmed(std::string_view(item).substr(eq + 1)));
    }
    if (c.field.empty() || c.column.empty())
      throw UsageError("\"" + item + "\" is no FIELD=COLUMN choice (for example Magnitude=Vmag or \"Catalog ID\"=3)");
    choices.push_back(std::move(c));
  }
  return choices;
}

std::vector<std::string> parseColumnNames(std::string_view text) {
  std::vector<std::string> names = splitList(text);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) throw UsageError("Name " + std::to_string(i + 1) + " of the column names is empty");
    if (std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(i), names[i]) !=
        names.begin() + static_cast<std::ptrdiff_t>(i))
      throw UsageError("The column name \"" + names[i] + "\" is given twice");
  }
  return names;
}

ChoiceOutcome applyColumnChoices(const ReadMeTable& table, const std::vector<ColumnEvidence>& evidence,
                                 std::optional<RaUnit> raUnit, const std::vector<ColumnChoice>& choices,
                                 CatalogDefinition& definition) {
  Chooser chooser(table, evidence, raUnit, definition);
  for (const ColumnChoice& c : choices) chooser.choose(c);
  return std::move(chooser.outcome);
}

}  // namespace mirdal
