// The input line reader under each line-end setting: the lines it hands out
// are the file split at the line-end byte (one CR before the LF dropped for
// CR LF), whatever the block size; the position grows to the size; a line
// longer than the limit is refused with an error naming the file, after the
// lines before it were handed out; the end-of-line detection follows its
// order of tests on the first 4096 bytes.
//
// A file named ".gz" is read through zlib: whatever its bytes, the reader
// hands out lines and ends, or stops with an error naming the file; its
// position never passes the file's size.
//
// Input: byte 0 the line end (0 CR, 1 LF, 2 CR LF, 3 an out-of-range value
// read as CR LF), the block size and (bit 4) a ".gz" name; byte 1 a
// line-length limit (0: none); the rest is the file.

#include <string>
#include <vector>

#include "input/input_reader.h"
#include "fuzz_check.h"
#include "support/memory_file_system.h"
#include "util/error.h"

namespace {

using namespace mirdal;

struct Line {
  std::string bytes;  // as in the file, without the line-end byte
  bool ended;         // followed by the line-end byte
};

std::vector<Line> expectedLines(std::string_view file, int eol) {
  const char end = eol == kEolCr ? '\r' : '\n';
  std::vector<Line> lines;
  std::size_t begin = 0;
  for (;;) {
    std::size_t at = file.find(end, begin);
    if (at == std::string_view::npos) {
      // The last line has no line end; a file ending in one has no such line,
      // but an empty file has one empty line.
      if (begin < file.size() || lines.empty()) lines.push_back({std::string(file.substr(begin)), false});
      break;
    }
    lines.push_back({std::string(file.substr(begin, at - begin)), true});
    begin = at + 1;
  }
  return lines;
}

std::optional<int> expectedEol(std::string_view file) {
  std::string_view sample = file.substr(0, 4096);
  if (sample.find("\n\r") != std::string_view::npos || sample.find("\r\n") != std::string_view::npos) return 2;
  if (sample.find('\n') != std::string_view::npos) return 1;
  if (sample.find('\r') != std::string_view::npos) return 0;
  return std::nullopt;
}

void readCompressed(testing::MemoryFileSystem& fs, const std::string& path, int eol, std::size_t blockSize,
                    std::size_t limit) {
  InputReader reader(fs, blockSize);
  reader.setMaxLineLength(limit == 0 ? std::size_t{1} << 20 : limit);
  try {
    (void)EolDetector::detectEol(fs, path);
  } catch (const Error& e) {
    FUZZ_CHECK(std::string(e.what()).find(path) != std::string::npos);
  }
  try {
    reader.open(path, eol);
    std::int64_t position = 0;
    std::size_t lines = 0;
    do {
      (void)reader.readLine();
      FUZZ_CHECK(++lines <= (std::size_t{64} << 20));
      FUZZ_CHECK(reader.position() >= position && reader.position() <= reader.size());
      position = reader.position();
    } while (!reader.endOfInput());
    FUZZ_CHECK(reader.position() == reader.size());
  } catch (const Error& e) {
    FUZZ_CHECK(std::string(e.what()).find(path) != std::string::npos);
  }
  reader.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int eolSetting = data[0] & 3;
  const std::size_t blockSize = InputReader::kChunkSize * (1 + ((data[0] >> 2) & 3));
  const std::size_t limit = data[1] == 0 ? 0 : std::size_t{data[1]} * 41;
  const std::string_view file = fuzz::asText(data + 2, size - 2);
  const int eol = eolSetting == 3 ? kEolCrLf : eolSetting;

  testing::MemoryFileSystem fs;
  if (data[0] & 0x10) {
    fs.put("/in/catalog.txt.gz", file);
    readCompressed(fs, "/in/catalog.txt.gz", eolSetting, blockSize, limit);
    return 0;
  }
  const std::string path = "/in/catalog.txt";
  fs.put(path, file);

  FUZZ_CHECK(EolDetector::detectEol(fs, path) == expectedEol(file));

  const std::vector<Line> raw = expectedLines(file, eol);
  InputReader reader(fs, blockSize);
  if (limit != 0) reader.setMaxLineLength(limit);
  reader.open(path, eolSetting);
  FUZZ_CHECK(reader.size() == static_cast<std::int64_t>(file.size()));
  std::size_t n = 0;
  std::int64_t position = 0;
  try {
    do {
      FUZZ_CHECK(n < raw.size());
      std::string_view line = reader.readLine();
      std::string_view want = raw[n].bytes;
      // The limit holds for the line as it stands in the file, CR included.
      FUZZ_CHECK(limit == 0 || want.size() <= limit);
      // Only a CR right before an LF belongs to the line end; a lone CR, also
      // one that ends the file, stays in the line.
      if (eol == kEolCrLf && raw[n].ended && !want.empty() && want.back() == '\r') want.remove_suffix(1);
      FUZZ_CHECK(line == want);
      ++n;
      FUZZ_CHECK(reader.position() >= position);
      position = reader.position();
      FUZZ_CHECK(position <= reader.size());
    } while (!reader.endOfInput());
  } catch (const Error& e) {
    FUZZ_CHECK(limit != 0 && n < raw.size() && raw[n].bytes.size() > limit);
    FUZZ_CHECK(std::string(e.what()).find(path) != std::string::npos);
    reader.close();
    return 0;
  }
  FUZZ_CHECK(n == raw.size());
  FUZZ_CHECK(reader.position() == reader.size());
  FUZZ_CHECK(reader.readLine().empty());
  reader.close();
  FUZZ_CHECK(!reader.isOpen());
  return 0;
}
