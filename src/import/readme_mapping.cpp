// Proposes a field layout from one byte-by-byte table of a ReadMe.
//
// The rules, in the order they are applied:
//
// 1. Position. Labels starting with "RA" (case counts) are right-ascension
//    parts, told by their units: h hours, min minutes, s seconds, deg degrees
//    (arcmin and arcsec with degrees: RA in degrees, minutes, seconds); with
//    units "---" the letters after "RA" decide (RAh, RAm, RAs, RAdeg). Labels
//    starting with "DEC", "Dec" or "DE" are declination parts: "DE-" the sign,
//    deg with "DEd" sexagesimal degrees, deg with "DEdeg" decimal degrees,
//    arcmin minutes, arcsec seconds. "SPD" is a south polar distance, "NPD" a
//    north polar distance. A label part that goes on in lower case ("RAdius")
//    is no position. What follows the part ("RAh1900" -> "1900", "RAJ2000" ->
//    "J2000") names a set of positions; the set without a name is taken
//    first, then one naming 2000 or ICRS, then the first of the table; the
//    declination set of the same name as the right ascension one is
//    preferred. The other sets are skipped.
//    - RA: decimal degrees when the set has one (ratype 3); degrees with
//      arcmin (2); hours with minutes or seconds (0), a missing part left
//      unset (ngc2000: hours and decimal minutes); hours alone (1, decimal
//      hours).
//    - DEC: decimal degrees when the set has one (dectype 1); else sign,
//      degrees, minutes, seconds (0), missing parts unset; else SPD (2); else
//      NPD as SPD with calcA -1, calcB 180. Without a sign column, a 3-byte
//      integer degrees column holds the sign in its first byte: that byte
//      becomes the sign slot and the other two the degrees.
//    - "equinox J2000", "B1950", a year in the set name, or a year alone in
//      the explanation of the RA column sets `equinox`; "epoch 2000.0" or
//      "Ep=2016" sets `epoch`; "ICRS" means equinox 2000.
// 2. Type entries: each entry of the catalog type has a list of labels it
//    takes (Vmag, V, ... for the star magnitude; pmRA; Plx; SpType; Type and
//    size for nebulae...); the first label of the list found in the table
//    wins. Labels of three letters or more match in any letter case. A
//    number entry takes its column only when the units are ones it knows (or
//    "---"), and converts them: mas/yr x 0.001 to arcsec/yr, mas x 0.001 to
//    arcsec, mmag x 0.001, mag/arcsec2 - 8.890756 to mag/arcmin2, and so on.
//    A nebula size in deg, arcmin or arcsec sets `nebunit`, and a smallest
//    dimension in other units is converted to it.
//    The magnitude entry of the type, when no label of its list is there,
//    takes the first other column in "mag" that is no colour index (no "-").
// 3. Identifiers: labels such as HR, HD, SAO, HIP, NGC, Name, ID, Seq, or an
//    explanation speaking of a designation, identification, identifier,
//    catalog number or name. The first becomes "Catalog ID", the others
//    String entries flagged as alternate names.
// 4. Qualifier columns (labels n_, u_, l_, r_, q_, f_, m_, x_: notes,
//    uncertainty and limit flags, references) are skipped unless an entry
//    asks for them by name (n_magMax as the variable's magnitude code).
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
#include "import/readme_import.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr auto isLowerLetter = isAsciiLower;
constexpr auto isDigit = isAsciiDigit;

