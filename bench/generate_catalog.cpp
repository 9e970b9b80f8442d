// Deterministic synthetic catalogs of each kind, with their project files.
//
// Usage:
//   generate_catalog --kind KIND --lines N --seed S --out CATALOG.txt
//                    [--project FILE.prj] [--input-path PATH] [--output-dir DIR]
//                    [--regions 50|184|732|9537] [--mrt FILE.mrt] [--reject-every K]
//                    [--project-only] [--rich]
//
//   KIND          stars, variables, doubles, nebulae or outlines
//   --out         the catalog text, LF line ends
//   --project     a project file for it; inputfiles0 is --input-path (default
//                 the --out path as given), ouputdir is --output-dir
//                 (default "out"), numfile follows --regions (default 732)
//   --mrt         the same catalog as a machine-readable table: Title,
//                 Authors, Table, the byte-by-byte description, then the data
//   --reject-every  every K-th line (default 50000, 0 none) of stars,
//                 variables, doubles and nebulae has an impossible position
//                 (right ascension above 360 degrees or declination beyond a
//                 pole), which the build rejects
//   --project-only  write the project file only
//   --rich        stars only: a richer project on lines of the same width,
//                 17 fields ticked beside the position (the lean one's 11, the
//                 epoch, a second string and four numerics), the comment cut to
//                 20 characters and always there, and an alternate name on
//                 every line (two index names per star)
//
// The same arguments give the same bytes on a given platform. Positions are
// uniform on the sphere so that every region receives records.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/project_file.h"
#include "util/error.h"
#include "util/file_system.h"

