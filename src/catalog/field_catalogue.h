#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "catalog/catalog_type.h"

namespace mirdal {

// How the conversion loop turns an entry's column into its record field.
enum class ValueKind {
  Coordinate,   // an RA or DEC component, combined into fields 1 and 2
  Text,         // raw column text, field as wide as the column
  Scaled16,     // calibrated number x scale, rounded half to even, int16 clamped
  Float,        // calibrated number as IEEE single
  Byte,         // calibrated number rounded, low 8 bits
  ObjectType,   // object-type code lookup, byte
  SizeUnit,     // size-unit factor lookup, int16
  LineOperation,// line-operation code lookup, byte
  Colour,       // colour lookup, int32
};

// Record fields (1..35). Every type has its position in fields 1 and 2 and
// its catalog ID in 3, its own fields from 4 on (below), "String 1" to
// "String 10" in 16 to 25 and "Numeric 1" to "Numeric 10" in 26 to 35.
// Each name is a number, for the tables and the records that count fields.
struct RecordField {
  enum : int { Ra = 1, Dec = 2, Id = 3, FirstString = 16, FirstNumeric = 26 };
};
struct StarField {
  enum : int {
    Magnitude = 4, BMinusV, MagnitudeB, MagnitudeR, SpectralClass, ProperMotionRa, ProperMotionDec, Epoch,
    Parallax, Comments
  };
};
struct VariableStarField {
  enum : int {
    MagnitudeMax = 4, MagnitudeMin, Period, VariableType, MaximaEpoch, RiseTime, SpectralClass, MagnitudeCode,
    Comments
  };
};
struct DoubleStarField {
  enum : int {
    Magnitude1 = 4, Magnitude2, Separation, PositionAngle, Epoch, ComponentName, SpectralClass1, SpectralClass2,
    Comments
  };
};
struct NebulaField {
  enum : int {
    NebulaType = 4, Magnitude, SurfaceBrightness, LargestDimension, SmallestDimension, DimensionUnit,
    PositionAngle, RadialVelocity, MorphologicalClass, Comments
  };
};
struct OutlineField {
  enum : int { LineOperation = 4, LineWidth, LineColour, DrawingType, Comments };
};

struct FieldEntry {
  std::string_view text;
  std::string_view defaultLabel;
  int recordField;  // 1..35
  ValueKind kind;
  double scale;     // Scaled16 only
  double missing;   // value used when the column is empty or not a number

  // An entry text starting with "[" is a field the user must tick.
  constexpr bool required() const { return !text.empty() && text.front() == '['; }
};

// Record width in bytes of a non-text field kind; text fields take their column length.
constexpr int storeWidth(ValueKind k) {
  switch (k) {
    case ValueKind::Coordinate: return 4;
    case ValueKind::Scaled16: return 2;
    case ValueKind::Float: return 4;
    case ValueKind::Byte: return 1;
    case ValueKind::ObjectType: return 1;
    case ValueKind::SizeUnit: return 2;
    case ValueKind::LineOperation: return 1;
    case ValueKind::Colour: return 4;
    case ValueKind::Text: return 0;
  }
  return 0;
}

constexpr int kRaTypeCount = 5;
constexpr int kDecTypeCount = 4;
constexpr int kFreeStringCount = 10;
constexpr int kFreeNumericCount = 10;
constexpr int kMaxFieldListSize = 38;

std::span<const FieldEntry> raEntries(int ratype);
std::span<const FieldEntry> decEntries(int dectype);
std::span<const FieldEntry> typeEntries(CatalogType type);
std::span<const FieldEntry> stringEntries();
std::span<const FieldEntry> numericEntries();
// Record field number of the type's magnitude field (sort key), 0 for outlines.
int magnitudeFieldOf(CatalogType type);

// The field list of page 3 for one (type, ratype, dectype): RA entries, DEC
// entries, type entries, "String 1".."String 10", "Numeric 1".."Numeric 10".
// Out-of-range modes are clamped to the nearest valid one.
class FieldCatalogue {
 public:
  FieldCatalogue() { build(CatalogType::Stars, 0, 0); }
  FieldCatalogue(CatalogType type, int ratype, int dectype) { build(type, ratype, dectype); }

  void build(CatalogType type, int ratype, int dectype);

  int size() const { return static_cast<int>(entries_.size()); }
  const FieldEntry& entry(int position) const { return *entries_.at(static_cast<std::size_t>(position)); }
  CatalogType type() const { return type_; }
  int raType() const { return ratype_; }
  int decType() const { return dectype_; }
  int raCount() const { return raCount_; }
  int decCount() const { return decCount_; }
  // List position of the first type entry.
  int firstTypePosition() const { return raCount_ + decCount_; }
  int typeCount() const { return typeCount_; }
  // List position of "String 1".
  int firstFreePosition() const { return raCount_ + decCount_ + typeCount_; }
  int stringPosition(int k) const { return firstFreePosition() + k - 1; }   // k = 1..10
  int numericPosition(int k) const { return firstFreePosition() + 9 + k; }  // k = 1..10
  bool isString(int position) const {
    return position >= firstFreePosition() && position < firstFreePosition() + kFreeStringCount;
  }
  // Label number (1..35) of a list position: every RA entry shares label 1,
  // every DEC entry label 2, the rest count on from 3.
  int labelNumber(int position) const;
  // Record field (1..35) that a list position fills: every RA entry feeds
  // field 1, every DEC entry field 2.
  int recordField(int position) const { return entry(position).recordField; }
  // The list position that fills record field `field`; -1 for fields 1 and 2
  // (several entries feed them) and for fields no entry fills (14, 15, and
  // those past the type's last field).
  int positionOfField(int field) const;

 private:
  std::vector<const FieldEntry*> entries_;
  CatalogType type_ = CatalogType::Stars;
  int ratype_ = 0, dectype_ = 0;
  int raCount_ = 0, decCount_ = 0, typeCount_ = 0;
};

}  // namespace mirdal
