// Proposes a field layout from one byte-by-byte table of a ReadMe. What a
// column holds is told by import/column_recognition.h (positions, UCDs) and
// import/mapping_rules.h (the entries of each type, identifiers,
// qualifiers); this file decides where it goes.
//
// The rules, in the order they are applied:
//
// 1. Position. A right ascension given as one number without a unit that
//    says hours or degrees is settled by decideRaUnit (the name, the largest
//    value of the rows, or the unit the user stated); when nothing tells, it
//    is taken as degrees and the mapping says the unit is open. Each
//    position column names a set of positions; the set
//    without a name is taken first, then one naming 2000 or ICRS, then the
//    first of the table; the declination set of the same name as the right
//    ascension one is preferred. The other sets are skipped.
//    - RA: decimal degrees when the set has one (ratype 3); degrees with
//      arcmin (2); hours with minutes or seconds (0), a missing part left
//      unset (ngc2000: hours and decimal minutes); hours alone (1, decimal
//      hours); else hours, minutes and seconds in one cell (4).
//    - DEC: decimal degrees when the set has one (dectype 1); else sign,
//      degrees, minutes, seconds (0), missing parts unset; else SPD (2); else
//      NPD as SPD with calcA -1, calcB 180; else degrees, minutes and seconds
//      in one cell, the sign from the cell (3). Columns in numbers are taken
//      before one-cell columns of the same set. Without a sign column, a 3-byte
//      integer degrees column holds the sign in its first byte: that byte
//      becomes the sign slot and the other two the degrees.
//    - "equinox J2000", "B1950", a year in the set name, or a year alone in
//      the explanation of the RA column sets `equinox`; "epoch 2000.0" or
//      "Ep=2016" sets `epoch`; "ICRS" means equinox 2000.
// 2. Type entries: the first column an entry's rules find, converted to the
//    entry's unit. A nebula size in deg, arcmin or arcsec sets `nebunit`,
//    and a smallest dimension in other units is converted to it.
//    A star's magnitude is chosen last, among every column that may be one
//    (mapping_rules.h): the main one by UCD, then V, VT, Hp, G, r, then the
//    first, a column no other entry took first; a note names the others
//    and why any is never taken. The magnitude entry of the other types,
//    when no label of its list is there, takes the first other column in
//    "mag" that is no colour index (no "-").
//    Errors, flags, reddenings, extinctions and colours (neverKind) fill no
//    number entry but the colour's own, whatever their label or UCD; an
//    absolute or Earth-equivalent magnitude, a flux, a limit, a surface
//    brightness, a difference or an amplitude (notAMagnitude) no magnitude.
// 3. Identifiers: the one most plainly named so (identifierStrength; of
//    equals the first, one with few different values in many sampled rows
//    after the others) becomes "Catalog ID", the others String entries
//    flagged as alternate names. A column of fractions, or one whose
//    sampled cells all hold one value, is none.
// 4. Qualifier columns are skipped unless an entry asks for them by name
//    (n_magMax as the variable's magnitude code).
// 5. Everything else in table order: text (format A) into String entries,
//    numbers (I, F, E, D) into Numeric entries, while entries last.
//
// RA, DEC and type entries keep their default labels (the chart program
// knows them); String and Numeric entries take the column's label, cut to
// ten characters.

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <span>

#include "catalog/project_file.h"
#include "import/column_recognition.h"
#include "import/mapping_rules.h"
#include "import/readme_import.h"
#include "util/text.h"

namespace mirdal {

namespace {

using namespace detail;

constexpr auto isDigit = isAsciiDigit;

// ---------------------------------------------------------------------------
// Position sets

// The parts of one named set, by column index into the table (-1: absent).
struct PositionSet {
  static constexpr int kParts = static_cast<int>(Part::DecSexagesimal) + 1;

  std::string name;
  std::array<int, kParts> columns = makeAbsent();

  static constexpr std::array<int, kParts> makeAbsent() {
    std::array<int, kParts> a{};
    a.fill(-1);
    return a;
  }
  int& at(Part p) { return columns[static_cast<std::size_t>(p)]; }
  int get(Part p) const { return columns[static_cast<std::size_t>(p)]; }
  bool hasRaInNumbers() const { return get(Part::RaHours) >= 0 || get(Part::RaDegrees) >= 0; }
  bool hasDecInNumbers() const {
    return get(Part::DecDegrees) >= 0 || get(Part::DecDecimal) >= 0 || get(Part::DecDegreesEither) >= 0 ||
           get(Part::Spd) >= 0 || get(Part::Npd) >= 0;
  }
  bool hasRa() const { return hasRaInNumbers() || get(Part::RaSexagesimal) >= 0; }
  bool hasDec() const { return hasDecInNumbers() || get(Part::DecSexagesimal) >= 0; }
};

int setRank(const std::string& name) {
  if (name.empty()) return 0;
  if (name.find("2000") != std::string::npos || containsNoCase(name, "ICRS")) return 1;
  return 2;
}

// ---------------------------------------------------------------------------
// Equinox and epoch stated in an explanation

struct Dates {
  std::optional<double> equinox, epoch;
};

// "J2000", "B1950.0", "2000" between 1800 and 2100; nullopt otherwise.
std::optional<double> yearOf(std::string_view w) {
  if (!w.empty() && (w.front() == 'J' || w.front() == 'B')) w.remove_prefix(1);
  if (w.size() < 4 || !isDigit(w[0]) || !isDigit(w[1]) || !isDigit(w[2]) || !isDigit(w[3])) return std::nullopt;
  std::size_t i = 4;
  if (i < w.size() && w[i] == '.') {
    ++i;
    while (i < w.size() && isDigit(w[i])) ++i;
  }
  if (i != w.size()) return std::nullopt;
  double y = 0;
  std::from_chars(w.data(), w.data() + w.size(), y);
  if (y < 1800 || y > 2100) return std::nullopt;
  return y;
}

Dates datesIn(std::string_view text) {
  Dates d;
  std::optional<double> plain;
  std::string previous;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !(std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '.')) ++i;
    std::size_t b = i;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '.')) ++i;
    std::string_view w = text.substr(b, i - b);
    while (!w.empty() && w.back() == '.') w.remove_suffix(1);
    if (w.empty()) continue;
    if (auto y = yearOf(w)) {
      if (previous == "epoch" || previous == "ep") {
        if (!d.epoch) d.epoch = y;
      } else if (previous == "equinox" || previous == "eq") {
        if (!d.equinox) d.equinox = y;
      } else if (!plain) {
        plain = y;
      }
    }
    previous = asciiLowered(w);
    if (previous == "icrs" && !plain) plain = 2000;
  }
  if (!d.equinox) d.equinox = plain;
  return d;
}