namespace {

using namespace mirdal;

constexpr double kPi = 3.14159265358979323846;

// One input column: its place in the line, the field list entry it feeds and
// its byte-by-byte description.
struct Column {
  int first;  // 1-based
  int width;
  std::string_view entry;  // field list entry text
  std::string_view format;
  std::string_view units;
  std::string_view label;
  std::string_view explanation;  // "?" first: may be blank
};

struct KindSpec {
  std::string_view name;
  CatalogType type;
  int ratype;
  int dectype;
  std::string_view shortname;
  std::string_view longname;
  std::vector<Column> columns;
  int lineWidth;  // bytes before the LF
};

// --- column layouts --------------------------------------------------------

KindSpec starsSpec() {
  return {"stars", CatalogType::Stars, 0, 0, "syst", "Synthetic stars", {
      {1, 10, "Catalog ID", "A10", "---", "ID", "Catalog identifier"},
      {12, 2, "[RA (hours)]", "I2", "h", "RAh", "Right ascension (hours)"},
      {15, 2, "RA (minutes)", "I2", "min", "RAm", "Right ascension (minutes)"},
      {18, 5, "RA (seconds)", "F5.2", "s", "RAs", "Right ascension (seconds)"},
      {24, 1, "DEC sign", "A1", "---", "DE-", "Sign of the declination"},
      {25, 2, "[DEC (degrees)]", "I2", "deg", "DEd", "Declination (degrees)"},
      {28, 2, "DEC (arcmin)", "I2", "arcmin", "DEm", "Declination (arcminutes)"},
      {31, 4, "DEC (arcsec)", "F4.1", "arcsec", "DEs", "Declination (arcseconds)"},
      {36, 6, "[Magnitude (mag)]", "F6.3", "mag", "Vmag", "? Visual magnitude"},
      {43, 6, "B-V (mag)", "F6.3", "mag", "B-V", "? B-V colour index"},
      {50, 6, "Magnitude B (mag)", "F6.3", "mag", "Bmag", "? Blue magnitude"},
      {57, 6, "Magnitude R (mag)", "F6.3", "mag", "Rmag", "? Red magnitude"},
      {64, 10, "Spectral class", "A10", "---", "SpType", "? Spectral class"},
      {75, 7, "Proper motion RA (arcsec/yr)", "F7.4", "arcsec/yr", "pmRA", "? Proper motion in right ascension"},
      {83, 7, "Proper motion DEC (arcsec/yr)", "F7.4", "arcsec/yr", "pmDE", "? Proper motion in declination"},
      {91, 6, "Parallax (arcsec)", "F6.4", "arcsec", "plx", "? Parallax"},
      {98, 8, "String 1", "A8", "---", "BD", "? Zone and number of the alternate designation"},
      {107, 93, "Comments", "A93", "---", "Comm", "? Comments"},
  }, 199};
}

// The stars' columns up to the alternate name, then a 20-character comment,
// the epoch, a second string and four numerics, on lines as wide as the lean
// ones.
KindSpec richStarsSpec() {
  KindSpec s = starsSpec();
  s.columns.back() = {107, 20, "Comments", "A20", "---", "Comm", "Comments"};
  s.columns.push_back({128, 9, "Position Epoch (year)", "F9.3", "yr", "Epoch", "Epoch of the position"});
  s.columns.push_back({138, 12, "String 2", "A12", "---", "Survey", "Survey name"});
  s.columns.push_back({151, 8, "Numeric 1", "F8.3", "mag", "Jmag", "J magnitude"});
  s.columns.push_back({160, 8, "Numeric 2", "F8.3", "mag", "Hmag", "H magnitude"});
  s.columns.push_back({169, 8, "Numeric 3", "F8.3", "mag", "Kmag", "K magnitude"});
  s.columns.push_back({178, 8, "Numeric 4", "F8.3", "mas", "e_pos", "Position error"});
  return s;
}

KindSpec variablesSpec() {
  return {"variables", CatalogType::VariableStars, 1, 1, "syvr", "Synthetic variable stars", {
      {1, 10, "Catalog ID", "A10", "---", "ID", "Catalog identifier"},
      {12, 9, "[RA decimal (hours)]", "F9.6", "h", "RAh", "Right ascension (decimal hours)"},
      {22, 9, "[DEC decimal (degrees)]", "F9.5", "deg", "DEdeg", "Declination (decimal degrees)"},
      {32, 6, "Magnitude max (mag)", "F6.3", "mag", "magMax", "? Magnitude at maximum"},
      {39, 6, "Magnitude min (mag)", "F6.3", "mag", "magMin", "? Magnitude at minimum"},
      {46, 12, "Period (days)", "F12.6", "d", "Period", "? Period"},
      {59, 10, "Variable Type", "A10", "---", "VarType", "? Type of variability"},
      {70, 12, "Maxima Epoch (JD)", "F12.4", "d", "Epoch", "? Julian date of a maximum"},
      {83, 3, "Rise Time (%period)", "I3", "%", "Rise", "? Rise time in percent of the period"},
      {87, 10, "Spectral class", "A10", "---", "SpType", "? Spectral class"},
      {98, 1, "Magnitude code", "A1", "---", "Band", "? Photometric band of the magnitudes"},
      {100, 40, "Comments", "A40", "---", "Comm", "? Comments"},
  }, 139};
}

KindSpec doublesSpec() {
  return {"doubles", CatalogType::DoubleStars, 0, 0, "sydb", "Synthetic double stars", {
      {1, 2, "[RA (hours)]", "I2", "h", "RAh", "Right ascension (hours)"},
      {3, 2, "RA (minutes)", "I2", "min", "RAm", "Right ascension (minutes)"},
      {5, 5, "RA (seconds)", "F5.2", "s", "RAs", "Right ascension (seconds)"},
      {10, 1, "DEC sign", "A1", "---", "DE-", "Sign of the declination"},
      {11, 2, "[DEC (degrees)]", "I2", "deg", "DEd", "Declination (degrees)"},
      {13, 2, "DEC (arcmin)", "I2", "arcmin", "DEm", "Declination (arcminutes)"},
      {15, 4, "DEC (arcsec)", "F4.1", "arcsec", "DEs", "Declination (arcseconds)"},
      {20, 10, "Catalog ID", "A10", "---", "ID", "Discoverer designation"},
      {31, 5, "Component name", "A5", "---", "Comp", "? Components"},
      {37, 5, "[Magnitude component 1 (mag)]", "F5.2", "mag", "mag1", "? Magnitude of the primary"},
      {43, 5, "Magnitude component 2 (mag)", "F5.2", "mag", "mag2", "? Magnitude of the secondary"},
      {49, 6, "[Separation (arcsec)]", "F6.1", "arcsec", "Sep", "? Separation"},
      {56, 3, "Position angle (degrees)", "I3", "deg", "PA", "? Position angle"},
      {60, 4, "Epoch (year)", "I4", "yr", "Epoch", "? Year of the measure"},
      {65, 9, "Spectral class component 1", "A9", "---", "Sp1", "? Spectral class of the primary"},
      {75, 9, "Spectral class component 2", "A9", "---", "Sp2", "? Spectral class of the secondary"},
      {85, 40, "Comments", "A40", "---", "Comm", "? Comments"},
  }, 124};
}

KindSpec nebulaeSpec() {
  return {"nebulae", CatalogType::Nebulae, 3, 1, "syng", "Synthetic deep-sky objects", {
      {1, 10, "Catalog ID", "A10", "---", "ID", "Object name"},
      {12, 10, "[RA decimal (degrees)]", "F10.6", "deg", "RAdeg", "Right ascension (decimal degrees)"},
      {23, 10, "[DEC decimal (degrees)]", "F10.6", "deg", "DEdeg", "Declination (decimal degrees)"},
      {34, 5, "Nebula type", "A5", "---", "Type", "? Object type code"},
      {40, 5, "Magnitude (mag)", "F5.2", "mag", "mag", "? Total magnitude"},
      {46, 5, "Surface brigtness (mag/arcmin2)", "F5.2", "mag/arcmin2", "SB", "? Surface brightness"},
      {52, 7, "Largest dimension (as defined)", "F7.2", "---", "Dmax", "? Largest dimension, in the unit of Unit"},
      {60, 7, "Smallest dimension (as defined)", "F7.2", "---", "Dmin", "? Smallest dimension, in the unit of Unit"},
      {68, 1, "Dimension Unit", "A1", "---", "Unit", "? Unit of the dimensions (d, m, ' or s)"},
      {70, 3, "Position angle (degrees)", "I3", "deg", "PA", "? Position angle"},
      {74, 7, "Radial velocity (km/s)", "F7.1", "km/s", "RV", "? Radial velocity"},
      {82, 10, "Morphological class", "A10", "---", "Class", "? Morphological class"},
      {93, 50, "Comments", "A50", "---", "Comm", "? Comments"},
  }, 142};
}

KindSpec outlinesSpec() {
  return {"outlines", CatalogType::NebulaOutlines, 1, 2, "syol", "Synthetic nebula outlines", {
      {1, 10, "Catalog ID (only for Start operation)", "A10", "---", "ID", "? Outline name, on start lines"},
      {12, 6, "[Line operation]", "A6", "---", "Op", "? Drawing operation (start, vertex, end)"},
      {19, 9, "[RA decimal (hours)]", "F9.6", "h", "RAh", "Right ascension (decimal hours)"},
      {29, 10, "[SPD decimal (degrees)]", "F10.6", "deg", "SPD", "South polar distance"},
      {40, 2, "Line width (only for Start operation)", "I2", "---", "Width", "? Line width"},
      {43, 9, "Line color (only for Start operation)", "A9", "---", "Color", "? Line colour name or code"},
      {53, 1, "Drawing Type (only for Start operation)", "I1", "---", "Draw", "? 0 line, 1 spline, 2 surface"},
      {55, 40, "Comments", "A40", "---", "Comm", "? Comments"},
  }, 94};
}

KindSpec specOf(std::string_view kind, bool rich) {
  if (rich && kind != "stars") throw std::invalid_argument("--rich is for stars only");
  if (kind == "stars") return rich ? richStarsSpec() : starsSpec();
  if (kind == "variables") return variablesSpec();
  if (kind == "doubles") return doublesSpec();
  if (kind == "nebulae") return nebulaeSpec();
  if (kind == "outlines") return outlinesSpec();
  throw std::invalid_argument("unknown kind \"" + std::string(kind) + "\" (stars, variables, doubles, nebulae, outlines)");
}

// --- random values ---------------------------------------------------------

// mt19937_64's sequence is fixed by the C++ standard; the distributions of the
// library are not, so the values are drawn from it by hand.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }  // [0, 1)
  double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
  std::int64_t below(std::int64_t n) { return static_cast<std::int64_t>(engine_() % static_cast<std::uint64_t>(n)); }
  bool chance(double p) { return uniform() < p; }
  template <class T, std::size_t N>
  const T& pick(const std::array<T, N>& items) {
    return items[static_cast<std::size_t>(below(static_cast<std::int64_t>(N)))];
  }

