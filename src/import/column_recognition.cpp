#include "import/column_recognition.h"

#include <algorithm>
#include <iterator>

#include "util/text.h"

namespace mirdal {
namespace detail {

namespace {

constexpr auto isLowerLetter = isAsciiLower;

bool sexagesimalUnits(std::string_view u) { return oneOf(u, {"h:m:s", "hms", "d:m:s", "dms", "\"h:m:s\"", "\"d:m:s\""}); }

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
  if (u == "deg" || u == "rad") return Part::RaDegrees;
  if (u == "arcmin") return Part::RaArcmin;
  if (u == "arcsec") return Part::RaArcsec;
  return Part::None;
}

// A right ascension or declination named as archives name them; the part
// by the declared units first, then by the name (see archivePositionName).
PositionPart classifyArchiveName(const ReadMeColumn& c, const PositionName& name) {
  const std::string_view u = c.units;
  PositionPart r;
  r.set = name.set;
  const bool plainNumber = !c.isText() || c.sexagesimal;
  if (name.axis == PositionName::Axis::Ra) {
    if (const Part byUnits = raPartOfUnits(c, u); byUnits != Part::None) r.part = byUnits;
    else if (noUnits(u) && plainNumber) r.part = Part::RaDecimal;
  } else {
    if (c.sexagesimal || sexagesimalUnits(u)) r.part = Part::DecSexagesimal;
    else if (u == "rad") r.part = Part::DecDecimal;
    else if (u == "deg") r.part = name.unit ? Part::DecDecimal : Part::DecDegreesEither;
    else if (u == "arcmin") r.part = Part::DecMinutes;
    else if (u == "arcsec") r.part = Part::DecSeconds;
    else if (noUnits(u) && plainNumber) r.part = Part::DecDecimal;
  }
  return r.part == Part::None ? PositionPart{} : r;
}

PositionPart classifyPosition(const ReadMeColumn& c) {
  const std::string_view label = c.label;
  const std::string_view u = c.units;
  if (const PositionName name = archivePositionName(label); name.axis != PositionName::Axis::None)
    return classifyArchiveName(c, name);
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
    else if (u == "rad") r.part = Part::DecDecimal;
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

  for (std::string_view prefix : {"SPD", "NPD"}) {
    if (label.substr(0, 3) != prefix || !(u == "deg" || noUnits(u))) continue;
    if (!setFrom(label.substr(3))) return {};
    r.part = prefix == "SPD" ? Part::Spd : Part::Npd;
    return r;
  }
  return {};
}

}  // namespace

// ---------------------------------------------------------------------------
// Archive names

namespace {

// A set word at the start of `rest` (lower case): J2000, 2000, B1950.0,
// ICRS, FK5, FK4; its length, 0 when none.
std::size_t setWord(std::string_view rest) {
  for (std::string_view w : {"icrs", "fk5", "fk4"})
    if (rest.substr(0, w.size()) == w) return w.size();
  std::size_t i = !rest.empty() && (rest[0] == 'j' || rest[0] == 'b') ? 1 : 0;
  const std::size_t digits = i;
  while (i < rest.size() && isAsciiDigit(rest[i])) ++i;
  if (i - digits != 4) return 0;
  if (i + 1 < rest.size() && rest[i] == '.' && isAsciiDigit(rest[i + 1]))
    for (++i; i < rest.size() && isAsciiDigit(rest[i]);) ++i;
  return i;
}

}  // namespace

PositionName archivePositionName(std::string_view label) {
  std::size_t start = 0;
  while (start < label.size() && label[start] == '_') ++start;
  const std::string lower = asciiLowered(label.substr(start));
  struct Axis {
    std::string_view word;
    PositionName::Axis axis;
  };
  static constexpr Axis kAxes[] = {
      {"right_ascension", PositionName::Axis::Ra}, {"rightascension", PositionName::Axis::Ra},
      {"alpha", PositionName::Axis::Ra},           {"ra", PositionName::Axis::Ra},
      {"declination", PositionName::Axis::Dec},    {"delta", PositionName::Axis::Dec},
      {"decl", PositionName::Axis::Dec},
      {"dec", PositionName::Axis::Dec},            {"de", PositionName::Axis::Dec},
  };
  for (const Axis& a : kAxes) {
    if (lower.substr(0, a.word.size()) != a.word) continue;
    PositionName name;
    name.axis = a.axis;
    const bool ra = a.axis == PositionName::Axis::Ra;
    // "RAh": the catalogs' own capitals, a lower-case unit letter after them.
    const bool capitals = ra && label.substr(start, 2) == "RA";
    std::size_t i = a.word.size();
    bool ok = true;
    while (ok && i < lower.size()) {
      const bool afterBlank = lower[i] == '_';
      if (afterBlank) ++i;
      if (i == lower.size()) {
        ok = false;
        break;
      }
      const std::string_view rest = std::string_view(lower).substr(i);
      if (const std::size_t n = setWord(rest)) {
        for (std::size_t k = 0; k < n; ++k) name.set += asciiUpper(rest[k]);
        i += n;
        continue;
      }
      ok = false;
      for (const RaUnitWord& w : kRaUnitWords) {
        if (!w.inName || rest.substr(0, w.word.size()) != w.word || (w.raOnly && !ra) || name.unit) continue;
        if (w.afterBlank && !afterBlank && !(capitals && w.word == "h" && i == a.word.size())) continue;
        // A unit word ends where a set word, "_" or the name does.
        const std::string_view after = rest.substr(w.word.size());
        if (!after.empty() && after[0] != '_' && setWord(after) == 0) continue;
        name.unit = w.unit;
        i += w.word.size();
        ok = true;
        break;
      }
    }
    return ok ? name : PositionName{};
  }
  return {};
}

// ---------------------------------------------------------------------------
// Kinds never taken for a number entry

namespace {

enum class Match {
  Ucd,         // the primary word of the UCD, or one below it
  Name,        // the whole name, lower case, "|"-separated alternatives
  Prefix,      // how the name starts
  Suffix,      // how the name ends
  Contains,    // anywhere in the name
  Extinction,  // "a" and a band: AV, AK, A_V, a_g_val, ag_gspphot, A(V)
  ColourPair,  // two bands: B-V, (B-V), BP-RP, J-Ks, g_r
  Words,       // in the explanation, unless it is corrected for them
};

struct KindRule {
  Kind kind;
  Match match;
  std::string_view text;  // "|"-separated alternatives
};

// In order: the first rule that matches tells the kind.
constexpr KindRule kKindRules[] = {
    {Kind::Error, Match::Ucd, "stat.error|stat.stdev"},
    {Kind::Flag, Match::Ucd, "meta.code"},
    {Kind::Reddening, Match::Ucd, "phot.color.excess"},
    {Kind::Extinction, Match::Ucd, "phys.absorption"},
    {Kind::Reddening, Match::Prefix, "e("},
    {Kind::Reddening, Match::Name, "ebv|ebmv|e_bv|e_b-v|ebminv|reddening"},
    {Kind::Colour, Match::Ucd, "phot.color"},
    {Kind::Error, Match::Prefix, "e_|err|sig_|sigma"},
    {Kind::Error, Match::Suffix, "err|_sig|_sigma|_unc"},
    {Kind::Error, Match::Contains, "err"},
    {Kind::Flag, Match::Prefix, "f_|q_"},
    {Kind::Flag, Match::Contains, "flag"},
    {Kind::Extinction, Match::Extinction, ""},
    {Kind::Extinction, Match::Prefix, "ext_|extinct|absorp"},
    {Kind::Colour, Match::ColourPair, ""},
    {Kind::Colour, Match::Name, "bp_rp|bp_g|g_rp|bmv|vmi|color|colour"},
    {Kind::Reddening, Match::Words, "reddening|colour excess|color excess"},
    {Kind::Extinction, Match::Words, "extinction|absorption"},
};

constexpr std::string_view kBands[] = {"u", "b", "v", "r", "i", "z", "y", "j", "h", "k", "ks", "g", "bp", "rp",
                                       "rc", "ic", "bt", "vt", "w1", "w2", "w3", "w4", "nuv", "fuv"};

bool isBand(std::string_view s) { return std::find(std::begin(kBands), std::end(kBands), s) != std::end(kBands); }

template <typename Test>
bool anyOf(std::string_view alternatives, Test test) {
  while (true) {
    const std::size_t bar = alternatives.find('|');
    if (test(alternatives.substr(0, bar))) return true;
    if (bar == std::string_view::npos) return false;
    alternatives.remove_prefix(bar + 1);
  }
}

// The name in lower case without "(" and ")".
std::string plainName(std::string_view label) {
  std::string s;
  for (char c : label)
    if (c != '(' && c != ')') s += asciiLower(c);
  return s;
}

bool isExtinctionName(const std::string& name) {
  if (name.size() < 2 || name[0] != 'a') return false;
  const std::string_view rest = std::string_view(name).substr(name[1] == '_' ? 2 : 1);
  const std::string_view band = rest.substr(0, rest.find('_'));
  return isBand(band);
}

bool isColourPair(const std::string& name) {
  std::size_t minus = name.find('-');
  // g_r, j_h: two bands joined by one "_".
  if (minus == std::string::npos && std::count(name.begin(), name.end(), '_') == 1) minus = name.find('_');
  if (minus == std::string::npos) return false;
  std::string_view left = std::string_view(name).substr(0, minus), right = std::string_view(name).substr(minus + 1);
  if (right.size() > 3 && right.substr(right.size() - 3) == "mag") right.remove_suffix(3);
  return isBand(left) && isBand(right);
}

// `name` the label in lower case, `plain` also without "(" and ")".
bool ruleMatches(const KindRule& rule, const ReadMeColumn& c, const std::string& name, const std::string& plain,
                 const std::vector<std::string>& ucd) {
  switch (rule.match) {
    case Match::Ucd:
      return !ucd.empty() && anyOf(rule.text, [&](std::string_view a) { return ucdWordIs(ucd.front(), a); });
    case Match::Name:
      return anyOf(rule.text, [&](std::string_view a) { return name == a; });
    case Match::Prefix:
      return anyOf(rule.text, [&](std::string_view a) { return name.substr(0, a.size()) == a; });
    case Match::Suffix:
      return anyOf(rule.text, [&](std::string_view a) {
        return name.size() > a.size() && name.substr(name.size() - a.size()) == a;
      });
    case Match::Contains:
      return anyOf(rule.text, [&](std::string_view a) { return name.find(a) != std::string::npos; });
    case Match::Extinction:
      return isExtinctionName(plain);
    case Match::ColourPair:
      return isColourPair(plain);
    case Match::Words: {
      const std::string e = asciiLowered(c.explanation);
      if (e.find("correct") != std::string::npos || e.find("dered") != std::string::npos ||
          e.find("unredden") != std::string::npos)
        return false;
      return anyOf(rule.text, [&](std::string_view a) { return e.find(a) != std::string::npos; });
    }
  }
  return false;
}

}  // namespace

Kind neverKind(const ReadMeColumn& c, const std::vector<std::string>& ucd) {
  const std::string name = asciiLowered(c.label), plain = plainName(c.label);
  for (const KindRule& rule : kKindRules)
    if (ruleMatches(rule, c, name, plain, ucd)) return rule.kind;
  return Kind::None;
}

const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::Error: return "an error";
    case Kind::Flag: return "a flag";
    case Kind::Reddening: return "a reddening";
    case Kind::Extinction: return "an extinction";
    case Kind::Colour: return "a colour index";
    case Kind::None: break;
  }
  return "";
}

