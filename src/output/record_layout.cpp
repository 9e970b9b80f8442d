#include "output/record_layout.h"

#include <algorithm>

#include "util/text.h"

namespace mirdal {

int regionCountOf(int numfile) {
  switch (numfile) {
    case 0: return 50;
    case 1: return 184;
    case 2: return 732;
    case 3: return 9537;
  }
  return 50;
}

namespace {

// RA and DEC have their own labels; every other field takes the label of the
// entry that fills it, but field 15 repeats the label of the type's last
// field. Fields no entry fills are labelled with spaces.
void labelFields(const CatalogDefinition& def, CatalogHeader& h) {
  const FieldCatalogue& fields = def.fields();
  for (int f = 1; f <= CatalogHeader::kFieldCount; ++f) {
    std::string text;
    if (f <= 2) text = def.label(f);
    else if (f == 15) text = def.labelOfPosition(fields.firstFreePosition() - 1);
    else if (const int p = fields.positionOfField(f); p >= 0) text = def.labelOfPosition(p);
    h.labels[f - 1] = padded(text, CatalogHeader::kLabelLength);
  }
}

// The four type defaults A to D of the header, from the nebula settings or
// the outline settings; zero for the other types.
void setTypeDefaults(const BuildSettings& s, CatalogHeader& h) {
  if (h.magic == kMagicNebulae) {
    h.defaultA = s.nebsize;
    h.defaultB = unitFactorOf(s.nebunit);
    h.defaultC = defaultObjectTypeCode(s.nebtype);
    h.defaultD = s.neblog ? 1 : 0;
  } else if (h.magic == kMagicNebulaOutlines) {
    h.defaultA = s.linewidth;
    h.defaultB = static_cast<std::int32_t>(s.linecolor);
    h.defaultC = s.closedline ? 1 : 0;
    h.defaultD = s.drawingtype;
  }
}

// Names, region count, dates, type defaults and the index choices, each
// only where the catalog type offers it.
void takeSettings(const CatalogDefinition& def, RecordLayout& out) {
  const BuildSettings& s = def.settings;
  CatalogHeader& h = out.header;
  const bool offered = def.indexChoiceOffered();
  out.index = offered && s.index;
  out.altIndex = offered && s.altindex;
  out.prefixAltNames = offered && s.prefalt;
  h.prefixAltNames = out.prefixAltNames;
  for (int k = 0; k < kAltNameCount; ++k) h.altNameFlags[k] = def.altNames[k] != 0;

  h.shortName = padded(s.shortname, CatalogHeader::kShortNameLength);
  h.longName = padded(s.longname, CatalogHeader::kLongNameLength);
  out.regionCount = def.regionChoiceOffered() ? regionCountOf(s.numfile) : 1;
  h.regionCount = out.regionCount;
  h.equinox = s.equinox;
  h.epoch = s.epoch;
  h.magMax = s.magmax;
  setTypeDefaults(s, h);
}

// RA and DEC first, then the ticked fields packed in record-field order: a
// text field as wide as its column, the others as wide as their stored
// value. The magnitude sort key is where the magnitude field stands or would
// stand.
void packFields(const CatalogDefinition& def, RecordLayout& out) {
  const FieldCatalogue& fields = def.fields();
  const int magnitudeField = magnitudeFieldOf(def.type());
  out.position[1] = 1;
  out.length[1] = 4;
  out.position[2] = 5;
  out.length[2] = 4;
  int next = 9;
  for (int position = fields.firstTypePosition(); position < fields.size(); ++position) {
    const int f = fields.recordField(position);
    if (f == magnitudeField) out.sortKeyPosition = next;
    if (!def.ticked(position)) continue;
    const ValueKind kind = fields.entry(position).kind;
    const int columnLength = def.fieldSlots[static_cast<std::size_t>(position)].length;
    out.position[f] = next;
    out.length[f] = kind == ValueKind::Text ? std::max(0, columnLength) : storeWidth(kind);
    next += out.length[f];
  }

  CatalogHeader& h = out.header;
  out.recordLength = 0;
  for (int f = 1; f <= CatalogHeader::kFieldCount; ++f) {
    h.positions[f - 1] = out.position[f];
    h.lengths[f - 1] = out.length[f];
    out.recordLength += out.length[f];
  }
  h.recordLength = out.recordLength;
}

// The names of the index: the catalog ID, then each string entry flagged as
// an alternate name, prefixed with its label when asked. The name length is
// that of the longest, prefix included.
void planNameIndex(const CatalogDefinition& def, RecordLayout& out) {
  const FieldCatalogue& fields = def.fields();
  const int idField = fields.recordField(fields.firstTypePosition());
  int nameLength = out.length[idField];
  if (nameLength > 0) out.indexPlan.push_back({fields.firstTypePosition(), false, {}});
  for (int si = 1; si <= kFreeStringCount && out.index && out.altIndex; ++si) {
    if (def.altNames[static_cast<std::size_t>(si - 1)] != 1) continue;
    const int position = fields.stringPosition(si);
    const int f = fields.recordField(position);
    std::string prefix(trimmed(out.header.labels[f - 1]));
    int width = out.length[f];
    if (out.prefixAltNames) width += static_cast<int>(prefix.size());
    nameLength = std::max(nameLength, width);
    out.indexPlan.push_back({position, true, std::move(prefix)});
  }
  out.indexNameLength = std::min(nameLength, 255);
  out.header.indexNameLength = static_cast<std::uint8_t>(out.indexNameLength);
}

}  // namespace

RecordLayout buildRecordLayout(const CatalogDefinition& def) {
  RecordLayout out;
  out.header.magic = std::string(magicOf(def.type()));
  labelFields(def, out.header);
  takeSettings(def, out);
  packFields(def, out);
  planNameIndex(def, out);
  return out;
}

}  // namespace mirdal