 private:
  std::mt19937_64 engine_;
};

// A point uniform on the sphere, in degrees.
struct SkyPosition {
  double ra;
  double dec;
};
SkyPosition uniformPosition(Random& r) {
  double ra = r.uniform(0.0, 360.0);
  double z = r.uniform(-1.0, 1.0);
  return {ra, std::asin(z) * 180.0 / kPi};
}

constexpr std::array<std::string_view, 24> kWords = {
    "double",  "variable?", "in cluster", "high pm",   "companion", "faint",    "blended",  "suspected",
    "nebulous", "member",   "red",        "peculiar",  "emission",  "flare",    "binary",   "field",
    "photometry uncertain", "near bright star", "see notes", "SB1", "SB2", "multiple", "in association", "var"};

constexpr std::array<std::string_view, 16> kSpectral = {"O9V",  "B0.5IV", "B3V",  "A0V",   "A2m",   "A7III",
                                                          "F0V",  "F5IV-V", "G2V",  "G8III", "K0III", "K2V",
                                                          "K5III", "M0V",   "M3III", "M5e"};

// --- line formatting -------------------------------------------------------

// A line of fixed width, blank-filled, written column by column.
class Line {
 public:
  explicit Line(const KindSpec& shape) : shape_(shape), bytes_(static_cast<std::size_t>(shape.lineWidth), ' ') {}

  void clear() { std::fill(bytes_.begin(), bytes_.end(), ' '); }
  const std::string& bytes() const { return bytes_; }

  // Left-aligned text, cut to the column.
  void text(int column, std::string_view s) {
    const Column& c = shape_.columns[static_cast<std::size_t>(column)];
    std::size_t n = std::min(s.size(), static_cast<std::size_t>(c.width));
    std::memcpy(&bytes_[static_cast<std::size_t>(c.first - 1)], s.data(), n);
  }