bool oneOf(std::string_view s, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

bool noUnits(std::string_view u) { return u.empty() || u == "---" || u == "-"; }

// ---------------------------------------------------------------------------
// Position parts

// RaSexagesimal and DecSexagesimal: all parts in one cell ("12 34 56.7",
// "-05:06:07"), which no RA or DEC mode reads from a single slot.
enum class Part {
  None,
  RaHours, RaMinutes, RaSeconds, RaDegrees, RaArcmin, RaArcsec, RaSexagesimal,
  DecSign, DecDegrees, DecDecimal, DecDegreesEither, DecMinutes, DecSeconds, Spd, Npd, DecSexagesimal,
};

bool isRaPart(Part p) { return p >= Part::RaHours && p <= Part::RaSexagesimal; }
bool isSexagesimalCell(Part p) { return p == Part::RaSexagesimal || p == Part::DecSexagesimal; }

bool sexagesimalUnits(std::string_view u) { return oneOf(u, {"h:m:s", "hms", "d:m:s", "dms", "\"h:m:s\"", "\"d:m:s\""}); }

struct PositionPart {
  Part part = Part::None;
  std::string set;  // what follows the part in the label: "", "1900", "J2000"
};

// The longest of `tokens` that starts `rest`, or the empty text.
std::string_view leadingToken(std::string_view rest, std::initializer_list<std::string_view> tokens) {
  std::string_view best;
  for (std::string_view t : tokens)
    if (rest.substr(0, t.size()) == t && t.size() > best.size()) best = t;
  return best;
}

// The part of right ascension a column's units say it holds; None when
// they say nothing of it.
Part raPartOfUnits(const ReadMeColumn& c, std::string_view u) {
  if (c.sexagesimal || sexagesimalUnits(u)) return Part::RaSexagesimal;
  if (oneOf(u, {"h", "hr", "hour"})) return Part::RaHours;
  if (u == "min") return Part::RaMinutes;
  if (oneOf(u, {"s", "sec"})) return Part::RaSeconds;
  if (u == "deg") return Part::RaDegrees;
  if (u == "arcmin") return Part::RaArcmin;
  if (u == "arcsec") return Part::RaArcsec;
  return Part::None;
}

PositionPart classifyPosition(const ReadMeColumn& c) {
  const std::string_view label = c.label;
  const std::string_view u = c.units;
  PositionPart r;
  auto setFrom = [&r](std::string_view suffix) {
    if (!suffix.empty() && isLowerLetter(suffix.front())) return false;
    r.set = std::string(suffix);
    return true;
  };

  if (label.substr(0, 2) == "RA") {
    const std::string_view rest = label.substr(2);
    const std::string_view token = leadingToken(rest, {"deg", "hr", "min", "sec", "h", "m", "s", "d"});
    if (!setFrom(rest.substr(token.size()))) return {};
    if (const Part byUnits = raPartOfUnits(c, u); byUnits != Part::None) r.part = byUnits;
    else if (noUnits(u)) {
      if (token == "h" || token == "hr") r.part = Part::RaHours;
      else if (token == "m" || token == "min") r.part = Part::RaMinutes;
      else if (token == "s" || token == "sec") r.part = Part::RaSeconds;
      else if (token == "deg") r.part = Part::RaDegrees;
    }
    return r.part == Part::None ? PositionPart{} : r;
  }

  for (std::string_view prefix : {"DEC", "Dec", "DE"}) {
    if (label.substr(0, prefix.size()) != prefix) continue;
    const std::string_view rest = label.substr(prefix.size());
    const std::string_view token = leadingToken(rest, {"deg", "min", "sec", "sign", "d", "m", "s", "-"});
    if (!setFrom(rest.substr(token.size()))) return {};
    if (token == "-" || token == "sign") r.part = Part::DecSign;
    else if (c.sexagesimal || sexagesimalUnits(u)) r.part = Part::DecSexagesimal;
    else if (u == "deg") r.part = token == "d" ? Part::DecDegrees : token == "deg" ? Part::DecDecimal : Part::DecDegreesEither;
    else if (u == "arcmin") r.part = Part::DecMinutes;
    else if (u == "arcsec") r.part = Part::DecSeconds;
    else if (noUnits(u)) {
      if (token == "d") r.part = Part::DecDegrees;
      else if (token == "deg") r.part = Part::DecDecimal;
      else if (token == "m" || token == "min") r.part = Part::DecMinutes;
      else if (token == "s" || token == "sec") r.part = Part::DecSeconds;
    }
    return r.part == Part::None ? PositionPart{} : r;
  }

  // "ra" and "dec" alone, as archives name columns in degrees.
  const std::string lower = asciiLowered(label);
  if ((lower == "ra" || lower == "dec") && !c.isText() && (u == "deg" || noUnits(u))) {
    r.part = lower == "ra" ? Part::RaDegrees : Part::DecDecimal;
    return r;
  }

  for (std::string_view prefix : {"SPD", "NPD"}) {
    if (label.substr(0, 3) != prefix || !(u == "deg" || noUnits(u))) continue;
    if (!setFrom(label.substr(3))) return {};
    r.part = prefix == "SPD" ? Part::Spd : Part::Npd;
    return r;
  }
  return {};
}

// ---------------------------------------------------------------------------
// UCDs

// The words of a UCD in lower case, the primary one first. UCD1 names
// ("POS_EQ_RA_MAIN", "PHOT_JHN_V") are given as the words of their UCD1+
// counterpart; a UCD1 name without one stays as one word no rule asks for.
std::vector<std::string> ucdWords(std::string_view ucd) {
  std::vector<std::string> words;
  const std::string text = asciiLowered(trimmed(ucd));
  if (text.empty()) return words;
  if (text.find('.') == std::string::npos) {
    struct Ucd1 {
      std::string_view name, words;  // a name ending in '*' is a prefix
    };
    static constexpr Ucd1 kUcd1[] = {
        {"pos_eq_ra_main", "pos.eq.ra;meta.main"}, {"pos_eq_ra", "pos.eq.ra"},
        {"pos_eq_dec_main", "pos.eq.dec;meta.main"}, {"pos_eq_dec", "pos.eq.dec"},
        {"pos_eq_pmra", "pos.pm;pos.eq.ra"}, {"pos_eq_pmdec", "pos.pm;pos.eq.dec"},
        {"pos_parlx*", "pos.parallax"}, {"id_main", "meta.id;meta.main"}, {"id_*", "meta.id"},
        {"phot_jhn_b-v", "phot.color;em.opt.b;em.opt.v"}, {"phot_ci_b-v", "phot.color;em.opt.b;em.opt.v"},
        {"phot_jhn_v", "phot.mag;em.opt.v"}, {"phot_mag_v", "phot.mag;em.opt.v"}, {"phot_tyc_v", "phot.mag;em.opt.v"},
        {"phot_jhn_b", "phot.mag;em.opt.b"}, {"phot_mag_b", "phot.mag;em.opt.b"}, {"phot_tyc_b", "phot.mag;em.opt.b"},
        {"phot_jhn_r", "phot.mag;em.opt.r"}, {"phot_mag_r", "phot.mag;em.opt.r"}, {"phot_cous_r", "phot.mag;em.opt.r"},
        {"phot_sb*", "phot.mag.sb"}, {"phot_ci*", "phot.color"}, {"phot_color*", "phot.color"},
        {"phot_*", "phot.mag"}, {"spect_type*", "src.spType"}, {"time_epoch", "time.epoch"},
        {"pos_ang_dist*", "pos.angDistance"}, {"pos_posang*", "pos.posAng"}, {"phys_size*", "phys.angSize"},
        {"extension_diam", "phys.angSize"}, {"veloc_hc", "spect.dopplerVeloc"}, {"veloc_bary*", "spect.dopplerVeloc"},
        {"var_period", "time.period"}, {"var_class", "meta.code.class;src.var"},
    };
    std::string_view canonical = text;
    for (const Ucd1& u : kUcd1) {
      const bool prefix = u.name.back() == '*';
      const std::string_view n = prefix ? u.name.substr(0, u.name.size() - 1) : u.name;
      if (prefix ? std::string_view(text).substr(0, n.size()) == n : text == n) {
        canonical = u.words;
        break;
      }
    }
    if (canonical == text) return {text};
    return ucdWords(canonical);
  }
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t semi = rest.find(';');
    const std::string_view w = trimmed(rest.substr(0, semi));
    if (!w.empty()) words.emplace_back(w);
    if (semi == std::string_view::npos) break;
    rest.remove_prefix(semi + 1);
  }
  return words;
}