// ---------------------------------------------------------------------------
// Notes

std::string formatNumber(double v) { return formatProjectFloat(v); }

constexpr const char* kRadianNote = "its unit rad, x 57.29577951308232 into degrees";

std::string calibrationText(double a, double b) {
  std::string s;
  if (a != 1) s += " x " + formatNumber(a);
  if (b > 0) s += " + " + formatNumber(b);
  if (b < 0) s += " - " + formatNumber(-b);
  return s;
}

// ---------------------------------------------------------------------------

class Mapper {
 public:
  Mapper(const ReadMeTable& table, CatalogType type, CatalogDefinition& def, const MappingChoices& choices)
      : table_(table), type_(type), def_(def), choices_(choices), used_(table.columns.size(), false) {
    for (const ReadMeColumn& c : table.columns) {
      ucdWords_.push_back(ucdWords(c.ucd));
      kinds_.push_back(neverKind(c, ucdWords_.back()));
    }
  }

  TableMapping run() {
    for (const ReadMeUnreadRow& r : table_.unreadRows)
      notes_.push_back("Not read, line " + std::to_string(r.line) + " of the ReadMe (" + r.reason + "): \"" +
                       r.text + "\"; its column is not mapped");
    def_.setType(static_cast<int>(type_));
    classifyPositions();
    choosePositionSets();
    def_.setRaType(ratype_);
    def_.setDecType(dectype_);
    def_.rebuildFieldList();
    def_.resetSlots();
    def_.altNames.fill(0);

    mapPositions();
    mapTypeEntries();
    TableMapping result;
    if (raSet_ < 0 && decSet_ < 0) noteGalactic(result);
    if (raSet_ < 0 || decSet_ < 0) notePositionsInOtherUnits(result);
    if (raSet_ < 0 || decSet_ < 0)
      for (int i = 0; i < columnCount(); ++i)
        if (!used_[static_cast<std::size_t>(i)] && kinds_[static_cast<std::size_t>(i)] == Kind::None &&
            (!col(i).isText() || col(i).sexagesimal))
          result.positionCandidates.push_back(col(i).describe());
    mapFreeColumns();
    for (std::string& n : widthNotes_) notes_.push_back(std::move(n));
    for (const std::string& e : missingRequiredEntries(def_))
      notes_.push_back("Required entry " + e + " has no column");
    result.notes = std::move(notes_);
    result.openRaUnit = std::move(openRaUnit_);
    return result;
  }

 private:
  // A column offered for an entry chosen among several.
  struct Seen {
    int column;
    int rank;         // the lower the better
    std::string why;  // why it is never taken; empty when it may be
  };

  const ReadMeColumn& col(int i) const { return table_.columns[static_cast<std::size_t>(i)]; }
  int columnCount() const { return static_cast<int>(table_.columns.size()); }

  // Without an equatorial position, galactic coordinates are named as what
  // the file holds instead.
  void noteGalactic(TableMapping& result) {
    std::string galactic;
    for (int i = 0; i < columnCount(); ++i)
      if (isGalacticColumn(col(i), ucdWords_[static_cast<std::size_t>(i)]))
        galactic += (galactic.empty() ? "" : ", ") + col(i).describe();
    if (galactic.empty()) return;
    result.positionProblem = "only galactic coordinates (" + galactic +
                             "), and no right ascension and declination: a catalog is placed by equatorial "
                             "positions, which are not computed from galactic ones";
    notes_.push_back("Position: " + result.positionProblem);
  }

  // A column named as a right ascension or declination that no mode reads
  // for its unit or its cells: said, for the missing axis, with the reason.
  void notePositionsInOtherUnits(TableMapping& result) {
    for (int i = 0; i < columnCount(); ++i) {
      const ReadMeColumn& c = col(i);
      const auto k = static_cast<std::size_t>(i);
      if (isSexagesimalCell(parts_[k].part) || kinds_[k] != Kind::None) continue;
      const PositionName name = archivePositionName(c.label);
      const bool ra = name.axis == PositionName::Axis::Ra;
      if (name.axis == PositionName::Axis::None || (ra ? raSet_ : decSet_) >= 0) continue;
      const std::string why =
          c.isText() ? "holds texts that are neither numbers nor sexagesimal parts"
                     : "is in " + c.units + ", which is no unit of " +
                           (ra ? "a right ascension (h, deg or rad)" : "a declination (deg, arcmin, arcsec or rad)");
      const std::string problem = c.describe() + " " + why;
      notes_.push_back("Not taken for " + std::string(ra ? "RA" : "DEC") + ": " + problem);
      if (result.positionProblem.empty()) result.positionProblem = problem;
    }
  }