  // The integer `scaled` / 10^decimals, right-aligned; with `zeroPad` the
  // integer part has at least `intDigits` digits ("05.12"); with `plusSign` a
  // positive value carries "+".
  void fixed(int column, std::int64_t scaled, int decimals, bool zeroPad = false, int intDigits = 1,
             bool plusSign = false) {
    char buf[40];
    int n = 0;
    bool negative = scaled < 0;
    std::uint64_t v = negative ? static_cast<std::uint64_t>(-scaled) : static_cast<std::uint64_t>(scaled);
    char digits[32];
    int d = 0;
    for (int i = 0; i < decimals; ++i) {
      digits[d++] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    int intCount = 0;
    do {
      digits[d++] = static_cast<char>('0' + v % 10);
      v /= 10;
      ++intCount;
    } while (v != 0);
    if (zeroPad)
      for (; intCount < intDigits; ++intCount) digits[d++] = '0';
    if (negative) buf[n++] = '-';
    else if (plusSign) buf[n++] = '+';
    for (int i = d - 1; i >= 0; --i) {
      buf[n++] = digits[i];
      if (i == decimals && decimals > 0) buf[n++] = '.';
    }
    const Column& c = shape_.columns[static_cast<std::size_t>(column)];
    if (n > c.width) throw std::logic_error("value wider than column " + std::string(c.label));
    std::memcpy(&bytes_[static_cast<std::size_t>(c.first - 1 + c.width - n)], buf, static_cast<std::size_t>(n));
  }
  void integer(int column, std::int64_t value, bool zeroPad = false, int digits = 1) {
    fixed(column, value, 0, zeroPad, digits);
  }

  // A comment of a few words, or nothing.
  void comment(int column, Random& r, double blankChance) {
    if (r.chance(blankChance)) return;
    const Column& c = shape_.columns[static_cast<std::size_t>(column)];
    std::string s;
    int words = 1 + static_cast<int>(r.below(8));
    for (int i = 0; i < words; ++i) {
      if (!s.empty()) s += "; ";
      s += r.pick(kWords);
    }
    if (s.size() > static_cast<std::size_t>(c.width)) s.resize(static_cast<std::size_t>(c.width));
    text(column, s);
  }

 private:
  const KindSpec& shape_;
  std::string bytes_;
};

std::int64_t roundScaled(double v, double scale) { return std::llround(v * scale); }

// Right ascension in h m s with hundredths of a second into three columns.
void putRaHms(Line& line, int col, double raDeg) {
  std::int64_t cs = static_cast<std::int64_t>(std::floor(raDeg / 15.0 * 360000.0));
  cs = std::clamp<std::int64_t>(cs, 0, 24 * 360000 - 1);
  line.integer(col, cs / 360000, true, 2);
  line.integer(col + 1, cs / 6000 % 60, true, 2);
  line.fixed(col + 2, cs % 6000, 2, true, 2);
}

// Declination as a sign column and d m s with tenths of an arcsecond.
void putDecDms(Line& line, int col, double decDeg) {
  std::int64_t ds = std::llround(std::fabs(decDeg) * 36000.0);
  ds = std::min<std::int64_t>(ds, 90 * 36000);
  line.text(col, decDeg < 0 ? "-" : "+");
  line.integer(col + 1, ds / 36000, true, 2);
  line.integer(col + 2, ds / 600 % 60, true, 2);
  line.fixed(col + 3, ds % 600, 1, true, 2);
}

// Identifier numbers: a bijection of the line number below the prime, so that
// names are unique but do not come in sorted order.
std::int64_t scrambled(std::int64_t i, std::int64_t seed, std::int64_t prime) {
  return (i * 48271 + seed % prime) % prime;
}

// --- the five kinds --------------------------------------------------------

class Generator {
 public:
  // Each kind draws from its own sequence, so that one seed does not give the
  // five kinds the same positions.
  Generator(const KindSpec& shape, std::uint64_t seed)
      : shape_(shape),
        random_(seed + 0x9E3779B97F4A7C15ull * (static_cast<std::uint64_t>(shape.type) + 1)),
        seed_(seed),
        line_(shape) {}
  void setRejectEvery(std::int64_t k) { rejectEvery_ = k; }
  virtual ~Generator() = default;
  // Fills the line of number i (from 0).
  virtual void make(std::int64_t i) = 0;
  const std::string& bytes() const { return line_.bytes(); }

 protected:
  bool impossible(std::int64_t i) const { return rejectEvery_ > 0 && (i + 1) % rejectEvery_ == 0; }

