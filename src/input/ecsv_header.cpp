#include "input/ecsv_header.h"

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "util/error.h"
#include "util/interrupt.h"
#include "util/text.h"

namespace mirdal {
namespace detail {

namespace {

// The datatypes the ECSV standard allows.
constexpr std::array<std::string_view, 17> kEcsvDatatypes{
    "bool",    "int8",    "int16",   "int32",     "int64",      "uint8",      "uint16",    "uint32", "uint64",
    "float16", "float32", "float64", "float128", "complex64", "complex128", "complex256", "string"};

// An ECSV header holds a table's columns and its `meta`: a few thousand
// columns with long descriptions take about a megabyte and 30,000 YAML
// nodes. The tree yaml-cpp builds costs about half a kilobyte per node and
// is slow to build, so a longer header or one of more nodes is refused
// before any tree is built. Nodes are counted as the aliases expand them:
// an alias stands for a copy of its anchor's node wherever it is read.
constexpr std::size_t kMaxEcsvHeaderBytes = std::size_t{4} << 20;
constexpr long kMaxEcsvHeaderNodes = 100'000;
// Lists and mappings inside each other; a sky coordinate's metadata nests
// five or six deep.
constexpr int kMaxEcsvHeaderDepth = 64;

std::string headerLine(const HeaderLines& lines, std::int64_t line) {
  return quoted(lines.path()) + " line " + std::to_string(line) + ": ";
}

std::string tooDeep() {
  return "the ECSV header nests lists or mappings more than " + std::to_string(kMaxEcsvHeaderDepth) + " deep";
}

std::string tooManyNodes() {
  return "the ECSV header holds more than " + std::to_string(kMaxEcsvHeaderNodes) +
         " YAML nodes (lists, mappings and values, each alias counted as the node it repeats), more than the "
         "columns of any table need";
}

// Looks at the header's text before the YAML library does: the library
// reads an unclosed flow list ("[[[[...") into tokens before it reports a
// single node, which takes hundreds of bytes each. Counts the brackets and
// braces of flow lists and mappings, and the commas between their items,
// outside quotes, comments and block texts ("|", ">"); outside a flow
// collection a "[" or "{" opens one only where a value starts. A quote
// left open ends at a line that starts a top-level key (YAML does not let
// a quoted text go on there), so that no bracket hides in one. Throws Error
// at the first count that passes its bound.
void scanFlowCollections(std::string_view yaml, const HeaderLines& lines, std::int64_t firstLine) {
  int depth = 0;
  long items = 0;
  std::int64_t line = firstLine;
  char quote = 0;
  std::size_t blockTextIndent = std::string_view::npos;  // lines indented more are a block text's
  std::size_t lineStart = 0;
  while (lineStart < yaml.size()) {
    std::size_t lineEnd = yaml.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = yaml.size();
    const std::string_view text = yaml.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    const std::size_t indent = std::min(text.find_first_not_of(" \t"), text.size());
    if (indent == text.size()) {
      ++line;
      continue;
    }
    if (blockTextIndent != std::string_view::npos && indent > blockTextIndent) {
      ++line;
      continue;
    }
    blockTextIndent = std::string_view::npos;
    if (indent == 0 && depth == 0) quote = 0;
    char previous = '\n';  // the last character that is not a blank, '\n' at the line's start
    for (std::size_t i = indent; i < text.size(); ++i) {
      const char c = text[i];
      if (quote != 0) {
        if (c == '\\' && quote == '"') ++i;
        else if (c == quote) quote = 0;
        continue;
      }
      if (c == ' ' || c == '\t') continue;
      if (c == '#' && (i == indent || text[i - 1] == ' ' || text[i - 1] == '\t')) break;
      const bool valueStarts = previous == '\n' || previous == '-' || previous == ':' || previous == '?' ||
                               (depth > 0 && (previous == '[' || previous == '{' || previous == ','));
      if ((c == '"' || c == '\'') && valueStarts) {
        quote = c;
      } else if ((c == '[' || c == '{') && valueStarts) {
        if (++depth > kMaxEcsvHeaderDepth) throw Error(headerLine(lines, line) + tooDeep());
      } else if ((c == ']' || c == '}') && depth > 0) {
        --depth;
      } else if (c == ',' && depth > 0 && ++items > kMaxEcsvHeaderNodes) {
        throw Error(headerLine(lines, line) + tooManyNodes());
      } else if ((c == '|' || c == '>') && depth == 0 && valueStarts) {
        blockTextIndent = indent;
      }
      previous = c;
    }
    if (++line % 4096 == 0) stopIfInterrupted();
  }
}

// Walks the header's YAML as events, building nothing: counts its nodes,
// each alias as the number of nodes its anchor's node holds (so that a
// small header that stands for a huge one, aliases of aliases, is
// refused), and the depth of lists and mappings.
class HeaderCensus final : public YAML::EventHandler {
 public:
  HeaderCensus(const HeaderLines& lines, std::int64_t firstLine) : lines_(lines), firstLine_(firstLine) {}

