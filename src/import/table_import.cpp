#include "import/table_import.h"
#include "import/text_widths.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>

#include "import/position_units.h"
#include "input/input_reader.h"
#include "input/input_source.h"
#include "input/row_splitter.h"
#include "input/sexagesimal.h"
#include "input/spread_sample.h"
#include "input/table_form.h"
#include "input/table_text.h"
#include "input/typed_rows.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {


constexpr auto isDigit = isAsciiDigit;

// A decimal number as catalogs write them: "12", "-0.5", "+1.2e-3", ".5".
bool isNumber(std::string_view s, bool& integer, double& v) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return false;
  integer = s.find_first_of(".eE") == std::string_view::npos;
  return true;
}

// "12 34 56.7", "12:34:56.7", "-05 06", "+05:06:07": two or three parts of
// digits (the last with a fraction), after an optional sign.
bool isSexagesimal(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  int parts = 0;
  while (true) {
    const std::size_t begin = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    if (i == begin) return false;
    ++parts;
    if (i < s.size() && s[i] == '.') {
      ++i;
      while (i < s.size() && isDigit(s[i])) ++i;
      return i == s.size() && parts >= 2;
    }
    if (i == s.size()) return parts >= 2;
    if (s[i] == ':') ++i;
    else if (s[i] == ' ') while (i < s.size() && s[i] == ' ') ++i;
    else return false;
    if (parts == 3) return false;
  }
}

void count(ColumnSample& c, std::string_view cell) {
  c.widest = std::max(c.widest, cell.size());
  const std::string_view t = trimmed(cell);
  // "-" and "--" stand for no number in a column of numbers; a column of
  // signs or texts is still told by its other cells.
  if (isMissingNumber(t)) return;
  ++c.values;
  if (!c.distinct.done()) c.distinct.add(t);
  bool integer = false;
  double v = 0;
  if (isNumber(t, integer, v)) {
    ++c.numbers;
    if (integer) ++c.integers;
    if (std::isfinite(v)) c.largest = std::max(c.largest, std::fabs(v));
    return;
  }
  if (c.firstOther.empty()) c.firstOther = t.substr(0, 40);
  if (isSexagesimal(t) || readsAsSexagesimal(t)) ++c.sexagesimal;  // also "05h34m31.97s", "+22d00m52.2s"
}

// A row whose cells are the names of the columns, in their order: the
// header row again, as a file made by joining files holds it.
bool repeatsHeader(const RowSplitter& cells, const TableLayout& layout) {
  if (cells.size() != layout.columns.size()) return false;
  for (std::size_t i = 0; i < cells.size(); ++i)
    if (trimmed(cells.cell(i)) != trimmed(layout.columns[i].name)) return false;
  return true;
}

// The Fortran-like letter (and width) of a datatype; "" when it says
// nothing of text or number.
std::string formatOfDatatype(std::string_view d, TableForm form) {
  const std::string lower = asciiLowered(d);
  if (lower.empty()) return {};
  if (form == TableForm::Mrt) return std::string(d);
  const int width = declaredTextWidth(d);
  if (width > 0) return "A" + std::to_string(width);
  if (lower == "string" || lower == "bool" || lower == "boolean" || lower.rfind("char", 0) == 0 ||
      lower.rfind("unicodechar", 0) == 0 || lower.rfind("complex", 0) == 0 || lower == "l" || lower == "a" ||
      lower == "date")
    return "A";
  if (lower.rfind("int", 0) == 0 || lower.rfind("uint", 0) == 0 || lower == "short" || lower == "long" ||
      lower == "unsignedbyte" || lower == "b" || lower == "i" || lower == "j" || lower == "k")
    return "I";
  if (lower.rfind("float", 0) == 0 || lower == "double" || lower == "real" || lower == "e" || lower == "d") return "F";
  return {};
}

// "12 34 56.7" cells of an MRT column, from its sampled bytes.
void sampleBytes(ColumnSample& c, const std::vector<std::string>& lines, int first, int last) {
  c = {};
  for (const std::string& l : lines) {
    const std::size_t from = static_cast<std::size_t>(first) - 1;
    count(c, from < l.size() ? std::string_view(l).substr(from, static_cast<std::size_t>(last - first + 1)) : "");
  }
}

// The line end the sample is read with: CR for a text whose lines end in
// CR alone, else LF with a CR before it dropped.
int sampleEol(FileSystem& fs, const std::string& path) {
  return EolDetector::detectEol(fs, path) == kEolCr ? kEolCr : kEolCrLf;
}