  const KindSpec& shape_;
  Random random_;
  std::uint64_t seed_;
  Line line_;
  std::int64_t rejectEvery_ = 50'000;
};

class StarsGenerator : public Generator {
 public:
  StarsGenerator(const KindSpec& shape, std::uint64_t seed, bool rich) : Generator(shape, seed), rich_(rich) {}
  void make(std::int64_t i) override {
    Random& r = random_;
    line_.clear();
    char id[16];
    std::snprintf(id, sizeof id, "MS %07lld",
                  static_cast<long long>(scrambled(i, static_cast<std::int64_t>(seed_), 9'999'991)));
    line_.text(0, id);
    SkyPosition p = uniformPosition(r);
    putRaHms(line_, 1, p.ra);
    putDecDms(line_, 4, p.dec);
    if (impossible(i)) line_.integer(1, 25 + r.below(5), true, 2);  // 25h and more: beyond 360 degrees

    // Star counts grow as 10^(0.4 V): V = 16.5 + 2.5 log10(u), brightest -1.5.
    double v = std::max(16.5 + 2.5 * std::log10(std::max(r.uniform(), 1e-12)), -1.5);
    double bv = r.uniform(-0.35, 2.2);
    bool hasV = !r.chance(0.02);
    bool hasB = !r.chance(0.10);
    bool hasR = !r.chance(0.25);
    if (hasV) line_.fixed(8, roundScaled(v, 1000), 3);
    if (hasV && hasB) line_.fixed(9, roundScaled(bv, 1000), 3);
    if (hasB) line_.fixed(10, roundScaled(v + bv, 1000), 3);
    if (hasR) line_.fixed(11, roundScaled(v - 0.6 * bv - 0.1, 1000), 3);
    if (!r.chance(0.15)) line_.text(12, r.pick(kSpectral));
    if (!r.chance(0.05)) {
      line_.fixed(13, roundScaled(r.uniform(-1.0, 1.0) * std::pow(r.uniform(), 3.0), 10000), 4);
      line_.fixed(14, roundScaled(r.uniform(-1.0, 1.0) * std::pow(r.uniform(), 3.0), 10000), 4);
    }
    if (!r.chance(0.30)) line_.fixed(15, roundScaled(0.2 * std::pow(r.uniform(), 4.0), 10000), 4);
    if (rich_ || !r.chance(0.40)) {
      char bd[32];
      int zone = static_cast<int>(std::clamp(p.dec, -89.0, 89.0));
      std::snprintf(bd, sizeof bd, "%c%02d %4d", p.dec < 0 ? '-' : '+', std::abs(zone),
                    1 + static_cast<int>(r.below(9999)));
      line_.text(16, bd);
    }
    line_.comment(17, r, rich_ ? 0.0 : 0.5);
    if (!rich_) return;
    line_.fixed(18, 1990000 + r.below(30000), 3);
    static constexpr std::array<std::string_view, 4> kSurveys = {"2MASS", "UCAC4", "Tycho-2", "Hipparcos"};
    line_.text(19, r.pick(kSurveys));
    for (int k = 0; k < 3; ++k) line_.fixed(20 + k, roundScaled(v - 0.4 * (k + 1) * bv, 1000), 3);
    line_.fixed(23, r.below(200000), 3);
  }