  void OnDocumentStart(const YAML::Mark&) override {}
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark& mark, YAML::anchor_t anchor) override { leaf(mark, anchor); }
  void OnAlias(const YAML::Mark& mark, YAML::anchor_t anchor) override {
    // An anchor not yet closed is the alias's own ancestor: a loop.
    if (anchor >= anchorNodes_.size() || anchorNodes_[anchor] == 0)
      throw Error(where(mark) + "the ECSV header holds an alias (*) of a node that encloses it, or of none");
    add(mark, anchorNodes_[anchor]);
  }
  void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor, const std::string&) override {
    leaf(mark, anchor);
  }
  void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                       YAML::EmitterStyle::value) override {
    open(mark, anchor);
  }
  void OnSequenceEnd() override { close(); }
  void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                  YAML::EmitterStyle::value) override {
    open(mark, anchor);
  }
  void OnMapEnd() override { close(); }
  void OnAnchor(const YAML::Mark&, const std::string&) override {}

 private:
  struct Open {
    YAML::anchor_t anchor;
    long nodesBefore;
  };

  void leaf(const YAML::Mark& mark, YAML::anchor_t anchor) {
    add(mark, 1);
    if (anchor != YAML::NullAnchor) anchored(anchor, 1);
  }
  void open(const YAML::Mark& mark, YAML::anchor_t anchor) {
    if (open_.size() >= static_cast<std::size_t>(kMaxEcsvHeaderDepth)) throw Error(where(mark) + tooDeep());
    open_.push_back({anchor, nodes_});
    add(mark, 1);
  }
  void close() {
    if (open_.empty()) return;
    const Open o = open_.back();
    open_.pop_back();
    if (o.anchor != YAML::NullAnchor) anchored(o.anchor, nodes_ - o.nodesBefore);
  }
  void anchored(YAML::anchor_t anchor, long nodes) {
    if (anchor >= anchorNodes_.size()) anchorNodes_.resize(anchor + 1, 0);
    anchorNodes_[anchor] = nodes;
  }
  void add(const YAML::Mark& mark, long nodes) {
    if ((nodes_ += nodes) > kMaxEcsvHeaderNodes) throw Error(where(mark) + tooManyNodes());
    if (++events_ % 4096 == 0) stopIfInterrupted();
  }
  std::string where(const YAML::Mark& mark) const {
    return headerLine(lines_, firstLine_ + (mark.is_null() ? 0 : mark.line));
  }

  const HeaderLines& lines_;
  std::int64_t firstLine_;
  long nodes_ = 0, events_ = 0;
  std::vector<Open> open_;
  std::vector<long> anchorNodes_;  // by anchor: the nodes its node holds, aliases expanded; 0 while open
};

std::string scalarText(const YAML::Node& node, const std::string& what, const HeaderLines& lines,
                       std::int64_t yamlFirstLine) {
  if (node.IsNull()) return {};
  if (!node.IsScalar())
    throw Error(quoted(lines.path()) + " line " + std::to_string(yamlFirstLine + node.Mark().line) + ": " + what +
                " in the ECSV header is not a text");
  return node.Scalar();
}

}  // namespace

