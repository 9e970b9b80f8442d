#include "catalog/catalog_definition.h"

#include <algorithm>

#include "util/home_directory.h"
#include "util/text.h"

namespace mirdal {

std::string BuildSettings::defaultOutputDirectory() {
#ifdef _WIN32
  return "C:\\testcat";
#else
  std::string dir = homeDirectory();
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir + "testcat";
#endif
}

void BuildSettings::clampToRanges() {
  type = std::clamp(type, 0, kCatalogTypeCount - 1);
  eol = std::clamp(eol, 0, 2);
  ratype = std::clamp(ratype, 0, kRaTypeCount - 1);
  dectype = std::clamp(dectype, 0, kDecTypeCount - 1);
  nebsize = std::clamp(nebsize, 0, kNebSizeMax);
  nebunit = std::clamp(nebunit, 0, 2);
  nebtype = std::clamp(nebtype, 0, kDefaultObjectTypeCount - 1);
  linewidth = std::clamp(linewidth, 0, kLineWidthMax);
  linecolor &= 0x00FFFFFFu;
  drawingtype = std::clamp(drawingtype, 0, 2);
  numfile = std::clamp(numfile, 0, 3);
  if (shortname.size() > kShortNameMaxLength) {
    // Cut where the header would, but not inside a UTF-8 character.
    std::size_t n = kShortNameMaxLength;
    if (utf8Characters(shortname))
      while (n > 0 && (static_cast<unsigned char>(shortname[n]) & 0xC0) == 0x80) --n;
    shortname.resize(n);
  }
  if (longname.size() > kLongNameMaxLength) longname.resize(kLongNameMaxLength);
}

CatalogDefinition::CatalogDefinition() { rebuildFieldList(); }

bool CatalogDefinition::operator==(const CatalogDefinition& o) const {
  return settings == o.settings && fieldSlots == o.fieldSlots && altNames == o.altNames &&
         fieldNames == o.fieldNames && tables == o.tables && ticks_ == o.ticks_ && labels_ == o.labels_;
}

bool CatalogDefinition::setType(int type) {
  type = std::clamp(type, 0, kCatalogTypeCount - 1);
  if (type == settings.type) return false;
  settings.type = type;
  rebuildFieldList();
  return true;
}

bool CatalogDefinition::setRaType(int ratype) {
  ratype = std::clamp(ratype, 0, kRaTypeCount - 1);
  if (ratype == settings.ratype) return false;
  settings.ratype = ratype;
  rebuildFieldList();
  return true;
}

bool CatalogDefinition::setDecType(int dectype) {
  dectype = std::clamp(dectype, 0, kDecTypeCount - 1);
  if (dectype == settings.dectype) return false;
  settings.dectype = dectype;
  rebuildFieldList();
  return true;
}

void CatalogDefinition::rebuildFieldList() {
  settings.type = std::clamp(settings.type, 0, kCatalogTypeCount - 1);
  settings.ratype = std::clamp(settings.ratype, 0, kRaTypeCount - 1);
  settings.dectype = std::clamp(settings.dectype, 0, kDecTypeCount - 1);
  fields_.build(type(), settings.ratype, settings.dectype);
  ticks_.assign(static_cast<std::size_t>(fields_.size()), false);
  // Labels 1 .. 2 + n + 20 return to their defaults; later ones keep what an
  // earlier, longer list left there.
  labels_[0] = "RA";
  labels_[1] = "DEC";
  int number = 3;
  for (int p = fields_.firstTypePosition(); p < fields_.size(); ++p)
    labels_[static_cast<std::size_t>(number++ - 1)] = std::string(fields_.entry(p).defaultLabel);
}

bool CatalogDefinition::ticked(int position) const {
  return position >= 0 && position < static_cast<int>(ticks_.size()) && ticks_[static_cast<std::size_t>(position)];
}

void CatalogDefinition::setTicked(int position, bool on) {
  if (position >= 0 && position < static_cast<int>(ticks_.size())) ticks_[static_cast<std::size_t>(position)] = on;
}

void CatalogDefinition::clearTicks() { std::fill(ticks_.begin(), ticks_.end(), false); }

const std::string& CatalogDefinition::label(int number) const {
  static const std::string none;
  if (number < 1 || number > kLabelCount) return none;
  return labels_[static_cast<std::size_t>(number - 1)];
}

void CatalogDefinition::setLabel(int number, std::string text) {
  if (number < 1 || number > kLabelCount) return;
  labels_[static_cast<std::size_t>(number - 1)] = std::move(text);
}

bool CatalogDefinition::requiredFieldsTicked() const {
  for (int p = 0; p < fields_.size(); ++p)
    if (fields_.entry(p).required() && !ticked(p)) return false;
  return true;
}

void CatalogDefinition::resetSlots() {
  fieldSlots.fill(FieldSlot{});
  fieldNames.fill(std::string());
}

void expandHomeInPaths(BuildSettings& settings) {
  settings.ouputdir = expandHome(settings.ouputdir);
  for (std::string& file : settings.inputfiles) file = expandHome(file);
}

}  // namespace mirdal