 private:
  bool rich_;
};

class VariablesGenerator : public Generator {
 public:
  using Generator::Generator;
  void make(std::int64_t i) override {
    static constexpr std::array<std::string_view, 12> kTypes = {"EA", "EB", "EW", "RRAB", "RRC", "DCEP",
                                                                 "M",  "SRA", "SRB", "LB", "BY", "UV"};
    static constexpr std::array<std::string_view, 5> kBands = {"V", "V", "B", "p", "I"};
    Random& r = random_;
    line_.clear();
    char id[16];
    std::snprintf(id, sizeof id, "NSV %06lld",
                  static_cast<long long>(scrambled(i, static_cast<std::int64_t>(seed_), 999'983)));
    line_.text(0, id);
    SkyPosition p = uniformPosition(r);
    double decOut = p.dec;
    if (impossible(i)) decOut = r.chance(0.5) ? 90.5 : -91.25;
    line_.fixed(1, std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(p.ra / 15.0 * 1e6)), 0, 23'999'999),
                6);
    line_.fixed(2, roundScaled(decOut, 1e5), 5, false, 1, true);
    double max = 17.0 - 15.0 * std::pow(r.uniform(), 3.0);
    double amplitude = r.uniform(0.05, 3.0);
    if (!r.chance(0.03)) line_.fixed(3, roundScaled(max, 1000), 3);
    if (!r.chance(0.10)) line_.fixed(4, roundScaled(max + amplitude, 1000), 3);
    if (!r.chance(0.30)) line_.fixed(5, roundScaled(std::pow(10.0, r.uniform(-1.0, 3.0)), 1e6), 6);
    if (!r.chance(0.05)) line_.text(6, r.pick(kTypes));
    if (!r.chance(0.40)) line_.fixed(7, roundScaled(r.uniform(2415000.0, 2460000.0), 1e4), 4);
    if (!r.chance(0.60)) line_.integer(8, 5 + r.below(90));
    if (!r.chance(0.50)) line_.text(9, r.pick(kSpectral));
    line_.text(10, r.pick(kBands));
    line_.comment(11, r, 0.7);
  }
};

class DoublesGenerator : public Generator {
 public:
  using Generator::Generator;
  void make(std::int64_t i) override {
    static constexpr std::array<std::string_view, 8> kDiscoverers = {"STF", "STT", "BU", "HJ", "A", "COU", "HU",
                                                                      "RST"};
    static constexpr std::array<std::string_view, 6> kComponents = {"AB", "AB", "AC", "BC", "AB,C", "Aa,Ab"};
    Random& r = random_;
    line_.clear();
    SkyPosition p = uniformPosition(r);
    putRaHms(line_, 0, p.ra);
    putDecDms(line_, 3, p.dec);
    if (impossible(i)) line_.integer(4, 91 + r.below(8), true, 2);  // beyond a pole
    char id[16];
    std::snprintf(id, sizeof id, "%s %lld", std::string(r.pick(kDiscoverers)).c_str(),
                  static_cast<long long>(1 + scrambled(i, static_cast<std::int64_t>(seed_), 99'991)));
    line_.text(7, id);
    if (!r.chance(0.4)) line_.text(8, r.pick(kComponents));
    double m1 = 14.0 - 12.0 * std::pow(r.uniform(), 3.0);
    if (!r.chance(0.01)) line_.fixed(9, roundScaled(m1, 100), 2);
    if (!r.chance(0.10)) line_.fixed(10, roundScaled(m1 + r.uniform(0.0, 4.0), 100), 2);
    if (!r.chance(0.02)) line_.fixed(11, roundScaled(std::pow(10.0, r.uniform(-1.0, 3.0)), 10), 1);
    if (!r.chance(0.08)) line_.integer(12, r.below(360));
    if (!r.chance(0.05)) line_.integer(13, 1780 + r.below(245));
    if (!r.chance(0.5)) line_.text(14, r.pick(kSpectral));
    if (!r.chance(0.7)) line_.text(15, r.pick(kSpectral));
    line_.comment(16, r, 0.8);
  }
};

class NebulaeGenerator : public Generator {
 public:
  using Generator::Generator;
  void make(std::int64_t i) override {
    // Codes of the default object-type strings, and some that match no row.
    static constexpr std::array<std::string_view, 20> kTypes = {
        "GALXY", "GALXY", "GALXY", "Gx",    "OC",    "OPNCL", "Gb",    "GLOCL", "PLNNB", "Pl",
        "BRTNB", "Nb",    "DRKNB", "C+N",   "*",     "D*",    "***",   "ASTER", "?",     "XYZ"};
    static constexpr std::array<std::string_view, 5> kUnits = {"m", "m", "'", "s", "d"};
    static constexpr std::array<std::string_view, 10> kClasses = {"E0", "E3", "S0", "Sa", "Sb",
                                                                  "SBc", "Sc", "Irr", "II2m", "III1p"};
    static constexpr std::array<std::string_view, 4> kPrefix = {"NGC", "IC", "UGC", "PGC"};
    Random& r = random_;
    line_.clear();
    char id[16];
    std::snprintf(id, sizeof id, "%s %lld", std::string(r.pick(kPrefix)).c_str(),
                  static_cast<long long>(1 + scrambled(i, static_cast<std::int64_t>(seed_), 999'983)));
    line_.text(0, id);
    SkyPosition p = uniformPosition(r);
    double raOut = p.ra;
    if (impossible(i)) raOut = 360.0 + r.uniform(0.001, 10.0);
    line_.fixed(1, std::clamp<std::int64_t>(roundScaled(raOut, 1e6), 0, 999'999'999), 6);
    line_.fixed(2, roundScaled(p.dec, 1e6), 6, false, 1, true);
    if (!r.chance(0.05)) line_.text(3, r.pick(kTypes));
    double m = 16.0 - 12.0 * std::pow(r.uniform(), 3.0);
    if (!r.chance(0.2)) line_.fixed(4, roundScaled(m, 100), 2);
    if (!r.chance(0.5)) line_.fixed(5, roundScaled(m + r.uniform(0.5, 8.0), 100), 2);
    double dmax = std::pow(10.0, r.uniform(-1.0, 2.5));
    if (!r.chance(0.05)) line_.fixed(6, roundScaled(dmax, 100), 2);
    if (!r.chance(0.2)) line_.fixed(7, roundScaled(dmax * r.uniform(0.1, 1.0), 100), 2);
    if (!r.chance(0.1)) line_.text(8, r.pick(kUnits));
    if (!r.chance(0.3)) line_.integer(9, r.below(180));
    if (!r.chance(0.4)) line_.fixed(10, roundScaled(r.uniform(-500.0, 20000.0), 10), 1);
    if (!r.chance(0.3)) line_.text(11, r.pick(kClasses));
    line_.comment(12, r, 0.6);
  }
};

// Outlines come as groups: one start line, vertices, one end line; the last
// group is shortened so that the file has exactly the asked number of lines.
class OutlinesGenerator : public Generator {
 public:
  OutlinesGenerator(const KindSpec& shape, std::uint64_t seed, std::int64_t lines)
      : Generator(shape, seed), lines_(lines) {}
  void make(std::int64_t i) override {
    static constexpr std::array<std::string_view, 10> kColours = {"Red",  "R",      "Green", "V", "Blue",
                                                                  "White", "LightGray", "5",  "Magenta", "T"};
    static constexpr std::array<std::string_view, 4> kVertexOps = {"vertex", "vertex", "2", ""};
    Random& r = random_;
    line_.clear();
    if (left_ == 0) {
      left_ = std::min<std::int64_t>(4 + r.below(37), lines_ - i);
      step_ = 0;
      center_ = uniformPosition(r);
      radius_ = r.uniform(0.05, 3.0);
      ++outline_;
    }
    double t = 2.0 * kPi * static_cast<double>(step_) / static_cast<double>(std::max<std::int64_t>(left_ + step_ - 1, 1));
    double cosDec = std::max(std::cos(center_.dec * kPi / 180.0), 0.05);
    double ra = std::fmod(center_.ra + radius_ * std::cos(t) / cosDec + 360.0, 360.0);
    double dec = std::clamp(center_.dec + radius_ * std::sin(t), -90.0, 90.0);
    line_.fixed(2, std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(ra / 15.0 * 1e6)), 0, 23'999'999), 6);
    line_.fixed(3, std::clamp<std::int64_t>(roundScaled(dec + 90.0, 1e6), 0, 180'000'000), 6);
    if (step_ == 0) {
      char id[16];
      std::snprintf(id, sizeof id, "OL %06lld", static_cast<long long>(outline_));
      line_.text(0, id);
      line_.text(1, r.chance(0.8) ? "start" : "0");
      line_.integer(4, 1 + r.below(4));
      line_.text(5, r.pick(kColours));
      line_.integer(6, r.below(3));
      line_.comment(7, r, 0.5);
    } else if (left_ == 1) {
      line_.text(1, r.chance(0.8) ? "end" : "1");
    } else {
      line_.text(1, r.pick(kVertexOps));
    }
    ++step_;
    --left_;
  }

 private:
  std::int64_t lines_;
  std::int64_t left_ = 0, step_ = 0, outline_ = 0;
  SkyPosition center_{};
  double radius_ = 0;
};

std::unique_ptr<Generator> makeGenerator(const KindSpec& shape, std::uint64_t seed, std::int64_t lines, bool rich) {
  switch (shape.type) {
    case CatalogType::Stars: return std::make_unique<StarsGenerator>(shape, seed, rich);
    case CatalogType::VariableStars: return std::make_unique<VariablesGenerator>(shape, seed);
    case CatalogType::DoubleStars: return std::make_unique<DoublesGenerator>(shape, seed);
    case CatalogType::Nebulae: return std::make_unique<NebulaeGenerator>(shape, seed);
    case CatalogType::NebulaOutlines: return std::make_unique<OutlinesGenerator>(shape, seed, lines);
  }
  return nullptr;
}

// --- output ----------------------------------------------------------------

// Writes through a large buffer into path + ".part", renamed on finish so that
// an interrupted run never leaves a complete-looking file.
class Output {
 public:
  explicit Output(std::string path)
      : path_(std::move(path)), file_(FileSystem::real().open(path_ + ".part", OpenMode::Create)) {
    buffer_.reserve(kBuffer + 4096);
  }
  void append(std::string_view s) {
    buffer_.append(s);
    if (buffer_.size() >= kBuffer) flush();
  }
  void finish() {
    flush();
    file_->close();
    if (!FileSystem::real().tryRename(path_ + ".part", path_))
      throw Error("Cannot rename \"" + path_ + ".part\" to \"" + path_ + "\"");
  }

 private:
  static constexpr std::size_t kBuffer = 4 << 20;
  void flush() {
    file_->write(buffer_.data(), buffer_.size());
    buffer_.clear();
  }
  std::string path_;
  std::unique_ptr<File> file_;
  std::string buffer_;
};

std::string baseName(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string mrtHeader(const KindSpec& shape, std::int64_t lines, const std::string& fileName) {
  const std::string rule80(80, '-');
  std::string h;
  h += "Title: " + std::string(shape.longname) + "\n";
  h += "Authors: Mirdal benchmark generator\n";
  h += "Table: " + std::string(shape.longname) + ", " + std::to_string(lines) + " lines\n";
  h += std::string(80, '=') + "\n";
  h += "Byte-by-byte Description of file: " + fileName + "\n";
  h += rule80 + "\n";
  h += "   Bytes Format Units       Label   Explanations\n";
  h += rule80 + "\n";
  for (const Column& c : shape.columns) {
    char bytes[32];
    if (c.width == 1) std::snprintf(bytes, sizeof bytes, "     %3d", c.first);
    else std::snprintf(bytes, sizeof bytes, " %3d-%3d", c.first, c.first + c.width - 1);
    char row[256];
    std::snprintf(row, sizeof row, "%s %-6s %-11s %-7s %s\n", bytes, std::string(c.format).c_str(),
                  std::string(c.units).c_str(), std::string(c.label).c_str(), std::string(c.explanation).c_str());
    h += row;
  }
  h += rule80 + "\n";
  return h;
}

void writeProject(const KindSpec& shape, const std::string& path, const std::string& inputPath,
                  const std::string& outputDir, int regions) {
  CatalogDefinition d;
  d.setType(static_cast<int>(shape.type));
  d.setRaType(shape.ratype);
  d.setDecType(shape.dectype);
  d.resetSlots();
  BuildSettings& s = d.settings;
  s.shortname = shape.shortname;
  s.longname = shape.longname;
  s.inputfiles = {inputPath};
  s.eol = 1;
  switch (regions) {
    case 50: s.numfile = 0; break;
    case 184: s.numfile = 1; break;
    case 732: s.numfile = 2; break;
    case 9537: s.numfile = 3; break;
    default: throw std::invalid_argument("--regions must be 50, 184, 732 or 9537");
  }
  s.ouputdir = outputDir;
  bool outlines = shape.type == CatalogType::NebulaOutlines;
  s.index = !outlines;
  s.altindex = shape.type == CatalogType::Stars;
  s.prefalt = true;
  s.append = false;

  const FieldCatalogue& fields = d.fields();
  for (const Column& c : shape.columns) {
    int position = -1;
    for (int i = 0; i < fields.size(); ++i)
      if (fields.entry(i).text == c.entry) position = i;
    if (position < 0) throw std::logic_error("no field list entry \"" + std::string(c.entry) + "\"");
    d.setTicked(position, true);
    FieldSlot& slot = d.fieldSlots[static_cast<std::size_t>(position)];
    slot.firstChar = c.first;
    slot.length = c.width;
    if (fields.isString(position)) {
      int k = position - fields.firstFreePosition() + 1;
      d.setLabelOfPosition(position, std::string(c.label));
      // The first string is the alternate name; the rich stars' second is not indexed.
      if (shape.type == CatalogType::Stars && k == 1) d.altNames[static_cast<std::size_t>(k - 1)] = 1;
    }
  }
  if (!d.requiredFieldsTicked()) throw std::logic_error("a required field has no column");
  // saveProject keeps an earlier file as ".old"; a generated project replaces it.
  FileSystem::real().tryRemove(path);
  saveProject(path, d, FileSystem::real());
  FileSystem::real().tryRemove(path + ".old");
}

const char* kUsage =
    "Usage: generate_catalog --kind KIND --lines N --seed S --out CATALOG.txt\n"
    "                        [--project FILE.prj] [--input-path PATH] [--output-dir DIR]\n"
    "                        [--regions 50|184|732|9537] [--mrt FILE.mrt] [--reject-every K]\n"
    "                        [--project-only] [--rich]\n"
    "KIND: stars, variables, doubles, nebulae, outlines\n";

}  // namespace

int main(int argc, char** argv) {
  std::string kind, out, project, inputPath, outputDir = "out", mrt;
  long long lines = -1;
  unsigned long long seed = 1;
  int regions = 732;
  long long rejectEvery = 50'000;
  bool projectOnly = false;
  bool rich = false;
  try {
    for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
        return argv[++i];
      };
      if (a == "--kind") kind = value();
      else if (a == "--lines") lines = std::stoll(value());
      else if (a == "--seed") seed = std::stoull(value());
      else if (a == "--out") out = value();
      else if (a == "--project") project = value();
      else if (a == "--input-path") inputPath = value();
      else if (a == "--output-dir") outputDir = value();
      else if (a == "--regions") regions = std::stoi(value());
      else if (a == "--mrt") mrt = value();
      else if (a == "--reject-every") rejectEvery = std::stoll(value());
      else if (a == "--project-only") projectOnly = true;
      else if (a == "--rich") rich = true;
      else if (a == "--help" || a == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      } else throw std::invalid_argument("unknown argument " + a);
    }
    if (kind.empty() || out.empty() || lines < 0) throw std::invalid_argument("--kind, --lines and --out are needed");
    KindSpec shape = specOf(kind, rich);
    if (inputPath.empty()) inputPath = out;
    if (!project.empty()) writeProject(shape, project, inputPath, outputDir, regions);
    if (projectOnly) return 0;

    auto generator = makeGenerator(shape, seed, lines, rich);
    generator->setRejectEvery(rejectEvery);
    Output text(out);
    std::unique_ptr<Output> table;
    if (!mrt.empty()) {
      table = std::make_unique<Output>(mrt);
      table->append(mrtHeader(shape, lines, baseName(mrt)));
    }
    std::string line;
    for (long long i = 0; i < lines; ++i) {
      generator->make(i);
      line = generator->bytes();
      line += '\n';
      text.append(line);
      if (table) table->append(line);
    }
    text.finish();
    if (table) table->finish();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "generate_catalog: %s\n%s", e.what(), kUsage);
    return 1;
  }
}
