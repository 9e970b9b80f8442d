#include "build/conversion_loop.h"

#include <cmath>
#include <span>

#include "build/field_value.h"
#include "build/sky_position.h"
#include "output/region_scheme.h"

namespace mirdal {

namespace {
constexpr double kMasPerDegree = 3'600'000.0;
constexpr std::int64_t kCheckpointLines = 1000;
}  // namespace

ConversionLoop::ConversionLoop(const CatalogDefinition& definition, const RecordLayout& layout, CatalogFiles& files,
                               RejectLog& rejectLog, FileSystem& fs)
    : def_(definition),
      layout_(layout),
      files_(files),
      rejectLog_(rejectLog),
      reader_(fs),
      lookups_(definition.tables.prepareLookupLists()),
      ratype_(definition.settings.ratype),
      dectype_(definition.settings.dectype),
      raCount_(definition.fields().raCount()),
      decCount_(definition.fields().decCount()),
      record_(static_cast<std::size_t>(layout.recordLength)),
      indexRecord_(static_cast<std::size_t>(layout.indexRecordLength())) {
  const FieldCatalogue& fields = def_.fields();
  const int k = fields.firstTypePosition();
  const int n = fields.typeCount();
  auto slot = [&](int position) { return &def_.fieldSlots[static_cast<std::size_t>(position)]; };
  for (int j = 0; j < n; ++j) {
    const int f = 3 + j;
    if (!layout_.present(f)) continue;
    const FieldEntry& e = fields.entry(k + j);
    typeFields_.push_back({slot(k + j), e.kind, e.scale, e.missing, static_cast<std::size_t>(layout_.position[f] - 1),
                           static_cast<std::size_t>(layout_.length[f])});
  }
  for (int s = 1; s <= kFreeStringCount; ++s) {
    const int f = 15 + s;
    if (layout_.present(f))
      stringFields_.push_back({slot(k + n + s - 1), static_cast<std::size_t>(layout_.position[f] - 1),
                               static_cast<std::size_t>(layout_.length[f])});
  }
  for (int s = 1; s <= kFreeNumericCount; ++s) {
    const int f = 25 + s;
    if (layout_.present(f))
      numericFields_.push_back({slot(k + n + 9 + s), static_cast<std::size_t>(layout_.position[f] - 1),
                                static_cast<std::size_t>(layout_.length[f])});
  }
  if (layout_.index) {
    for (const IndexSource& src : layout_.indexPlan)
      names_.push_back({slot(src.listPosition), src.alternate && layout_.prefixAltNames ? src.prefix : std::string()});
  }
}

void ConversionLoop::convertFile(const std::string& path, int eol, const Opened& opened,
                                 const Checkpoint& checkpoint) {
  reader_.open(path, eol);
  if (opened) opened(reader_.size());
  std::int64_t lineCounter = 0;
  do {
    if (++lineCounter % kCheckpointLines == 0 && checkpoint) checkpoint(reader_.position());
    convertLine(reader_.readLine());
  } while (!reader_.endOfInput());
  reader_.close();
}

void ConversionLoop::convertLine(std::string_view line) {
  ++counters_.lines;
  const SkyPosition position = computePosition(line, def_.fieldSlots.data(), ratype_, dectype_, raCount_);
  if (!position.valid) {
    rejectLog_.reject(line);
    ++counters_.rejected;
    return;
  }
  const double ra = position.ra;
  const double dec = position.dec;

  std::span<std::uint8_t> rec(record_);
  storeInt32(rec, 0, 4, roundToInt32(ra * kMasPerDegree));
  storeInt32(rec, 4, 4, roundToInt32((dec + 90) * kMasPerDegree));

  for (const TypeField& f : typeFields_) {
    switch (f.kind) {
      case ValueKind::Text: storeText(rec, f.offset, f.width, rawText(line, *f.slot)); break;
      case ValueKind::Scaled16:
        storeInt16(rec, f.offset, f.width, roundToInt64(fieldNumber(line, *f.slot, f.missing) * f.scale));
        break;
      case ValueKind::Float: storeFloat(rec, f.offset, f.width, fieldNumber(line, *f.slot, f.missing)); break;
      case ValueKind::Byte: storeByte(rec, f.offset, f.width, roundToInt64(fieldNumber(line, *f.slot, f.missing))); break;
      case ValueKind::ObjectType: storeByte(rec, f.offset, f.width, objectTypeCode(line, *f.slot, lookups_)); break;
      case ValueKind::SizeUnit: storeInt16(rec, f.offset, f.width, sizeUnitFactor(line, *f.slot, lookups_)); break;
      case ValueKind::LineOperation:
        storeByte(rec, f.offset, f.width, lineOperationCode(line, *f.slot, lookups_));
        break;
      case ValueKind::Colour:
        storeInt32(rec, f.offset, f.width, static_cast<std::int32_t>(colourCode(line, *f.slot, lookups_)));
        break;
      case ValueKind::Coordinate: break;
    }
  }
  for (const TextField& f : stringFields_) storeText(rec, f.offset, f.width, rawText(line, *f.slot));
  for (const TextField& f : numericFields_) storeFloat(rec, f.offset, f.width, fieldNumber(line, *f.slot, 0.0));

  if (!names_.empty()) {
    std::span<std::uint8_t> idx(indexRecord_);
    storeFloat(idx, 0, 4, ra);
    storeFloat(idx, 4, 4, dec);
    std::span<char> name(reinterpret_cast<char*>(indexRecord_.data()) + 8, indexRecord_.size() - 8);
    for (const NameSource& src : names_) {
      auto written = formIndexName(rawText(line, *src.slot), src.prefix, name);
      if (!written) continue;
      std::fill(name.begin() + static_cast<std::ptrdiff_t>(*written), name.end(), ' ');
      files_.writeIndexRecord(indexRecord_.data());
      ++counters_.indexRecords;
    }
  }

  const int region = layout_.regionCount == 1 ? 1 : regionNumber(layout_.regionCount, dec, ra);
  files_.writeRecord(region, record_.data());
  ++counters_.records;
}

}  // namespace mirdal
