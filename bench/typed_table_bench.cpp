// Reading speed and memory of FITS binary tables and BINARY2 VOTables.
//
// Writes, once per run into a temporary directory, 1,000,000 rows (or the
// count given) of a 20-column star table shaped like a survey extract:
// a 64-bit source id, positions, parallax and proper motions as doubles,
// their errors and three magnitudes as floats (some missing: NaN, or the
// null flag of BINARY2), and a 28-character designation. The same rows go
// into a FITS file (through cfitsio) and a VOTable with a BINARY2 stream.
// Then each is read with the typed row sources, every column and the seven
// a star catalog needs, in a child process so that the peak memory printed
// (the kernel's maximum resident set size, from wait4) is the reading's
// alone. Rows per second are the best of 3.
//
// Usage: typed_table_bench [rows] [directory]

#include <fitsio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "input/typed_rows.h"
#include "base64_lines.h"
#include "fits_status.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 3;
constexpr int kColumns = 20;

struct ColumnType {
  const char* name;
  char code;  // K D E A
};
constexpr ColumnType kColumnTypes[kColumns] = {
    {"source_id", 'K'}, {"ra", 'D'}, {"ra_error", 'E'}, {"dec", 'D'}, {"dec_error", 'E'},
    {"parallax", 'D'}, {"parallax_error", 'E'}, {"pmra", 'D'}, {"pmra_error", 'E'}, {"pmdec", 'D'},
    {"pmdec_error", 'E'}, {"phot_g_mean_mag", 'E'}, {"phot_bp_mean_mag", 'E'}, {"phot_rp_mean_mag", 'E'},
    {"bp_rp", 'E'}, {"radial_velocity", 'E'}, {"ruwe", 'E'}, {"l", 'D'}, {"b", 'D'}, {"designation", 'A'}};

// One generated row: numbers by column (NaN for a missing one) and the designation.
struct Rows {
  std::mt19937_64 rng{20261208};
  std::uniform_real_distribution<double> unit{0.0, 1.0};
  double values[kColumns];
  long long id = 0;
  char designation[29];
  void next() {
    id = 4'000'000'000'000'000'000LL + static_cast<long long>(rng() % 1'000'000'000'000'000ULL);
    for (int c = 1; c < kColumns - 1; ++c) values[c] = 360.0 * unit(rng) - 90.0;
    if (unit(rng) < 0.1) values[12] = values[13] = values[14] = NAN;
    if (unit(rng) < 0.8) values[15] = NAN;
    std::snprintf(designation, sizeof designation, "Gaia DR3 %lld", id);
  }
};

void writeFits(const std::string& path, long rows) {
  int status = 0;
  fitsfile* f = nullptr;
  const std::string target = "!" + path;
  fits_create_file(&f, target.c_str(), &status);
  std::vector<char*> ttype, tform, tunit;
  for (const ColumnType& s : kColumnTypes) {
    ttype.push_back(const_cast<char*>(s.name));
    tform.push_back(const_cast<char*>(s.code == 'A' ? "28A" : s.code == 'K' ? "K" : s.code == 'D' ? "D" : "E"));
    tunit.push_back(const_cast<char*>(""));
  }
  fits_create_tbl(f, BINARY_TBL, 0, kColumns, ttype.data(), tform.data(), tunit.data(), "STARS", &status);
  Rows gen;
  constexpr long kChunk = 10000;
  std::vector<long long> ids(kChunk);
  std::vector<std::vector<double>> numbers(kColumns, std::vector<double>(kChunk));
  std::vector<std::string> names(kChunk);
  std::vector<char*> namePtrs(kChunk);
  for (long first = 0; first < rows; first += kChunk) {
    const long n = std::min(kChunk, rows - first);
    for (long r = 0; r < n; ++r) {
      gen.next();
      ids[r] = gen.id;
      for (int c = 1; c < kColumns - 1; ++c) numbers[c][r] = gen.values[c];
      names[r] = gen.designation;
      namePtrs[r] = names[r].data();
    }
    fits_write_col(f, TLONGLONG, 1, first + 1, 1, n, ids.data(), &status);
    for (int c = 1; c < kColumns - 1; ++c) fits_write_col(f, TDOUBLE, c + 1, first + 1, 1, n, numbers[c].data(), &status);
    fits_write_col(f, TSTRING, kColumns, first + 1, 1, n, namePtrs.data(), &status);
    check(status, "writing the FITS table");
  }
  fits_close_file(f, &status);
  check(status, "closing the FITS table");
}

void put(std::string& out, const void* p, std::size_t n, bool bigEndian = true) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i) out += static_cast<char>(bigEndian ? b[n - 1 - i] : b[i]);
}

