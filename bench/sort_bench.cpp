// External sort against an in-memory stable sort of the same index-like file.
//
// Usage: sort_bench [MB ...]        (default: 100 600)
//
// For each size a file of 20-byte records (8 bytes of coordinates, then 12
// random capital letters) is generated, then sorted by the name bytes 9..20
// twice, each in its own child process so that peak memory figures do not mix:
//   external          FixRecSort, SortMethod 1, compareNameFrom(9, 12, 20):
//                     CompareTextFrom(a, b, 9, 12) in the type the engine runs
//                     without an indirect call
//   external, lambda  the same compare as a plain lambda (any caller's compare)
//   in-memory         read the file, std::stable_sort of the records, write it
// All outputs must be byte-identical (every sort here is stable).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "sort/compare_from.h"
#include "sort/fix_rec_sort.h"
#include "util/error.h"
#include "util/file_system.h"

namespace {

using namespace mirdal;

constexpr int kRecord = 20;
using Record = std::array<std::uint8_t, kRecord>;

void generate(const std::string& path, std::int64_t records) {
  std::mt19937_64 random(20240601);
  std::uniform_int_distribution<int> letter('A', 'Z');
  std::uniform_real_distribution<float> ra(0.0f, 360.0f), dec(-90.0f, 90.0f);
  std::ofstream out(path, std::ios::binary);
  std::vector<char> chunk;
  chunk.reserve(1 << 20);
  for (std::int64_t i = 0; i < records; ++i) {
    float coordinates[2] = {ra(random), dec(random)};
    char rec[kRecord];
    std::memcpy(rec, coordinates, 8);
    for (int k = 8; k < kRecord; ++k) rec[k] = static_cast<char>(letter(random));
    chunk.insert(chunk.end(), rec, rec + kRecord);
    if (chunk.size() >= (1 << 20)) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

void externalSort(const std::string& in, const std::string& out, const RecordCompare& compare) {
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.SortFile(in, out, compare);
}

void inMemorySort(const std::string& in, const std::string& out) {
  FileSystem& fs = FileSystem::real();
  auto input = fs.open(in, OpenMode::Read);
  std::vector<Record> records(static_cast<std::size_t>(input->size() / kRecord));
  auto* bytes = reinterpret_cast<std::uint8_t*>(records.data());
  std::size_t total = records.size() * kRecord, got = 0;
  while (got < total) {
    std::size_t n = input->read(bytes + got, total - got);
    if (n == 0) throw Error("short read");
    got += n;
  }
  input->close();
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return CompareTextFrom(a.data(), b.data(), 9, 12) < 0; });
  auto output = fs.open(out, OpenMode::Create);
  output->write(bytes, total);
  output->close();
}

struct Measure {
  double seconds = 0;     // wall time of the work alone
  double cpuSeconds = 0;  // user + system time of the child, which does little else
  double peakMb = 0;
};

// Runs `work` in a child process; its wall time comes back through a pipe,
// its peak resident size from wait4.
template <class Work>
Measure inChild(Work work) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(1);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    double seconds = -1;
    try {
      auto start = std::chrono::steady_clock::now();
      work();
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
    if (::write(fds[1], &seconds, sizeof seconds) != sizeof seconds) ::_exit(2);
    ::_exit(seconds < 0 ? 1 : 0);
  }
  ::close(fds[1]);
  Measure m;
  if (::read(fds[0], &m.seconds, sizeof m.seconds) != sizeof m.seconds) m.seconds = -1;
  ::close(fds[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || m.seconds < 0) {
    std::fprintf(stderr, "benchmark child failed\n");
    std::exit(1);
  }
  m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  m.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return m;
}

bool sameFiles(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount()) return false;
    if (fa.gcount() == 0) return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> sizesMb;
  for (int i = 1; i < argc; ++i) sizesMb.push_back(std::atof(argv[i]));
  if (sizesMb.empty()) sizesMb = {100, 600};

  namespace fsys = std::filesystem;
  fsys::path work = fsys::temp_directory_path() / ("mirdal-sort-bench-" + std::to_string(::getpid()));
  fsys::create_directories(work);
  fsys::path previous = fsys::current_path();
  fsys::current_path(work);  // the engine's temporary file goes here

  // Wall figures suffer when other work shares the cores; the CPU figures
  // (user + system time of each child) are steadier.
  std::printf("%8s  %-17s %8s %8s %9s %9s\n", "MB", "case", "wall s", "cpu s", "MB/s", "peak MB");
  bool ok = true;
  for (double mb : sizesMb) {
    std::int64_t records = static_cast<std::int64_t>(mb * 1'000'000 / kRecord);
    double realMb = static_cast<double>(records * kRecord) / 1'000'000;
    std::string in = (work / "input.idx").string();
    generate(in, records);
    std::string outExternal = (work / "external.out").string();
    std::string outLambda = (work / "lambda.out").string();
    std::string outMemory = (work / "memory.out").string();
    auto lambda = [](const std::uint8_t* a, const std::uint8_t* b) { return CompareTextFrom(a, b, 9, 12); };
    Measure ext = inChild([&] { externalSort(in, outExternal, compareNameFrom(9, 12, kRecord)); });
    Measure lam = inChild([&] { externalSort(in, outLambda, lambda); });
    Measure mem = inChild([&] { inMemorySort(in, outMemory); });
    auto row = [&](const char* name, const Measure& m) {
      std::printf("%8.1f  %-17s %8.2f %8.2f %9.1f %9.1f\n", realMb, name, m.seconds, m.cpuSeconds, realMb / m.seconds,
                  m.peakMb);
    };
    row("external", ext);
    row("external, lambda", lam);
    row("in-memory", mem);
    bool same = sameFiles(outExternal, outMemory) && sameFiles(outLambda, outMemory);
    ok = ok && same;
    std::printf("%8.1f  external / in-memory: wall %.2f, cpu %.2f; lambda / in-memory: wall %.2f, cpu %.2f%s\n",
                realMb, ext.seconds / mem.seconds, ext.cpuSeconds / mem.cpuSeconds, lam.seconds / mem.seconds,
                lam.cpuSeconds / mem.cpuSeconds, same ? "" : "  OUTPUTS DIFFER");
    std::fflush(stdout);
    fsys::remove(in);
    fsys::remove(outExternal);
    fsys::remove(outLambda);
    fsys::remove(outMemory);
  }
  fsys::current_path(previous);
  fsys::remove_all(work);
  return ok ? 0 : 1;
}
