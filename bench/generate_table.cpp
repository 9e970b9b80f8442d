// Writes the same synthetic stars four times, shaped like an extract of a
// survey archive: as CSV of 20 columns (an integer source id, RA and DEC in
// degrees with 12 digits, three magnitudes, parallax, two proper motions and
// their errors, a quoted designation holding a comma, empty cells where a
// survey has no value), as fixed columns holding the same texts, as a FITS
// binary table and as a BINARY2 VOTable (the numbers as doubles parsed from
// those texts, NaN or a null flag for an empty cell); then a project for
// each that builds the same catalog (732 regions, an index of the source
// ids).
//
//   generate_table --rows N --out DIR [--seed S]
//
// makes DIR/survey-N.{csv,txt,fits,vot} and DIR/survey-N-{csv,fixed,fits,vot}.prj,
// whose output directory is DIR/out.

#include <fitsio.h>

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/project_file.h"
#include "base64_lines.h"
#include "fits_status.h"

namespace {

struct Column {
  const char* name;
  int width;  // in the fixed-column file
};

constexpr Column kColumns[20] = {
    {"source_id", 19},  {"designation", 30}, {"ra", 17},          {"ra_error", 8},      {"dec", 17},
    {"dec_error", 8},   {"parallax", 10},    {"parallax_error", 8}, {"pmra", 10},       {"pmra_error", 8},
    {"pmdec", 10},      {"pmdec_error", 8},  {"phot_g_mean_mag", 9}, {"phot_bp_mean_mag", 9}, {"phot_rp_mean_mag", 9},
    {"radial_velocity", 9}, {"ruwe", 6},     {"l", 17},           {"b", 17},            {"teff_gspphot", 8},
};

std::string fixedField(const std::string& text, int width) {
  std::string s = text.substr(0, static_cast<std::size_t>(width));
  s.resize(static_cast<std::size_t>(width), ' ');
  return s;
}

void project(const std::string& path, const std::string& input, mirdal::TableForm form, const std::string& out) {
  mirdal::CatalogDefinition def;
  def.setRaType(3);
  def.setDecType(1);
  mirdal::BuildSettings& s = def.settings;
  s.shortname = "srv";
  s.longname = "Survey extract";
  s.inputfiles = {input};
  s.eol = 1;
  s.magmax = 21;
  s.numfile = 2;
  s.ouputdir = out;
  s.index = true;
  s.format = form;
  s.headerrow = form != mirdal::TableForm::Fixed;
  // At the star list's positions: RA, DEC, ID, V (G here), B, R, the proper
  // motions and the parallax (mas to arcsec).
  const struct {
    int position;
    int column;  // 0-based in kColumns
    int length;
    double calcA;
  } fields[] = {{0, 2, 1, 1},  {1, 4, 1, 1},  {2, 0, 19, 1},     {3, 12, 1, 1},    {5, 13, 1, 1},
                {6, 14, 1, 1}, {8, 8, 1, 1e-3}, {9, 10, 1, 1e-3}, {11, 6, 1, 1e-3}};
  for (const auto& f : fields) {
    int first = f.column + 1;
    int length = f.length;
    if (form == mirdal::TableForm::Fixed) {
      first = 1;
      for (int c = 0; c < f.column; ++c) first += kColumns[c].width + 1;
      length = kColumns[f.column].width;
    } else {
      def.fieldNames[static_cast<std::size_t>(f.position)] = kColumns[f.column].name;
    }
    def.fieldSlots[static_cast<std::size_t>(f.position)] = {first, length, f.calcA, 0.0};
    def.setTicked(f.position, true);
  }
  mirdal::saveProject(path, def, mirdal::FileSystem::real());
}

// The rows of a chunk as the binary forms hold them: column 0 the id,
// column 1 the designation, the others doubles (NaN where the CSV cell is empty).
struct Chunk {
  std::vector<long long> ids;
  std::vector<std::string> names;
  std::vector<std::vector<double>> numbers = std::vector<std::vector<double>>(20);
  void clear() {
    ids.clear();
    names.clear();
    for (auto& n : numbers) n.clear();
  }
  void add(const std::vector<std::string>& cells) {
    ids.push_back(std::stoll(cells[0]));
    names.push_back(cells[1].substr(1, cells[1].size() - 2));
    for (int c = 2; c < 20; ++c) {
      const std::string& t = cells[static_cast<std::size_t>(c)];
      double v = std::nan("");
      if (!t.empty()) std::from_chars(t.data(), t.data() + t.size(), v);
      numbers[static_cast<std::size_t>(c)].push_back(v);
    }
  }
};

class FitsOut {
 public:
  explicit FitsOut(const std::string& path) {
    const std::string target = "!" + path;
    fits_create_file(&f_, target.c_str(), &status_);
    std::vector<char*> ttype, tform, tunit;
    for (int c = 0; c < 20; ++c) {
      ttype.push_back(const_cast<char*>(kColumns[c].name));
      tform.push_back(const_cast<char*>(c == 0 ? "K" : c == 1 ? "30A" : "D"));
      tunit.push_back(const_cast<char*>(""));
    }
    fits_create_tbl(f_, BINARY_TBL, 0, 20, ttype.data(), tform.data(), tunit.data(), "SURVEY", &status_);
    check(status_, path.c_str());
  }
  void write(Chunk& chunk) {
    const auto n = static_cast<LONGLONG>(chunk.ids.size());
    std::vector<char*> names;
    for (std::string& name : chunk.names) names.push_back(name.data());
    fits_write_col(f_, TLONGLONG, 1, row_, 1, n, chunk.ids.data(), &status_);
    fits_write_col(f_, TSTRING, 2, row_, 1, n, names.data(), &status_);
    for (int c = 2; c < 20; ++c)
      fits_write_colnull(f_, TDOUBLE, c + 1, row_, 1, n, chunk.numbers[static_cast<std::size_t>(c)].data(), nullptr,
                         &status_);
    check(status_, "writing the FITS table");
    row_ += n;
  }
  ~FitsOut() {
    fits_close_file(f_, &status_);
    check(status_, "closing the FITS table");
  }

