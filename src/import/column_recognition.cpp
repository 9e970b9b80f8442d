#include "import/column_recognition.h"

#include <algorithm>

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

}  // namespace

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

}  // namespace

PositionPart classifyColumn(const ReadMeColumn& c) {
  if (!c.ucd.empty()) return classifyByUcd(c, ucdWords(c.ucd));
  return classifyPosition(c);
}

}  // namespace detail
}  // namespace mirdal