// `word` is the UCD atom `atom` or one below it ("pos.parallax.trig" is below "pos.parallax").
bool ucdWordIs(std::string_view word, std::string_view atom) {
  const std::string a = asciiLowered(atom);
  return word == a || (word.size() > a.size() && word.substr(0, a.size()) == a && word[a.size()] == '.');
}

bool hasUcdWord(const std::vector<std::string>& words, std::string_view atom) {
  return std::any_of(words.begin(), words.end(), [&](const std::string& w) { return asciiLowered(atom) == w; });
}

bool hasRaUcd(const std::vector<std::string>& w) { return !w.empty() && w.front() == "pos.eq.ra"; }
bool hasDecUcd(const std::vector<std::string>& w) { return !w.empty() && w.front() == "pos.eq.dec"; }

// A label without the axis word in it: "_RAJ2000" and "_DEJ2000" both give
// "_J2000", so that right ascensions and declinations written alike pair up.
std::string withoutAxisWord(std::string_view label) {
  const std::string lower = asciiLowered(label);
  for (std::string_view axis : {"dec", "ra", "de"}) {
    const std::size_t at = lower.find(axis);
    if (at != std::string::npos) return std::string(label.substr(0, at)) + std::string(label.substr(at + axis.size()));
  }
  return std::string(label);
}

// The position part by the column's UCD, which decides where it is given:
// a UCD other than pos.eq.ra or pos.eq.dec means no position. The part is
// told by the units, then by the label, then by what the cells hold (a
// number without units is in degrees). Columns with meta.main form the
// unnamed set, taken first; others a set named after their label.
PositionPart classifyByUcd(const ReadMeColumn& c, const std::vector<std::string>& words) {
  const bool ra = hasRaUcd(words);
  if (!ra && !hasDecUcd(words)) return {};
  const std::string_view u = c.units;
  PositionPart byLabel = classifyPosition(c);
  if (byLabel.part != Part::None && isRaPart(byLabel.part) != ra) byLabel = {};
  PositionPart r;
  if (ra) {
    if (const Part byUnits = raPartOfUnits(c, u); byUnits != Part::None) r.part = byUnits;
    else if (noUnits(u)) r.part = byLabel.part != Part::None ? byLabel.part : c.isText() ? Part::None : Part::RaDegrees;
  } else {
    if (byLabel.part == Part::DecSign) r.part = Part::DecSign;
    else if (c.sexagesimal || sexagesimalUnits(u)) r.part = Part::DecSexagesimal;
    else if (u == "deg") r.part = byLabel.part == Part::DecDegrees || byLabel.part == Part::DecDecimal ? byLabel.part : Part::DecDegreesEither;
    else if (u == "arcmin") r.part = Part::DecMinutes;
    else if (u == "arcsec") r.part = Part::DecSeconds;
    else if (noUnits(u)) {
      if (byLabel.part != Part::None) r.part = byLabel.part;
      else r.part = c.isText() ? Part::DecSign : Part::DecDecimal;
    }
  }
  if (r.part == Part::None) return {};
  if (!hasUcdWord(words, "meta.main")) r.set = byLabel.part != Part::None ? byLabel.set : "~" + withoutAxisWord(c.label);
  // A set of other columns never takes the unnamed place of the main one.
  if (!hasUcdWord(words, "meta.main") && r.set.empty()) r.set = "~";
  return r;
}

