#include "input/votable_cells.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "input/row_splitter.h"
#include "util/coding.h"
#include "util/text.h"

namespace mirdal::votable {
namespace {

namespace be = big_endian;
using Kind = TableCell::Kind;

constexpr std::int64_t kMaxBinaryValue = 64 << 20;  // one variable-length array in a stream

constexpr std::array<signed char, 256> kBase64 = [] {
  std::array<signed char, 256> t{};
  for (auto& v : t) v = -1;
  const char* chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(chars[i])] = static_cast<signed char>(i);
  t[' '] = t['\n'] = t['\r'] = t['\t'] = -2;
  t['='] = -3;
  return t;
}();

void integer(const Field& f, std::int64_t v, PendingCell& cell) {
  if (!(f.hasNull && v == f.nullInteger)) cell = {Kind::Integer, 0, v, 0};
}
void real(const Field& f, double v, PendingCell& cell) {
  if (!std::isnan(v) && !(f.hasNull && v == f.nullReal)) cell = {Kind::Real, v, 0, 0};
}

// One value of a stream row into its places in the row that starts at
// `rowBase`; `ucs2` is room for a unicodeChar value as UTF-8.
void decodeCell(const Field& f, RowBuffer& rows, std::string& ucs2, const unsigned char* p, std::size_t count, bool null,
                std::size_t rowBase) {
  PendingCell cell;
  if (!null) {
    switch (f.base) {
      case Base::Char: {
        const char* s = reinterpret_cast<const char*>(p);
        const void* nul = std::memchr(s, 0, count);
        const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - s) : count;
        return rows.putText(f, std::string_view(s, length), rowBase);
      }
      case Base::UChar:
        ucs2.clear();
        appendUcs2(ucs2, p, count);
        return rows.putText(f, ucs2, rowBase);
      case Base::Boolean:
        if (*p == 'T' || *p == 't' || *p == '1') cell = {Kind::Integer, 0, 1, 0};
        else if (*p == 'F' || *p == 'f' || *p == '0') cell = {Kind::Integer, 0, 0, 0};
        break;
      case Base::Bit: cell = {Kind::Integer, 0, (*p & 0x80) ? 1 : 0, 0}; break;
      case Base::UByte: integer(f, *p, cell); break;
      case Base::Short: integer(f, be::load<std::int16_t>(p), cell); break;
      case Base::Int: integer(f, be::load<std::int32_t>(p), cell); break;
      case Base::Long: integer(f, be::load<std::int64_t>(p), cell); break;
      case Base::Float: real(f, be::load<float>(p), cell); break;
      case Base::Double: real(f, be::load<double>(p), cell); break;
      default: break;
    }
  }
  rows.put(f, cell, rowBase);
}

}  // namespace

// --- datatypes ---------------------------------------------------------------

Base baseOf(std::string_view t) {
  static constexpr std::pair<std::string_view, Base> kNames[] = {
      {"boolean", Base::Boolean}, {"bit", Base::Bit},       {"unsignedByte", Base::UByte},
      {"short", Base::Short},     {"int", Base::Int},       {"long", Base::Long},
      {"char", Base::Char},       {"unicodeChar", Base::UChar}, {"float", Base::Float},
      {"double", Base::Double},   {"floatComplex", Base::FComplex}, {"doubleComplex", Base::DComplex}};
  for (auto& [name, base] : kNames)
    if (t == name) return base;
  return Base::Unknown;
}

int elementBytes(Base b) {
  switch (b) {
    case Base::Boolean: case Base::UByte: case Base::Char: return 1;
    case Base::Short: case Base::UChar: return 2;
    case Base::Int: case Base::Float: return 4;
    case Base::Long: case Base::Double: case Base::FComplex: return 8;
    case Base::DComplex: return 16;
    case Base::Bit: case Base::Unknown: return 0;
  }
  return 0;
}

bool parseArraysize(std::string_view a, Field& f) {
  f.count = 1;
  f.variable = false;
  if (a.empty()) return true;
  std::size_t start = 0;
  while (start <= a.size()) {
    std::size_t x = a.find('x', start);
    std::string_view dim = a.substr(start, x == std::string_view::npos ? std::string_view::npos : x - start);
    if (!dim.empty() && dim.back() == '*') {
      if (x != std::string_view::npos) return false;  // only the last dimension may vary
      f.variable = true;
      dim.remove_suffix(1);
      if (dim.empty()) break;
    }
    std::int64_t n = 0;
    auto [p, ec] = std::from_chars(dim.data(), dim.data() + dim.size(), n);
    if (ec != std::errc() || p != dim.data() + dim.size() || n < 0 || n > (std::int64_t{1} << 31)) return false;
    if (!f.variable) f.count *= n;
    if (f.count > (std::int64_t{1} << 31)) return false;
    if (x == std::string_view::npos) break;
    start = x + 1;
  }
  return true;
}

