#include "catalog/mapping_tables.h"

#include "util/text.h"

namespace mirdal {

const std::array<ObjectTypeRow, kObjectTypeRows> kObjectTypeTable = {{
    {"Galaxy", "Gx,GALXY,QUASR", 1},
    {"Galaxy Cluster", "GALCL", 12},
    {"Open Cluster", "OC,OPNCL,LMCOC,SMCOC", 2},
    {"Globular Cluster", "Gb,GLOCL,GX+GC,LMCGC,SMCGC", 3},
    {"Planetary Nebula", "Pl,PLNNB", 4},
    {"Nebula", "Nb,BRTNB,GX+DN,LMCDN,SMCDN,SNREM", 5},
    {"Dark nebula", "Drk,DRKNB", 13},
    {"Cluster and Nebula", "C+N,CL+NB,G+C+N,LMCCN,SMCCN", 6},
    {"Knot", "Kt", 11},
    {"Star", "*,1STAR", 7},
    {"Double Star", "D*,2STAR", 8},
    {"Triple star", "***,3STAR", 9},
    {"Asterism", "Ast,ASTER,4STAR,5STAR,6STAR,7STAR,8STAR", 10},
    {"Non Existant", "-,PD,NONEX", -1},
    {"Unknow", " ,?", 0},
}};

// The degree sign is the single byte 0xB0 of the catalogs' 8-bit character set.
const std::array<SizeUnitRow, kSizeUnitRows> kSizeUnitTable = {{
    {"Degree", "d,\xB0", 1},
    {"Minute", "m,'", 60},
    {"Second", "s,\"", 3600},
}};

const std::array<LineOperationRow, kLineOperationRows> kLineOperationTable = {{
    {"Start of object", "start,0", 0},
    {"End of object", "end,1", 1},
    {"Draw line", "vertex, ,2", 2},
}};

const std::array<ColourRow, kColourRows> kColourTable = {{
    {"White,W,1", 16777215},
    {"LightGray,LG,2", 12632256},
    {"Gray,G,3", 8421504},
    {"Black,D,4", 3158064},
    {"Red,R,5", 255},
    {"Green,V,6", 65280},
    {"Yellow,Y,7", 65535},
    {"Blue,B,8", 16711680},
    {"Magenta,M,9", 16711935},
    {"Turquoise,T,10", 16776960},
}};

const std::array<DefaultObjectType, kDefaultObjectTypeCount> kDefaultObjectTypes = {{
    {"Galaxy", 1},
    {"Galaxy Cluster", 12},
    {"Open Cluster", 2},
    {"Globular Cluster", 3},
    {"Planetary Nebula", 4},
    {"Nebula", 5},
    {"Dark Nebula", 13},
    {"Cluster and Nebula", 6},
    {"Knot", 11},
    {"Star", 7},
    {"Double Star", 8},
    {"Triple star", 9},
    {"Asterism ", 10},
    {"Non Existant", -1},
    {"Unknow", 0},
    {"Circle", 14},
    {"Square", 15},
    {"Losange", 16},
}};

int defaultObjectTypeCode(int selectorIndex) {
  if (selectorIndex < 0 || selectorIndex >= kDefaultObjectTypeCount) return 0;
  return kDefaultObjectTypes[static_cast<std::size_t>(selectorIndex)].code;
}

int unitFactorOf(int nebunit) {
  switch (nebunit) {
    case 0: return 1;
    case 2: return 3600;
    default: return 60;
  }
}

void MappingTables::reset() {
  for (int r = 0; r < kObjectTypeRows; ++r) objectTypes[r] = std::string(kObjectTypeTable[r].defaultString);
  for (int r = 0; r < kSizeUnitRows; ++r) sizeUnits[r] = std::string(kSizeUnitTable[r].defaultString);
  for (int r = 0; r < kLineOperationRows; ++r) lineOperations[r] = std::string(kLineOperationTable[r].defaultString);
  lineOperations[3].clear();
  for (int r = 0; r < kColourRows; ++r) {
    colourStrings[r] = std::string(kColourTable[r].defaultString);
    colourStringsHidden[r].clear();
    colours[r] = kColourTable[r].defaultColour;
  }
}

LookupLists MappingTables::prepareLookupLists() const {
  auto list = [](const std::string& s) { return std::string(trimmed(s)) + ","; };
  LookupLists l;
  for (int r = 0; r < kObjectTypeRows; ++r) l.objectTypes[r] = list(objectTypes[r]);
  for (int r = 0; r < kSizeUnitRows; ++r) l.sizeUnits[r] = list(sizeUnits[r]);
  for (int r = 0; r < kLineOperationRows; ++r) l.lineOperations[r] = list(lineOperations[r]);
  for (int r = 0; r < kColourRows; ++r) {
    l.colours[r] = list(colourStrings[r]);
    l.colourValues[r] = colours[r];
  }
  return l;
}

}  // namespace mirdal
