#include "input/row_splitter.h"

#include <cstring>

#include "util/text.h"

namespace mirdal {

namespace {

const char* findByte(const char* from, const char* end, char c) {
  return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(end - from)));
}

}  // namespace

std::string_view rowStatusText(RowStatus status) {
  switch (status) {
    case RowStatus::Ok:
      return "";
    case RowStatus::OpenQuote:
      return "the line ends inside a quoted cell";
    case RowStatus::TextAfterQuote:
      return "text follows the closing quote of a cell";
    case RowStatus::TooManyCells:
      return "more than 65536 cells";
    case RowStatus::TooLong:
      return "the line is longer than 4 GiB";
  }
  return "";
}

bool RowSplitter::add(std::size_t offset, std::size_t length, bool quoted, bool unescaped) {
  if (spans_.size() >= kMaxCells) return false;
  spans_.push_back(CellSpan{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length), quoted, unescaped});
  return true;
}

RowStatus RowSplitter::split(std::string_view line) {
  spans_.clear();
  scratch_.clear();
  problemColumn_ = 0;
  line_ = line.data();
  if (line.size() > kMaxRowBytes) {
    problemColumn_ = kMaxRowBytes + 1;
    return RowStatus::TooLong;
  }
  if (trimmed(line).empty()) return RowStatus::Ok;
  if (!delimiting_.enclosed || delimiting_.blankRuns) return splitCells(line);
  // The cells stand between the enclosing separators; offsets stay those of the line.
  std::size_t b = 0, e = line.size();
  while (b < e && isBlank(line[b])) ++b;
  while (e > b && isBlank(line[e - 1])) --e;
  const bool opened = line[b] == delimiting_.separator;
  if (opened) ++b;
  const bool closed = e > b && line[e - 1] == delimiting_.separator;
  if (closed) --e;
  if (opened && closed && trimmed(line.substr(b, e - b)).empty()) {
    // `| |`: one empty cell.
    add(b, 0, false, false);
    return RowStatus::Ok;
  }
  const RowStatus status = splitCells(line.substr(b, e - b));
  // The cells were split from the text after the opening separator: their
  // offsets become the line's (a cell copied to the scratch keeps its own).
  for (CellSpan& span : spans_)
    if (!span.unescaped) span.offset += static_cast<std::uint32_t>(b);
  if (status != RowStatus::Ok) problemColumn_ += b;
  return status;
}

RowStatus RowSplitter::splitCells(std::string_view line) {
  if (!delimiting_.blankRuns && !findByte(line.data(), line.data() + line.size(), '"')) return splitSeparated(line);
  return splitGeneral(line);
}

// The common case: one separator byte and no quote anywhere in the line.
RowStatus RowSplitter::splitSeparated(std::string_view line) {
  const char* const b = line.data();
  const char* const e = b + line.size();
  const char sep = delimiting_.separator;
  for (const char* p = b;;) {
    const char* q = findByte(p, e, sep);
    const char* cellEnd = q ? q : e;
    const char* s = p;
    while (s < cellEnd && isBlank(*s)) ++s;
    const char* t = cellEnd;
    while (t > s && isBlank(t[-1])) --t;
    if (!add(static_cast<std::size_t>(s - b), static_cast<std::size_t>(t - s), false, false)) {
      problemColumn_ = static_cast<std::size_t>(p - b) + 1;
      return RowStatus::TooManyCells;
    }
    if (!q || spans_.size() == cellLimit_) return RowStatus::Ok;
    p = q + 1;
  }
}