bool parseInteger(std::string_view t, std::int64_t& v) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  bool negative = false;
  std::string_view digits = t;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    std::uint64_t u = 0;
    auto [p, ec] = std::from_chars(digits.data() + 2, digits.data() + digits.size(), u, 16);
    if (ec != std::errc() || p != digits.data() + digits.size()) return false;
    v = negative ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
    return true;
  }
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return ec == std::errc() && p == t.data() + t.size();
}

bool parseReal(std::string_view t, double& v) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec == std::errc::result_out_of_range) return p == t.data() + t.size();
  return ec == std::errc() && p == t.data() + t.size();
}

void appendUcs2(std::string& out, const unsigned char* p, std::size_t chars) {
  for (std::size_t i = 0; i < chars; ++i) {
    unsigned c = (unsigned{p[2 * i]} << 8) | p[2 * i + 1];
    if (c == 0) break;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

// --- rows decoded and not yet delivered ----------------------------------------

void RowBuffer::putText(const Field& f, std::string_view t, std::size_t rowBase) {
  t = trimmedBlanksAndNulsAtEnd(t);
  PendingCell cell;
  if (!t.empty() && !(f.hasNull && t == f.nullText)) {
    cell.kind = Kind::Text;
    cell.integer = static_cast<std::int64_t>(text_.size());
    cell.length = static_cast<std::uint32_t>(t.size());
    text_.append(t);
  }
  put(f, cell, rowBase);
}

std::size_t RowBuffer::deliver(std::vector<TableCell>& cells, std::size_t maxRows) {
  const std::size_t n = std::min(maxRows, rows_);
  const std::size_t count = n * width_;
  // The buffered cells and texts change hands; a text cell holds its
  // offset until here. Texts delivered before now may go.
  std::size_t fixed = 0;
  if (cells_.size() == count) {
    cells.swap(cells_);
    cells_.clear();
    out_.swap(text_);
    text_.clear();
    fixed = textCells_.size();
  } else {
    cells.assign(cells_.begin(), cells_.begin() + static_cast<std::ptrdiff_t>(count));
    cells_.erase(cells_.begin(), cells_.begin() + static_cast<std::ptrdiff_t>(count));
    out_ = text_;  // the rows left keep their offsets into text_
    while (fixed < textCells_.size() && textCells_[fixed].first < count) ++fixed;
  }
  for (std::size_t i = 0; i < fixed; ++i) {
    TableCell& c = cells[textCells_[i].first];
    c.text = std::string_view(out_.data() + c.integer, textCells_[i].second);
    c.integer = 0;
  }
  textCells_.erase(textCells_.begin(), textCells_.begin() + static_cast<std::ptrdiff_t>(fixed));
  for (auto& t : textCells_) t.first -= count;
  rows_ -= n;
  delivered_ += static_cast<std::int64_t>(n);
  return n;
}

// --- TABLEDATA ---------------------------------------------------------------

std::string tableDataCell(const Field& f, std::string_view td, std::string_view datatype, PendingCell& cell) {
  const std::string_view t = trimmed(td);
  if (t.empty()) return {};
  bool ok = true;
  switch (f.base) {
    case Base::Boolean: case Base::Bit:
      if (t == "T" || t == "t" || t == "1" || t == "true" || t == "TRUE" || t == "True") cell = {Kind::Integer, 0, 1, 0};
      else if (t == "F" || t == "f" || t == "0" || t == "false" || t == "FALSE" || t == "False") cell = {Kind::Integer, 0, 0, 0};
      else ok = t == "?" || isMissingNumber(t);
      break;
    case Base::UByte: case Base::Short: case Base::Int: case Base::Long: {
      std::int64_t v = 0;
      if (parseInteger(t, v)) {
        if (!(f.hasNull && v == f.nullInteger)) cell = {Kind::Integer, 0, v, 0};
      } else {
        ok = isMissingNumber(t);  // "NaN", "null", "-": how writers mark a missing value
      }
      break;
    }
    case Base::Float: case Base::Double: {
      double v = 0;
      if (parseReal(t, v)) {
        if (!std::isnan(v) && !(f.hasNull && v == f.nullReal)) cell = {Kind::Real, v, 0, 0};
      } else {
        ok = isMissingNumber(t);
      }
      break;
    }
    default: break;
  }
  if (ok) return {};
  return "\"" + std::string(t.substr(0, 40)) + "\" is not a value of type " + std::string(datatype);
}

std::string base64Cell(const Field& f, std::string_view td, std::string_view datatype, RowBuffer& rows,
                       std::vector<unsigned char>& bytes, std::string& ucs2) {
  bytes.clear();
  std::uint32_t quad = 0;
  int n = 0;
  for (const char ch : td) {
    const int v = kBase64[static_cast<unsigned char>(ch)];
    if (v == -2) continue;
    if (v == -3) break;  // the pad: what is left of the group is whole bytes
    if (v == -1) return "the TD holds base64 (encoding=\"base64\") with the byte " +
                        std::to_string(static_cast<unsigned char>(ch)) + ", which base64 has not";
    quad = (quad << 6) | static_cast<std::uint32_t>(v);
    if (++n == 4) {
      bytes.push_back(static_cast<unsigned char>(quad >> 16));
      bytes.push_back(static_cast<unsigned char>(quad >> 8));
      bytes.push_back(static_cast<unsigned char>(quad));
      n = 0;
      quad = 0;
    }
  }
  if (n == 2) bytes.push_back(static_cast<unsigned char>(quad >> 4));
  if (n == 3) {
    bytes.push_back(static_cast<unsigned char>(quad >> 10));
    bytes.push_back(static_cast<unsigned char>(quad >> 2));
  }
  const std::size_t rowBase = rows.rowBase();
  if (bytes.empty() && n == 0) {
    rows.put(f, PendingCell{}, rowBase);
    return {};
  }
  // The bytes of one value as a BINARY stream holds it: a text of any
  // length (a variable one with its 4-byte count ahead or not), else one
  // element of the datatype.
  const std::size_t size = bytes.size();
  const unsigned char* p = bytes.data();
  const std::size_t element = static_cast<std::size_t>(elementBytes(f.base));
  std::size_t count = 0;
  if (isText(f.base)) {
    if (f.variable && size >= 4 && std::size_t{be::load<std::uint32_t>(p)} * element == size - 4) p += 4;
    count = static_cast<std::size_t>(bytes.data() + size - p) / element;
    if (count * element != static_cast<std::size_t>(bytes.data() + size - p)) count = 0;
  } else if (f.base == Base::Bit ? size == 1 : size == element) {
    count = 1;
  }
  if (count == 0 || n == 1)
    return "the TD holds base64 (encoding=\"base64\") of " + std::to_string(size) +
           " bytes, which is not a value of type " + std::string(datatype) + "; it is not read";
  decodeCell(f, rows, ucs2, p, count, false, rowBase);
  return {};
}

// --- BINARY, BINARY2 -----------------------------------------------------------

bool StreamDecoder::appendBase64(std::string_view s) {
  const std::size_t old = bytes_.size();
  bytes_.resize(old + s.size() * 3 / 4 + 3);
  unsigned char* out = bytes_.data() + old;
  std::uint32_t quad = quad_;
  int n = quadSize_;
  const auto* in = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = in + s.size();
  // Whole groups of four, the common case, then one character at a time.
  if (n == 0) {
    while (end - in >= 4) {
      const int a = kBase64[in[0]], b = kBase64[in[1]], c = kBase64[in[2]], d = kBase64[in[3]];
      if ((a | b | c | d) < 0) break;
      const std::uint32_t v = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12) |
                              (static_cast<std::uint32_t>(c) << 6) | static_cast<std::uint32_t>(d);
      out[0] = static_cast<unsigned char>(v >> 16);
      out[1] = static_cast<unsigned char>(v >> 8);
      out[2] = static_cast<unsigned char>(v);
      out += 3;
      in += 4;
    }
  }
  for (; in < end; ++in) {
    const unsigned char ch = *in;
    const int v = kBase64[ch];
    if (v >= 0) {
      quad = (quad << 6) | static_cast<std::uint32_t>(v);
      if (++n == 4) {
        *out++ = static_cast<unsigned char>(quad >> 16);
        *out++ = static_cast<unsigned char>(quad >> 8);
        *out++ = static_cast<unsigned char>(quad);
        n = 0;
        quad = 0;
      }
    } else if (v == -3) {  // '=' pads the last group
      if (n == 2) *out++ = static_cast<unsigned char>(quad >> 4);
      else if (n == 3) {
        *out++ = static_cast<unsigned char>(quad >> 10);
        *out++ = static_cast<unsigned char>(quad >> 2);
      } else if (n == 1) {
        bytes_.resize(static_cast<std::size_t>(out - bytes_.data()));
        failure_ = "the base64 data has a lone character before its padding";
        return false;
      }
      n = 0;
      quad = 0;
    } else if (v == -1) {
      bytes_.resize(static_cast<std::size_t>(out - bytes_.data()));
      failure_ = "the base64 data holds the byte " + std::to_string(ch) + ", which base64 has not";
      return false;
    }
  }
  quad_ = quad;
  quadSize_ = n;
  bytes_.resize(static_cast<std::size_t>(out - bytes_.data()));
  return true;
}

bool StreamDecoder::decodeRows(const std::vector<Field>& fields, RowBuffer& rows, std::size_t target, bool all) {
  failure_.clear();
  const unsigned char* const data = bytes_.data();
  const std::size_t size = bytes_.size();
  needBytes_ = kDecodeBatch;
  while (offset_ < size && (all || (rows.rows() < target && !rows.full()))) {
    const std::size_t used = decodeRow(fields, rows, data + offset_, size - offset_);
    if (used == 0) {
      if (!failure_.empty()) break;
      // A row longer than a batch: try again once another batch is there,
      // unless what waits for it is already more than a row may hold.
      if (size - offset_ > kMaxRowBytes) {
        failure_ = "row " + std::to_string(rows.rowNumber()) + " of the binary data is longer than " +
                   std::to_string(kMaxRowBytes >> 20) + " MiB";
        break;
      }
      needBytes_ = size - offset_ + kDecodeBatch;
      break;
    }
    offset_ += used;
    rows.closeRow();
  }
  return failure_.empty();
}

void StreamDecoder::compact() {
  // Keep only the bytes not yet read.
  if (offset_ > 0 && (offset_ == bytes_.size() || offset_ > (1u << 20))) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset_));
    offset_ = 0;
  }
}

