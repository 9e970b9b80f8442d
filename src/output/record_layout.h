#pragma once

#include <array>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "output/catalog_header.h"

namespace mirdal {

// A source of names for the name index: source 0 is the catalog ID, the
// others are string entries flagged as alternate names, each with a prefix
// (its label, trimmed).
struct IndexSource {
  int listPosition = 0;
  bool alternate = false;
  std::string prefix;
};

// Everything "Create header" computes: the header itself, the packed record
// layout, the magnitude sort key and the name index plan.
struct RecordLayout {
  CatalogHeader header;
  // 1-based record positions and lengths of fields 1..35 ([0] unused).
  std::array<int, 36> position{};
  std::array<int, 36> length{};
  int recordLength = 0;
  int regionCount = 1;
  // 1-based position of the magnitude field (or where it would stand);
  // 0 when the catalog type has no magnitude sort.
  int sortKeyPosition = 0;
  bool index = false;
  bool altIndex = false;
  bool prefixAltNames = false;
  std::vector<IndexSource> indexPlan;
  int indexNameLength = 0;  // capped at 255

  bool present(int field) const { return length[field] > 0; }
  // The magnitude key lies entirely inside the record: two bytes from the
  // sort key position. Files whose records are too short keep input order.
  bool magnitudeKeyInRecord() const { return sortKeyPosition > 0 && sortKeyPosition + 1 <= recordLength; }
  int indexRecordLength() const { return 8 + indexNameLength; }
};

// Builds the header and record layout from the definition's settings, ticks,
// slots, labels and alternate-name flags. Does no file input or output.
RecordLayout buildRecordLayout(const CatalogDefinition& definition);

// Region counts of `numfile` 0..3.
int regionCountOf(int numfile);

}  // namespace mirdal