RowStatus RowSplitter::splitGeneral(std::string_view line) {
  const char* const b = line.data();
  const std::size_t n = line.size();
  const bool runs = delimiting_.blankRuns;
  const char sep = delimiting_.separator;
  // With runs of blanks, a blank never starts a cell; a tab separator is a
  // blank that does.
  auto leadingBlank = [&](char c) { return isBlank(c) && (runs || c != sep); };

  std::size_t i = 0;
  while (runs && i < n && isBlank(b[i])) ++i;
  for (;;) {
    const std::size_t cellStart = i;
    while (i < n && leadingBlank(b[i])) ++i;
    if (i < n && b[i] == '"') {
      const std::size_t open = i;
      std::size_t from = i + 1;
      std::size_t scratchStart = scratch_.size();
      bool escaped = false;
      std::size_t close;
      for (;;) {
        const char* f = findByte(b + from, b + n, '"');
        if (!f) {
          problemColumn_ = open + 1;
          return RowStatus::OpenQuote;
        }
        const std::size_t k = static_cast<std::size_t>(f - b);
        if (k + 1 < n && b[k + 1] == '"') {
          escaped = true;
          scratch_.append(b + from, k + 1 - from);
          from = k + 2;
          continue;
        }
        if (escaped) scratch_.append(b + from, k - from);
        close = k;
        break;
      }
      const bool added = escaped ? add(scratchStart, scratch_.size() - scratchStart, true, true)
                                 : add(open + 1, close - open - 1, true, false);
      if (!added) {
        problemColumn_ = cellStart + 1;
        return RowStatus::TooManyCells;
      }
      i = close + 1;
      if (spans_.size() == cellLimit_) return RowStatus::Ok;
      if (runs) {
        if (i == n) return RowStatus::Ok;
        if (!isBlank(b[i])) {
          problemColumn_ = i + 1;
          return RowStatus::TextAfterQuote;
        }
        while (i < n && isBlank(b[i])) ++i;
        if (i == n) return RowStatus::Ok;
        continue;
      }
      while (i < n && leadingBlank(b[i])) ++i;
      if (i == n) return RowStatus::Ok;
      if (b[i] != sep) {
        problemColumn_ = i + 1;
        return RowStatus::TextAfterQuote;
      }
      ++i;
      continue;
    }
    if (runs) {
      std::size_t e = i;
      while (e < n && !isBlank(b[e])) ++e;
      if (!add(i, e - i, false, false)) {
        problemColumn_ = cellStart + 1;
        return RowStatus::TooManyCells;
      }
      i = e;
      while (i < n && isBlank(b[i])) ++i;
      if (i == n || spans_.size() == cellLimit_) return RowStatus::Ok;
      continue;
    }
    const char* q = findByte(b + i, b + n, sep);
    const std::size_t cellEnd = q ? static_cast<std::size_t>(q - b) : n;
    std::size_t t = cellEnd;
    while (t > i && isBlank(b[t - 1])) --t;
    if (!add(i, t - i, false, false)) {
      problemColumn_ = cellStart + 1;
      return RowStatus::TooManyCells;
    }
    if (!q || spans_.size() == cellLimit_) return RowStatus::Ok;
    i = cellEnd + 1;
  }
}

bool RowSplitter::quoteStaysOpen(std::string_view nextLine) const {
  const char* const b = nextLine.data();
  const std::size_t n = nextLine.size();
  const bool runs = delimiting_.blankRuns;
  const char sep = delimiting_.separator;
  auto isSeparator = [&](char c) { return runs ? isBlank(c) : c == sep; };
  auto leadingBlank = [&](char c) { return isBlank(c) && (runs || c != sep); };
  std::size_t i = 0;
  bool inQuote = true;
  for (;;) {
    if (inQuote) {
      const char* f = n == i ? nullptr : findByte(b + i, b + n, '"');
      if (!f) return true;
      const std::size_t k = static_cast<std::size_t>(f - b);
      if (k + 1 < n && b[k + 1] == '"') {
        i = k + 2;
        continue;
      }
      inQuote = false;
      i = k + 1;
      // Only blanks may stand between the quote and the separator; anything
      // else is a row that split() refuses, so the quote counts as closed.
      if (runs) {
        if (i == n || !isBlank(b[i])) return false;
        continue;
      }
      while (i < n && leadingBlank(b[i])) ++i;
      if (i == n || b[i] != sep) return false;
      ++i;
      continue;
    }
    while (i < n && leadingBlank(b[i])) ++i;
    if (i < n && b[i] == '"') {
      inQuote = true;
      ++i;
      continue;
    }
    while (i < n && !isSeparator(b[i])) ++i;
    if (i == n) return false;
    ++i;
  }
}

bool isRuleLine(std::string_view line, const Delimiting& delimiting) {
  if (!delimiting.enclosed) return false;
  bool drawn = false;
  for (char c : line) {
    if (c == '-' || c == '=') {
      drawn = true;
    } else if (c != '+' && c != ':' && c != delimiting.separator && !isBlank(c)) {
      return false;
    }
  }
  return drawn;
}

bool isEnclosedRow(std::string_view line, char separator) {
  const std::string_view t = trimmed(line);
  return t.size() >= 2 && t.front() == separator && t.back() == separator;
}

bool isMissingCell(std::string_view cell, std::string_view nullMarker) {
  const std::string_view t = trimmed(cell);
  if (t.empty()) return true;
  if (t.size() == 3 && asciiLower(t[0]) == 'n' && asciiLower(t[1]) == 'a' && asciiLower(t[2]) == 'n') return true;
  if (t.size() == 4 && asciiLower(t[0]) == 'n' && asciiLower(t[1]) == 'u' && asciiLower(t[2]) == 'l' &&
      asciiLower(t[3]) == 'l')
    return true;
  return !nullMarker.empty() && (cell == nullMarker || t == nullMarker);
}

bool isMissingNumber(std::string_view cell) {
  const std::string_view t = trimmed(cell);
  // "\N": the null of database dumps (COPY, SELECT INTO OUTFILE).
  return t == "-" || t == "--" || t == "\\N" || isMissingCell(t);
}

}  // namespace mirdal
