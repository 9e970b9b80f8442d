// Row splitting speed of delimited tables.
//
// Generates, in memory, 1,000,000 rows of a 20-column comma-separated star
// table as survey archives deliver them: a 19-digit source id, right
// ascension and declination with 12 decimals, their errors, parallax, two
// proper motions, three magnitudes, a quoted designation holding a comma
// (so every row takes the quoted path), and empty cells where a value is
// missing. Then splits every row with RowSplitter, alone and followed by
// reading the seven numbers a star catalog needs with std::from_chars (the
// least that a conversion does per row), and prints rows per second, best
// of 3. The whole conversion aims at 1,500,000 rows/s, so splitting must
// leave most of the time to the rest.
//
// Usage: table_bench [rows]

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "input/row_splitter.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 3;
constexpr char kHeader[] =
    "source_id,designation,ra,ra_error,dec,dec_error,parallax,parallax_error,pmra,pmra_error,pmdec,pmdec_error,"
    "phot_g_mean_mag,phot_bp_mean_mag,phot_rp_mean_mag,bp_rp,radial_velocity,ruwe,l,b\n";

std::string generate(long rows) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string text = kHeader;
  text.reserve(static_cast<std::size_t>(rows) * 260);
  char buf[512];
  for (long i = 0; i < rows; ++i) {
    const unsigned long long id = 4'000'000'000'000'000'000ULL + rng() % 1'000'000'000'000'000ULL;
    const double ra = 360.0 * unit(rng), dec = 180.0 * unit(rng) - 90.0;
    const double g = 6.0 + 15.0 * unit(rng);
    const bool hasColour = unit(rng) > 0.1, hasRv = unit(rng) > 0.8;
    char bp[32] = "", rp[32] = "", bprp[32] = "", rv[32] = "";
    if (hasColour) {
      std::snprintf(bp, sizeof bp, "%.6f", g + 0.4);
      std::snprintf(rp, sizeof rp, "%.6f", g - 0.6);
      std::snprintf(bprp, sizeof bprp, "%.6f", 1.0);
    }
    if (hasRv) std::snprintf(rv, sizeof rv, "%.3f", 100.0 * unit(rng) - 50.0);
    const int n = std::snprintf(buf, sizeof buf,
                                "%llu,\"Star %llu, A\",%.12f,%.4f,%.12f,%.4f,%.4f,%.4f,%.3f,%.3f,%.3f,%.3f,%.6f,%s,%s,%s,%s,"
                                "%.3f,%.6f,%.6f\n",
                                id, id, ra, unit(rng), dec, unit(rng), 10.0 * unit(rng), unit(rng),
                                200.0 * unit(rng) - 100.0, unit(rng), 200.0 * unit(rng) - 100.0, unit(rng), g, bp, rp,
                                bprp, rv, 0.8 + unit(rng), 360.0 * unit(rng), 180.0 * unit(rng) - 90.0);
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

struct Result {
  double seconds = 1e9;
  long rows = 0;
  long refused = 0;
  double checksum = 0;
};

// Splits every data row; with `readNumbers`, also reads ra, dec, parallax,
// the proper motions and the G and BP magnitudes.
Result run(std::string_view text, bool readNumbers) {
  Result best;
  for (int r = 0; r < kRepeats; ++r) {
    mirdal::RowSplitter splitter;
    Result res;
    const auto start = Clock::now();
    std::size_t pos = text.find('\n') + 1;  // past the row of names
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view line = text.substr(pos, end - pos);
      pos = end + 1;
      if (splitter.split(line) != mirdal::RowStatus::Ok || splitter.size() < 20) {
        ++res.refused;
        continue;
      }
      ++res.rows;
      if (!readNumbers) {
        res.checksum += static_cast<double>(splitter.spans()[2].length);
        continue;
      }
      for (std::size_t c : {2, 4, 6, 8, 10, 12, 13}) {
        const std::string_view cell = splitter.cell(c);
        if (mirdal::isMissingCell(cell)) continue;
        double v = 0;
        std::from_chars(cell.data(), cell.data() + cell.size(), v);
        res.checksum += v;
      }
    }
    res.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (res.seconds < best.seconds) best = res;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  std::printf("generating %ld rows ...\n", rows);
  const std::string text = generate(rows);
  std::printf("table: %.1f MB, %ld rows of 20 cells, best of %d\n", static_cast<double>(text.size()) / 1e6, rows,
              kRepeats);
  const double goal = 1'500'000;
  for (bool numbers : {false, true}) {
    const Result r = run(text, numbers);
    const double rate = static_cast<double>(r.rows) / r.seconds;
    std::printf("%-34s %8.3f s %12.0f rows/s %8.0f MB/s  %.1fx the conversion goal  (refused %ld, check %.6g)\n",
                numbers ? "split + 7 numbers (from_chars)" : "split", r.seconds, rate,
                static_cast<double>(text.size()) / r.seconds / 1e6, rate / goal, r.refused, r.checksum);
  }
  return 0;
}