bool isGalacticColumn(const ReadMeColumn& c, const std::vector<std::string>& ucd) {
  if (!ucd.empty()) return ucdWordIs(ucd.front(), "pos.galactic");
  const std::string name = asciiLowered(c.label);
  if (name == "l" || name == "b") return c.units == "deg";
  return oneOf(name, {"glon", "glat", "gal_lon", "gal_long", "gal_lat", "lii", "bii", "galactic_longitude",
                      "galactic_latitude"});
}

// ---------------------------------------------------------------------------
// UCDs

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

bool ucdWordIs(std::string_view word, std::string_view atom) {
  const std::string a = asciiLowered(atom);
  return word == a || (word.size() > a.size() && word.substr(0, a.size()) == a && word[a.size()] == '.');
}

bool hasUcdWord(const std::vector<std::string>& words, std::string_view atom) {
  return std::any_of(words.begin(), words.end(), [&](const std::string& w) { return asciiLowered(atom) == w; });
}

namespace {

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
    // A right ascension in text is written in hours, minutes and seconds.
    else if (noUnits(u)) r.part = byLabel.part != Part::None ? byLabel.part : c.isText() ? Part::RaSexagesimal : Part::RaDecimal;
  } else {
    if (byLabel.part == Part::DecSign) r.part = Part::DecSign;
    else if (c.sexagesimal || sexagesimalUnits(u)) r.part = Part::DecSexagesimal;
    else if (u == "rad") r.part = Part::DecDecimal;
    else if (u == "deg") r.part = byLabel.part == Part::DecDegrees || byLabel.part == Part::DecDecimal ? byLabel.part : Part::DecDegreesEither;
    else if (u == "arcmin") r.part = Part::DecMinutes;
    else if (u == "arcsec") r.part = Part::DecSeconds;
    else if (noUnits(u)) {
      if (byLabel.part != Part::None) r.part = byLabel.part;
      // A text too wide for a sign ("-0 30" at least) is a whole declination.
      else if (c.isText()) r.part = (c.column > 0 ? c.width : c.length()) >= 5 ? Part::DecSexagesimal : Part::DecSign;
      else r.part = Part::DecDecimal;
    }
  }
  if (r.part == Part::None) return {};
  if (!hasUcdWord(words, "meta.main")) r.set = byLabel.part != Part::None ? byLabel.set : "~" + withoutAxisWord(c.label);
  // A set of other columns never takes the unnamed place of the main one.
  if (!hasUcdWord(words, "meta.main") && r.set.empty()) r.set = "~";
  return r;
}

}  // namespace

PositionPart classifyColumn(const ReadMeColumn& c) {
  const std::vector<std::string> words = ucdWords(c.ucd);
  if (neverKind(c, words) != Kind::None) return {};
  if (!c.ucd.empty()) return classifyByUcd(c, words);
  return classifyPosition(c);
}

}  // namespace detail
}  // namespace mirdal
