#include "catalog/project_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "catalog/ini_file.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr std::string_view kPage1 = "Page1";
constexpr std::string_view kPage2 = "Page2";
constexpr std::string_view kPage3 = "Page3";
constexpr std::string_view kPage4 = "Page4";
constexpr std::string_view kPage5 = "Page5";
constexpr std::string_view kPage6 = "Page6";
constexpr std::string_view kPage7 = "Page7";

// An indexed key: the stem followed by the index without leading zeros.
std::string indexed(std::string_view stem, int index) {
  char digits[16];
  auto r = std::to_chars(digits, digits + sizeof digits, index);
  return std::string(stem) + std::string(digits, r.ptr);
}

std::string integerText(std::int64_t v) {
  char digits[24];
  auto r = std::to_chars(digits, digits + sizeof digits, v);
  return std::string(digits, r.ptr);
}

std::string booleanText(bool v) { return v ? "1" : "0"; }

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Reads the keys of one section; a missing key or a value of the wrong form
// gives the fallback the caller passes.
class SectionReader {
 public:
  SectionReader(const IniFile& ini, std::string_view section, const std::string& path)
      : ini_(ini), section_(section), path_(path) {}

  // A value longer than a profile read takes would come back cut, and a cut
  // path names another file: such a project is refused, never applied.
  std::optional<std::string> text(const std::string& key) const {
    auto v = ini_.wholeValue(section_, key);
    if (v && v->size() > IniFile::kMaxValueLength)
      throw Error("\"" + path_ + "\": the value of " + key + " in [" + std::string(section_) + "] is " +
                  std::to_string(v->size()) + " characters long; a project file holds at most " +
                  std::to_string(IniFile::kMaxValueLength) + " characters in a value");
    return v;
  }
  std::string text(const std::string& key, const std::string& current) const {
    auto v = text(key);
    return v ? *v : current;
  }

  std::optional<std::int64_t> integer(const std::string& key) const {
    auto v = text(key);
    return v ? parseProjectInteger(*v) : std::nullopt;
  }

  // Hand-edited values outside the range are clamped to its nearest end, the
  // same rule for every bounded setting: type=7 becomes 4, numfile=-1 becomes 0.
  int integer(const std::string& key, int current, std::int64_t lo, std::int64_t hi) const {
    auto v = integer(key);
    return v ? static_cast<int>(std::clamp(*v, lo, hi)) : current;
  }

  // A drop-down list's selection 0..hi; a negative one (none selected) is `none`.
  int selection(const std::string& key, int current, std::int64_t hi, int none) const {
    auto v = integer(key);
    if (!v) return current;
    return *v < 0 ? none : static_cast<int>(std::min(*v, hi));
  }

  bool boolean(const std::string& key, bool current) const {
    auto v = integer(key);
    return v ? *v != 0 : current;
  }

  double real(const std::string& key, double fallback) const {
    auto v = text(key);
    if (!v) return fallback;
    auto d = parseProjectFloat(*v);
    return d ? *d : fallback;
  }

  // Colours keep their low 24 bits (0x00BBGGRR); -1 becomes white.
  Colour colour(const std::string& key, Colour current) const {
    auto v = integer(key);
    return v ? static_cast<Colour>(static_cast<std::uint64_t>(*v) & 0x00FFFFFFu) : current;
  }

 private:
  const IniFile& ini_;
  std::string_view section_;
  const std::string& path_;
};

struct ProjectKey {
  std::string_view section;
  std::string key;
  std::string value;
  // Keys that came after the first project files are written only when they
  // say something (or the file holds them already, to replace an older
  // value), so that a fixed-column project saves as it always did.
  bool optional = false;
};