// The position part of a column: by its UCD where it has one, else by its label and units.
PositionPart classifyColumn(const ReadMeColumn& c) {
  if (!c.ucd.empty()) return classifyByUcd(c, ucdWords(c.ucd));
  return classifyPosition(c);
}

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
  bool hasRa() const { return get(Part::RaHours) >= 0 || get(Part::RaDegrees) >= 0; }
  bool hasDec() const {
    return get(Part::DecDegrees) >= 0 || get(Part::DecDecimal) >= 0 || get(Part::DecDegreesEither) >= 0 ||
           get(Part::Spd) >= 0 || get(Part::Npd) >= 0;
  }
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
// Type entries

enum class Quantity {
  Any,  // text and code entries, and numbers taken as they are
  Magnitude, ProperMotion, Parallax, Separation, Angle, Year, JulianDay, Days, Velocity,
  SurfaceBrightness, Dimension, Percent,
};

struct Rule {
  int field;                // record field of the entry
  std::string_view labels;  // "|"-separated, preferred first
  Quantity quantity;
};

constexpr std::string_view kSpectrum = "SpType|Sp|SpT|SpClass|MK|Spec|SpTyp";
constexpr std::string_view kComments = "Comm|Comment|Comments|Remark|Remarks|Note|Notes|Desc|Text";

constexpr Rule kStarRules[] = {
    {4, "Vmag|V|Vj|VTmag|Vt|Hpmag|Gmag|mag", Quantity::Magnitude},
    {5, "B-V|BV|B-Vmag|(B-V)", Quantity::Magnitude},
    {6, "Bmag|B|BTmag|Bt|Bjmag|Bj", Quantity::Magnitude},
    {7, "Rmag|R|RFmag|Rcmag|Rc", Quantity::Magnitude},
    {8, kSpectrum, Quantity::Any},
    {9, "pmRA|pmRA*|pmRAcosDE|pmRAc|pmRA2000", Quantity::ProperMotion},
    {10, "pmDE|pmDec|pmDEC|pmDE2000", Quantity::ProperMotion},
    {11, "Epoch|Ep|EpRA|Date|Year", Quantity::Year},
    {12, "Plx|Parallax|Px|Par|pi", Quantity::Parallax},
    {13, kComments, Quantity::Any},
};

constexpr Rule kVariableRules[] = {
    {4, "magMax|max|maxMag|Vmax", Quantity::Magnitude},
    {5, "magMin|min|Min1|minMag|Vmin|magMin1", Quantity::Magnitude},
    {6, "Period|Per|P", Quantity::Days},
    {7, "VarType|Type|VarTyp|VType", Quantity::Any},
    {8, "Epoch|MaxEpoch|EpMax|Ep|JDmax|Tmax", Quantity::JulianDay},
    {9, "M-m|Rise|RiseTime", Quantity::Percent},
    {10, kSpectrum, Quantity::Any},
    {11, "n_magMax|n_max|Band|PhotSys|Phot|System", Quantity::Any},
    {12, kComments, Quantity::Any},
};

constexpr Rule kDoubleRules[] = {
    {4, "mag1|m1|Vmag1|magA|VmagA|mA", Quantity::Magnitude},
    {5, "mag2|m2|Vmag2|magB|VmagB|mB", Quantity::Magnitude},
    {6, "sep|rho|sep2|sep1|Dist", Quantity::Separation},
    {7, "pa|PA|theta|pa2|pa1", Quantity::Angle},
    {8, "Obs2|Epoch|Ep|Date|Obs|Year|Obs1", Quantity::Year},
    {9, "Comp|Comps|Cmp|Components", Quantity::Any},
    {10, "SpType|Sp|SpT|Sp1|SpA|SpType1", Quantity::Any},
    {11, "Sp2|SpB|SpType2", Quantity::Any},
    {12, kComments, Quantity::Any},
};

constexpr Rule kNebulaRules[] = {
    {4, "Type|OType|ObjType|ObjClass", Quantity::Any},
    {5, "mag|Vmag|Bmag|BTmag|VTmag|m|Vt|Bt", Quantity::Magnitude},
    {6, "SB|SBr|mu|SurfBr|MeanSB|SBmag", Quantity::SurfaceBrightness},
    {7, "size|MajAx|Dmaj|MajDiam|Diam|D|amaj|MajAxis|Maj|Dim|Dim1|Diameter", Quantity::Dimension},
    {8, "MinAx|Dmin|MinDiam|d|amin|MinAxis|Dim2", Quantity::Dimension},
    {9, "Unit|SizeUnit|u_size|x_size|u_Dim", Quantity::Any},
    {10, "PA|pa|PosAng", Quantity::Angle},
    {11, "RV|HRV|RadVel|Vr|cz|Vrad|Vel", Quantity::Velocity},
    {12, "MType|Morph|Class|Hubble|HType|MorphType", Quantity::Any},
    {13, "Desc|Comm|Comment|Comments|Remark|Remarks|Note|Notes|Text", Quantity::Any},
};