// One row from `p`: its size, or 0 when it is not all there yet (or on a
// value too long, with the reason in failure_).
std::size_t StreamDecoder::decodeRow(const std::vector<Field>& fields, RowBuffer& rows, const unsigned char* p,
                                     std::size_t n) {
  if (n < nullFlagBytes_) return 0;
  const unsigned char* flags = p;
  std::size_t at = nullFlagBytes_;
  // The cells go in place only once the whole row is there.
  const RowBuffer::Mark before = rows.mark();
  const std::size_t rowStart = rows.openRow();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    std::int64_t count = f.count;
    if (f.variable) {
      if (n - at < 4) {
        rows.undo(before);
        return 0;
      }
      // The count is a signed int: a negative one is no count at all.
      count = be::load<std::int32_t>(p + at);
      at += 4;
      if (count < 0) {
        failure_ = "row " + std::to_string(rows.rowNumber()) + ", column " + std::to_string(i + 1) +
                   ": a value of " + std::to_string(count) + " elements: its count is negative";
        rows.undo(before);
        return 0;
      }
      if (count * std::max(1, elementBytes(f.base)) > kMaxBinaryValue) {
        failure_ = "row " + std::to_string(rows.rowNumber()) + ", column " + std::to_string(i + 1) + ": a value of " +
                   std::to_string(count) + " elements, more than the " + std::to_string(kMaxBinaryValue) +
                   " bytes a cell may hold: the binary data is corrupt or no VOTable's";
        rows.undo(before);
        return 0;
      }
    }
    const std::size_t bytes = f.base == Base::Bit ? static_cast<std::size_t>((count + 7) / 8)
                                                   : static_cast<std::size_t>(count) * static_cast<std::size_t>(elementBytes(f.base));
    if (n - at < bytes) {
      rows.undo(before);
      return 0;
    }
    if (!f.slots.empty()) {
      const bool null = binary2_ && (flags[i >> 3] & (0x80u >> (i & 7)));
      decodeCell(f, rows, ucs2_, p + at, static_cast<std::size_t>(count), null, rowStart);
    }
    at += bytes;
  }
  return at;
}

}  // namespace mirdal::votable