// Every key of a project in write order.
std::vector<ProjectKey> projectKeys(const CatalogDefinition& def) {
  const BuildSettings& s = def.settings;
  std::vector<ProjectKey> keys;
  auto put = [&keys](std::string_view section, std::string key, std::string_view value) {
    keys.push_back(ProjectKey{section, std::move(key), std::string(value)});
  };
  auto putOptional = [&keys](std::string_view section, std::string key, std::string_view value, bool says) {
    keys.push_back(ProjectKey{section, std::move(key), std::string(value), !says});
  };

  put(kPage1, "type", integerText(s.type));
  put(kPage1, "shortname", s.shortname);
  put(kPage1, "longname", s.longname);
  put(kPage1, "numfiles", integerText(static_cast<std::int64_t>(s.inputfiles.size())));
  for (std::size_t k = 0; k < s.inputfiles.size(); ++k)
    put(kPage1, indexed("inputfiles", static_cast<int>(k)), s.inputfiles[k]);
  put(kPage1, "eol", integerText(s.eol));
  putOptional(kPage1, "format", tableFormName(s.format), s.format != TableForm::Fixed);
  putOptional(kPage1, "headerrow", booleanText(s.headerrow), s.headerrow);
  putOptional(kPage1, "table", s.table, !s.table.empty());

  put(kPage2, "ratype", integerText(s.ratype));
  put(kPage2, "dectype", integerText(s.dectype));
  put(kPage2, "equinox", formatProjectFloat(s.equinox));
  put(kPage2, "epoch", formatProjectFloat(s.epoch));
  put(kPage2, "magmax", formatProjectFloat(s.magmax));
  put(kPage2, "nebsize", integerText(s.nebsize));
  put(kPage2, "nebunit", integerText(s.nebunit));
  put(kPage2, "nebtype", integerText(s.nebtype));
  put(kPage2, "neblog", booleanText(s.neblog));
  put(kPage2, "linewidth", integerText(s.linewidth));
  put(kPage2, "linecolor", integerText(s.linecolor));
  put(kPage2, "drawingtype", integerText(s.drawingtype));
  put(kPage2, "closedline", booleanText(s.closedline));

  const int numitem = def.fields().size();
  put(kPage3, "numitem", integerText(numitem));
  for (int i = 0; i < numitem; ++i) put(kPage3, indexed("field", i), booleanText(def.ticked(i)));
  for (int k = 1; k <= kLabelCount; ++k) put(kPage3, indexed("label", k), def.label(k));
  for (int n = 0; n < kSlotCount; ++n) {
    const FieldSlot& slot = def.fieldSlots[static_cast<std::size_t>(n)];
    put(kPage3, indexed("fieldindex", n), integerText(slot.firstChar));
    put(kPage3, indexed("fieldlength", n), integerText(slot.length));
    put(kPage3, indexed("calcA", n), formatProjectFloat(slot.calcA));
    put(kPage3, indexed("calcB", n), formatProjectFloat(slot.calcB));
    const std::string& name = def.fieldNames[static_cast<std::size_t>(n)];
    putOptional(kPage3, indexed("fieldname", n), name, !name.empty());
  }
  for (int k = 1; k <= kAltNameCount; ++k)
    put(kPage3, indexed("altname", k), integerText(def.altNames[static_cast<std::size_t>(k - 1)]));

  put(kPage4, "numfile", integerText(s.numfile));
  put(kPage4, "ouputdir", s.ouputdir);
  put(kPage4, "index", booleanText(s.index));
  put(kPage4, "altindex", booleanText(s.altindex));
  put(kPage4, "prefalt", booleanText(s.prefalt));
  put(kPage4, "append", booleanText(s.append));

  const MappingTables& t = def.tables;
  for (int r = 1; r <= kObjectTypeRows; ++r) put(kPage5, indexed("nebtype", r), t.objectTypes[r - 1]);
  for (int r = 1; r <= kSizeUnitRows; ++r) put(kPage5, indexed("unit", r), t.sizeUnits[r - 1]);
  for (int r = 1; r <= kLineTypeCells; ++r) put(kPage6, indexed("linetype", r), t.lineOperations[r - 1]);
  for (int r = 1; r <= kColourRows; ++r) put(kPage7, indexed("colorstr", r), t.colourStringsHidden[r - 1]);
  for (int r = 1; r <= kColourRows; ++r) put(kPage7, indexed("color", r), integerText(t.colours[r - 1]));
  return keys;
}

// The value for a message: line breaks and NUL written \r, \n and \0, cut at 200 bytes.
std::string shownValue(std::string_view v) {
  std::string out;
  for (char c : v.substr(0, 200)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\0') out += "\\0";
    else out += c;
  }
  return "\"" + out + (v.size() > 200 ? "...\"" : "\"");
}

// A value the file cannot give back as it was written: a line break would end
// the line (the rest read as another key, or lost), a NUL makes the file
// binary, and a read takes at most 2047 characters.
void checkStorable(const std::string& path, const ProjectKey& k) {
  const std::string start = "Cannot save \"" + path + "\": the value of " + k.key;
  if (k.value.find_first_of("\r\n") != std::string::npos)
    throw Error(start + " holds a line break, which a project file cannot hold: " + shownValue(k.value));
  if (k.value.find('\0') != std::string::npos)
    throw Error(start + " holds a NUL byte, which a project file cannot hold: " + shownValue(k.value));
  if (k.value.size() > IniFile::kMaxValueLength)
    throw Error(start + " is " + std::to_string(k.value.size()) + " characters long; a project file holds at most " +
                std::to_string(IniFile::kMaxValueLength) + " characters in a value");
}

Error notAProject(const std::string& path, const std::string& reason) {
  return Error("\"" + path + "\" is not a Mirdal project file: " + reason);
}