constexpr Rule kOutlineRules[] = {
    {4, "LineOp|Op|Oper|Operation|Action", Quantity::Any},
    {5, "LineWidth|Width", Quantity::Any},
    {6, "LineColor|LineColour|Color|Colour", Quantity::Any},
    {7, "Drawing|DrawType|DrawingType", Quantity::Any},
    {8, kComments, Quantity::Any},
};

// Entries named by a UCD, tried before the labels: a column whose primary
// word is `primary` (or one below it, for a primary ending in '*') and that
// has every word of `also`. The first rule of an entry that finds a column
// with units it knows wins.
struct UcdRule {
  CatalogType type;
  int field;
  std::string_view primary;
  std::string_view also;  // blank-separated
  Quantity quantity;
};

constexpr UcdRule kUcdRules[] = {
    {CatalogType::Stars, 4, "phot.mag", "em.opt.V", Quantity::Magnitude},
    {CatalogType::Stars, 4, "phot.mag", "", Quantity::Magnitude},
    {CatalogType::Stars, 5, "phot.color", "em.opt.B em.opt.V", Quantity::Magnitude},
    {CatalogType::Stars, 6, "phot.mag", "em.opt.B", Quantity::Magnitude},
    {CatalogType::Stars, 7, "phot.mag", "em.opt.R", Quantity::Magnitude},
    {CatalogType::Stars, 8, "src.spType", "", Quantity::Any},
    {CatalogType::Stars, 9, "pos.pm", "pos.eq.ra", Quantity::ProperMotion},
    {CatalogType::Stars, 10, "pos.pm", "pos.eq.dec", Quantity::ProperMotion},
    {CatalogType::Stars, 12, "pos.parallax*", "", Quantity::Parallax},
    {CatalogType::VariableStars, 4, "phot.mag", "stat.max", Quantity::Magnitude},
    {CatalogType::VariableStars, 5, "phot.mag", "stat.min", Quantity::Magnitude},
    {CatalogType::VariableStars, 6, "time.period", "", Quantity::Days},
    {CatalogType::VariableStars, 7, "meta.code.class", "src.var", Quantity::Any},
    {CatalogType::VariableStars, 10, "src.spType", "", Quantity::Any},
    {CatalogType::DoubleStars, 6, "pos.angDistance", "", Quantity::Separation},
    {CatalogType::DoubleStars, 7, "pos.posAng", "", Quantity::Angle},
    {CatalogType::DoubleStars, 10, "src.spType", "", Quantity::Any},
    {CatalogType::Nebulae, 5, "phot.mag", "em.opt.V", Quantity::Magnitude},
    {CatalogType::Nebulae, 5, "phot.mag", "", Quantity::Magnitude},
    {CatalogType::Nebulae, 6, "phot.mag.sb", "", Quantity::SurfaceBrightness},
    {CatalogType::Nebulae, 7, "phys.angSize", "", Quantity::Dimension},
    {CatalogType::Nebulae, 10, "pos.posAng", "", Quantity::Angle},
    {CatalogType::Nebulae, 11, "spect.dopplerVeloc*", "", Quantity::Velocity},
    {CatalogType::Nebulae, 12, "src.morph.type", "", Quantity::Any},
};

bool ucdRuleMatches(const UcdRule& rule, const std::vector<std::string>& words) {
  if (words.empty()) return false;
  const bool below = rule.primary.back() == '*';
  const std::string_view primary = below ? rule.primary.substr(0, rule.primary.size() - 1) : rule.primary;
  if (below ? !ucdWordIs(words.front(), primary) : words.front() != asciiLowered(primary)) return false;
  std::string_view also = rule.also;
  while (!also.empty()) {
    const std::size_t blank = also.find(' ');
    if (!hasUcdWord(words, also.substr(0, blank))) return false;
    if (blank == std::string_view::npos) break;
    also.remove_prefix(blank + 1);
  }
  return true;
}

std::span<const Rule> rulesOf(CatalogType type) {
  switch (type) {
    case CatalogType::Stars: return kStarRules;
    case CatalogType::VariableStars: return kVariableRules;
    case CatalogType::DoubleStars: return kDoubleRules;
    case CatalogType::Nebulae: return kNebulaRules;
    case CatalogType::NebulaOutlines: return kOutlineRules;
  }
  return kStarRules;
}

bool labelMatches(std::string_view candidate, std::string_view label) {
  return candidate == label || (candidate.size() >= 3 && equalNoCase(candidate, label));
}

struct Calibration {
  double a = 1.0;
  double b = 0.0;
  std::string remark;  // told to the user beside the mapping
};

// 2.5 log10(3600): a surface brightness per square arcsecond is this much
// fainter than per square arcminute.
constexpr double kMagArcsec2ToArcmin2 = 8.890756251918218;