// The first row of a table read without a header row reads as names: every
// cell a text that is neither a number nor a position in one cell, each a
// different one unless `repeats`.
bool firstRowNamesColumns(FileSystem& fs, const std::string& path, TableForm form, bool repeats = false) {
  RowSource rows(fs, path, {form, sampleEol(fs, path), false, {}});
  SourceRow row;
  if (!rows.next(row)) return false;
  RowSplitter splitter(rows.layout().delimiting);
  if (splitter.split(row.text) != RowStatus::Ok || splitter.size() == 0) return false;
  std::vector<std::string_view> seen;
  for (std::size_t i = 0; i < splitter.size(); ++i) {
    const std::string_view cell = trimmed(splitter.cell(i));
    bool integer = false;
    double v = 0;
    if (cell.empty() || isNumber(cell, integer, v) || isSexagesimal(cell) || readsAsSexagesimal(cell) ||
        (!repeats && std::find(seen.begin(), seen.end(), cell) != seen.end()))
      return false;
    seen.push_back(cell);
  }
  return true;
}

}  // namespace

void DistinctCells::add(std::string_view cell) {
  if (done()) return;
  ++cells;
  const std::size_t h = std::hash<std::string_view>{}(cell);
  if (std::find(hashes.begin(), hashes.end(), h) == hashes.end()) hashes.push_back(h);
}

TableSample readTableSample(FileSystem& fs, const std::string& path, const InputFormat& format,
                            const std::vector<std::string>& parts) {
  TableSample sample;
  RowSource rows(fs, path, format);
  const TableLayout& layout = rows.layout();
  sample.columns.resize(layout.columns.size());
  if (isTypedForm(format.form)) {
    // A table of typed cells has no lines to sample in windows: its first
    // rows, each cell as its shortest text.
    std::vector<int> numbers;
    for (const TableColumn& c : layout.columns)
      if (isSelectableColumn(c, layout.form)) numbers.push_back(c.number);
    rows.selectColumns(numbers);
    rows.setRowLimit(static_cast<std::int64_t>(kSampleRows));
    SourceRow row;
    while (rows.next(row)) {
      // The cells of the columns selected, in their order.
      for (std::size_t k = 0; k < numbers.size(); ++k)
        count(sample.columns[static_cast<std::size_t>(numbers[k] - 1)], cellText(row.cells[k]));
      ++sample.rows;
    }
    return sample;
  }

  RowSplitter splitter(layout.delimiting);
  const bool byBytes = hasDescribedBytes(layout.form);
  rows.close();
  // The head, evenly spaced places and the tail of a large file: widths
  // and values seen beyond the first rows.
  const SampleExtent extent =
      sampleRows(fs, parts.empty() ? std::vector<std::string>{path} : parts, format, {kSampleRows, kSampleBytes},
                 [&](std::string_view line) {
    if (byBytes) {
      if (trimmed(line).empty()) return;
      sample.lines.emplace_back(line);
      ++sample.rows;
      return;
    }
    if (splitter.split(line) != RowStatus::Ok) return;
    if (format.headerRow && repeatsHeader(splitter, layout)) {
      ++sample.repeatedHeaders;
      return;
    }
    ++sample.rows;
    for (std::size_t i = 0; i < splitter.size() && i < sample.columns.size(); ++i) count(sample.columns[i], splitter.cell(i));
  });
  sample.whole = extent.whole;
  if (byBytes)
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
      sampleBytes(sample.columns[i], sample.lines, layout.columns[i].firstByte, layout.columns[i].lastByte);
  return sample;
}

