#include "catalog/field_catalogue.h"

#include <algorithm>
#include <array>

namespace mirdal {

namespace {

using K = ValueKind;

constexpr FieldEntry kRa0[] = {
    {"[RA (hours)]", "RA", RecordField::Ra, K::Coordinate, 1, 0},
    {"RA (minutes)", "RA", RecordField::Ra, K::Coordinate, 1, 0},
    {"RA (seconds)", "RA", RecordField::Ra, K::Coordinate, 1, 0},
};
constexpr FieldEntry kRa1[] = {{"[RA decimal (hours)]", "RA", RecordField::Ra, K::Coordinate, 1, 0}};
constexpr FieldEntry kRa2[] = {
    {"[RA (degrees)]", "RA", RecordField::Ra, K::Coordinate, 1, 0},
    {"RA (minutes)", "RA", RecordField::Ra, K::Coordinate, 1, 0},
    {"RA (seconds)", "RA", RecordField::Ra, K::Coordinate, 1, 0},
};
constexpr FieldEntry kRa3[] = {{"[RA decimal (degrees)]", "RA", RecordField::Ra, K::Coordinate, 1, 0}};
constexpr FieldEntry kRa4[] = {{"[RA (h m s in one cell)]", "RA", RecordField::Ra, K::Coordinate, 1, 0}};

constexpr FieldEntry kDec0[] = {
    {"DEC sign", "DEC", RecordField::Dec, K::Coordinate, 1, 0},
    {"[DEC (degrees)]", "DEC", RecordField::Dec, K::Coordinate, 1, 0},
    {"DEC (arcmin)", "DEC", RecordField::Dec, K::Coordinate, 1, 0},
    {"DEC (arcsec)", "DEC", RecordField::Dec, K::Coordinate, 1, 0},
};
constexpr FieldEntry kDec1[] = {{"[DEC decimal (degrees)]", "DEC", RecordField::Dec, K::Coordinate, 1, 0}};
constexpr FieldEntry kDec2[] = {{"[SPD decimal (degrees)]", "DEC", RecordField::Dec, K::Coordinate, 1, 0}};
constexpr FieldEntry kDec3[] = {{"[DEC (d m s in one cell)]", "DEC", RecordField::Dec, K::Coordinate, 1, 0}};

constexpr FieldEntry kStars[] = {
    {"Catalog ID", "Id", RecordField::Id, K::Text, 1, 0},
    {"[Magnitude (mag)]", "mV", StarField::Magnitude, K::Scaled16, 1000, 99},
    {"B-V (mag)", "b-v", StarField::BMinusV, K::Scaled16, 1000, 99},
    {"Magnitude B (mag)", "mB", StarField::MagnitudeB, K::Scaled16, 1000, 99},
    {"Magnitude R (mag)", "mR", StarField::MagnitudeR, K::Scaled16, 1000, 99},
    {"Spectral class", "sp", StarField::SpectralClass, K::Text, 1, 0},
    {"Proper motion RA (arcsec/yr)", "pmRA", StarField::ProperMotionRa, K::Scaled16, 1000, 0},
    {"Proper motion DEC (arcsec/yr)", "pmDE", StarField::ProperMotionDec, K::Scaled16, 1000, 0},
    {"Position Epoch (year)", "date", StarField::Epoch, K::Float, 1, 0},
    {"Parallax (arcsec)", "px", StarField::Parallax, K::Scaled16, 10000, 0},
    {"Comments", "desc", StarField::Comments, K::Text, 1, 0},
};

constexpr FieldEntry kVariables[] = {
    {"Catalog ID", "Id", RecordField::Id, K::Text, 1, 0},
    {"Magnitude max (mag)", "mMax", VariableStarField::MagnitudeMax, K::Scaled16, 1000, 99},
    {"Magnitude min (mag)", "mMin", VariableStarField::MagnitudeMin, K::Scaled16, 1000, 99},
    {"Period (days)", "P", VariableStarField::Period, K::Float, 1, 0},
    {"Variable Type", "T", VariableStarField::VariableType, K::Text, 1, 0},
    {"Maxima Epoch (JD)", "Mepoch", VariableStarField::MaximaEpoch, K::Float, 1, 0},
    {"Rise Time (%period)", "rise", VariableStarField::RiseTime, K::Scaled16, 100, 0},
    {"Spectral class", "sp", VariableStarField::SpectralClass, K::Text, 1, 0},
    {"Magnitude code", "band", VariableStarField::MagnitudeCode, K::Text, 1, 0},
    {"Comments", "desc", VariableStarField::Comments, K::Text, 1, 0},
};

constexpr FieldEntry kDoubles[] = {
    {"Catalog ID", "Id", RecordField::Id, K::Text, 1, 0},
    {"[Magnitude component 1 (mag)]", "m1", DoubleStarField::Magnitude1, K::Scaled16, 1000, 99},
    {"Magnitude component 2 (mag)", "m2", DoubleStarField::Magnitude2, K::Scaled16, 1000, 99},
    {"[Separation (arcsec)]", "sep", DoubleStarField::Separation, K::Scaled16, 10, 0},
    {"Position angle (degrees)", "pa", DoubleStarField::PositionAngle, K::Scaled16, 1, -999},
    {"Epoch (year)", "date", DoubleStarField::Epoch, K::Float, 1, 0},
    {"Component name", "Comp", DoubleStarField::ComponentName, K::Text, 1, 0},
    {"Spectral class component 1", "sp", DoubleStarField::SpectralClass1, K::Text, 1, 0},
    {"Spectral class component 2", "sp", DoubleStarField::SpectralClass2, K::Text, 1, 0},
    {"Comments", "desc", DoubleStarField::Comments, K::Text, 1, 0},
};

constexpr FieldEntry kNebulae[] = {
    {"Catalog ID", "Id", RecordField::Id, K::Text, 1, 0},
    {"Nebula type", "NebTyp", NebulaField::NebulaType, K::ObjectType, 1, 255},
    {"Magnitude (mag)", "m", NebulaField::Magnitude, K::Scaled16, 1000, 99},
    {"Surface brigtness (mag/arcmin2)", "sbr", NebulaField::SurfaceBrightness, K::Scaled16, 1000, 99},
    {"Largest dimension (as defined)", "D", NebulaField::LargestDimension, K::Float, 1, 0},
    {"Smallest dimension (as defined)", "D", NebulaField::SmallestDimension, K::Float, 1, 0},
    {"Dimension Unit", "Unit", NebulaField::DimensionUnit, K::SizeUnit, 1, 60},
    {"Position angle (degrees)", "pa", NebulaField::PositionAngle, K::Scaled16, 1, 99999},
    {"Radial velocity (km/s)", "rv", NebulaField::RadialVelocity, K::Float, 1, 0},
    {"Morphological class", "class", NebulaField::MorphologicalClass, K::Text, 1, 0},
    {"Comments", "desc", NebulaField::Comments, K::Text, 1, 0},
};

constexpr FieldEntry kOutlines[] = {
    {"Catalog ID (only for Start operation)", "Id", RecordField::Id, K::Text, 1, 0},
    {"[Line operation]", "LineOp", OutlineField::LineOperation, K::LineOperation, 1, 255},
    {"Line width (only for Start operation)", "LineWidth", OutlineField::LineWidth, K::Byte, 1, 1},
    {"Line color (only for Start operation)", "LineColor", OutlineField::LineColour, K::Colour, 1, 16777215},
    {"Drawing Type (only for Start operation)", "Drawing", OutlineField::DrawingType, K::Byte, 1, 1},
    {"Comments", "desc", OutlineField::Comments, K::Text, 1, 0},
};

constexpr std::array<FieldEntry, 10> makeStrings() {
  constexpr std::string_view texts[] = {"String 1", "String 2", "String 3", "String 4", "String 5",
                                        "String 6", "String 7", "String 8", "String 9", "String 10"};
  constexpr std::string_view labels[] = {"Str1", "Str2", "Str3", "Str4", "Str5",
                                         "Str6", "Str7", "Str8", "Str9", "Str10"};
  std::array<FieldEntry, 10> r{};
  for (int i = 0; i < 10; ++i) r[i] = {texts[i], labels[i], RecordField::FirstString + i, K::Text, 1, 0};
  return r;
}
constexpr std::array<FieldEntry, 10> makeNumerics() {
  constexpr std::string_view texts[] = {"Numeric 1", "Numeric 2", "Numeric 3", "Numeric 4", "Numeric 5",
                                        "Numeric 6", "Numeric 7", "Numeric 8", "Numeric 9", "Numeric 10"};
  constexpr std::string_view labels[] = {"Num1", "Num2", "Num3", "Num4", "Num5",
                                         "Num6", "Num7", "Num8", "Num9", "Num10"};
  std::array<FieldEntry, 10> r{};
  for (int i = 0; i < 10; ++i) r[i] = {texts[i], labels[i], RecordField::FirstNumeric + i, K::Float, 1, 0};
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
    case CatalogType::Stars: return StarField::Magnitude;
    case CatalogType::VariableStars: return VariableStarField::MagnitudeMax;
    case CatalogType::DoubleStars: return DoubleStarField::Magnitude1;
    case CatalogType::Nebulae: return NebulaField::Magnitude;
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