void writeVoTable(const std::string& path, long rows) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::exit(1);
  std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VOTABLE version=\"1.4\" "
             "xmlns=\"http://www.ivoa.net/xml/VOTable/v1.3\">\n<RESOURCE type=\"results\">\n<TABLE name=\"stars\">\n",
             f);
  for (const ColumnType& s : kColumnTypes)
    std::fprintf(f, "<FIELD name=\"%s\" datatype=\"%s\"%s/>\n", s.name,
                 s.code == 'K' ? "long" : s.code == 'D' ? "double" : s.code == 'E' ? "float" : "char",
                 s.code == 'A' ? " arraysize=\"*\"" : "");
  std::fputs("<DATA><BINARY2><STREAM encoding=\"base64\">\n", f);
  Rows gen;
  std::string bytes;
  auto flush = [&](bool last) { writeBase64Lines(f, bytes, last); };
  for (long r = 0; r < rows; ++r) {
    gen.next();
    unsigned char flags[3] = {};
    for (int c = 1; c < kColumns - 1; ++c)
      if (std::isnan(gen.values[c])) flags[c >> 3] |= static_cast<unsigned char>(0x80 >> (c & 7));
    bytes.append(reinterpret_cast<const char*>(flags), 3);
    put(bytes, &gen.id, 8);
    for (int c = 1; c < kColumns - 1; ++c) {
      if (kColumnTypes[c].code == 'D') {
        put(bytes, &gen.values[c], 8);
      } else {
        const float v = static_cast<float>(gen.values[c]);
        put(bytes, &v, 4);
      }
    }
    const std::uint32_t len = static_cast<std::uint32_t>(std::strlen(gen.designation));
    put(bytes, &len, 4);
    bytes.append(gen.designation, len);
    if (bytes.size() > (1 << 20)) flush(false);
  }
  flush(true);
  std::fputs("</STREAM></BINARY2></DATA>\n</TABLE>\n</RESOURCE>\n</VOTABLE>\n", f);
  std::fclose(f);
}

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Reads every row of the table, the given columns, best of kRepeats: rows/s
// of wall time, and in `cpuSpeed` of CPU time (less disturbed by other work).
double readSpeed(mirdal::TableForm form, const std::string& path, const std::vector<int>& columns, long& rows,
                 double& checksum, double& cpuSpeed) {
  double best = 1e9, bestCpu = 1e9;
  for (int r = 0; r < kRepeats; ++r) {
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    auto source = mirdal::openTypedTable(form, path, "", mirdal::FileSystem::real());
    source->selectColumns(columns);
    std::vector<mirdal::TableCell> cells;
    double sum = 0;
    long n = 0;
    while (std::size_t got = source->readRows(cells, 4096)) {
      n += static_cast<long>(got);
      for (const auto& c : cells) sum += c.kind == mirdal::TableCell::Kind::Real ? c.real : static_cast<double>(c.text.size());
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    bestCpu = std::min(bestCpu, cpuSeconds() - cpuStart);
    rows = n;
    checksum = sum;
  }
  cpuSpeed = static_cast<double>(rows) / bestCpu;
  return static_cast<double>(rows) / best;
}

void measure(const char* label, mirdal::TableForm form, const std::string& path, const std::vector<int>& columns) {
  std::fflush(stdout);
  const pid_t child = std::getenv("TYPED_TABLE_BENCH_NO_FORK") ? 0 : fork();
  if (child == 0) {
    long rows = 0;
    double checksum = 0, cpuSpeed = 0;
    try {
      const double speed = readSpeed(form, path, columns, rows, checksum, cpuSpeed);
      std::printf("%-34s %8ld rows %10.0f rows/s (CPU: %10.0f rows/s)", label, rows, speed, cpuSpeed);
    } catch (const std::exception& e) {
      std::printf("%s: %s\n", label, e.what());
      std::fflush(stdout);
      std::_Exit(1);
    }
    std::fflush(stdout);
    if (std::getenv("TYPED_TABLE_BENCH_NO_FORK")) {
      std::printf("\n");
      return;
    }
    std::_Exit(0);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (status != 0) std::printf("%s: the reading process failed (status %d)", label, status);
  std::printf("   peak %6.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const std::filesystem::path dir =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path() / ("typed_table_bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string fits = (dir / "stars.fits").string(), vot = (dir / "stars.b2.vot").string();
  writeFits(fits, rows);
  writeVoTable(vot, rows);
  std::printf("FITS %.1f MB, BINARY2 VOTable %.1f MB, %d columns\n", std::filesystem::file_size(fits) / 1e6,
              std::filesystem::file_size(vot) / 1e6, kColumns);
  std::vector<int> all, seven = {1, 2, 4, 6, 8, 10, 12};
  for (int c = 1; c <= kColumns; ++c) all.push_back(c);
  measure("FITS, all 20 columns", mirdal::TableForm::Fits, fits, all);
  measure("FITS, 7 columns", mirdal::TableForm::Fits, fits, seven);
  measure("VOTable BINARY2, all 20 columns", mirdal::TableForm::VoTable, vot, all);
  measure("VOTable BINARY2, 7 columns", mirdal::TableForm::VoTable, vot, seven);
  if (argc <= 2) std::filesystem::remove_all(dir);
  return 0;
}