std::string normalizedUnit(std::string_view unit) {
  unit = trimmed(unit);
  // "Angle[deg]", "Magnitude[mag]": a quantity's name with its unit in brackets.
  if (const std::size_t open = unit.find('['); open != std::string_view::npos && open > 0 && unit.back() == ']' &&
      std::all_of(unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(open), isAsciiLetter))
    return normalizedUnit(unit.substr(open + 1, unit.size() - open - 2));
  std::string u;
  for (char c : unit)
    if (c != '"' && c != '\'') u += c;
  std::string compact;
  for (char c : u)
    if (c != ' ') compact += c;
  if (compact == "---" || compact == "-") return {};
  if (compact.find(':') != std::string::npos) return compact;  // "h:m:s", "d:m:s"
  static const std::map<std::string, std::string, std::less<>> kWords = [] {
    std::map<std::string, std::string, std::less<>> words = {
        {"arcminute", "arcmin"}, {"arcsecond", "arcsec"}, {"milliarcsecond", "mas"}, {"year", "yr"},
        {"day", "d"}, {"magnitude", "mag"}, {"mags", "mag"}, {"radian", "rad"}, {"radians", "rad"},
        {"minute", "min"}, {"second", "s"}};
    for (const RaUnitWord& w : kRaUnitWords)
      if (w.declared && w.word != raUnitSymbol(w.unit)) words.emplace(w.word, raUnitSymbol(w.unit));
    return words;
  }();
  // Factors as the FITS, VOUnit and CDS grammars write them: "." or blanks
  // (or a single "*") multiply, "/" divides what follows, and a power
  // follows its factor as "**p", "^p", "^(p)" or a bare signed integer
  // ("yr-1", "arcsec2"); a negative power divides.
  struct Factor {
    std::string name;
    int power = 1;
  };
  std::vector<Factor> factors;
  std::vector<bool> divided;
  bool dividing = false;
  std::size_t i = 0;
  auto isSeparator = [&](std::size_t k) {
    return u[k] == ' ' || u[k] == '.' || (u[k] == '*' && (k + 1 >= u.size() || u[k + 1] != '*'));
  };
  // A power at `k`: an optional sign, digits, within optional "(" ")".
  auto readPower = [&](std::size_t& k, int& power) {
    std::size_t j = k;
    const bool open = j < u.size() && u[j] == '(';
    if (open) ++j;
    int sign = 1;
    if (j < u.size() && (u[j] == '+' || u[j] == '-')) sign = u[j++] == '-' ? -1 : 1;
    const std::size_t digits = j;
    int n = 0;
    while (j < u.size() && isDigit(u[j])) n = n * 10 + (u[j++] - '0');
    if (j == digits || n > 99) return false;
    if (open && !(j < u.size() && u[j] == ')')) return false;
    if (open) ++j;
    k = j;
    power = sign * n;
    return true;
  };
  while (i < u.size()) {
    if (isSeparator(i)) {
      ++i;
      continue;
    }
    if (u[i] == '/') {
      dividing = true;
      ++i;
      continue;
    }
    // A name runs up to a separator, a "/" or what starts a power.
    constexpr std::string_view kNotInName = "/*^+-()0123456789";
    std::size_t end = i;
    while (end < u.size() && !isSeparator(end) && kNotInName.find(u[end]) == std::string_view::npos) ++end;
    int power = 1;
    if (end == i) {
      // A bare power stands for its factor's, after a blank ("yr -1"); else
      // a number the unit starts with is kept as written.
      if (!factors.empty() && readPower(end, power)) {
        factors.back().power *= power;
        i = end;
        continue;
      }
      while (end < u.size() && !isSeparator(end) && u[end] != '/') ++end;
      factors.push_back({u.substr(i, end - i), 1});
      divided.push_back(dividing);
      i = end;
      continue;
    }
    std::string name = u.substr(i, end - i);
    if (auto w = kWords.find(name); w != kWords.end()) name = w->second;
    std::size_t k = end;
    for (std::string_view marker : {"**", "^"})
      if (u.compare(k, marker.size(), marker) == 0) {
        k += marker.size();
        break;
      }
    if (readPower(k, power)) end = k;
    factors.push_back({std::move(name), power});
    divided.push_back(dividing);
    i = end;
  }
  std::string numerator, denominator;
  for (std::size_t f = 0; f < factors.size(); ++f) {
    const Factor& factor = factors[f];
    if (factor.power == 0) continue;
    std::string& side = divided[f] != (factor.power < 0) ? denominator : numerator;
    const int power = factor.power < 0 ? -factor.power : factor.power;
    side += (side.empty() ? "" : ".") + factor.name + (power == 1 ? std::string() : std::to_string(power));
  }
  return denominator.empty() ? numerator : numerator + "/" + denominator;
}

