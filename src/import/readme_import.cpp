#include "import/readme_import.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "catalog/project_file.h"
#include "input/row_source.h"
#include "input/table_text.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

// ---------------------------------------------------------------------------
// Names

namespace {

bool isArticle(std::string_view w) { return w == "The" || w == "A" || w == "An"; }

std::string lettersAndDigits(std::string_view s, std::size_t max) {
  std::string out;
  for (char c : s)
    if (isAsciiAlnum(c) && out.size() < max) out += c;
  return out;
}

// The first lines of a file in fixed columns, read with the project's line
// ends as the build reads them, for what they show of each byte column;
// columns placed by number are not looked at.
constexpr std::size_t kFixedSampleBytes = std::size_t{1} << 20;

std::vector<ColumnEvidence> sampleFixedColumns(FileSystem& fs, const std::string& path, int eol,
                                               const ReadMeTable& table) {
  RowSource rows(fs, path, {TableForm::Fixed, eol, false, {}});
  std::vector<ColumnEvidence> evidence(table.columns.size());
  std::size_t bytes = 0;
  SourceRow row;
  while (bytes < kFixedSampleBytes && rows.next(row)) {
    const std::string_view line = row.text;
    bytes += line.size() + 1;
    if (trimmed(line).empty()) continue;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      const ReadMeColumn& c = table.columns[i];
      const std::size_t from = static_cast<std::size_t>(c.firstByte) - 1;
      if (c.column > 0 || c.firstByte < 1 || c.length() < 1 || from >= line.size()) continue;
      std::string_view cell = trimmed(line.substr(from, static_cast<std::size_t>(c.length())));
      if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
      double v = 0;
      const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
      if (cell.empty() || ec != std::errc() || end != cell.data() + cell.size() || !std::isfinite(v)) continue;
      ++evidence[i].values;
      evidence[i].largest = std::max(evidence[i].largest, std::fabs(v));
    }
  }
  return evidence;
}

}  // namespace

std::string proposedShortName(const ReadMe& readMe, std::string_view inputPath) {
  // "NGC 2000.0" gives NGC: a first word of capitals and digits is a name.
  std::string_view rest = readMe.title;
  const std::string_view first = nextToken(rest);
  if (first.size() >= 2 && isAsciiUpper(first.front()) &&
      std::all_of(first.begin(), first.end(), [](char c) { return isAsciiUpper(c) || isAsciiDigit(c); }))
    return std::string(first.substr(0, kShortNameMaxLength));

  // "Bright Star Catalogue, 5th Revised Ed." gives BSC: the capitals that
  // start the words before the first comma, colon or parenthesis.
  std::string acronym;
  rest = readMe.title;
  for (;;) {
    std::string_view w = nextToken(rest);
    if (w.empty()) break;
    const std::size_t stop = w.find_first_of(",:;(");
    if (stop == 0) break;
    if (isAsciiUpper(w.front()) && !isArticle(w.substr(0, stop)) && acronym.size() < kShortNameMaxLength)
      acronym += w.front();
    if (stop != std::string_view::npos) break;
  }
  if (acronym.size() >= 2) return acronym;

  std::string s = lettersAndDigits(readMe.designation, kShortNameMaxLength);
  if (!s.empty()) return s;
  std::string_view base = withoutGz(lastPathComponent(inputPath));
  const std::size_t dot = base.find('.');
  if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
  s = lettersAndDigits(base, kShortNameMaxLength);
  return s.empty() ? "cat" : s;
}

std::string proposedLongName(const ReadMe& readMe, std::string_view inputPath) {
  std::string title = readMe.title;
  if (title.size() > kLongNameMaxLength) {
    std::size_t cut = title.rfind(' ', kLongNameMaxLength);
    if (cut == std::string::npos || cut == 0) cut = kLongNameMaxLength;
    title = std::string(trimmed(std::string_view(title).substr(0, cut)));
  }
  if (!title.empty()) {
    const std::string both = title + " (" + readMe.designation + ")";
    return !readMe.designation.empty() && both.size() <= kLongNameMaxLength ? both : title;
  }
  if (!readMe.designation.empty()) return readMe.designation;
  std::string base(withoutGz(lastPathComponent(inputPath)));
  if (!isPrintableAscii(base) || trimmed(base).empty()) return "Catalog";
  return base.substr(0, kLongNameMaxLength);
}

std::vector<std::string> missingRequiredEntries(const CatalogDefinition& definition) {
  std::vector<std::string> out;
  const FieldCatalogue& f = definition.fields();
  for (int p = 0; p < f.size(); ++p)
    if (f.entry(p).required() && !definition.ticked(p)) out.emplace_back(f.entry(p).text);
  return out;
}

const ReadMeTable& selectReadMeTable(const ReadMe& readMe, const std::string& readMePath,
                                     std::string_view inputPath, std::string_view tableFile) {
  if (readMe.tables.empty())
    throw Error("No byte-by-byte description in \"" + readMePath + "\"");
  if (!tableFile.empty()) {
    if (const ReadMeTable* t = readMe.tableFor(tableFile)) return *t;
    // Files are chosen by name: of a path, its last component is looked for.
    const std::string_view name = lastPathComponent(tableFile);
    if (withoutGz(name).empty())
      throw Error("\"" + std::string(tableFile) + "\" names no file of the ReadMe \"" + readMePath +
                  "\"; it describes: " + readMe.describedFiles());
    throw Error("\"" + readMePath + "\" has no description of file \"" + std::string(name) + "\"" +
                (name != tableFile ? " (the file name of \"" + std::string(tableFile) + "\")" : std::string()) +
                "; it describes: " + readMe.describedFiles());
  }
  if (const ReadMeTable* t = readMe.tableFor(inputPath)) return *t;
  if (readMe.tables.size() == 1) return readMe.tables.front();
  throw Error("\"" + readMePath + "\" has no description of file \"" + std::string(lastPathComponent(inputPath)) +
              "\"; it describes: " + readMe.describedFiles());
}

ReadMeImport importReadMe(const std::string& readMePath, const std::string& inputPath, std::string_view tableFile,
                          CatalogType type, CatalogDefinition& definition, FileSystem& fs,
                          std::optional<RaUnit> raUnit) {
  ReadMeImport result;
  result.readMe = readReadMe(readMePath, fs);
  const ReadMeTable& table = selectReadMeTable(result.readMe, readMePath, inputPath, tableFile);
  if (result.readMe.truncated)
    result.notes.push_back("The ReadMe was read up to its first " + std::to_string(kMaxReadMeBytes >> 20) +
                           " MiB only");
  if (tableFile.empty() && !table.describes(inputPath))
    result.notes.push_back("The ReadMe's only table describes " + result.readMe.describedFiles() +
                           "; it is used for " + std::string(lastPathComponent(inputPath)));
  TableMapping mapping = mapTableColumns(table, type, definition, MappingChoices{{}, raUnit});
  if (mapping.openRaUnit) {
    // The ReadMe does not tell the unit of the right ascension: the data may.
    // An input that cannot be read leaves it open; the build names the file.
    try {
      MappingChoices choices{sampleFixedColumns(fs, inputPath, definition.settings.eol, table), raUnit};
      mapping = mapTableColumns(table, type, definition, choices);
    } catch (const Error&) {
    }
  }
  result.notes.insert(result.notes.end(), mapping.notes.begin(), mapping.notes.end());
  result.openRaUnit = std::move(mapping.openRaUnit);
  result.positionCandidates = std::move(mapping.positionCandidates);
  result.positionProblem = std::move(mapping.positionProblem);
  return result;
}

}  // namespace mirdal
