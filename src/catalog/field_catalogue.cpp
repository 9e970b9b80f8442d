#include "catalog/field_catalogue.h"

#include <algorithm>
#include <array>

namespace mirdal {

namespace {

using K = ValueKind;

constexpr FieldEntry kRa0[] = {
    {"[RA (hours)]", "RA", 1, K::Coordinate, 1, 0},
    {"RA (minutes)", "RA", 1, K::Coordinate, 1, 0},
    {"RA (seconds)", "RA", 1, K::Coordinate, 1, 0},
};
constexpr FieldEntry kRa1[] = {{"[RA decimal (hours)]", "RA", 1, K::Coordinate, 1, 0}};
constexpr FieldEntry kRa2[] = {
    {"[RA (degrees)]", "RA", 1, K::Coordinate, 1, 0},
    {"RA (minutes)", "RA", 1, K::Coordinate, 1, 0},
    {"RA (seconds)", "RA", 1, K::Coordinate, 1, 0},
};
constexpr FieldEntry kRa3[] = {{"[RA decimal (degrees)]", "RA", 1, K::Coordinate, 1, 0}};
constexpr FieldEntry kRa4[] = {{"[RA (h m s in one cell)]", "RA", 1, K::Coordinate, 1, 0}};

constexpr FieldEntry kDec0[] = {
    {"DEC sign", "DEC", 2, K::Coordinate, 1, 0},
    {"[DEC (degrees)]", "DEC", 2, K::Coordinate, 1, 0},
    {"DEC (arcmin)", "DEC", 2, K::Coordinate, 1, 0},
    {"DEC (arcsec)", "DEC", 2, K::Coordinate, 1, 0},
};
constexpr FieldEntry kDec1[] = {{"[DEC decimal (degrees)]", "DEC", 2, K::Coordinate, 1, 0}};
constexpr FieldEntry kDec2[] = {{"[SPD decimal (degrees)]", "DEC", 2, K::Coordinate, 1, 0}};
constexpr FieldEntry kDec3[] = {{"[DEC (d m s in one cell)]", "DEC", 2, K::Coordinate, 1, 0}};

constexpr FieldEntry kStars[] = {
    {"Catalog ID", "Id", 3, K::Text, 1, 0},
    {"[Magnitude (mag)]", "mV", 4, K::Scaled16, 1000, 99},
    {"B-V (mag)", "b-v", 5, K::Scaled16, 1000, 99},
    {"Magnitude B (mag)", "mB", 6, K::Scaled16, 1000, 99},
    {"Magnitude R (mag)", "mR", 7, K::Scaled16, 1000, 99},
    {"Spectral class", "sp", 8, K::Text, 1, 0},
    {"Proper motion RA (arcsec/yr)", "pmRA", 9, K::Scaled16, 1000, 0},
    {"Proper motion DEC (arcsec/yr)", "pmDE", 10, K::Scaled16, 1000, 0},
    {"Position Epoch (year)", "date", 11, K::Float, 1, 0},
    {"Parallax (arcsec)", "px", 12, K::Scaled16, 10000, 0},
    {"Comments", "desc", 13, K::Text, 1, 0},
};

constexpr FieldEntry kVariables[] = {
    {"Catalog ID", "Id", 3, K::Text, 1, 0},
    {"Magnitude max (mag)", "mMax", 4, K::Scaled16, 1000, 99},
    {"Magnitude min (mag)", "mMin", 5, K::Scaled16, 1000, 99},
    {"Period (days)", "P", 6, K::Float, 1, 0},
    {"Variable Type", "T", 7, K::Text, 1, 0},
    {"Maxima Epoch (JD)", "Mepoch", 8, K::Float, 1, 0},
    {"Rise Time (%period)", "rise", 9, K::Scaled16, 100, 0},
    {"Spectral class", "sp", 10, K::Text, 1, 0},
    {"Magnitude code", "band", 11, K::Text, 1, 0},
    {"Comments", "desc", 12, K::Text, 1, 0},
};

constexpr FieldEntry kDoubles[] = {
    {"Catalog ID", "Id", 3, K::Text, 1, 0},
    {"[Magnitude component 1 (mag)]", "m1", 4, K::Scaled16, 1000, 99},
    {"Magnitude component 2 (mag)", "m2", 5, K::Scaled16, 1000, 99},
    {"[Separation (arcsec)]", "sep", 6, K::Scaled16, 10, 0},
    {"Position angle (degrees)", "pa", 7, K::Scaled16, 1, -999},
    {"Epoch (year)", "date", 8, K::Float, 1, 0},
    {"Component name", "Comp", 9, K::Text, 1, 0},
    {"Spectral class component 1", "sp", 10, K::Text, 1, 0},
    {"Spectral class component 2", "sp", 11, K::Text, 1, 0},
    {"Comments", "desc", 12, K::Text, 1, 0},
};

constexpr FieldEntry kNebulae[] = {
    {"Catalog ID", "Id", 3, K::Text, 1, 0},
    {"Nebula type", "NebTyp", 4, K::ObjectType, 1, 255},
    {"Magnitude (mag)", "m", 5, K::Scaled16, 1000, 99},
    {"Surface brigtness (mag/arcmin2)", "sbr", 6, K::Scaled16, 1000, 99},
    {"Largest dimension (as defined)", "D", 7, K::Float, 1, 0},
    {"Smallest dimension (as defined)", "D", 8, K::Float, 1, 0},
    {"Dimension Unit", "Unit", 9, K::SizeUnit, 1, 60},
    {"Position angle (degrees)", "pa", 10, K::Scaled16, 1, 99999},
    {"Radial velocity (km/s)", "rv", 11, K::Float, 1, 0},
    {"Morphological class", "class", 12, K::Text, 1, 0},
    {"Comments", "desc", 13, K::Text, 1, 0},
};

constexpr FieldEntry kOutlines[] = {
    {"Catalog ID (only for Start operation)", "Id", 3, K::Text, 1, 0},
    {"[Line operation]", "LineOp", 4, K::LineOperation, 1, 255},
    {"Line width (only for Start operation)", "LineWidth", 5, K::Byte, 1, 1},
    {"Line color (only for Start operation)", "LineColor", 6, K::Colour, 1, 16777215},
    {"Drawing Type (only for Start operation)", "Drawing", 7, K::Byte, 1, 1},
    {"Comments", "desc", 8, K::Text, 1, 0},
};

constexpr std::array<FieldEntry, 10> makeStrings() {
  constexpr std::string_view texts[] = {"String 1", "String 2", "String 3", "String 4", "String 5",
                                        "String 6", "String 7", "String 8", "String 9", "String 10"};
  constexpr std::string_view labels[] = {"Str1", "Str2", "Str3", "Str4", "Str5",
                                         "Str6", "Str7", "Str8", "Str9", "Str10"};
  std::array<FieldEntry, 10> r{};
  for (int i = 0; i < 10; ++i) r[i] = {texts[i], labels[i], 16 + i, K::Text, 1, 0};
  return r;
}
constexpr std::array<FieldEntry, 10> makeNumerics() {
  constexpr std::string_view texts[] = {"Numeric 1", "Numeric 2", "Numeric 3", "Numeric 4", "Numeric 5",
                                        "Numeric 6", "Numeric 7", "Numeric 8", "Numeric 9", "Numeric 10"};
  constexpr std::string_view labels[] = {"Num1", "Num2", "Num3", "Num4", "Num5",
                                         "Num6", "Num7", "Num8", "Num9", "Num10"};
  std::array<FieldEntry, 10> r{};
  for (int i = 0; i < 10; ++i) r[i] = {texts[i], labels[i], 26 + i, K::Float, 1, 0};
  return r;
}
constexpr auto kStrings = makeStrings();
constexpr auto kNumerics = makeNumerics();

}  // namespace

std::span<const FieldEntry> raEntries(int ratype) {
  switch (std::clamp(ratype, 0, kRaTypeCount - 1)) {
    case 0: return kRa0;
    case 1: return kRa1;
    case 2: return kRa2;
    case 3: return kRa3;
    default: return kRa4;
  }
}

std::span<const FieldEntry> decEntries(int dectype) {
  switch (std::clamp(dectype, 0, kDecTypeCount - 1)) {
    case 0: return kDec0;
    case 1: return kDec1;
    case 2: return kDec2;
    default: return kDec3;
  }
}

std::span<const FieldEntry> typeEntries(CatalogType type) {
  switch (type) {
    case CatalogType::Stars: return kStars;
    case CatalogType::VariableStars: return kVariables;
    case CatalogType::DoubleStars: return kDoubles;
    case CatalogType::Nebulae: return kNebulae;
    case CatalogType::NebulaOutlines: return kOutlines;
  }
  return kStars;
}

std::span<const FieldEntry> stringEntries() { return kStrings; }
std::span<const FieldEntry> numericEntries() { return kNumerics; }

int magnitudeFieldOf(CatalogType type) {
  switch (type) {
    case CatalogType::Stars:
    case CatalogType::VariableStars:
    case CatalogType::DoubleStars: return 4;
    case CatalogType::Nebulae: return 5;
    case CatalogType::NebulaOutlines: return 0;
  }
  return 0;
}

void FieldCatalogue::build(CatalogType type, int ratype, int dectype) {
  int t = std::clamp(static_cast<int>(type), 0, kCatalogTypeCount - 1);
  type_ = static_cast<CatalogType>(t);
  ratype_ = std::clamp(ratype, 0, kRaTypeCount - 1);
  dectype_ = std::clamp(dectype, 0, kDecTypeCount - 1);
  entries_.clear();
  auto append = [this](std::span<const FieldEntry> group) {
    for (const FieldEntry& e : group) entries_.push_back(&e);
    return static_cast<int>(group.size());
  };
  raCount_ = append(raEntries(ratype_));
  decCount_ = append(decEntries(dectype_));
  typeCount_ = append(typeEntries(type_));
  append(stringEntries());
  append(numericEntries());
}

int FieldCatalogue::positionOfField(int field) const {
  for (int p = firstTypePosition(); p < size(); ++p)
    if (recordField(p) == field) return p;
  return -1;
}

int FieldCatalogue::labelNumber(int position) const {
  if (position < raCount_) return 1;
  if (position < raCount_ + decCount_) return 2;
  return position - raCount_ - decCount_ + 3;
}

}  // namespace mirdal
