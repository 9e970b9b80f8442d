// mirdal-dump: shows what a built catalog holds.
//
//   mirdal-dump [--records] [--region N] [--index] [--limit K] [--png FILE] DIR [BASENAME]

#include <signal.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/field_catalogue.h"
#include "output/catalog_reader.h"
#include "output/region_scheme.h"
#include "picture/sky_preview.h"
#include "util/error.h"
#include "util/interrupt.h"

namespace {

const char* kUsage =
    "Usage: mirdal-dump [--records] [--region N] [--index] [--limit K] [--png FILE] DIR [BASENAME]\n"
    "Prints the header of the catalog in DIR and the number of records of each region.\n"
    "  --records   also print the records as text\n"
    "  --region N  only region N\n"
    "  --index     print the name index\n"
    "  --limit K   print at most K records or index entries per listing (default 20, 0 = all)\n"
    "  --png FILE  also draw the whole sky with every record and the region grid into the\n"
    "              PNG picture FILE (RA 0h at the left; empty regions tinted red)\n"
    "  --version   print the program's name and version\n";

// Region files of the largest scheme.
constexpr int kMostRegions = 9537;

// A whole decimal number from lo to hi, or nothing: "abc", "12x", "-1" and
// values beyond the range are refused rather than read as 0 or wrapped.
std::optional<long long> countFrom(const std::string& text, long long lo, long long hi) {
  long long v = 0;
  const char* end = text.data() + text.size();
  auto r = std::from_chars(text.data(), end, v);
  if (text.empty() || r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return std::nullopt;
  return v;
}

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void printHeader(const mirdal::CatalogHeader& h) {
  std::printf("Catalog      %s  \"%s\"  (%s)\n", trimRight(h.shortName).c_str(), trimRight(h.longName).c_str(),
              h.magic.c_str());
  std::printf("Regions      %d\n", h.regionCount);
  std::printf("Record       %d bytes\n", h.recordLength);
  std::printf("Equinox      %g   Epoch %g   Max magnitude %g\n", h.equinox, h.epoch, h.magMax);
  std::printf("Defaults     A %d  B %d  C %d  D %d\n", h.defaultA, h.defaultB, h.defaultC, h.defaultD);
  std::printf("Index        name length %d, prefix alternate names %s, alternate-name flags ", h.indexNameLength,
              h.prefixAltNames ? "yes" : "no");
  for (bool f : h.altNameFlags) std::printf("%d", f ? 1 : 0);
  std::printf("\nFields       no. position length label\n");
  for (int k = 0; k < mirdal::CatalogHeader::kFieldCount; ++k) {
    if (h.lengths[k] == 0 && h.positions[k] == 0) continue;
    std::printf("             %3d %8d %6d %s\n", k + 1, h.positions[k], h.lengths[k], trimRight(h.labels[k]).c_str());
  }
}

void printRecord(const mirdal::CatalogReader& reader, std::string_view rec) {
  std::printf("  RA %11.6f DEC %+10.6f", mirdal::CatalogReader::raOf(rec), mirdal::CatalogReader::decOf(rec));
  for (const mirdal::FieldValue& v : reader.decode(rec)) {
    if (v.field <= mirdal::RecordField::Dec) continue;
    std::printf("  %s=", trimRight(v.label).c_str());
    if (auto* i = std::get_if<std::int64_t>(&v.value)) std::printf("%lld", static_cast<long long>(*i));
    else if (auto* d = std::get_if<double>(&v.value)) std::printf("%g", *d);
    else std::printf("\"%s\"", std::get<std::string>(v.value).c_str());
  }
  std::printf("\n");
}

// The command line, read.
struct Options {
  std::string dir, base, png;
  bool records = false, index = false;
  int onlyRegion = 0;
  long limit = 20;
};

// Reads the arguments into `o`. Returns an exit status when the program
// ends here (help, or a usage error already printed).
std::optional<int> readOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](const char* what) -> std::optional<std::string> {
      if (i + 1 >= argc) {
        std::cerr << "mirdal-dump: " << a << " needs " << what << "\n";
        return std::nullopt;
      }
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--version") {
      std::cout << "mirdal-dump " MIRDAL_VERSION "\n";
      return 0;
    } else if (a == "--records") {
      o.records = true;
    } else if (a == "--index") {
      o.index = true;
    } else if (a == "--region") {
      const std::optional<std::string> v = next("a region number");
      if (!v) return 2;
      const std::optional<long long> region = countFrom(*v, 1, kMostRegions);
      if (!region) {
        std::cerr << "mirdal-dump: --region needs a region number from 1 to " << kMostRegions << ", not \"" << *v
                  << "\"\n";
        return 2;
      }
      o.onlyRegion = static_cast<int>(*region);
    } else if (a == "--limit") {
      const std::optional<std::string> v = next("a count");
      if (!v) return 2;
      const std::optional<long long> count = countFrom(*v, 0, std::numeric_limits<long>::max());
      if (!count) {
        std::cerr << "mirdal-dump: --limit needs a count of 0 (all) or more, not \"" << *v << "\"\n";
        return 2;
      }
      o.limit = static_cast<long>(*count);
    } else if (a == "--png") {
      const std::optional<std::string> v = next("a file name");
      if (!v) return 2;
      o.png = *v;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "mirdal-dump: unknown option " << a << "\n" << kUsage;
      return 2;
    } else if (o.dir.empty()) {
      o.dir = a;
    } else if (o.base.empty()) {
      o.base = a;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (o.dir.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  return std::nullopt;
}

void printRegions(const mirdal::CatalogReader& reader, const Options& o) {
  long long total = 0;
  int empty = 0;
  std::printf("Records per region (empty regions not listed):\n");
  for (int r = 1; r <= reader.regionCount(); ++r) {
    if (o.onlyRegion && r != o.onlyRegion) continue;
    const long long n = reader.regionRecordCount(r);
    total += n;
    if (n == 0) {
      ++empty;
      continue;
    }
    std::printf("  %5d %-24s %lld\n", r, mirdal::regionFileName(reader.baseName(), reader.regionCount(), r).c_str(), n);
    if (o.records) {
      reader.forEachRecord(r, o.limit, [&](std::string_view rec) { printRecord(reader, rec); });
      if (o.limit > 0 && n > o.limit) std::printf("  ...\n");
    }
  }
  std::printf("Total        %lld records, %d empty regions\n", total, empty);
}

void printIndex(const mirdal::CatalogReader& reader, const Options& o) {
  if (!reader.hasIndex()) {
    std::printf("Index        none\n");
    return;
  }
  // Read a block at a time, and only as far as it is printed: an index may
  // be larger than the memory.
  const std::int64_t entries = reader.indexEntryCount();
  std::printf("Index        %lld names\n", static_cast<long long>(entries));
  if (!o.index) return;
  reader.forEachIndexEntry(o.limit, [](const mirdal::IndexEntry& e) {
    std::printf("  %-20s RA %11.6f DEC %+10.6f\n", trimRight(e.name).c_str(), e.ra, e.dec);
  });
  if (o.limit > 0 && entries > o.limit) std::printf("  ...\n");
}

void drawPicture(const mirdal::CatalogReader& reader, const std::string& png) {
  const mirdal::SkyPreview preview = mirdal::previewCatalog(reader, mirdal::FileSystem::real());
  const mirdal::RgbImage image = preview.render();
  mirdal::writePng(mirdal::FileSystem::real(), png, image);
  std::printf("Picture      %s, %d x %d pixels\n", png.c_str(), image.width(), image.height());
  if (preview.misplaced() > 0)
    std::printf("Misplaced    %lld records lie outside the region of their file\n",
                static_cast<long long>(preview.misplaced()));
}

// Ctrl-C and SIGTERM: the listing stops at its next block with "Aborted
// by user", and the program exits with 128 plus the signal.
std::atomic<int> g_stopSignal{0};

extern "C" void onStopSignal(int signal) {
  g_stopSignal.store(signal, std::memory_order_relaxed);
  mirdal::requestInterrupt();
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (std::optional<int> status = readOptions(argc, argv, o)) return *status;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  try {
    mirdal::CatalogReader reader(o.dir, o.base, mirdal::FileSystem::real());
    printHeader(reader.header());
    if (o.onlyRegion != 0 && o.onlyRegion > reader.regionCount()) {
      std::cerr << "mirdal-dump: region " << o.onlyRegion << " is outside 1.." << reader.regionCount() << "\n";
      return 2;
    }
    printRegions(reader, o);
    printIndex(reader, o);
    if (!o.png.empty()) drawPicture(reader, o.png);
    return 0;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::cerr << "mirdal-dump: " << e.what() << "\n";
    const int signal = g_stopSignal.load(std::memory_order_relaxed);
    return signal != 0 ? 128 + signal : 1;
  }
}
