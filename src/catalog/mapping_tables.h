#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirdal {

constexpr int kObjectTypeRows = 15;
constexpr int kSizeUnitRows = 3;
constexpr int kLineOperationRows = 3;
constexpr int kLineTypeCells = 4;  // the grid keeps a fourth cell that builds never read
constexpr int kColourRows = 10;
constexpr int kDefaultObjectTypeCount = 18;

// Colours are 0x00BBGGRR: red in the lowest byte.
using Colour = std::uint32_t;
constexpr Colour kWhite = 16777215;

struct ObjectTypeRow {
  std::string_view name;
  std::string_view defaultString;
  int code;
};
struct SizeUnitRow {
  std::string_view name;
  std::string_view defaultString;
  int factor;
};
struct LineOperationRow {
  std::string_view name;
  std::string_view defaultString;
  int code;
};
struct ColourRow {
  std::string_view defaultString;
  Colour defaultColour;
};

extern const std::array<ObjectTypeRow, kObjectTypeRows> kObjectTypeTable;
extern const std::array<SizeUnitRow, kSizeUnitRows> kSizeUnitTable;
extern const std::array<LineOperationRow, kLineOperationRows> kLineOperationTable;
extern const std::array<ColourRow, kColourRows> kColourTable;

// The 18 entries of the default object-type selector, with their codes.
struct DefaultObjectType {
  std::string_view name;
  int code;
};
extern const std::array<DefaultObjectType, kDefaultObjectTypeCount> kDefaultObjectTypes;
// Code of selector index 0..17; an index outside the list gives the code of
// "Unknow" (0) rather than reading outside the table.
int defaultObjectTypeCode(int selectorIndex);

// Unit factor of `nebunit`: Degree 1, Minute 60, Second 3600; 60 when out of range.
int unitFactorOf(int nebunit);

// The snapshot of the tables that one conversion stage searches. Each list is
// the row's catalog string trimmed of codes 0..32 and followed by one comma.
struct LookupLists {
  std::array<std::string, kObjectTypeRows> objectTypes;
  std::array<std::string, kSizeUnitRows> sizeUnits;
  std::array<std::string, kLineOperationRows> lineOperations;
  std::array<std::string, kColourRows> colours;
  std::array<Colour, kColourRows> colourValues{};
};

// The four editable code tables. Only catalog strings and swatch colours
// change; names, codes and factors are fixed.
struct MappingTables {
  std::array<std::string, kObjectTypeRows> objectTypes;
  std::array<std::string, kSizeUnitRows> sizeUnits;
  std::array<std::string, kLineTypeCells> lineOperations;
  // Column 0 of the colour grid: the strings builds read (not saved in projects).
  std::array<std::string, kColourRows> colourStrings;
  // Column 1 of the colour grid: never shown, carried by the `colorstr` keys.
  std::array<std::string, kColourRows> colourStringsHidden;
  std::array<Colour, kColourRows> colours{};

  MappingTables() { reset(); }
  void reset();
  LookupLists prepareLookupLists() const;

  bool operator==(const MappingTables&) const = default;
};

}  // namespace mirdal
