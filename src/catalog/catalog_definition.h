#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/catalog_type.h"
#include "catalog/field_catalogue.h"
#include "catalog/mapping_tables.h"
#include "catalog/table_form_name.h"

namespace mirdal {

constexpr int kSlotCount = 41;
constexpr int kLabelCount = 35;
constexpr int kAltNameCount = 10;
constexpr int kLabelMaxLength = 10;

// Column description of one list position: a numeric value is calcA * x + calcB.
struct FieldSlot {
  std::int32_t firstChar = 0;  // 1-based column; 0 means not set
  std::int32_t length = 0;     // 0 means not set
  double calcA = 1.0;
  double calcB = 0.0;

  bool operator==(const FieldSlot&) const = default;
};

// Every setting of a build, named by its project-file key.
struct BuildSettings {
  // Page 1
  int type = 0;            // CatalogType, 0..4
  std::string shortname;   // up to 4 characters
  std::string longname;    // up to 50 characters
  std::vector<std::string> inputfiles;
  int eol = 2;             // 0 CR, 1 LF, 2 CR LF
  // How the input files are written (the same for all of them); the keys
  // are new, and a project without them is fixed columns.
  TableForm format = TableForm::Fixed;
  bool headerrow = false;  // delimited forms: the first row names the columns
  std::string table;       // FITS and VOTable: the table read, by name or 1-based number; empty: the first
  // Page 2
  int ratype = 0;          // 0..4 (4: h m s in one cell)
  int dectype = 0;         // 0..3 (3: d m s in one cell)
  double equinox = 2000;
  double epoch = 2000;
  double magmax = 12;
  int nebsize = 1;         // 0..3600
  int nebunit = 1;         // 0 Degree, 1 Minute, 2 Second
  int nebtype = 14;        // index into the 18 default object types ("Unknow")
  bool neblog = false;
  int linewidth = 1;       // 0..99
  Colour linecolor = kWhite;
  int drawingtype = 0;     // 0 Line, 1 Spline, 2 Surface
  bool closedline = true;
  // Page 4
  int numfile = 0;         // 0..3: 50, 184, 732, 9537 regions
  std::string ouputdir = defaultOutputDirectory();
  bool index = true;
  bool altindex = false;
  bool prefalt = true;
  bool append = false;

  // "testcat" in the user's home directory.
  static std::string defaultOutputDirectory();
  // Brings every bounded setting into its range (hand-edited project files).
  void clampToRanges();

  bool operator==(const BuildSettings&) const = default;
};

constexpr int kShortNameMaxLength = 4;
constexpr int kLongNameMaxLength = 50;
constexpr int kNebSizeMax = 3600;
constexpr int kLineWidthMax = 99;

// The whole description of a catalog build: settings, the field list with its
// ticks, the 41 column slots, the 35 labels, the ten alternate-name flags and
// the code tables. UI-free: the wizard binds its controls to it and the
// project file reads and writes it.
//
// Slots and flags belong to list positions, not to fields: a rebuild of the
// field list (a change of type, ratype or dectype) keeps them, resets the
// labels it covers to their defaults and clears the ticks.
class CatalogDefinition {
 public:
  CatalogDefinition();

  BuildSettings settings;
  std::array<FieldSlot, kSlotCount> fieldSlots{};
  std::array<std::uint8_t, kAltNameCount> altNames{};  // flag k at [k-1]
  // Where slots name columns (slotsNameColumns of the format): the name of
  // slot n's column, found again by name in each input file that names its
  // columns; empty where the column goes by its number only.
  std::array<std::string, kSlotCount> fieldNames{};
  MappingTables tables;

  // Setting these rebuilds the field list when the value changes; values are
  // clamped into range. They return whether the list was rebuilt.
  bool setType(int type);
  bool setRaType(int ratype);
  bool setDecType(int dectype);
  void rebuildFieldList();

  CatalogType type() const { return static_cast<CatalogType>(settings.type); }
  const FieldCatalogue& fields() const { return fields_; }

  bool ticked(int position) const;
  void setTicked(int position, bool on);  // positions outside the list are ignored
  void clearTicks();

  // Label number k, 1..35; any other number reads as the empty text.
  const std::string& label(int number) const;
  void setLabel(int number, std::string text);
  const std::string& labelOfPosition(int position) const { return label(fields_.labelNumber(position)); }
  void setLabelOfPosition(int position, std::string text) { setLabel(fields_.labelNumber(position), std::move(text)); }

  // Units per degree of `nebunit`: 1, 60 or 3600.
  int unitFactor() const { return unitFactorOf(settings.nebunit); }
  // Outlines offer neither the region scheme nor the index.
  bool regionChoiceOffered() const { return type() != CatalogType::NebulaOutlines; }
  bool indexChoiceOffered() const { return type() != CatalogType::NebulaOutlines; }
  // True when every entry whose text starts with "[" is ticked.
  bool requiredFieldsTicked() const;

  void resetSlots();

  // Every setting, tick, label, slot, flag and table cell alike; the field
  // list follows from the settings.
  bool operator==(const CatalogDefinition& other) const;

 private:
  FieldCatalogue fields_;
  std::vector<bool> ticks_;
  std::array<std::string, kLabelCount> labels_;
};

// expandHome on the output directory and every input file name: the names a
// build opens. The wizard and mirdal-build call it on the definition they
// build; a project keeps the names as typed.
void expandHomeInPaths(BuildSettings& settings);

}  // namespace mirdal