 private:
  fitsfile* f_ = nullptr;
  int status_ = 0;
  LONGLONG row_ = 1;
};

class VoTableOut {
 public:
  explicit VoTableOut(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {
    if (!f_) {
      std::perror(path.c_str());
      std::exit(1);
    }
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VOTABLE version=\"1.4\">\n<RESOURCE>\n<TABLE>\n", f_);
    for (int c = 0; c < 20; ++c)
      std::fprintf(f_, "<FIELD name=\"%s\" datatype=\"%s\"%s/>\n", kColumns[c].name,
                   c == 0 ? "long" : c == 1 ? "char" : "double", c == 1 ? " arraysize=\"*\"" : "");
    std::fputs("<DATA><BINARY2><STREAM encoding=\"base64\">\n", f_);
  }
  void write(const Chunk& chunk) {
    for (std::size_t r = 0; r < chunk.ids.size(); ++r) {
      unsigned char flags[3] = {};
      for (int c = 2; c < 20; ++c)
        if (std::isnan(chunk.numbers[static_cast<std::size_t>(c)][r]))
          flags[c >> 3] |= static_cast<unsigned char>(0x80 >> (c & 7));
      bytes_.append(reinterpret_cast<const char*>(flags), 3);
      put(&chunk.ids[r], 8);
      const auto length = static_cast<std::uint32_t>(chunk.names[r].size());
      put(&length, 4);
      bytes_ += chunk.names[r];
      for (int c = 2; c < 20; ++c) put(&chunk.numbers[static_cast<std::size_t>(c)][r], 8);
    }
    flush(false);
  }
  ~VoTableOut() {
    flush(true);
    std::fputs("</STREAM></BINARY2></DATA>\n</TABLE>\n</RESOURCE>\n</VOTABLE>\n", f_);
    std::fclose(f_);
  }

 private:
  void put(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) bytes_ += static_cast<char>(b[n - 1 - i]);
  }
  void flush(bool last) { writeBase64Lines(f_, bytes_, last); }