ReadMeTable describedColumns(const TableLayout& layout, const TableSample& sample, std::vector<std::string>& notes,
                             std::vector<ColumnEvidence>* evidence) {
  ReadMeTable table;
  const bool byColumn = slotsNameColumns(layout.form);
  std::map<std::string, int> names;
  for (const TableColumn& c : layout.columns) ++names[c.name];
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    const TableColumn& c = layout.columns[i];
    if (!isSelectableColumn(c, layout.form)) {
      // A build reads one value or a text per cell: a column of arrays is
      // never proposed, for the build to refuse.
      notes.push_back("Column " + std::to_string(c.number) + (c.name.empty() ? "" : " (" + c.name + ")") +
                      " is left out: it is of type " + c.datatype +
                      ", which holds several values or a variable-length array per row, and a build reads one value "
                      "or a text per cell");
      continue;
    }
    ColumnSample seen = i < sample.columns.size() ? sample.columns[i] : ColumnSample{};
    ReadMeColumn r;
    r.label = c.name;
    r.units = normalizedUnit(c.unit);
    r.explanation = c.description;
    r.ucd = c.ucd;
    r.format = formatOfDatatype(c.datatype, layout.form);
    if (byColumn) {
      r.column = c.number;
      TextWidth width = textWidthOf(c, seen, sample.rows, sample.whole);
      r.width = width.width;
      r.widthSource = std::move(width.source);
      if (names[c.name] > 1 && !c.name.empty()) {
        // Found again by name, it would be the first of them: go by number.
        r.label.clear();
        notes.push_back("Column " + std::to_string(c.number) + " shares its name \"" + c.name +
                        "\" with another column: it is not mapped by name");
      }
    } else {
      // MRT and IPAC: the bytes of the layout, which (MRT) already reads a column where
      // the rows have it when they do not stand as described.
      r.firstByte = c.firstByte;
      r.lastByte = c.lastByte;
    }
    if (!byColumn && !sample.lines.empty()) sampleBytes(seen, sample.lines, r.firstByte, r.lastByte);
    if (r.format.empty() && seen.values > 0) {
      // A few cells that are no number (a stray text among a thousand
      // positions) leave a column of numbers one: the build refuses or
      // stores them as it does any such cell, and the note names them.
      const int others = seen.values - seen.numbers;
      const bool numbers = seen.numbers > 0 && static_cast<std::int64_t>(others) * 100 <= seen.values;
      r.format = numbers ? (seen.integers == seen.numbers ? "I" : "F") : "A";
      if (numbers && others > 0)
        notes.push_back("Column " + std::to_string(c.number) + (c.name.empty() ? "" : " (" + c.name + ")") +
                        " is taken as numbers, though " + std::to_string(others) + " of its " +
                        std::to_string(seen.values) + " sampled values " + (others == 1 ? "is" : "are") +
                        " no number, the first \"" + seen.firstOther + "\"");
    }
    r.sexagesimal = seen.values > 0 && seen.sexagesimal == seen.values;
    table.columns.push_back(std::move(r));
    if (evidence)
      evidence->push_back({static_cast<std::size_t>(seen.numbers), seen.largest, seen.distinct.cells,
                           seen.distinct.count(), seen.distinct.saturated(), seen.numbers > seen.integers});
  }
  return table;
}