  RaUnitEvidence evidenceOf(int column) const {
    RaUnitEvidence e;
    e.label = col(column).label;
    e.unit = col(column).units;
    if (static_cast<std::size_t>(column) < choices_.columns.size()) {
      e.values = choices_.columns[static_cast<std::size_t>(column)].values;
      e.largest = choices_.columns[static_cast<std::size_t>(column)].largest;
    }
    return e;
  }

  // A right ascension as one number, in hours or degrees as the evidence
  // says; degrees, noted as open, when it cannot tell.
  void settleRaUnit(int column) {
    PositionPart& p = parts_[static_cast<std::size_t>(column)];
    RaUnitEvidence e = evidenceOf(column);
    e.stated = choices_.raUnit;
    const RaUnitDecision d = decideRaUnit(e);
    p.part = d.unit == RaUnit::Hours ? Part::RaHours : Part::RaDegrees;
    raReasons_[static_cast<std::size_t>(column)] = d.reason;
    if (!d.unit) openRa_[static_cast<std::size_t>(column)] = true;
  }

  // Why the right ascension at `column` is in the unit taken, for its note.
  std::string raReason(int column) const {
    if (!raReasons_[static_cast<std::size_t>(column)].empty()) return raReasons_[static_cast<std::size_t>(column)];
    return decideRaUnit(evidenceOf(column)).reason;
  }

  // The column whose unit the DEC mode's unit is: the decimal or whole
  // degrees, or the polar distance.
  int mainDecColumn(const PositionSet& s) const {
    if (dectype_ == 3) return s.get(Part::DecSexagesimal);
    const int either = s.get(Part::DecDegreesEither);
    if (dectype_ == 1) return s.get(Part::DecDecimal) >= 0 ? s.get(Part::DecDecimal) : either;
    if (dectype_ == 0) return s.get(Part::DecDegrees) >= 0 ? s.get(Part::DecDegrees) : either;
    return s.get(Part::Spd) >= 0 ? s.get(Part::Spd) : s.get(Part::Npd);
  }

  // The column whose unit the RA mode's unit is.
  int mainRaColumn(const PositionSet& s) const {
    if (ratype_ == 4) return s.get(Part::RaSexagesimal);
    return s.get(ratype_ <= 1 ? Part::RaHours : Part::RaDegrees);
  }

  // Why a column is read as a whole position in one cell.
  std::string oneCellReason(int column) const {
    const ReadMeColumn& c = col(column);
    if (!noUnits(c.units)) return "its unit " + c.units;
    if (c.sexagesimal) return "the cells sampled read so";
    return "a text with the UCD " + c.ucd;
  }

  std::string decReason(int column) const {
    const ReadMeColumn& c = col(column);
    if (dectype_ == 3) return oneCellReason(column);
    if (c.units == "rad") return kRadianNote;
    if (!noUnits(c.units)) return "its unit " + c.units;
    const Part p = parts_[static_cast<std::size_t>(column)].part;
    if (containsNoCase(c.label, "deg") || p == Part::DecDegrees || p == Part::DecMinutes || p == Part::DecSeconds)
      return "its name";
    return "no unit: a declination is in degrees";
  }

  void classifyPositions() {
    parts_.resize(table_.columns.size());
    raReasons_.resize(table_.columns.size());
    openRa_.resize(table_.columns.size(), false);
    for (int i = 0; i < columnCount(); ++i) {
      PositionPart& p = parts_[static_cast<std::size_t>(i)];
      p = classifyColumn(col(i));
      if (p.part == Part::RaDecimal) settleRaUnit(i);
      // A text column taken for a one-cell position by its UCD alone, whose
      // sampled cells are numbers, is none.
      if (isSexagesimalCell(p.part) && !col(i).sexagesimal && noUnits(col(i).units) &&
          static_cast<std::size_t>(i) < choices_.columns.size() && choices_.columns[static_cast<std::size_t>(i)].values > 0)
        p = {};
    }
    for (int i = 0; i < columnCount(); ++i) {
      const PositionPart& p = parts_[static_cast<std::size_t>(i)];
      if (p.part == Part::None) continue;
      auto it = std::find_if(sets_.begin(), sets_.end(), [&](const PositionSet& s) { return s.name == p.set; });
      if (it == sets_.end()) {
        sets_.push_back(PositionSet{});
        sets_.back().name = p.set;
        it = sets_.end() - 1;
      }
      if (it->at(p.part) < 0) it->at(p.part) = i;
    }
  }

  void choosePositionSets() {
    raSet_ = bestSet([](const PositionSet& s) { return s.hasRa(); }, [](const PositionSet& s) { return s.hasRaInNumbers(); },
                     nullptr);
    decSet_ = bestSet([](const PositionSet& s) { return s.hasDec(); }, [](const PositionSet& s) { return s.hasDecInNumbers(); },
                      raSet_ >= 0 ? &sets_[raSet_].name : nullptr);
    ratype_ = def_.settings.ratype;
    dectype_ = def_.settings.dectype;
    if (raSet_ >= 0) {
      const PositionSet& s = sets_[static_cast<std::size_t>(raSet_)];
      if (s.get(Part::RaDegrees) >= 0) ratype_ = s.get(Part::RaArcmin) >= 0 ? 2 : 3;
      else if (s.get(Part::RaHours) >= 0) ratype_ = (s.get(Part::RaMinutes) >= 0 || s.get(Part::RaSeconds) >= 0) ? 0 : 1;
      else ratype_ = 4;
    }
    if (decSet_ >= 0) {
      const PositionSet& s = sets_[static_cast<std::size_t>(decSet_)];
      const bool sexagesimal = s.get(Part::DecSign) >= 0 || s.get(Part::DecMinutes) >= 0 || s.get(Part::DecSeconds) >= 0;
      if (s.get(Part::DecDecimal) >= 0 || (s.get(Part::DecDegreesEither) >= 0 && !sexagesimal && s.get(Part::DecDegrees) < 0))
        dectype_ = 1;
      else if (s.get(Part::DecDegrees) >= 0 || s.get(Part::DecDegreesEither) >= 0)
        dectype_ = 0;
      else if (s.get(Part::Spd) >= 0 || s.get(Part::Npd) >= 0)
        dectype_ = 2;
      else
        dectype_ = 3;
    }
  }

