#include "input/spread_sample.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "input/input_source.h"
#include "input/kept_reads.h"
#include "input/table_form.h"
#include "input/table_text.h"
#include "util/interrupt.h"

namespace mirdal {

namespace {

// Windows after the head of a plain file, the last at its end.
constexpr std::size_t kWindows = 8;

std::string sizeText(std::int64_t bytes) {
  char text[32];
  if (bytes >= (std::int64_t{1} << 30)) std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
  else std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

// Hands on the whole lines of `window`, whose first byte is the one before
// the place it was read from (none at the file's start), up to `rows`: the
// first of them, or the last where the window ends the file. Returns the
// rows handed on.
std::size_t windowRows(std::string_view window, bool fromStart, bool toEnd, char eol, bool delimited,
                       std::size_t rows, const std::function<void(std::string_view)>& row) {
  std::size_t begin = 0;
  if (!fromStart) {
    // The line the window begins in is whole only when the byte before it ends a line.
    const std::size_t end = window.find(eol);
    if (end == std::string_view::npos) return 0;
    begin = end + 1;
  }
  std::vector<std::string_view> lines;
  while (begin < window.size() && (toEnd || lines.size() < rows)) {
    std::size_t end = window.find(eol, begin);
    if (end == std::string_view::npos) {
      if (!toEnd) break;  // cut by the window
      end = window.size();
    }
    std::string_view line = window.substr(begin, end - begin);
    if (eol == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    begin = end + 1;
    if (delimited ? isCommentOrBlank(line) : line.empty()) continue;
    lines.push_back(line);
  }
  const std::size_t first = lines.size() > rows ? lines.size() - rows : 0;
  for (std::size_t i = first; i < lines.size(); ++i) row(lines[i]);
  return lines.size() - first;
}

}  // namespace

std::string SampleExtent::describe() const {
  const std::string files = std::to_string(parts) + (parts == 1 ? " file" : " files");
  if (whole) return "all " + std::to_string(rows) + " rows of " + files;
  std::string text = std::to_string(rows) + " rows spread over ";
  text += partsRead == parts ? files : std::to_string(partsRead) + " of " + files;
  return text + " (" + sizeText(bytesInAll) + ")";
}

std::vector<std::size_t> sampledParts(std::size_t parts, std::size_t most) {
  std::vector<std::size_t> chosen;
  if (parts <= most || most < 2) {
    for (std::size_t i = 0; i < std::min(parts, std::max<std::size_t>(most, 1)); ++i) chosen.push_back(i);
    return chosen;
  }
  for (std::size_t k = 0; k < most; ++k) chosen.push_back(k * (parts - 1) / (most - 1));
  return chosen;
}

SampleExtent sampleRows(FileSystem& fs, const std::vector<std::string>& paths, const InputFormat& format,
                        SampleBudget budget, const std::function<void(std::string_view row)>& row,
                        const TypedSample& typed, const std::function<void(RowSource& source)>& partOpened) {
  SampleExtent extent;
  extent.parts = paths.size();
  const std::vector<std::size_t> parts = sampledParts(paths.size(), kSampledPartsMost);
  extent.partsRead = parts.size();
  if (parts.size() < paths.size()) extent.whole = false;
  const bool delimited = isDelimited(format.form);
  const char eol = format.eol == kEolCr ? '\r' : '\n';
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const std::string& path = paths[parts[k]];
    // Each part its share of what the parts before it left.
    const std::size_t left = parts.size() - k;
    const std::size_t rowShare = (budget.rows - std::min(budget.rows, extent.rows)) / left;
    const std::size_t byteShare = budget.bytes / parts.size();
    // A compressed text is read from its start alone: what an earlier
    // sample of the import read of it is handed on again, and read on from.
    KeptReads* const kept =
        !isTypedForm(format.form) && isCompressedInputPath(path) ? KeptReads::current() : nullptr;
    std::unique_ptr<KeptReads::TextPart> part = kept ? kept->takeText(path, format) : nullptr;
    if (kept && !part) {
      part = std::make_unique<KeptReads::TextPart>();
      part->source = std::make_unique<RowSource>(fs, path, format);
      part->size = part->source->size();
    }
    const std::unique_ptr<RowSource> opened = part ? nullptr : std::make_unique<RowSource>(fs, path, format);
    RowSource& source = part ? *part->source : *opened;
    if (partOpened) partOpened(source);
    const std::int64_t size = part ? part->size : source.size();
    extent.bytesInAll += size;
    if (source.typed()) {
      bool more = false;
      if (typed) extent.rows += typed(source, rowShare, more);
      if (more || !typed) extent.whole = false;
      continue;
    }
    std::size_t rows = 0, bytes = 0;
    // Rows an earlier sample kept, handed on again before the source's.
    const std::size_t keptRows = part ? part->ends.size() : 0;
    std::size_t replayed = 0;
    auto nextRow = [&](std::string_view& line) {
      std::int64_t number = 0;
      if (!part) return source.nextLine(line, number);
      if (replayed < keptRows) {
        line = part->row(replayed++);
        return true;
      }
      if (part->ended) return false;
      if (!source.nextLine(line, number)) {
        part->ended = true;
        source.close();
        return false;
      }
      if (!kept->keeping() || !part->complete) return true;
      if (line.size() > kept->room() - std::min(kept->room(), part->text.size())) {
        part->complete = false;
        std::string().swap(part->text);
        std::vector<std::size_t>().swap(part->ends);
        return true;
      }
      part->text.append(line);
      part->ends.push_back(part->text.size());
      return true;
    };
    // Rows from where the source stands, up to the limits; true at the end of the file.
    auto readOn = [&](std::size_t rowLimit, std::size_t byteLimit) {
      std::string_view line;
      while (rows < rowLimit && bytes < byteLimit) {
        if (!nextRow(line)) return true;
        row(line);
        ++rows;
        bytes += line.size() + 1;
      }
      return false;
    };
    // The head, a quarter of the share where windows may take the rest.
    if (readOn(std::max<std::size_t>(1, rowShare / 4), std::max<std::size_t>(1, byteShare / 4))) {
      extent.rows += rows;
      if (kept) kept->keepText(path, format, std::move(part));
      continue;
    }
    if (part) {
      if (!readOn(rowShare, byteShare)) extent.whole = false;
      extent.rows += rows;
      kept->keepText(path, format, std::move(part));
      continue;
    }
    const std::int64_t headEnd = source.position();
    std::unique_ptr<InputSource> file = openInputSource(fs, path);
    const bool windows = !file->compressed() && headEnd < size;
    if (!windows) {
      file->close();
      if (!readOn(rowShare, byteShare)) extent.whole = false;
      source.close();
      extent.rows += rows;
      continue;
    }
    source.close();
    extent.whole = false;
    const std::size_t rowsEach = (rowShare - std::min(rowShare, rows)) / kWindows + 1;
    // A window holds about its rows, as long as the head's rows are.
    const double rowBytes = static_cast<double>(bytes) / static_cast<double>(std::max<std::size_t>(rows, 1));
    const auto bytesEach = static_cast<std::int64_t>(
        std::min(static_cast<double>((byteShare - std::min(byteShare, bytes)) / kWindows + 1),
                 rowBytes * static_cast<double>(rowsEach) * 1.25 + 4096));
    std::string buffer;
    for (std::size_t w = 1; w <= kWindows; ++w) {
      stopIfInterrupted();
      const std::int64_t room = size - headEnd - std::min(size - headEnd, bytesEach);
      // From the byte before the window, to tell whether its first line is whole.
      std::int64_t from = headEnd + room * static_cast<std::int64_t>(w) / static_cast<std::int64_t>(kWindows) - 1;
      from = std::max(from, file->fileBytesRead());
      if (from > file->fileBytesRead()) file->skip(from - file->fileBytesRead());
      const auto want = static_cast<std::size_t>(std::min(bytesEach + 1, size - from));
      buffer.resize(want);
      bool end = false;
      std::size_t got = 0;
      while (got < want && !end) {
        const std::size_t n = file->read(buffer.data() + got, want - got, end);
        if (n == 0) break;
        got += n;
      }
      buffer.resize(got);
      const bool toEnd = end || from + static_cast<std::int64_t>(got) >= size;
      rows += windowRows(buffer, false, toEnd, eol, delimited, rowsEach, row);
      if (toEnd) break;
    }
    file->close();
    extent.rows += rows;
  }
  return extent;
}

}  // namespace mirdal
