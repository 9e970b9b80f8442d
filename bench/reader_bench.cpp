// Input reading and number reading speed.
//
// Reads a 200 MB LF catalog of ~200-byte lines with InputReader and compares
// the rate with `cat FILE > /dev/null` timed in the same run (the file is in
// the page cache for both). Then reads a few million column texts with
// fieldNumber and compares with bare std::from_chars on the same texts.
// Last, reads a gzipped copy of the catalog (made once with zlib at level 6)
// and compares with `gzip -dc FILE > /dev/null` in the same run.
//
// Wall-clock times suffer when other work shares the machine, so CPU times
// (user + system, of this thread and of the cat child) are printed beside
// them and the ratios are given for both.
//
// Usage: reader_bench [cache-directory]   (default: bench/cache beside this file)
//        reader_bench --decode FILE          the text of FILE read as a build
//        reads it (decompressed beside on a thread of its own where the host
//        has two cores), lines not split: wall and CPU time of the process

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <zlib.h>
#include <time.h>

#include "convert/field_value.h"
#include "input/input_reader.h"
#include "input/input_source.h"
#include "util/file_system.h"
#include "util/text.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kFileBytes = 200'000'000;
constexpr int kRepeats = 3;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// User and system time of RUSAGE_SELF or RUSAGE_CHILDREN.
double rusageCpuSeconds(int who) {
  rusage ru{};
  getrusage(who, &ru);
  auto s = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6; };
  return s(ru.ru_utime) + s(ru.ru_stime);
}

double childrenCpuSeconds() { return rusageCpuSeconds(RUSAGE_CHILDREN); }

struct Timing {
  double wall = 1e9;
  double cpu = 1e9;
  void keepBest(double w, double c) {
    wall = std::min(wall, w);
    cpu = std::min(cpu, c);
  }
};

// One star-catalog-like line: fixed columns of digits, signs, blanks and text.
void appendLine(std::string& out, std::mt19937_64& rng) {
  char buf[256];
  auto u = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  int len = std::snprintf(buf, sizeof buf,
                          "%4d HD%06d  %02d %02d %04.1f %c%02d %02d %02d  %5.2f %5.2f %-20s  %+7.3f %+7.3f %6.4f "
                          "%-40s%-60s",
                          u(10000), u(1000000), u(24), u(60), u(600) / 10.0, u(2) ? '+' : '-', u(90), u(60), u(60),
                          u(1500) / 100.0 - 1.5, u(200) / 100.0 - 0.3, u(3) ? "G5V" : "K0III", u(2000) / 1000.0 - 1,
                          u(2000) / 1000.0 - 1, u(1000) / 10000.0, "comment text of the catalog line",
                          u(2) ? "" : "with an optional tail that makes line lengths vary");
  out.append(buf, static_cast<std::size_t>(len));
  out += '\n';
}

std::string ensureCatalog(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  std::string path = (dir / "reader_bench_200mb_lf.txt").string();
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) >= static_cast<std::uintmax_t>(kFileBytes) && !ec) return path;
  std::printf("generating %s ...\n", path.c_str());
  std::mt19937_64 rng(42);
  auto file = mirdal::FileSystem::real().open(path, mirdal::OpenMode::Create);
  std::string block;
  std::int64_t written = 0;
  while (written < kFileBytes) {
    block.clear();
    while (block.size() < (1 << 20)) appendLine(block, rng);
    file->write(block.data(), block.size());
    written += static_cast<std::int64_t>(block.size());
  }
  file->close();
  return path;
}

std::string ensureGzipCopy(const std::string& plain) {
  std::string path = plain + ".gz";
  std::error_code ec;
  auto packedTime = std::filesystem::last_write_time(path, ec);
  if (!ec && packedTime >= std::filesystem::last_write_time(plain)) return path;
  std::printf("compressing %s ...\n", path.c_str());
  auto in = mirdal::FileSystem::real().open(plain, mirdal::OpenMode::Read);
  gzFile out = gzopen(path.c_str(), "wb6");
  if (out == nullptr) throw std::runtime_error("cannot create " + path);
  std::vector<char> block(1 << 20);
  while (std::size_t n = in->read(block.data(), block.size()))
    if (gzwrite(out, block.data(), static_cast<unsigned>(n)) != static_cast<int>(n))
      throw std::runtime_error("cannot write " + path);
  if (gzclose(out) != Z_OK) throw std::runtime_error("cannot write " + path);
  return path;
}

void timeCommand(const std::string& command, Timing& t) {
  double c0 = childrenCpuSeconds();
  auto t0 = Clock::now();
  if (std::system(command.c_str()) != 0) std::printf("%s failed\n", command.c_str());
  t.keepBest(seconds(t0, Clock::now()), childrenCpuSeconds() - c0);
}