  // The set named `preferredName` when it has the axis; else a set in
  // numbers before one of one-cell positions (an archive's computed degrees
  // beside the original text), then by setRank.
  template <typename Has, typename InNumbers>
  int bestSet(Has has, InNumbers inNumbers, const std::string* preferredName) const {
    int best = -1;
    for (int i = 0; i < static_cast<int>(sets_.size()); ++i) {
      const PositionSet& s = sets_[static_cast<std::size_t>(i)];
      if (!has(s)) continue;
      if (preferredName && s.name == *preferredName) return i;
      if (best < 0) {
        best = i;
        continue;
      }
      const PositionSet& b = sets_[static_cast<std::size_t>(best)];
      if (inNumbers(s) != inNumbers(b) ? inNumbers(s) : setRank(s.name) < setRank(b.name)) best = i;
    }
    return best;
  }

  void put(int position, const ReadMeColumn& c, double a = 1, double b = 0, int skipBytes = 0, int length = 0) {
    FieldSlot& slot = def_.fieldSlots.at(static_cast<std::size_t>(position));
    if (c.column > 0) {
      // The slot names the column; for a text its length is the room it takes.
      slot.firstChar = c.column;
      slot.length = std::max(c.width, 1);
      def_.fieldNames.at(static_cast<std::size_t>(position)) = c.label;
      if (def_.fields().entry(position).kind == ValueKind::Text)
        widthNotes_.push_back("Width of " + entryName(position) + ": " + std::to_string(slot.length) +
                              (slot.length == 1 ? " character, " : " characters, ") +
                              (c.widthSource.empty() ? std::string("nothing tells more") : c.widthSource));
    } else {
      slot.firstChar = c.firstByte + skipBytes;
      slot.length = length > 0 ? length : c.length() - skipBytes;
    }
    slot.calcA = a;
    slot.calcB = b;
    def_.setTicked(position, true);
  }

  void mapPositions() {
    mapRightAscension();
    mapDeclination();
    skipOtherPositionColumns();
  }

  // A position column goes to the entry at `position` and is noted for the
  // RA or DEC summary.
  void takePosition(int position, int column, double a = 1, double b = 0) {
    if (column < 0) return;
    if (col(column).units == "rad") a *= kDegreesPerRadian;
    put(position, col(column), a, b);
    noteTaken(column);
  }
  void noteTaken(int column) {
    used_[static_cast<std::size_t>(column)] = true;
    taken_.push_back(col(column).describe());
  }
  // The columns taken since the last summary, comma separated.
  std::string takenColumns() {
    std::string s;
    for (const std::string& t : taken_) s += (s.empty() ? "" : ", ") + t;
    taken_.clear();
    return s;
  }

  void mapRightAscension() {
    if (raSet_ < 0) {
      notes_.push_back("No right ascension column (RAh, RAm, RAs, RAdeg...)");
      return;
    }
    const PositionSet& s = sets_[static_cast<std::size_t>(raSet_)];
    const std::string what = takeRaColumns(s);
    std::string note = "RA: " + what + " from " + takenColumns();
    const int main = mainRaColumn(s);
    if (ratype_ == 4) {
      note += " (" + oneCellReason(main) + ")";
    } else if (main >= 0 && openRa_[static_cast<std::size_t>(main)]) {
      openRaUnit_ = OpenRaUnit{col(main).describe(), raReasons_[static_cast<std::size_t>(main)]};
      note += " (not decided: " + openRaUnit_->reason + "; hours or degrees?)";
    } else if (main >= 0 && col(main).units == "rad") {
      note += std::string(" (") + kRadianNote + ")";
    } else if (main >= 0) {
      if (const std::string why = raReason(main); !why.empty() && why.find("no unit") != 0) note += " (" + why + ")";
    }
    if (ratype_ == 0 || ratype_ == 2) {
      if (s.get(ratype_ == 0 ? Part::RaMinutes : Part::RaArcmin) < 0) note += "; no minutes column";
      else if (s.get(ratype_ == 0 ? Part::RaSeconds : Part::RaArcsec) < 0) note += "; no seconds column";
    }
    notes_.push_back(note);
    takeDates(s);
  }

  // Takes the RA columns the RA mode reads; returns the mode in words.
  std::string takeRaColumns(const PositionSet& s) {
    switch (ratype_) {
      case 0:
        takePosition(0, s.get(Part::RaHours));
        takePosition(1, s.get(Part::RaMinutes));
        takePosition(2, s.get(Part::RaSeconds));
        return "hours, minutes, seconds";
      case 1:
        takePosition(0, s.get(Part::RaHours));
        return "decimal hours";
      case 2:
        takePosition(0, s.get(Part::RaDegrees));
        takePosition(1, s.get(Part::RaArcmin));
        takePosition(2, s.get(Part::RaArcsec));
        return "degrees, minutes, seconds";
      case 3:
        takePosition(0, s.get(Part::RaDegrees));
        return "decimal degrees";
      default:
        takePosition(0, s.get(Part::RaSexagesimal));
        return "hours, minutes and seconds in one cell";
    }
  }