// The text of a project file, refused when it cannot be one: unreadable,
// larger than any project, binary, or without the catalog type that every
// saved project starts with.
IniFile readProjectText(const std::string& path, FileSystem& fs) {
  bool whole = false;
  std::string text;
  try {
    text = IniFile::readText(path, fs, whole);
  } catch (const Error& e) {
    throw notAProject(path, e.what());
  }
  if (!whole)
    throw notAProject(path, "it is larger than " + std::to_string(IniFile::kMaxFileBytes >> 20) + " MiB");
  if (std::size_t nul = text.find('\0'); nul != std::string::npos)
    throw notAProject(path, "it holds binary data (a NUL byte at offset " + std::to_string(nul) + ")");
  IniFile ini(text);
  if (!ini.value(kPage1, "type")) throw notAProject(path, "it has no [Page1] section with a type key");
  return ini;
}

}  // namespace

std::string formatProjectFloat(double value) {
  char buffer[64];
  // %.15g: fixed notation for decimal exponents -4 to 14, E notation outside.
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string s(buffer, r.ptr);
  std::size_t e = s.find('e');
  if (e == std::string::npos) return s;
  // "1e-05" -> "1E-5", "1.5e+20" -> "1.5E20"
  std::string out = s.substr(0, e) + "E";
  std::size_t p = e + 1;
  if (s[p] == '-') out += '-';
  if (s[p] == '-' || s[p] == '+') ++p;
  while (p + 1 < s.size() && s[p] == '0') ++p;
  return out + s.substr(p);
}

std::optional<std::int64_t> parseProjectInteger(std::string_view t) {
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  unsigned base = 10;
  if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t magnitude = 0;
  bool saturated = false;
  for (char c : t) {
    auto d = static_cast<unsigned>(digitValue(c));
    if (d >= base) return std::nullopt;
    if (magnitude > (kMax - d) / base)
      saturated = true;
    else
      magnitude = magnitude * base + d;
  }
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  if (negative) {
    if (saturated || magnitude >= kLimit) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
  }
  if (saturated || magnitude >= kLimit) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(magnitude);
}