// The calibration into the entry's unit, or nullopt when the column's units
// are not those of the quantity.
std::optional<Calibration> calibrationFor(Quantity q, std::string_view u) {
  const bool none = noUnits(u);
  auto factor = [](double a) -> std::optional<Calibration> { return Calibration{a, 0, {}}; };
  switch (q) {
    case Quantity::Any:
      return Calibration{};
    case Quantity::Dimension:
      if (none || oneOf(u, {"deg", "arcmin", "arcsec"})) return factor(1);
      return std::nullopt;
    case Quantity::Magnitude:
      if (none || u == "mag") return factor(1);
      if (u == "mmag") return factor(0.001);
      return std::nullopt;
    case Quantity::ProperMotion:
      if (none || oneOf(u, {"arcsec/yr", "arcsec/a", "arcsec/y", "\"/yr", "\"/a"})) return factor(1);
      if (oneOf(u, {"mas/yr", "mas/a", "mas/y"})) return factor(0.001);
      if (oneOf(u, {"arcsec/cy", "arcsec/100yr", "\"/cy"})) return factor(0.01);
      if (oneOf(u, {"arcmin/yr", "arcmin/a"})) return factor(60);
      if (oneOf(u, {"deg/yr", "deg/a"})) return factor(3600);
      if (oneOf(u, {"s/yr", "s/a"}))
        return Calibration{15, 0, "seconds of time a year x 15, without the cos(DEC) factor"};
      return std::nullopt;
    case Quantity::Parallax:
      if (none || oneOf(u, {"arcsec", "\""})) return factor(1);
      if (u == "mas") return factor(0.001);
      if (u == "uas") return factor(1e-6);
      return std::nullopt;
    case Quantity::Separation:
      if (none || oneOf(u, {"arcsec", "\""})) return factor(1);
      if (u == "mas") return factor(0.001);
      if (u == "arcmin") return factor(60);
      if (u == "deg") return factor(3600);
      return std::nullopt;
    case Quantity::Angle:
      if (none || u == "deg") return factor(1);
      if (u == "rad") return factor(57.29577951308232);
      return std::nullopt;
    case Quantity::Year:
      if (none || oneOf(u, {"yr", "a", "year"})) return factor(1);
      return std::nullopt;
    case Quantity::JulianDay:
      if (none || u == "d") return factor(1);
      return std::nullopt;
    case Quantity::Days:
      if (none || u == "d") return factor(1);
      if (u == "h") return factor(1.0 / 24);
      if (u == "min") return factor(1.0 / 1440);
      if (u == "s") return factor(1.0 / 86400);
      if (oneOf(u, {"yr", "a"})) return factor(365.25);
      return std::nullopt;
    case Quantity::Velocity:
      if (none || u == "km/s") return factor(1);
      if (u == "m/s") return factor(0.001);
      return std::nullopt;
    case Quantity::SurfaceBrightness:
      if (none || oneOf(u, {"mag/arcmin2", "mag/arcmin^2"})) return factor(1);
      if (oneOf(u, {"mag/arcsec2", "mag/arcsec^2"}))
        return Calibration{1, -kMagArcsec2ToArcmin2, "per square arcsecond to per square arcminute"};
      return std::nullopt;
    case Quantity::Percent:
      if (none || u == "%") return factor(1);
      return std::nullopt;
  }
  return std::nullopt;
}

// nebunit of a size column's units: 0 Degree, 1 Minute, 2 Second.
std::optional<int> nebUnitOf(std::string_view u) {
  if (u == "deg") return 0;
  if (u == "arcmin") return 1;
  if (u == "arcsec") return 2;
  return std::nullopt;
}

constexpr double kUnitsPerDegree[] = {1, 60, 3600};
constexpr const char* kNebUnitNames[] = {"deg", "arcmin", "arcsec"};

// ---------------------------------------------------------------------------
// Identifiers and qualifiers

bool isQualifier(std::string_view label) {
  return label.size() >= 3 && label[1] == '_' && std::string_view("nulrqfmx").find(label[0]) != std::string_view::npos;
}

bool isIdentifier(const ReadMeColumn& c) {
  static constexpr std::string_view kLabels[] = {
      "ID", "Id", "Name", "Names", "Seq", "Num", "No", "Nr", "Number", "Star", "Object", "Obj", "Desig", "Designation",
      "HR", "HD", "HDE", "HIP", "HIC", "SAO", "BD", "CD", "CPD", "DM", "AGK3", "TYC", "Tycho", "GSC", "UCAC",
      "2MASS", "PPM", "FK4", "FK5", "GC", "ADS", "WDS", "IDS", "CCDM", "Disc", "NGC", "IC", "M", "UGC", "PGC",
      "ESO", "MCG", "LEDA", "Abell", "Sh2", "LBN", "LDN", "GCVS", "NSV", "VarName", "VarID", "Gaia", "Fl", "Bayer",
      "Flamsteed", "Cluster", "PN", "PNG"};
  for (std::string_view l : kLabels)
    if (labelMatches(l, c.label)) return true;
  // "source_id", "star_id".
  const std::string l = asciiLowered(c.label);
  if (l.size() > 3 && l.substr(l.size() - 3) == "_id") return true;
  const std::string e = asciiLowered(c.explanation);
  // "Identifications of components in Dmag": letters of a double's parts.
  if (e.find("component") != std::string::npos) return false;
  if (!c.ucd.empty()) {
    const std::vector<std::string> words = ucdWords(c.ucd);
    if (!words.empty() && words.front() == "meta.id") return true;
  }
  for (std::string_view w : {"designation", "identification", "identifier", "catalog number", "catalogue number"})
    if (e.find(w) != std::string::npos) return true;
  // "name" as a word, not "named" or "surname".
  for (std::size_t p = e.find("name"); p != std::string::npos; p = e.find("name", p + 1)) {
    const bool startOk = p == 0 || !std::isalpha(static_cast<unsigned char>(e[p - 1]));
    const std::size_t end = p + 4 + (p + 4 < e.size() && e[p + 4] == 's' ? 1 : 0);
    const bool endOk = end >= e.size() || !std::isalpha(static_cast<unsigned char>(e[end]));
    if (startOk && endOk) return true;
  }
  return false;
}