void timeCat(const std::string& path, Timing& t) { timeCommand("cat '" + path + "' > /dev/null", t); }

struct Counts {
  std::int64_t lines = 0;
  std::int64_t bytes = 0;
};

Counts timeReader(const std::string& path, int eol, Timing& t) {
  mirdal::InputReader reader(mirdal::FileSystem::real());
  double c0 = threadCpuSeconds();
  auto t0 = Clock::now();
  reader.open(path, eol);
  Counts n;
  do {
    std::string_view line = reader.readLine();
    ++n.lines;
    n.bytes += static_cast<std::int64_t>(line.size());
  } while (!reader.endOfInput());
  reader.close();
  t.keepBest(seconds(t0, Clock::now()), threadCpuSeconds() - c0);
  return n;
}

void benchReader(const std::string& path) {
  double size = static_cast<double>(std::filesystem::file_size(path));
  Timing warm, cat, lf, crlf;
  timeCat(path, warm);  // into the page cache
  Counts counts;
  for (int i = 0; i < kRepeats; ++i) {
    timeCat(path, cat);
    counts = timeReader(path, mirdal::kEolLf, lf);
    timeReader(path, mirdal::kEolCrLf, crlf);
  }
  auto mbps = [&](double s) { return size / s / 1e6; };
  std::printf("file: %.0f MB, %lld lines (%lld line bytes), best of %d\n", size / 1e6,
              static_cast<long long>(counts.lines), static_cast<long long>(counts.bytes), kRepeats);
  std::printf("%-26s %9s %9s %9s %9s %9s %9s\n", "", "wall s", "MB/s", "ratio", "cpu s", "MB/s", "ratio");
  auto row = [&](const char* name, const Timing& t) {
    std::printf("%-26s %9.3f %9.0f %9.2f %9.3f %9.0f %9.2f\n", name, t.wall, mbps(t.wall), t.wall / cat.wall, t.cpu,
                mbps(t.cpu), t.cpu / cat.cpu);
  };
  row("cat > /dev/null", cat);
  row("InputReader eol 1 (LF)", lf);
  row("InputReader eol 2 (CR LF)", crlf);
  std::printf("goal (LF: >= 1000 MB/s wall, within 3x of cat): %s\n",
              (mbps(lf.wall) >= 1000 && lf.wall / cat.wall <= 3) ? "met" : "NOT met");
}

// Reading speed of a gzipped catalog, against gzip's own decompression of the
// same file; the plain file read the same way gives the cost of decompression.
void benchGzip(const std::string& plain) {
  std::string path = ensureGzipCopy(plain);
  double textSize = static_cast<double>(std::filesystem::file_size(plain));
  double packedSize = static_cast<double>(std::filesystem::file_size(path));
  Timing warm, gzip, packed, unpacked;
  timeCat(path, warm);
  timeCat(plain, warm);
  Counts counts, plainCounts;
  for (int i = 0; i < kRepeats; ++i) {
    timeCommand("gzip -dc '" + path + "' > /dev/null", gzip);
    counts = timeReader(path, mirdal::kEolLf, packed);
    plainCounts = timeReader(plain, mirdal::kEolLf, unpacked);
  }
  std::printf("\ngzip: %.0f MB compressed (%.0f MB of text, ratio %.2f), %lld lines (%s the plain file's), best of %d\n",
              packedSize / 1e6, textSize / 1e6, textSize / packedSize, static_cast<long long>(counts.lines),
              counts.lines == plainCounts.lines && counts.bytes == plainCounts.bytes ? "same as" : "NOT", kRepeats);
  std::printf("%-30s %9s %11s %9s %9s %11s %9s\n", "", "wall s", "text MB/s", "ratio", "cpu s", "text MB/s", "ratio");
  auto row = [&](const char* name, const Timing& t) {
    std::printf("%-30s %9.3f %11.0f %9.2f %9.3f %11.0f %9.2f\n", name, t.wall, textSize / t.wall / 1e6,
                t.wall / gzip.wall, t.cpu, textSize / t.cpu / 1e6, t.cpu / gzip.cpu);
  };
  row("gzip -dc > /dev/null", gzip);
  row("InputReader .gz eol 1 (LF)", packed);
  row("InputReader plain eol 1 (LF)", unpacked);
  std::printf("goal (.gz within 1.5x of gzip -dc): %s\n", packed.wall / gzip.wall <= 1.5 ? "met" : "NOT met");
}

