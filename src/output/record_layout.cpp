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

RecordLayout buildRecordLayout(const CatalogDefinition& def) {
  const BuildSettings& s = def.settings;
  const FieldCatalogue& fields = def.fields();
  const CatalogType type = def.type();
  RecordLayout out;
  CatalogHeader& h = out.header;

  h.magic = std::string(magicOf(type));

  // Labels: RA, DEC and the label of each field's entry; spaces where no
  // entry fills the field, but field 15 repeats the label of the type's last
  // field.
  for (int f = 1; f <= CatalogHeader::kFieldCount; ++f) {
    std::string text;
    if (f <= 2) text = def.label(f);
    else if (f == 15) text = def.labelOfPosition(fields.firstFreePosition() - 1);
    else if (const int p = fields.positionOfField(f); p >= 0) text = def.labelOfPosition(p);
    h.labels[f - 1] = padded(text, CatalogHeader::kLabelLength);
  }

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

  // Record layout: RA and DEC first, then the checked fields packed in
  // record-field order.
  out.position[1] = 1;
  out.length[1] = 4;
  out.position[2] = 5;
  out.length[2] = 4;
  int p = 9;
  const int k = fields.firstTypePosition();
  const int magnitudeField = magnitudeFieldOf(type);
  auto slotLength = [&](int listPosition) {
    return std::max(0, def.fieldSlots[static_cast<std::size_t>(listPosition)].length);
  };
  for (int position = k; position < fields.firstFreePosition(); ++position) {
    const int f = fields.recordField(position);
    const FieldEntry& e = fields.entry(position);
    if (f == magnitudeField) out.sortKeyPosition = p;
    if (def.ticked(position)) {
      out.position[f] = p;
      out.length[f] = e.kind == ValueKind::Text ? slotLength(position) : storeWidth(e.kind);
      p += out.length[f];
    }
  }

  int nameLength = out.length[3];
  if (nameLength > 0) out.indexPlan.push_back({k, false, {}});
  for (int si = 1; si <= kFreeStringCount; ++si) {
    const int pos = fields.stringPosition(si);
    const int f = fields.recordField(pos);
    if (def.ticked(pos)) {
      out.position[f] = p;
      out.length[f] = slotLength(pos);
    }
    if (out.index && out.altIndex && def.altNames[static_cast<std::size_t>(si - 1)] == 1) {
      std::string prefix(trimmed(h.labels[f - 1]));
      int w = out.length[f];
      if (out.prefixAltNames) w += static_cast<int>(prefix.size());
      nameLength = std::max(nameLength, w);
      out.indexPlan.push_back({pos, true, std::move(prefix)});
    }
    p += out.length[f];
  }
  for (int si = 1; si <= kFreeNumericCount; ++si) {
    const int pos = fields.numericPosition(si);
    const int f = fields.recordField(pos);
    if (def.ticked(pos)) {
      out.position[f] = p;
      out.length[f] = 4;
      p += 4;
    }
  }

  out.recordLength = 0;
  for (int f = 1; f <= CatalogHeader::kFieldCount; ++f) {
    h.positions[f - 1] = out.position[f];
    h.lengths[f - 1] = out.length[f];
    out.recordLength += out.length[f];
  }
  h.recordLength = out.recordLength;
  out.indexNameLength = std::min(nameLength, 255);
  h.indexNameLength = static_cast<std::uint8_t>(out.indexNameLength);
  return out;
}

}  // namespace mirdal