  // The equinox and the epoch from the explanation of the main RA column;
  // failing that, the equinox from the name of its set.
  void takeDates(const PositionSet& s) {
    const int main = mainRaColumn(s);
    Dates d = datesIn(col(main).explanation);
    if (!d.equinox) {
      if (auto y = yearOf(s.name)) d.equinox = y;
      else if (containsNoCase(s.name, "ICRS")) d.equinox = 2000;
    }
    if (d.equinox) {
      def_.settings.equinox = *d.equinox;
      notes_.push_back("Equinox " + formatNumber(*d.equinox) + ", from " + col(main).label);
    }
    if (d.epoch) {
      def_.settings.epoch = *d.epoch;
      notes_.push_back("Position epoch " + formatNumber(*d.epoch) + ", from " + col(main).label);
    }
  }

  void mapDeclination() {
    if (decSet_ < 0) {
      notes_.push_back("No declination column (DE-, DEd, DEm, DEs, DEdeg, SPD...)");
      return;
    }
    const PositionSet& s = sets_[static_cast<std::size_t>(decSet_)];
    const int c = def_.fields().raCount();
    std::string what, extra;
    switch (dectype_) {
      case 0: what = takeSexagesimalDec(s, extra); break;
      case 1: {
        const int decimal = s.get(Part::DecDecimal) >= 0 ? s.get(Part::DecDecimal) : s.get(Part::DecDegreesEither);
        takePosition(c, decimal);
        what = "decimal degrees";
        break;
      }
      case 2:
        if (s.get(Part::Spd) >= 0) {
          takePosition(c, s.get(Part::Spd));
          what = "south polar distance";
        } else {
          takePosition(c, s.get(Part::Npd), -1, 180);
          what = "north polar distance, as 180 - NPD";
        }
        break;
      default:
        takePosition(c, s.get(Part::DecSexagesimal));
        what = "degrees, minutes and seconds in one cell";
        extra = "; the sign is the cell's";
    }
    const int main = mainDecColumn(s);
    const std::string why = main >= 0 ? " (" + decReason(main) + ")" : std::string();
    notes_.push_back("DEC: " + what + " from " + takenColumns() + why + extra);
  }

  // Sign, degrees, minutes and seconds; returns them in words, and appends
  // to `extra` what the note should add.
  std::string takeSexagesimalDec(const PositionSet& s, std::string& extra) {
    const int c = def_.fields().raCount();
    const int degrees = s.get(Part::DecDegrees) >= 0 ? s.get(Part::DecDegrees) : s.get(Part::DecDegreesEither);
    const int sign = s.get(Part::DecSign);
    bool split = false;
    if (sign < 0 && degrees >= 0 && col(degrees).column == 0 && !col(degrees).isText() && col(degrees).decimals() == 0 &&
        col(degrees).length() == 3) {
      // "-05" in I3: the first byte can only be the sign or a blank.
      put(c, col(degrees), 1, 0, 0, 1);
      put(c + 1, col(degrees), 1, 0, 1);
      noteTaken(degrees);
      extra = "; its first byte is the sign";
      split = true;
    } else {
      takePosition(c, sign);
      takePosition(c + 1, degrees);
      if (sign < 0 && (s.get(Part::DecMinutes) >= 0 || s.get(Part::DecSeconds) >= 0))
        extra = "; no sign column: the minutes and seconds of a southern declination will count north";
    }
    takePosition(c + 2, s.get(Part::DecMinutes));
    takePosition(c + 3, s.get(Part::DecSeconds));
    if (s.get(Part::DecMinutes) < 0) extra += "; no minutes column";
    else if (s.get(Part::DecSeconds) < 0) extra += "; no seconds column";
    return sign >= 0 || split ? "sign, degrees, minutes, seconds" : "degrees, minutes, seconds";
  }

  // Position columns left over: other equinoxes, or parts the chosen mode does not read.
  void skipOtherPositionColumns() {
    for (int i = 0; i < columnCount(); ++i) {
      const PositionPart& p = parts_[static_cast<std::size_t>(i)];
      if (p.part == Part::None || used_[static_cast<std::size_t>(i)]) continue;
      used_[static_cast<std::size_t>(i)] = true;
      const int chosen = isRaPart(p.part) ? raSet_ : decSet_;
      const bool chosenInNumbers = chosen >= 0 && (isRaPart(p.part) ? sets_[static_cast<std::size_t>(chosen)].hasRaInNumbers()
                                                                     : sets_[static_cast<std::size_t>(chosen)].hasDecInNumbers());
      if (chosen >= 0 && sets_[static_cast<std::size_t>(chosen)].name == p.set)
        notes_.push_back("Skipped " + col(i).describe() + ": the position is read from other columns");
      else if (isSexagesimalCell(p.part) && chosenInNumbers)
        notes_.push_back("Skipped " + col(i).describe() + ": " +
                         (isRaPart(p.part) ? "hours, minutes and seconds" : "degrees, minutes and seconds") +
                         " in one cell, where other columns give the position in numbers");
      else
        notes_.push_back("Skipped " + col(i).describe() + ": position columns of another equinox, epoch or frame");
    }
  }

