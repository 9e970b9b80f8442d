#include "import/mapping_rules.h"

#include <algorithm>
#include <cctype>

#include "catalog/field_catalogue.h"
#include "import/column_recognition.h"
#include "util/text.h"

namespace mirdal {
namespace detail {

// ---------------------------------------------------------------------------
// Type entries

namespace {

constexpr std::string_view kSpectrum = "SpType|Sp|SpT|SpClass|MK|Spec|SpTyp";
constexpr std::string_view kComments = "Comm|Comment|Comments|Remark|Remarks|Note|Notes|Desc|Text";

constexpr Rule kStarRules[] = {
    {StarField::Magnitude, "Vmag|V|Vj|VTmag|Vt|Hpmag|Gmag|mag", Quantity::Magnitude},
    {StarField::BMinusV, "B-V|BV|B-Vmag|(B-V)", Quantity::Colour},
    {StarField::MagnitudeB, "Bmag|B|BTmag|Bt|Bjmag|Bj", Quantity::Magnitude},
    {StarField::MagnitudeR, "Rmag|R|RFmag|Rcmag|Rc", Quantity::Magnitude},
    {StarField::SpectralClass, kSpectrum, Quantity::Any},
    {StarField::ProperMotionRa, "pmRA|pmRA*|pmRAcosDE|pmRAc|pmRA2000", Quantity::ProperMotion},
    {StarField::ProperMotionDec, "pmDE|pmDec|pmDEC|pmDE2000", Quantity::ProperMotion},
    {StarField::Epoch, "Epoch|Ep|EpRA|Date|Year", Quantity::Year},
    {StarField::Parallax, "Plx|Parallax|Px|Par|pi", Quantity::Parallax},
    {StarField::Comments, kComments, Quantity::Any},
};

constexpr Rule kVariableRules[] = {
    {VariableStarField::MagnitudeMax, "magMax|max|maxMag|Vmax", Quantity::Magnitude},
    {VariableStarField::MagnitudeMin, "magMin|min|Min1|minMag|Vmin|magMin1", Quantity::Magnitude},
    {VariableStarField::Period, "Period|Per|P", Quantity::Days},
    {VariableStarField::VariableType, "VarType|Type|VarTyp|VType", Quantity::Any},
    {VariableStarField::MaximaEpoch, "Epoch|MaxEpoch|EpMax|Ep|JDmax|Tmax", Quantity::JulianDay},
    {VariableStarField::RiseTime, "M-m|Rise|RiseTime", Quantity::Percent},
    {VariableStarField::SpectralClass, kSpectrum, Quantity::Any},
    {VariableStarField::MagnitudeCode, "n_magMax|n_max|Band|PhotSys|Phot|System", Quantity::Any},
    {VariableStarField::Comments, kComments, Quantity::Any},
};

constexpr Rule kDoubleRules[] = {
    {DoubleStarField::Magnitude1, "mag1|m1|Vmag1|magA|VmagA|mA", Quantity::Magnitude},
    {DoubleStarField::Magnitude2, "mag2|m2|Vmag2|magB|VmagB|mB", Quantity::Magnitude},
    {DoubleStarField::Separation, "sep|rho|sep2|sep1|Dist", Quantity::Separation},
    {DoubleStarField::PositionAngle, "pa|PA|theta|pa2|pa1", Quantity::Angle},
    {DoubleStarField::Epoch, "Obs2|Epoch|Ep|Date|Obs|Year|Obs1", Quantity::Year},
    {DoubleStarField::ComponentName, "Comp|Comps|Cmp|Components", Quantity::Any},
    {DoubleStarField::SpectralClass1, "SpType|Sp|SpT|Sp1|SpA|SpType1", Quantity::Any},
    {DoubleStarField::SpectralClass2, "Sp2|SpB|SpType2", Quantity::Any},
    {DoubleStarField::Comments, kComments, Quantity::Any},
};

constexpr Rule kNebulaRules[] = {
    {NebulaField::NebulaType, "Type|OType|ObjType|ObjClass", Quantity::Any},
    {NebulaField::Magnitude, "mag|Vmag|Bmag|BTmag|VTmag|m|Vt|Bt", Quantity::Magnitude},
    {NebulaField::SurfaceBrightness, "SB|SBr|mu|SurfBr|MeanSB|SBmag", Quantity::SurfaceBrightness},
    {NebulaField::LargestDimension, "size|MajAx|Dmaj|MajDiam|Diam|D|amaj|MajAxis|Maj|Dim|Dim1|Diameter", Quantity::Dimension},
    {NebulaField::SmallestDimension, "MinAx|Dmin|MinDiam|d|amin|MinAxis|Dim2", Quantity::Dimension},
    {NebulaField::DimensionUnit, "Unit|SizeUnit|u_size|x_size|u_Dim", Quantity::Any},
    {NebulaField::PositionAngle, "PA|pa|PosAng", Quantity::Angle},
    {NebulaField::RadialVelocity, "RV|HRV|RadVel|Vr|cz|Vrad|Vel", Quantity::Velocity},
    {NebulaField::MorphologicalClass, "MType|Morph|Class|Hubble|HType|MorphType", Quantity::Any},
    {NebulaField::Comments, "Desc|Comm|Comment|Comments|Remark|Remarks|Note|Notes|Text", Quantity::Any},
};

constexpr Rule kOutlineRules[] = {
    {OutlineField::LineOperation, "LineOp|Op|Oper|Operation|Action", Quantity::Any},
    {OutlineField::LineWidth, "LineWidth|Width", Quantity::Any},
    {OutlineField::LineColour, "LineColor|LineColour|Color|Colour", Quantity::Any},
    {OutlineField::DrawingType, "Drawing|DrawType|DrawingType", Quantity::Any},
    {OutlineField::Comments, kComments, Quantity::Any},
};

constexpr UcdRule kUcdRules[] = {
    {CatalogType::Stars, StarField::Magnitude, "phot.mag", "em.opt.V", Quantity::Magnitude},
    {CatalogType::Stars, StarField::Magnitude, "phot.mag", "", Quantity::Magnitude},
    {CatalogType::Stars, StarField::BMinusV, "phot.color", "em.opt.B em.opt.V", Quantity::Colour},
    {CatalogType::Stars, StarField::MagnitudeB, "phot.mag", "em.opt.B", Quantity::Magnitude},
    {CatalogType::Stars, StarField::MagnitudeR, "phot.mag", "em.opt.R", Quantity::Magnitude},
    {CatalogType::Stars, StarField::SpectralClass, "src.spType", "", Quantity::Any},
    {CatalogType::Stars, StarField::ProperMotionRa, "pos.pm", "pos.eq.ra", Quantity::ProperMotion},
    {CatalogType::Stars, StarField::ProperMotionDec, "pos.pm", "pos.eq.dec", Quantity::ProperMotion},
    {CatalogType::Stars, StarField::Parallax, "pos.parallax*", "", Quantity::Parallax},
    {CatalogType::VariableStars, VariableStarField::MagnitudeMax, "phot.mag", "stat.max", Quantity::Magnitude},
    {CatalogType::VariableStars, VariableStarField::MagnitudeMin, "phot.mag", "stat.min", Quantity::Magnitude},
    {CatalogType::VariableStars, VariableStarField::Period, "time.period", "", Quantity::Days},
    {CatalogType::VariableStars, VariableStarField::VariableType, "meta.code.class", "src.var", Quantity::Any},
    {CatalogType::VariableStars, VariableStarField::SpectralClass, "src.spType", "", Quantity::Any},
    {CatalogType::DoubleStars, DoubleStarField::Separation, "pos.angDistance", "", Quantity::Separation},
    {CatalogType::DoubleStars, DoubleStarField::PositionAngle, "pos.posAng", "", Quantity::Angle},
    {CatalogType::DoubleStars, DoubleStarField::SpectralClass1, "src.spType", "", Quantity::Any},
    {CatalogType::Nebulae, NebulaField::Magnitude, "phot.mag", "em.opt.V", Quantity::Magnitude},
    {CatalogType::Nebulae, NebulaField::Magnitude, "phot.mag", "", Quantity::Magnitude},
    {CatalogType::Nebulae, NebulaField::SurfaceBrightness, "phot.mag.sb", "", Quantity::SurfaceBrightness},
    {CatalogType::Nebulae, NebulaField::LargestDimension, "phys.angSize", "", Quantity::Dimension},
    {CatalogType::Nebulae, NebulaField::PositionAngle, "pos.posAng", "", Quantity::Angle},
    {CatalogType::Nebulae, NebulaField::RadialVelocity, "spect.dopplerVeloc*", "", Quantity::Velocity},
    {CatalogType::Nebulae, NebulaField::MorphologicalClass, "src.morph.type", "", Quantity::Any},
};

// 2.5 log10(3600): a surface brightness per square arcsecond is this much
// fainter than per square arcminute.
constexpr double kMagArcsec2ToArcmin2 = 8.890756251918218;

}  // namespace

std::span<const UcdRule> ucdRules() { return kUcdRules; }

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
    case Quantity::Colour:
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
      if (u == "rad") return factor(kDegreesPerRadian);
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

bool kindRefused(Quantity q, Kind kind) {
  if (q == Quantity::Any || kind == Kind::None) return false;
  return !(kind == Kind::Colour && q == Quantity::Colour);
}

std::optional<int> nebUnitOf(std::string_view u) {
  if (u == "deg") return 0;
  if (u == "arcmin") return 1;
  if (u == "arcsec") return 2;
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Identifiers and qualifiers

bool isQualifier(std::string_view label) {
  return label.size() >= 3 && label[1] == '_' && std::string_view("nulrqfmx").find(label[0]) != std::string_view::npos;
}

bool isIdentifier(const ReadMeColumn& c) { return identifierStrength(c) > 0; }

int identifierStrength(const ReadMeColumn& c) {
  static constexpr std::string_view kLabels[] = {
      "ID", "Id", "Name", "Names", "Seq", "Num", "No", "Nr", "Number", "Star", "Object", "Obj", "Desig", "Designation",
      "HR", "HD", "HDE", "HIP", "HIC", "SAO", "BD", "CD", "CPD", "DM", "AGK3", "TYC", "Tycho", "GSC", "UCAC",
      "2MASS", "PPM", "FK4", "FK5", "GC", "ADS", "WDS", "IDS", "CCDM", "Disc", "NGC", "IC", "M", "UGC", "PGC",
      "ESO", "MCG", "LEDA", "Abell", "Sh2", "LBN", "LDN", "GCVS", "NSV", "VarName", "VarID", "Gaia", "Fl", "Bayer",
      "Flamsteed", "Cluster", "PN", "PNG"};
  // What archives' query tables call their identifiers, in lower case.
  static constexpr std::string_view kArchiveNames[] = {
      "source_id", "sourceid", "source_name", "sourcename", "srcname", "src_name", "designation", "objid", "obj_id",
      "objname", "obj_name", "object_id", "objectname", "object_name", "main_id", "star_name", "starname", "hostname",
      "pl_name", "hd", "hd_name", "hip_name", "tic_id", "tic", "kepid", "kic", "kic_id", "epic", "epic_id",
      "kepoi_name",
      "koi_name", "toi", "gaia_id", "dr2_source_id", "dr3_source_id", "tycho_id", "tyc_id", "2mass_id", "tmass_id",
      "twomass", "iau_name", "name_iau", "target", "target_name", "oid", "specobjid"};
  const std::vector<std::string> words = c.ucd.empty() ? std::vector<std::string>{} : ucdWords(c.ucd);
  const bool idUcd = !words.empty() && words.front() == "meta.id";
  if (idUcd && hasUcdWord(words, "meta.main")) return 3;
  const std::string l = asciiLowered(c.label);
  for (std::string_view a : kLabels)
    if (labelMatches(a, c.label)) return 2;
  for (std::string_view a : kArchiveNames)
    if (l == a) return 2;
  // "source_id", "star_id".
  if (l.size() > 3 && l.substr(l.size() - 3) == "_id") return 1;
  const std::string e = asciiLowered(c.explanation);
  // "Identifications of components in Dmag": letters of a double's parts.
  if (e.find("component") != std::string::npos) return 0;
  if (idUcd) return 2;
  for (std::string_view w : {"designation", "identification", "identifier", "catalog number", "catalogue number"})
    if (e.find(w) != std::string::npos) return 1;
  // "name" as a word, not "named" or "surname".
  for (std::size_t p = e.find("name"); p != std::string::npos; p = e.find("name", p + 1)) {
    const bool startOk = p == 0 || !std::isalpha(static_cast<unsigned char>(e[p - 1]));
    const std::size_t end = p + 4 + (p + 4 < e.size() && e[p + 4] == 's' ? 1 : 0);
    const bool endOk = end >= e.size() || !std::isalpha(static_cast<unsigned char>(e[end]));
    if (startOk && endOk) return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Magnitudes

namespace {

constexpr std::string_view kMagnitudeBands[] = {
    "u", "b", "v", "r", "i", "z", "y", "j", "h", "k", "ks", "g", "bp", "rp", "rc", "ic", "bt", "vt", "vj", "hp",
    "kep", "kp", "gaia", "tess", "w1", "w2", "w3", "w4", "nuv", "fuv"};

bool isMagnitudeBand(std::string_view lower) {
  return std::find(std::begin(kMagnitudeBands), std::end(kMagnitudeBands), lower) != std::end(kMagnitudeBands);
}

// The band in one "_"-separated piece of a name, as written: "Vmag" "V",
// "JAperMag3" "J", "gaiamag" "gaia", "g" "g"; empty when none.
std::string_view bandOfPiece(std::string_view piece) {
  while (!piece.empty() && isAsciiDigit(piece.back())) piece.remove_suffix(1);
  auto endsWith = [&](std::string_view tail) {
    return piece.size() >= tail.size() && equalNoCase(piece.substr(piece.size() - tail.size()), tail);
  };
  if (endsWith("mag")) piece.remove_suffix(3);
  // How the magnitude was measured: JAperMag3, petroMag, psfMag, cModelMag.
  for (std::string_view method :
       {"aper", "petro", "cmodel", "model", "psf", "fiber", "kron", "auto", "iso", "mean", "mpro"})
    if (endsWith(method) && piece.size() > method.size()) {
      piece.remove_suffix(method.size());
      break;
    }
  return isMagnitudeBand(asciiLowered(piece)) ? piece : std::string_view();
}

// A band as the notes write it: u, g, r, i and z as the name has them (the
// survey bands are lower case), the others in capitals: V, BP, Ks, Kp.
std::string bandName(std::string_view band) {
  const std::string lower = asciiLowered(band);
  if (lower.size() == 1 && std::string_view("ugriz").find(lower[0]) != std::string_view::npos) return std::string(band);
  if (lower == "ks") return "Ks";
  if (lower == "kep" || lower == "kp") return "Kp";
  std::string upper;
  for (char c : band) upper += asciiUpper(c);
  return upper;
}

bool bandWord(std::string_view word, std::string& band) {
  for (std::string_view prefix : {"em.opt.", "em.ir."})
    if (word.substr(0, prefix.size()) == prefix && isMagnitudeBand(word.substr(prefix.size()))) {
      band = bandName(word.substr(prefix.size()));
      if (band == "u" || band == "r" || band == "i") band[0] = asciiUpper(band[0]);
      return true;
    }
  return false;
}

bool containsAny(const std::string& text, std::initializer_list<std::string_view> parts) {
  return std::any_of(parts.begin(), parts.end(), [&](std::string_view p) { return text.find(p) != std::string::npos; });
}

}  // namespace

bool isBareBand(std::string_view label) { return label.size() <= 2 && isMagnitudeBand(asciiLowered(label)); }

bool looksLikeMagnitude(const ReadMeColumn& c, const std::vector<std::string>& ucd, bool bareBands) {
  if (c.isText()) return false;
  if (!ucd.empty() && ucd.front() == "phot.mag") return true;
  if (c.units == "mag" || c.units == "mmag") return true;
  if (!noUnits(c.units)) return false;
  const std::string l = asciiLowered(c.label);
  // "Vmag", "phot_g_mean_mag", "JAperMag3"; also "st_vmagearth", which notAMagnitude then names.
  if (l.size() > 3 && l.find("mag") != std::string::npos) return true;
  // "j_m", "k_m": a band and "m"; "w1mpro": the infrared survey's profile-fit magnitude.
  const std::size_t blank = l.find('_');
  if (blank != std::string::npos && l.substr(blank) == "_m" && isMagnitudeBand(l.substr(0, blank))) return true;
  if (l.size() == 6 && l.substr(2) == "mpro" && isMagnitudeBand(l.substr(0, 2))) return true;
  return bareBands && isBareBand(c.label);
}

const char* notAMagnitude(const ReadMeColumn& c, const std::vector<std::string>& ucd) {
  if (!ucd.empty()) {
    const std::string& primary = ucd.front();
    if (ucdWordIs(primary, "phys.magabs")) return "an absolute magnitude";
    if (ucdWordIs(primary, "phot.mag.sb")) return "a surface brightness";
    if (ucdWordIs(primary, "phot.flux") || ucdWordIs(primary, "phot.fluxdens")) return "a flux";
  }
  if (c.units.find("/arcsec2") != std::string::npos || c.units.find("/arcmin2") != std::string::npos)
    return "a surface brightness";
  const std::string l = asciiLowered(c.label);
  const std::string e = asciiLowered(c.explanation);
  // st_vmagearth: the star as seen from its planet, at the Earth's distance from the Sun.
  if (l.find("earth") != std::string::npos ||
      containsAny(e, {"earth-equivalent", "earth equivalent", "seen from the planet", "from the planet",
                      "from the exoplanet"}) ||
      // "as seen from Earth" alone is what any apparent magnitude is.
      (e.find("from earth") != std::string::npos && containsAny(e, {"distance", "equivalent"})))
    return "an Earth-equivalent magnitude";
  const std::string_view label = c.label;
  const std::string_view afterM = label.substr(label.size() > 1 && label[1] == '_' ? 2 : 1);
  if (l.rfind("abs", 0) == 0 || containsAny(l, {"absmag", "abs_mag", "mabs", "magabs"}) ||
      (label.size() >= 2 && label[0] == 'M' && isMagnitudeBand(asciiLowered(afterM))) ||
      containsAny(e, {"absolute magnitude", "absolute mag"}))
    return "an absolute magnitude";
  // flux_V in mag, as one archive names its magnitudes, is a magnitude.
  const bool saysMagnitude = c.units == "mag" || c.units == "mmag" || (!ucd.empty() && ucd.front() == "phot.mag");
  if (l.find("flux") != std::string::npos && !saysMagnitude) return "a flux";
  // Not "upper limit" in an explanation: a magnitude may say when it is one.
  if (l.find("lim") != std::string::npos || e.find("limiting mag") != std::string::npos) return "a limit";
  if (l.rfind("sb", 0) == 0 || l.rfind("mu_", 0) == 0 || l.rfind("surf", 0) == 0 ||
      e.find("surface brightness") != std::string::npos)
    return "a surface brightness";
  if (l.rfind("dmag", 0) == 0 || l.rfind("delta", 0) == 0 || l.find("diff") != std::string::npos ||
      containsAny(e, {"magnitude difference", "difference in magnitude", "difference of magnitude"}))
    return "a magnitude difference";
  if (l.find("amp") != std::string::npos || e.rfind("amplitude", 0) == 0) return "an amplitude";
  return nullptr;
}

std::string magnitudeBand(const ReadMeColumn& c, const std::vector<std::string>& ucd) {
  std::string band;
  for (const std::string& w : ucd)
    if (bandWord(w, band)) return band;
  std::string_view rest = c.label;
  bool afterPhot = false;
  while (!rest.empty()) {
    const std::size_t blank = rest.find('_');
    const std::string_view piece = rest.substr(0, blank);
    const std::string_view b = bandOfPiece(piece);
    if (!b.empty()) {
      // phot_g_mean_mag, sy_gaiamag: the astrometric survey's broad G band.
      if (equalNoCase(b, "gaia") || (afterPhot && b == "g")) return "G";
      return bandName(b);
    }
    afterPhot = equalNoCase(piece, "phot");
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
  return {};
}

int magnitudePreference(const ReadMeColumn& c, const std::vector<std::string>& ucd) {
  if (!ucd.empty() && ucd.front() == "phot.mag" && (hasUcdWord(ucd, "meta.main") || hasUcdWord(ucd, "em.opt.v")))
    return 0;
  const std::string band = magnitudeBand(c, ucd);
  const std::string lower = asciiLowered(band);
  if (lower == "v" || lower == "vj") return 1;
  if (lower == "vt") return 2;
  if (lower == "hp") return 3;
  if (band == "G") return 4;
  if (lower == "r" || lower == "rc") return 5;
  return 6;
}

}  // namespace detail
}  // namespace mirdal