TableImport importTableDescription(FileSystem& fs, const std::string& path, std::optional<TableForm> form,
                                   CatalogType type, CatalogDefinition& definition, std::optional<RaUnit> raUnit,
                                   const std::vector<std::string>& names, const std::vector<std::string>& parts) {
  TableImport result;
  // A FITS or VOTable form given is read as such: what detection would say
  // of the bytes (binary data, a text in UTF-16) does not matter.
  const bool typedGiven = form && isTypedForm(*form);
  const DetectedForm detected = typedGiven ? DetectedForm{*form, true} : detectTableForm(fs, path);
  const TableForm chosen = form.value_or(detected.form);
  if (chosen == TableForm::Fixed)
    throw Error(quoted(path) + (form ? " is read in fixed columns" : " looks like fixed columns") +
                ", which carry no description of the columns: give the catalog's ReadMe with --readme" +
                (form ? "" : ", or its form with --format"));
  const bool typed = isTypedForm(chosen);
  if (!names.empty() && (typed || chosen == TableForm::Ecsv || hasDescribedBytes(chosen)))
    throw UsageError(quoted(path) + " is read as " + std::string(tableFormName(chosen)) +
                     ", whose header names the columns: no names are given to them");
  if (!names.empty()) {
    result.headerRow = false;
  } else if (typed || chosen == TableForm::Ecsv || hasDescribedBytes(chosen)) {
    result.headerRow = true;
  } else if (chosen == detected.form) {
    result.headerRow = detected.hasHeaderRow;
  } else {
    result.headerRow = firstRowNamesColumns(fs, path, chosen);
  }
  const std::string tableName = definition.settings.table;
  result.layout = readInputLayout(fs, path, {chosen, kEolCrLf, result.headerRow, tableName});
  if (!names.empty()) {
    std::vector<TableColumn>& columns = result.layout.columns;
    if (names.size() != columns.size())
      throw UsageError(std::to_string(names.size()) + (names.size() == 1 ? " name is" : " names are") +
                       " given for the columns of " + quoted(path) + ", which has " + std::to_string(columns.size()) +
                       (columns.size() == 1 ? " column" : " columns") + " in its first row");
    for (std::size_t i = 0; i < columns.size(); ++i) columns[i].name = names[i];
    if (detected.hasHeaderRow && chosen == detected.form)
      result.notes.push_back("The first row is read as data, since names are given for the columns");
  }
  if (!result.headerRow && names.empty() && isDelimited(chosen) && !result.layout.columns.empty() &&
      firstRowNamesColumns(fs, path, chosen, true)) {
    // Detection takes no row for names that it cannot tell from data: a row
    // of texts alone, or one naming two columns alike. A project is made
    // from names, so such a row is taken for them when nothing follows it
    // or numbers or one-cell positions do, and the summary says so.
    const TableSample rows = readTableSample(fs, path, {chosen, sampleEol(fs, path), false, {}});
    if (rows.rows == 1 || std::any_of(rows.columns.begin(), rows.columns.end(),
                                      [](const ColumnSample& c) { return c.numbers > 0 || c.sexagesimal > 0; })) {
      result.headerRow = true;
      result.layout = readTableLayout(fs, path, chosen, true);
      result.notes.push_back("The first row is taken for the names of the columns");
    }
  }
  const TableLayout& layout = result.layout;

  std::string formNote = "Form: " + std::string(tableFormName(chosen)) + (form ? " (as given)" : " (detected)");
  if (isDelimited(chosen) && chosen != TableForm::Ecsv)
    formNote += result.headerRow ? ", a header row of names" : ", no header row";
  formNote += ", " + std::to_string(layout.columns.size()) + " columns";
  if (!typed) formNote += ", data from line " + std::to_string(layout.dataLine);
  if (!names.empty()) formNote += ", named as given";
  result.notes.push_back(formNote);
  for (const std::string& n : layout.notes) result.notes.push_back("In the header: " + n);

  definition.settings.format = chosen;
  // As detection has it: true for ECSV and MRT, whose headers describe the columns.
  definition.settings.headerrow = result.headerRow;
  // FITS and VOTable: the table read, as the caller chose it.
  definition.settings.table = typed ? tableName : std::string();

  const bool named = std::any_of(layout.columns.begin(), layout.columns.end(),
                                 [](const TableColumn& c) { return !c.name.empty(); });
  if (!named) {
    definition.setType(static_cast<int>(type));
    definition.rebuildFieldList();
    definition.resetSlots();
    definition.altNames.fill(0);
    result.notes.push_back("The columns have no names: nothing is mapped");
    return result;
  }
  const TableSample sample =
      readTableSample(fs, path, {chosen, typed ? kEolCrLf : sampleEol(fs, path), result.headerRow, tableName}, parts);
  if (sample.rows == 0) result.notes.push_back("No row of data follows the header");
  if (sample.repeatedHeaders > 0)
    result.notes.push_back(std::to_string(sample.repeatedHeaders) +
                           (sample.repeatedHeaders == 1 ? " row repeats" : " rows repeat") +
                           " the header row among the data, as in files joined together: " +
                           (sample.repeatedHeaders == 1 ? "it is" : "they are") +
                           " not taken as data, and a build refuses " +
                           (sample.repeatedHeaders == 1 ? "it" : "them") + " to the reject log");
  if (!sample.whole)
    result.notes.push_back("Sampled " + std::to_string(sample.rows) + " rows spread over the " +
                           (parts.size() > 1 ? "files" : "file"));
  MappingChoices choices;
  choices.raUnit = raUnit;
  result.table = describedColumns(layout, sample, result.notes, &choices.columns);
  result.evidence = choices.columns;
  TableMapping mapping = mapTableColumns(result.table, type, definition, choices);
  for (std::string& n : mapping.notes) result.notes.push_back(std::move(n));
  result.openRaUnit = std::move(mapping.openRaUnit);
  result.positionCandidates = std::move(mapping.positionCandidates);
  result.positionProblem = std::move(mapping.positionProblem);
  result.mapped = true;
  return result;
}

}  // namespace mirdal