  int findByLabel(const Rule& rule) const {
    std::string_view list = rule.labels;
    while (!list.empty()) {
      const std::size_t bar = list.find('|');
      const std::string_view candidate = list.substr(0, bar);
      for (int i = 0; i < columnCount(); ++i)
        if (!used_[static_cast<std::size_t>(i)] && labelMatches(candidate, col(i).label)) return i;
      if (bar == std::string_view::npos) break;
      list.remove_prefix(bar + 1);
    }
    return -1;
  }

  std::string entryName(int position) const { return std::string(def_.fields().entry(position).text); }

  // The largest dimension sets the default size unit; the smallest is
  // brought to that unit.
  Calibration dimension(const ReadMeColumn& c, bool largest) {
    const auto u = nebUnitOf(c.units);
    if (largest) {
      nebunit_ = u;
      if (u) def_.settings.nebunit = *u;
      return {};
    }
    if (!u || !nebunit_ || *u == *nebunit_) return {};
    return Calibration{kUnitsPerDegree[*nebunit_] / kUnitsPerDegree[*u], 0,
                       std::string("converted to ") + kNebUnitNames[*nebunit_]};
  }

  // Why the column at `i` never fills an entry of quantity `q`; empty when it may.
  std::string refusal(Quantity q, int i) const {
    const Kind kind = kinds_[static_cast<std::size_t>(i)];
    if (kindRefused(q, kind)) return kindName(kind);
    if (q == Quantity::Magnitude)
      if (const char* why = notAMagnitude(col(i), ucdWords_[static_cast<std::size_t>(i)])) return why;
    return {};
  }

  void mapTypeEntries() {
    const int magPosition = def_.fields().positionOfField(magnitudeFieldOf(type_));
    std::vector<int> rejected;
    for (const Rule& rule : rulesOf(type_)) {
      const int position = def_.fields().positionOfField(rule.field);
      if (position < 0) continue;
      // A star's magnitude is chosen among all of them, after the other entries.
      if (type_ == CatalogType::Stars && position == magPosition) continue;
      if (takeByUcd(rule.field, position)) continue;
      int column = findByLabel(rule);
      while (column >= 0) {
        const ReadMeColumn& c = col(column);
        const std::string why = refusal(rule.quantity, column);
        auto cal = why.empty() ? calibrationFor(rule.quantity, c.units) : std::nullopt;
        if (cal) {
          if (rule.quantity == Quantity::Dimension) cal = dimension(c, rule.field == NebulaField::LargestDimension);
          assignType(position, column, *cal);
          break;
        }
        notes_.push_back("Not taken for " + entryName(position) + ": " + c.describe() + ", " +
                         (why.empty() ? "in " + c.units : why));
        rejected.push_back(column);
        used_[static_cast<std::size_t>(column)] = true;  // hidden while looking again
        column = findByLabel(rule);
      }
      for (int r : rejected) used_[static_cast<std::size_t>(r)] = false;
      rejected.clear();
    }
    if (magPosition < 0) return;
    if (type_ == CatalogType::Stars) {
      chooseStarMagnitude(magPosition);
      return;
    }

    // The magnitude entry of the type from any plain magnitude column.
    if (!def_.ticked(magPosition)) {
      int found = -1;
      for (bool allowUsed : {false, true}) {
        for (int i = 0; i < columnCount() && found < 0; ++i) {
          const ReadMeColumn& c = col(i);
          if ((used_[static_cast<std::size_t>(i)] && !allowUsed) || parts_[static_cast<std::size_t>(i)].part != Part::None)
            continue;
          // In "mag", or without units and named so ("phot_g_mean_mag").
          const std::string lower = asciiLowered(c.label);
          const bool namedMag = noUnits(c.units) && lower.size() > 3 && lower.substr(lower.size() - 3) == "mag";
          if ((c.units == "mag" || namedMag) && !c.isText() && c.label.find('-') == std::string::npos &&
              !isQualifier(c.label) && c.label.substr(0, 2) != "e_" && lower.find("err") == std::string::npos &&
              refusal(Quantity::Magnitude, i).empty())
            found = i;
        }
        if (found >= 0) break;
      }
      if (found >= 0) assignType(magPosition, found, Calibration{});
    }
  }

  // The star's magnitude: of the columns that may be one (looksLikeMagnitude)
  // and are no other kind, the preferred (magnitudePreference), a column no
  // other entry took before one that did, then the first. The notes say
  // which was taken and why, and what else was seen.
  void chooseStarMagnitude(int position) {
    int bareBands = 0;
    for (int i = 0; i < columnCount(); ++i)
      if (!col(i).isText() && isBareBand(col(i).label)) ++bareBands;
    std::vector<Seen> seen;
    const Rule* labels = nullptr;
    for (const Rule& rule : rulesOf(type_))
      if (def_.fields().positionOfField(rule.field) == position) labels = &rule;
    for (int i = 0; i < columnCount(); ++i) {
      const std::vector<std::string>& words = ucdWords_[static_cast<std::size_t>(i)];
      const ReadMeColumn& c = col(i);
      // Named as the entry's labels name a magnitude: any refusal is said on its own line, as for other entries.
      const bool named = labels && findLabel(*labels, i);
      if (parts_[static_cast<std::size_t>(i)].part != Part::None || isQualifier(c.label) || c.isText() ||
          !(named || looksLikeMagnitude(c, words, bareBands >= 2)))
        continue;
      std::string why = refusal(Quantity::Magnitude, i);
      if (why.empty() && !calibrationFor(Quantity::Magnitude, c.units)) why = "in " + c.units;
      seen.push_back({i, magnitudePreference(c, words) + (used_[static_cast<std::size_t>(i)] ? 10 : 0), why});
      if (!why.empty() && named)
        notes_.push_back("Not taken for " + entryName(position) + ": " + c.describe() + ", " + why);
    }
    const Seen* best = nullptr;
    for (const Seen& s : seen)
      if (s.why.empty() && (!best || s.rank < best->rank)) best = &s;
    if (!best) return;
    assignType(position, best->column, *calibrationFor(Quantity::Magnitude, col(best->column).units));
    if (seen.size() < 2) return;
    std::string note =
        "Magnitude: " + col(best->column).describe() + " taken, " + magnitudeReason(*best) + "; also seen: ";
    bool first = true;
    for (const Seen& s : seen) {
      if (&s == best) continue;
      const std::string band = magnitudeBand(col(s.column), ucdWords_[static_cast<std::size_t>(s.column)]);
      note += (first ? "" : "; ") + col(s.column).describe();
      first = false;
      if (!s.why.empty()) note += ", " + s.why + ", never taken";
      else if (!band.empty()) note += ", band " + band;
      if (s.why.empty() && used_[static_cast<std::size_t>(s.column)]) note += ", in another entry";
    }
    notes_.push_back(note);
  }