std::optional<double> parseProjectFloat(std::string_view t) {
  // from_chars takes no "+", and would take "inf" and "nan": a number must
  // start with a digit or "." after its optional sign.
  std::string_view body = t;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  if (body.empty() || !((body.front() >= '0' && body.front() <= '9') || body.front() == '.')) return std::nullopt;
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  double v = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

void saveProject(const std::string& path, const CatalogDefinition& definition, FileSystem& fs) {
  // Refused before the old file is moved away: nothing changes on disk.
  const std::vector<ProjectKey> keys = projectKeys(definition);
  for (const ProjectKey& k : keys) checkStorable(path, k);

  const std::string failure = "Unable to write to " + path;
  // Moving a directory out of the way would not make the path writable; it
  // would only hide the directory under the ".old" name.
  if (fs.isDirectory(path)) throw Error(failure);
  if (fs.exists(path)) {
    fs.remove(path + ".old");
    fs.rename(path, path + ".old");
  }
  IniFile ini;
  try {
    // The rename may have been refused: then the keys are written into the
    // file in place, as key-by-key profile writes would.
    if (fs.exists(path)) ini = IniFile::load(path, fs);
    for (const ProjectKey& k : keys)
      if (!k.optional || ini.value(k.section, k.key)) ini.setValue(k.section, k.key, k.value);
    ini.save(path, fs);
  } catch (const Error&) {
    throw Error(failure);
  }
}

void loadProject(const std::string& path, CatalogDefinition& target, FileSystem& fs) {
  const IniFile ini = readProjectText(path, fs);
  // Applied to a copy: a refused value leaves the target as it was.
  CatalogDefinition definition = target;
  BuildSettings& s = definition.settings;

  const SectionReader page1(ini, kPage1, path);
  definition.setType(page1.integer("type", s.type, 0, kCatalogTypeCount - 1));
  s.shortname = page1.text("shortname", s.shortname);
  s.longname = page1.text("longname", s.longname);
  const int numfiles = page1.integer("numfiles", 0, 0, kMaxInputFiles);
  s.inputfiles.clear();
  for (int k = 0; k < numfiles; ++k) {
    auto file = page1.text(indexed("inputfiles", k));
    if (file && !trimmed(*file).empty()) s.inputfiles.push_back(std::move(*file));
  }
  s.eol = page1.integer("eol", s.eol, 0, 2);
  // An unknown form name is refused rather than read as fixed columns: the
  // build would cut cells at byte columns and fill the catalog with noise.
  if (auto format = page1.text("format")) {
    const auto form = parseTableForm(*format);
    if (!form)
      throw Error("\"" + path + "\": the value of format in [Page1] is \"" + *format +
                  "\", which is none of fixed, csv, tsv, psv, ssv, blanks, ecsv, mrt, fits, votable");
    s.format = *form;
  } else {
    s.format = TableForm::Fixed;
  }
  s.headerrow = page1.boolean("headerrow", false);
  s.table = page1.text("table", std::string());

  const SectionReader page2(ini, kPage2, path);
  definition.setRaType(page2.integer("ratype", s.ratype, 0, kRaTypeCount - 1));
  definition.setDecType(page2.integer("dectype", s.dectype, 0, kDecTypeCount - 1));
  s.equinox = page2.real("equinox", s.equinox);
  s.epoch = page2.real("epoch", s.epoch);
  s.magmax = page2.real("magmax", s.magmax);
  s.nebsize = page2.integer("nebsize", s.nebsize, 0, kNebSizeMax);
  // -1 is the selection of a drop-down list with no item selected (text typed
  // into it, as earlier versions saved it): the list's default, not its first item.
  s.nebunit = page2.selection("nebunit", s.nebunit, 2, BuildSettings{}.nebunit);
  s.nebtype = page2.selection("nebtype", s.nebtype, kDefaultObjectTypeCount - 1, BuildSettings{}.nebtype);
  s.neblog = page2.boolean("neblog", s.neblog);
  s.linewidth = page2.integer("linewidth", s.linewidth, 0, kLineWidthMax);
  s.linecolor = page2.colour("linecolor", s.linecolor);
  s.drawingtype = page2.integer("drawingtype", s.drawingtype, 0, 2);
  s.closedline = page2.boolean("closedline", s.closedline);

  // The list has been rebuilt above for the loaded type and formats, so the
  // ticks and labels land on its entries.
  const SectionReader page3(ini, kPage3, path);
  const int numitem = page3.integer("numitem", 0, 0, definition.fields().size());
  for (int i = 0; i < numitem; ++i)
    definition.setTicked(i, page3.boolean(indexed("field", i), definition.ticked(i)));
  for (int k = 1; k <= kLabelCount; ++k) {
    // The label box takes 10 characters; a longer hand-edited label is cut.
    if (auto label = page3.text(indexed("label", k)))
      definition.setLabel(k, label->substr(0, kLabelMaxLength));
  }
  for (int n = 0; n < kSlotCount; ++n) {
    FieldSlot& slot = definition.fieldSlots[static_cast<std::size_t>(n)];
    // Negative columns and lengths read as "not set" downstream, as 0 does.
    slot.firstChar = page3.integer(indexed("fieldindex", n), slot.firstChar, 0, kMaxSlotValue);
    slot.length = page3.integer(indexed("fieldlength", n), slot.length, 0, kMaxSlotValue);
    slot.calcA = page3.real(indexed("calcA", n), 1.0);
    slot.calcB = page3.real(indexed("calcB", n), 0.0);
    definition.fieldNames[static_cast<std::size_t>(n)] = page3.text(indexed("fieldname", n), std::string());
  }
  for (int k = 1; k <= kAltNameCount; ++k) {
    // The flag is stored as a byte; the header and the editor know only 0 and 1,
    // so a byte other than 0 is a set flag.
    if (auto v = page3.integer(indexed("altname", k)))
      definition.altNames[static_cast<std::size_t>(k - 1)] = (static_cast<std::uint64_t>(*v) & 0xFFu) != 0 ? 1 : 0;
  }

  const SectionReader page4(ini, kPage4, path);
  s.numfile = page4.integer("numfile", s.numfile, 0, 3);
  s.ouputdir = page4.text("ouputdir", s.ouputdir);
  s.index = page4.boolean("index", s.index);
  s.altindex = page4.boolean("altindex", s.altindex);
  s.prefalt = page4.boolean("prefalt", s.prefalt);
  s.append = page4.boolean("append", s.append);

  MappingTables& t = definition.tables;
  const SectionReader page5(ini, kPage5, path);
  for (int r = 1; r <= kObjectTypeRows; ++r)
    t.objectTypes[r - 1] = page5.text(indexed("nebtype", r), t.objectTypes[r - 1]);
  for (int r = 1; r <= kSizeUnitRows; ++r) t.sizeUnits[r - 1] = page5.text(indexed("unit", r), t.sizeUnits[r - 1]);
  const SectionReader page6(ini, kPage6, path);
  for (int r = 1; r <= kLineTypeCells; ++r)
    t.lineOperations[r - 1] = page6.text(indexed("linetype", r), t.lineOperations[r - 1]);
  const SectionReader page7(ini, kPage7, path);
  for (int r = 1; r <= kColourRows; ++r)
    t.colourStringsHidden[r - 1] = page7.text(indexed("colorstr", r), t.colourStringsHidden[r - 1]);
  for (int r = 1; r <= kColourRows; ++r) t.colours[r - 1] = page7.colour(indexed("color", r), t.colours[r - 1]);

  // Short and long names longer than their boxes are cut.
  s.clampToRanges();
  target = std::move(definition);
}

}  // namespace mirdal