  std::FILE* f_;
  std::string bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  long long rows = 1000000;
  unsigned seed = 7;
  std::string dir = ".";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--rows")) rows = std::atoll(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--seed")) seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--out")) dir = argv[i + 1];
  }
  const std::string base = dir + "/survey-" + std::to_string(rows);
  std::FILE* csv = std::fopen((base + ".csv").c_str(), "wb");
  std::FILE* fixed = std::fopen((base + ".txt").c_str(), "wb");
  if (!csv || !fixed) {
    std::perror(base.c_str());
    return 1;
  }
  std::string line;
  for (int c = 0; c < 20; ++c) line += std::string(c ? "," : "") + kColumns[c].name;
  std::fprintf(csv, "%s\n", line.c_str());
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  char buffer[64];
  auto number = [&](double v, int decimals) {
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return std::string(buffer);
  };
  std::vector<std::string> cells(20);
  std::string fixedLine;
  Chunk chunk;
  FitsOut fits(base + ".fits");
  VoTableOut vot(base + ".vot");
  for (long long r = 0; r < rows; ++r) {
    const std::uint64_t id = 4295806720ULL + static_cast<std::uint64_t>(r) * 2199023255ULL % 6917528443525529599ULL;
    const double ra = unit(random) * 360.0;
    const double dec = std::asin(2 * unit(random) - 1) * 57.29577951308232;
    const double g = 8 + 13 * std::sqrt(unit(random));
    cells[0] = std::to_string(id);
    cells[1] = "\"Survey DR3, " + cells[0] + "\"";
    cells[2] = number(ra, 12);
    cells[3] = number(0.01 + unit(random) * 0.5, 4);
    cells[4] = number(dec, 12);
    cells[5] = number(0.01 + unit(random) * 0.5, 4);
    const bool astrometry = unit(random) > 0.2;
    cells[6] = astrometry ? number(unit(random) * 10 - 1, 4) : "";
    cells[7] = astrometry ? number(unit(random) * 0.3, 4) : "";
    cells[8] = astrometry ? number(unit(random) * 40 - 20, 4) : "";
    cells[9] = astrometry ? number(unit(random) * 0.3, 4) : "";
    cells[10] = astrometry ? number(unit(random) * 40 - 20, 4) : "";
    cells[11] = astrometry ? number(unit(random) * 0.3, 4) : "";
    cells[12] = number(g, 6);
    cells[13] = unit(random) > 0.1 ? number(g + 0.3 + unit(random), 6) : "";
    cells[14] = unit(random) > 0.1 ? number(g - 0.5 - unit(random), 6) : "";
    cells[15] = unit(random) > 0.9 ? number(unit(random) * 200 - 100, 3) : "";
    cells[16] = number(0.8 + unit(random), 3);
    cells[17] = number(unit(random) * 360.0, 12);
    cells[18] = number(unit(random) * 180.0 - 90, 12);
    cells[19] = unit(random) > 0.5 ? number(3000 + unit(random) * 5000, 1) : "";
    line.clear();
    fixedLine.clear();
    for (int c = 0; c < 20; ++c) {
      if (c) {
        line += ',';
        fixedLine += ' ';
      }
      line += cells[static_cast<std::size_t>(c)];
      fixedLine += fixedField(c == 1 ? cells[1].substr(1, cells[1].size() - 2) : cells[static_cast<std::size_t>(c)],
                              kColumns[c].width);
    }
    std::fprintf(csv, "%s\n", line.c_str());
    std::fprintf(fixed, "%s\n", fixedLine.c_str());
    chunk.add(cells);
    if (chunk.ids.size() == 10000 || r + 1 == rows) {
      fits.write(chunk);
      vot.write(chunk);
      chunk.clear();
    }
  }
  if (std::fclose(csv) != 0 || std::fclose(fixed) != 0) {
    std::perror(base.c_str());
    return 1;
  }
  project(base + "-csv.prj", base + ".csv", mirdal::TableForm::Csv, dir + "/out");
  project(base + "-fixed.prj", base + ".txt", mirdal::TableForm::Fixed, dir + "/out");
  project(base + "-fits.prj", base + ".fits", mirdal::TableForm::Fits, dir + "/out");
  project(base + "-vot.prj", base + ".vot", mirdal::TableForm::VoTable, dir + "/out");
  return 0;
}