  const ColumnEvidence* evidence(int i) const {
    const auto k = static_cast<std::size_t>(i);
    return k < choices_.columns.size() && choices_.columns[k].cells > 0 ? &choices_.columns[k] : nullptr;
  }

  // Why the column at `i` is no identifier whatever its name; empty when it may be.
  std::string notAnIdentifier(int i) const {
    const ReadMeColumn& c = col(i);
    const char letter = c.format.empty() ? '\0' : asciiUpper(c.format.front());
    const ColumnEvidence* e = evidence(i);
    if (letter == 'F' || letter == 'E' || letter == 'D' || (e && e->fractional)) return "numbers with a fraction";
    if (e && e->cells >= 2 && e->distinct == 1)
      return "the same value in all " + std::to_string(e->cells) + " sampled cells";
    return {};
  }

  // Few different values in many rows: a class or a group more likely than a name.
  bool fewDistinct(int i) const {
    const ColumnEvidence* e = evidence(i);
    return e && e->cells >= 20 && !e->manyDistinct && e->distinct * 10 < e->cells;
  }

  std::string identifierReason(const Seen& taken) const {
    std::string why = taken.rank % 3 == 0   ? "its UCD names it the main identifier"
                      : taken.rank % 3 == 1 ? "named as catalogs name identifiers"
                                            : "its name or explanation says it identifies";
    if (const ColumnEvidence* e = evidence(taken.column))
      why += e->manyDistinct ? ", many different values in the sample"
                             : ", " + std::to_string(e->distinct) + " different values in " +
                                   std::to_string(e->cells) + " sampled rows";
    return why;
  }

  std::string magnitudeReason(const Seen& taken) const {
    const std::string band = magnitudeBand(col(taken.column), ucdWords_[static_cast<std::size_t>(taken.column)]);
    switch (taken.rank % 10) {
      case 0: return "the main magnitude by its UCD";
      case 6: return band.empty() ? "the first magnitude" : "the first magnitude, band " + band;
      default: return "band " + band + ", preferred to the other bands";
    }
  }

  bool findLabel(const Rule& rule, int column) const {
    std::string_view list = rule.labels;
    while (!list.empty()) {
      const std::size_t bar = list.find('|');
      if (labelMatches(list.substr(0, bar), col(column).label)) return true;
      if (bar == std::string_view::npos) break;
      list.remove_prefix(bar + 1);
    }
    return false;
  }

  // The entry at `position` (record field `field`) from a column its UCD
  // names; false when no UCD rule finds one with units it knows.
  bool takeByUcd(int field, int position) {
    for (const UcdRule& rule : ucdRules()) {
      if (rule.type != type_ || rule.field != field) continue;
      for (int i = 0; i < columnCount(); ++i) {
        if (used_[static_cast<std::size_t>(i)] || !ucdRuleMatches(rule, ucdWords_[static_cast<std::size_t>(i)])) continue;
        const ReadMeColumn& c = col(i);
        if (const std::string why = refusal(rule.quantity, i); !why.empty()) {
          notes_.push_back("Not taken for " + entryName(position) + ": " + c.describe() + ", " + why);
          continue;
        }
        auto cal = calibrationFor(rule.quantity, c.units);
        if (!cal) {
          notes_.push_back("Not taken for " + entryName(position) + ": " + c.describe() + ", in " + c.units);
          continue;
        }
        if (rule.quantity == Quantity::Dimension) cal = dimension(c, field == NebulaField::LargestDimension);
        assignType(position, i, *cal);
        return true;
      }
    }
    return false;
  }

  void assignType(int position, int column, const Calibration& cal) {
    const ReadMeColumn& c = col(column);
    put(position, c, cal.a, cal.b);
    used_[static_cast<std::size_t>(column)] = true;
    std::string note = entryName(position) + ": " + c.describe();
    if (cal.a != 1 || cal.b != 0) note += ", " + c.units + calibrationText(cal.a, cal.b);
    if (!cal.remark.empty()) note += " (" + cal.remark + ")";
    if (type_ == CatalogType::Nebulae && def_.fields().recordField(position) == NebulaField::LargestDimension && nebunit_)
      note += std::string("; default dimension unit ") + kNebUnitNames[*nebunit_];
    notes_.push_back(note);
  }