void readEcsvHeader(HeaderLines& lines, TableLayout& layout) {
  std::string_view line;
  if (!lines.next(line) || line.substr(0, 7) != "# %ECSV")
    throw Error(quoted(lines.path()) + " is not an ECSV table: its first line is not \"# %ECSV 1.0\"");
  const std::string version(trimmed(line.substr(7)));
  if (version.substr(0, 2) != "0." && version.substr(0, 2) != "1.")
    lines.fail("ECSV version \"" + version + "\" is not one this program reads (1.0 is)");

  std::string yaml;
  const std::int64_t yamlFirstLine = lines.number() + 1;
  bool names = false;
  while (lines.next(line)) {
    if (line.empty() || line.front() != '#') {
      names = true;
      break;
    }
    if (line.size() > 1 && line[1] != ' ') lines.fail("a line of the ECSV header does not start with \"# \"");
    if (line.size() > 1) yaml.append(line.substr(2));
    yaml += '\n';
    if (yaml.size() > kMaxEcsvHeaderBytes)
      lines.fail("the ECSV header is longer than " + std::to_string(kMaxEcsvHeaderBytes >> 20) + " MiB (" +
                 std::to_string(kMaxEcsvHeaderBytes) + " bytes), more than the columns of any table need");
  }
  const std::int64_t namesLine = lines.number();

  const YAML::Node root = [&] {
    try {
      scanFlowCollections(yaml, lines, yamlFirstLine);
      std::istringstream text(yaml);
      YAML::Parser parser(text);
      HeaderCensus census(lines, yamlFirstLine);
      parser.HandleNextDocument(census);
      return YAML::Load(yaml);
    } catch (const YAML::DeepRecursion& e) {
      throw Error(quoted(lines.path()) + " line " + std::to_string(yamlFirstLine + e.mark.line) +
                  ": the ECSV header nests lists or mappings more than " + std::to_string(e.depth()) + " deep");
    } catch (const YAML::Exception& e) {
      const std::int64_t at = e.mark.is_null() ? yamlFirstLine : yamlFirstLine + e.mark.line;
      throw Error(quoted(lines.path()) + " line " + std::to_string(at) + ": the ECSV header is not valid YAML: " +
                  e.msg);
    }
  }();
  const std::string where = quoted(lines.path()) + " line " + std::to_string(yamlFirstLine) + ": ";
  try {
    if (!root.IsMap()) throw Error(where + "the ECSV header is not a YAML mapping");
    const YAML::Node datatypes = root["datatype"];
    if (!datatypes || !datatypes.IsSequence() || datatypes.size() == 0)
      throw Error(where + "the ECSV header has no \"datatype\" list of columns");
    if (const YAML::Node d = root["delimiter"]) {
      const std::string delimiter = scalarText(d, "the delimiter", lines, yamlFirstLine);
      if (delimiter == ",")
        layout.delimiting = Delimiting{',', false};
      else if (delimiter != " ")
        throw Error(where + "the ECSV delimiter \"" + delimiter + "\" is neither a blank nor a comma");
    }
    for (const YAML::Node& item : datatypes) {
      const std::int64_t itemLine = yamlFirstLine + item.Mark().line;
      const std::string here = quoted(lines.path()) + " line " + std::to_string(itemLine) + ": ";
      if (!item.IsMap()) throw Error(here + "a column of the ECSV header is not a mapping");
      TableColumn column = numberedColumn(static_cast<int>(layout.columns.size()) + 1);
      if (!item["name"]) throw Error(here + "a column of the ECSV header has no name");
      column.name = scalarText(item["name"], "a column name", lines, yamlFirstLine);
      if (!item["datatype"]) throw Error(here + "column \"" + column.name + "\" of the ECSV header has no datatype");
      column.datatype = scalarText(item["datatype"], "a datatype", lines, yamlFirstLine);
      if (const YAML::Node u = item["unit"]) column.unit = scalarText(u, "a unit", lines, yamlFirstLine);
      if (const YAML::Node d = item["description"])
        column.description = scalarText(d, "a description", lines, yamlFirstLine);
      if (std::find(kEcsvDatatypes.begin(), kEcsvDatatypes.end(), column.datatype) == kEcsvDatatypes.end())
        layout.notes.push_back("line " + std::to_string(itemLine) + ": column \"" + column.name + "\" has datatype \"" +
                               column.datatype + "\", which is not one of ECSV's");
      layout.columns.push_back(std::move(column));
    }
  } catch (const YAML::Exception& e) {
    throw Error(where + "the ECSV header cannot be read: " + e.msg);
  }

  if (!names) throw Error(quoted(lines.path()) + " has no row of column names after its ECSV header");
  RowSplitter splitter(layout.delimiting);
  splitHeaderRow(splitter, line, lines, "names");
  for (std::size_t i = 0; i < std::max(splitter.size(), layout.columns.size()); ++i) {
    const std::string_view got = i < splitter.size() ? splitter.cell(i) : std::string_view("(none)");
    const std::string_view want = i < layout.columns.size() ? layout.columns[i].name : std::string_view("(none)");
    if (got != want)
      throw Error(quoted(lines.path()) + " line " + std::to_string(namesLine) +
                  ": the row of names does not repeat the ECSV header: name " + std::to_string(i + 1) + " is \"" +
                  std::string(got) + "\", the header has \"" + std::string(want) + "\"");
  }
  startDataAfter(lines, layout);
}

}  // namespace detail
}  // namespace mirdal