void benchNumbers() {
  // Column texts as catalogs write them: padded, signed, with and without
  // fraction and exponent, some blank or malformed.
  constexpr int kFields = 4'000'000;
  std::mt19937_64 rng(7);
  std::string text;
  std::vector<mirdal::FieldSlot> slots;
  std::vector<std::pair<std::size_t, std::size_t>> trimmedSpans;
  text.reserve(static_cast<std::size_t>(kFields) * 10);
  slots.reserve(kFields);
  trimmedSpans.reserve(kFields);
  for (int i = 0; i < kFields; ++i) {
    char buf[32];
    int len;
    switch (rng() % 8) {
      case 0: len = std::snprintf(buf, sizeof buf, " %6.2f", static_cast<double>(rng() % 200000) / 100 - 1000); break;
      case 1: len = std::snprintf(buf, sizeof buf, "%+7.3f", static_cast<double>(rng() % 2000000) / 1000 - 1000); break;
      case 2: len = std::snprintf(buf, sizeof buf, "%5d", static_cast<int>(rng() % 100000)); break;
      case 3: len = std::snprintf(buf, sizeof buf, "%9.3e", static_cast<double>(rng() % 1000000) * 1e-3); break;
      case 4: len = std::snprintf(buf, sizeof buf, "     "); break;
      case 5: len = std::snprintf(buf, sizeof buf, "%4.1f ", static_cast<double>(rng() % 1000) / 10); break;
      case 6: len = std::snprintf(buf, sizeof buf, "%02d", static_cast<int>(rng() % 60)); break;
      default: len = std::snprintf(buf, sizeof buf, "%.10f", static_cast<double>(rng() % 1000000) / 7e5); break;
    }
    mirdal::FieldSlot s;
    s.firstChar = static_cast<std::int32_t>(text.size() + 1);
    s.length = len;
    s.calcA = 1.0;
    s.calcB = 0.0;
    slots.push_back(s);
    std::string_view t = mirdal::trimmed(std::string_view(buf, static_cast<std::size_t>(len)));
    trimmedSpans.emplace_back(text.size() + static_cast<std::size_t>(t.data() - buf), t.size());
    text.append(buf, static_cast<std::size_t>(len));
  }
  std::string_view line = text;

  Timing ours, base;
  double sum = 0, sumBase = 0;
  for (int rep = 0; rep < kRepeats; ++rep) {
    double c0 = threadCpuSeconds();
    auto t0 = Clock::now();
    double s = 0;
    for (const auto& slot : slots) s += mirdal::fieldNumber(line, slot, 0.0);
    ours.keepBest(seconds(t0, Clock::now()), threadCpuSeconds() - c0);
    sum = s;

    c0 = threadCpuSeconds();
    t0 = Clock::now();
    s = 0;
    for (const auto& [off, n] : trimmedSpans) {
      double v = 0;
      std::from_chars(text.data() + off, text.data() + off + n, v);
      s += v;
    }
    base.keepBest(seconds(t0, Clock::now()), threadCpuSeconds() - c0);
    sumBase = s;
  }
  auto ns = [&](double s) { return s / kFields * 1e9; };
  std::printf("\nnumbers: %d column texts, best of %d       wall ns/field   cpu ns/field\n", kFields, kRepeats);
  std::printf("fieldNumber (cut, trim, check, read)      %9.1f      %9.1f   (checksum %.6g)\n", ns(ours.wall),
              ns(ours.cpu), sum);
  std::printf("bare from_chars on pre-trimmed texts      %9.1f      %9.1f   (checksum %.6g, \"+\" texts fail)\n",
              ns(base.wall), ns(base.cpu), sumBase);
  std::printf("ratio to bare from_chars                  %9.2f      %9.2f\n", ours.wall / base.wall,
              ours.cpu / base.cpu);
}

// What the decompression alone costs a build: the text read in the blocks
// a build reads, nothing done with it.
void benchDecode(const std::string& path) {
  const auto start = Clock::now();
  const double cpu = rusageCpuSeconds(RUSAGE_SELF);
  const std::unique_ptr<mirdal::InputSource> source = mirdal::openInputSource(mirdal::FileSystem::real(), path);
  std::vector<char> block(mirdal::InputReader::kDefaultBlockSize);
  std::int64_t text = 0;
  for (bool atEnd = false; !atEnd;) text += static_cast<std::int64_t>(source->read(block.data(), block.size(), atEnd));
  source->close();
  std::printf("decoded %lld bytes: wall %.3f s, cpu %.3f s\n", static_cast<long long>(text),
              seconds(start, Clock::now()), rusageCpuSeconds(RUSAGE_SELF) - cpu);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--decode") {
    try {
      benchDecode(argv[2]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    return 0;
  }
  std::filesystem::path cache =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(__FILE__).parent_path() / "cache";
  try {
    std::string catalog = ensureCatalog(cache);
    benchReader(catalog);
    benchNumbers();
    benchGzip(catalog);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