  void mapFreeColumns() {
    const FieldCatalogue& f = def_.fields();
    const int idPosition = f.positionOfField(RecordField::Id);
    int nextString = 1, nextNumeric = 1;
    // A column without a name keeps the entry's own label.
    auto setLabel = [&](int p, const ReadMeColumn& c) {
      if (!c.label.empty()) def_.setLabelOfPosition(p, c.label.substr(0, kLabelMaxLength));
    };
    auto candidate = [&](int i) {
      return !used_[static_cast<std::size_t>(i)] && parts_[static_cast<std::size_t>(i)].part == Part::None;
    };

    for (int i = 0; i < columnCount(); ++i) {
      if (!candidate(i) || !isQualifier(col(i).label)) continue;
      used_[static_cast<std::size_t>(i)] = true;
      notes_.push_back("Skipped " + col(i).describe() + ": a flag, note or limit on another column");
    }

    // The identifier most plainly named one becomes the catalog's; the
    // others are alternate names. A float, or a column of one value, names
    // no star.
    std::vector<Seen> ids;
    for (int i = 0; i < columnCount(); ++i) {
      if (!candidate(i)) continue;
      const int strength = identifierStrength(col(i));
      if (strength == 0) continue;
      ids.push_back({i, 3 - strength, notAnIdentifier(i)});
      if (ids.back().why.empty() && fewDistinct(i)) ids.back().rank += 3;
    }
    const Seen* best = nullptr;
    for (const Seen& s : ids)
      if (s.why.empty() && (!best || s.rank < best->rank)) best = &s;
    if (best && idPosition >= 0) {
      used_[static_cast<std::size_t>(best->column)] = true;
      put(idPosition, col(best->column));
      notes_.push_back(entryName(idPosition) + ": " + col(best->column).describe());
    }
    std::string alternatives;
    for (const Seen& s : ids) {
      if (&s == best && idPosition >= 0) continue;
      const ReadMeColumn& c = col(s.column);
      alternatives += (alternatives.empty() ? "" : "; ") + c.describe() + ", ";
      if (!s.why.empty()) {
        alternatives += s.why + ", never taken";  // left to the entries of other columns
        continue;
      }
      used_[static_cast<std::size_t>(s.column)] = true;
      if (nextString <= kFreeStringCount) {
        const int p = f.stringPosition(nextString);
        put(p, c);
        setLabel(p, c);
        def_.altNames[static_cast<std::size_t>(nextString - 1)] = 1;
        notes_.push_back(entryName(p) + ": " + c.describe() + ", an alternate name");
        alternatives += "an alternate name";
        ++nextString;
      } else {
        notes_.push_back("Skipped " + c.describe() + ": no String entry left");
        alternatives += "no String entry left";
      }
    }
    if (best && idPosition >= 0 && ids.size() > 1)
      notes_.push_back("Identifier: " + col(best->column).describe() + " taken, " + identifierReason(*best) +
                       "; also seen: " + alternatives);
    if (idPosition >= 0 && !def_.ticked(idPosition))
      notes_.push_back("No identifier column (HR, HD, Name, ID...) for " + entryName(idPosition));

    for (int i = 0; i < columnCount(); ++i) {
      if (!candidate(i)) continue;
      const ReadMeColumn& c = col(i);
      used_[static_cast<std::size_t>(i)] = true;
      int& next = c.isText() ? nextString : nextNumeric;
      const int limit = c.isText() ? kFreeStringCount : kFreeNumericCount;
      if (next > limit) {
        notes_.push_back("Skipped " + c.describe() + ": no " + (c.isText() ? "String" : "Numeric") + " entry left");
        continue;
      }
      const int p = c.isText() ? f.stringPosition(next) : f.numericPosition(next);
      put(p, c);
      setLabel(p, c);
      notes_.push_back(entryName(p) + ": " + c.describe());
      ++next;
    }
  }

  const ReadMeTable& table_;
  CatalogType type_;
  CatalogDefinition& def_;
  const MappingChoices& choices_;
  std::vector<bool> used_;
  std::vector<std::vector<std::string>> ucdWords_;  // of each column, empty without a UCD
  std::vector<Kind> kinds_;                         // of each column: what it must never fill
  std::vector<std::string> raReasons_;              // of each RaDecimal column: why hours or degrees
  std::vector<bool> openRa_;                        // of each RaDecimal column: nothing told its unit
  std::optional<OpenRaUnit> openRaUnit_;
  std::vector<PositionPart> parts_;
  std::vector<PositionSet> sets_;
  std::vector<std::string> taken_;  // position columns not yet in a note
  std::vector<std::string> widthNotes_;  // the width chosen for each text entry of a column table
  int raSet_ = -1, decSet_ = -1;
  int ratype_ = 0, dectype_ = 0;
  std::optional<int> nebunit_;
  std::vector<std::string> notes_;
};

}  // namespace

const char* const kPositionsLookedFor =
    "right ascension and declination columns by name in any letter case (RA, RAJ2000, RA_ICRS, RAdeg, ra_deg, "
    "ALPHA_J2000, RAh with RAm and RAs; DEC, DEJ2000, DE_ICRS, DEdeg, dec_deg, DELTA_J2000, DE- with DEd, DEm "
    "and DEs; SPD, NPD), by UCD (pos.eq.ra, pos.eq.dec, POS_EQ_RA_MAIN) or by unit (h, deg, h:m:s)";

std::vector<std::string> applyReadMeTable(const ReadMeTable& table, CatalogType type, CatalogDefinition& definition) {
  return Mapper(table, type, definition, MappingChoices{}).run().notes;
}

TableMapping mapTableColumns(const ReadMeTable& table, CatalogType type, CatalogDefinition& definition,
                             const MappingChoices& choices) {
  return Mapper(table, type, definition, choices).run();
}

}  // namespace mirdal