std::string formatNumber(double v) { return formatProjectFloat(v); }

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
  Mapper(const ReadMeTable& table, CatalogType type, CatalogDefinition& def)
      : table_(table), type_(type), def_(def), used_(table.columns.size(), false) {
    for (const ReadMeColumn& c : table.columns) ucdWords_.push_back(ucdWords(c.ucd));
  }

  std::vector<std::string> run() {
    for (const ReadMeUnreadRow& r : table_.unreadRows)
      notes_.push_back("Not read, line " + std::to_string(r.line) + " of the ReadMe (" + r.reason + "): \"" +
                       r.text + "\"; give its column on page 3 if the catalog needs it");
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
    mapFreeColumns();
    for (std::string& n : widthNotes_) notes_.push_back(std::move(n));
    for (const std::string& e : missingRequiredEntries(def_))
      notes_.push_back("Required entry " + e + " has no column: give it on page 3");
    return std::move(notes_);
  }

 private:
  const ReadMeColumn& col(int i) const { return table_.columns[static_cast<std::size_t>(i)]; }
  int columnCount() const { return static_cast<int>(table_.columns.size()); }

  void classifyPositions() {
    parts_.resize(table_.columns.size());
    for (int i = 0; i < columnCount(); ++i) parts_[static_cast<std::size_t>(i)] = classifyColumn(col(i));
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
    raSet_ = bestSet([](const PositionSet& s) { return s.hasRa(); }, nullptr);
    decSet_ = bestSet([](const PositionSet& s) { return s.hasDec(); }, raSet_ >= 0 ? &sets_[raSet_].name : nullptr);
    ratype_ = def_.settings.ratype;
    dectype_ = def_.settings.dectype;
    if (raSet_ >= 0) {
      const PositionSet& s = sets_[static_cast<std::size_t>(raSet_)];
      if (s.get(Part::RaDegrees) >= 0) ratype_ = s.get(Part::RaArcmin) >= 0 ? 2 : 3;
      else ratype_ = (s.get(Part::RaMinutes) >= 0 || s.get(Part::RaSeconds) >= 0) ? 0 : 1;
    }
    if (decSet_ >= 0) {
      const PositionSet& s = sets_[static_cast<std::size_t>(decSet_)];
      const bool sexagesimal = s.get(Part::DecSign) >= 0 || s.get(Part::DecMinutes) >= 0 || s.get(Part::DecSeconds) >= 0;
      if (s.get(Part::DecDecimal) >= 0 || (s.get(Part::DecDegreesEither) >= 0 && !sexagesimal && s.get(Part::DecDegrees) < 0))
        dectype_ = 1;
      else if (s.get(Part::DecDegrees) >= 0 || s.get(Part::DecDegreesEither) >= 0)
        dectype_ = 0;
      else
        dectype_ = 2;
    }
  }

  template <typename Has>
  int bestSet(Has has, const std::string* preferredName) const {
    int best = -1;
    for (int i = 0; i < static_cast<int>(sets_.size()); ++i) {
      const PositionSet& s = sets_[static_cast<std::size_t>(i)];
      if (!has(s)) continue;
      if (preferredName && s.name == *preferredName) return i;
      if (best < 0 || setRank(s.name) < setRank(sets_[static_cast<std::size_t>(best)].name)) best = i;
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
      default:
        takePosition(0, s.get(Part::RaDegrees));
        return "decimal degrees";
    }
  }

  // The equinox and the epoch from the explanation of the main RA column;
  // failing that, the equinox from the name of its set.
  void takeDates(const PositionSet& s) {
    const int main = s.get(ratype_ <= 1 ? Part::RaHours : Part::RaDegrees);
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
      default:
        if (s.get(Part::Spd) >= 0) {
          takePosition(c, s.get(Part::Spd));
          what = "south polar distance";
        } else {
          takePosition(c, s.get(Part::Npd), -1, 180);
          what = "north polar distance, as 180 - NPD";
        }
    }
    notes_.push_back("DEC: " + what + " from " + takenColumns() + extra);
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
      if (isSexagesimalCell(p.part))
        notes_.push_back("Skipped " + col(i).describe() + ": " + (isRaPart(p.part) ? "hours, minutes and seconds" : "degrees, minutes and seconds") +
                         " in one cell, which no " + (isRaPart(p.part) ? "RA" : "DEC") +
                         " mode reads; the position needs them in separate columns, or in degrees");
      else if (chosen >= 0 && sets_[static_cast<std::size_t>(chosen)].name == p.set)
        notes_.push_back("Skipped " + col(i).describe() + ": the position is read from other columns");
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

  void mapTypeEntries() {
    std::vector<int> rejected;
    for (const Rule& rule : rulesOf(type_)) {
      const int position = def_.fields().positionOfField(rule.field);
      if (position < 0) continue;
      if (takeByUcd(rule.field, position)) continue;
      int column = findByLabel(rule);
      while (column >= 0) {
        const ReadMeColumn& c = col(column);
        auto cal = calibrationFor(rule.quantity, c.units);
        if (cal) {
          if (rule.quantity == Quantity::Dimension) cal = dimension(c, rule.field == 7);
          assignType(position, column, *cal);
          break;
        }
        notes_.push_back("Not taken for " + entryName(position) + ": " + c.describe() + ", in " + c.units);
        rejected.push_back(column);
        used_[static_cast<std::size_t>(column)] = true;  // hidden while looking again
        column = findByLabel(rule);
      }
      for (int r : rejected) used_[static_cast<std::size_t>(r)] = false;
      rejected.clear();
    }

    // The magnitude entry of the type from any plain magnitude column.
    const int magPosition = def_.fields().positionOfField(magnitudeFieldOf(type_));
    if (magPosition >= 0 && !def_.ticked(magPosition)) {
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
              !isQualifier(c.label) && c.label.substr(0, 2) != "e_" && lower.find("err") == std::string::npos)
            found = i;
        }
        if (found >= 0) break;
      }
      if (found >= 0) assignType(magPosition, found, Calibration{});
    }
  }

  // The entry at `position` (record field `field`) from a column its UCD
  // names; false when no UCD rule finds one with units it knows.
  bool takeByUcd(int field, int position) {
    for (const UcdRule& rule : kUcdRules) {
      if (rule.type != type_ || rule.field != field) continue;
      for (int i = 0; i < columnCount(); ++i) {
        if (used_[static_cast<std::size_t>(i)] || !ucdRuleMatches(rule, ucdWords_[static_cast<std::size_t>(i)])) continue;
        const ReadMeColumn& c = col(i);
        auto cal = calibrationFor(rule.quantity, c.units);
        if (!cal) {
          notes_.push_back("Not taken for " + entryName(position) + ": " + c.describe() + ", in " + c.units);
          continue;
        }
        if (rule.quantity == Quantity::Dimension) cal = dimension(c, field == 7);
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
    if (type_ == CatalogType::Nebulae && def_.fields().recordField(position) == 7 && nebunit_)
      note += std::string("; default dimension unit ") + kNebUnitNames[*nebunit_];
    notes_.push_back(note);
  }

  void mapFreeColumns() {
    const FieldCatalogue& f = def_.fields();
    const int idPosition = f.positionOfField(3);
    int nextString = 1, nextNumeric = 1;
    // A column without a name keeps the entry's own label.
    auto setLabel = [&](int p, const ReadMeColumn& c) {
      if (!c.label.empty()) def_.setLabelOfPosition(p, c.label.substr(0, kLabelMaxLength));
    };
    auto candidate = [&](int i) {
      return !used_[static_cast<std::size_t>(i)] && parts_[static_cast<std::size_t>(i)].part == Part::None;
    };

    // The main identifier a UCD names goes first.
    for (int i = 0; i < columnCount() && idPosition >= 0; ++i) {
      const std::vector<std::string>& w = ucdWords_[static_cast<std::size_t>(i)];
      if (!candidate(i) || w.empty() || w.front() != "meta.id" || !hasUcdWord(w, "meta.main")) continue;
      used_[static_cast<std::size_t>(i)] = true;
      put(idPosition, col(i));
      notes_.push_back(entryName(idPosition) + ": " + col(i).describe());
      break;
    }
    for (int i = 0; i < columnCount(); ++i) {
      if (!candidate(i)) continue;
      const ReadMeColumn& c = col(i);
      if (isQualifier(c.label)) {
        used_[static_cast<std::size_t>(i)] = true;
        notes_.push_back("Skipped " + c.describe() + ": a flag, note or limit on another column");
        continue;
      }
      if (!isIdentifier(c)) continue;
      used_[static_cast<std::size_t>(i)] = true;
      if (idPosition >= 0 && !def_.ticked(idPosition)) {
        put(idPosition, c);
        notes_.push_back(entryName(idPosition) + ": " + c.describe());
      } else if (nextString <= kFreeStringCount) {
        const int p = f.stringPosition(nextString);
        put(p, c);
        setLabel(p, c);
        def_.altNames[static_cast<std::size_t>(nextString - 1)] = 1;
        notes_.push_back(entryName(p) + ": " + c.describe() + ", an alternate name");
        ++nextString;
      } else {
        notes_.push_back("Skipped " + c.describe() + ": no String entry left");
      }
    }
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
  std::vector<bool> used_;
  std::vector<std::vector<std::string>> ucdWords_;  // of each column, empty without a UCD
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

std::vector<std::string> applyReadMeTable(const ReadMeTable& table, CatalogType type, CatalogDefinition& definition) {
  return Mapper(table, type, definition).run();
}

}  // namespace mirdal
