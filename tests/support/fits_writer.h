#pragma once

#include <fitsio.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mirdal::testing {

// A column of a FITS binary table written by tests: its TFORM, and header
// keywords of its own (TNULL, TSCAL, TZERO, TUCD...), given without the
// column number ("TNULL" -> "TNULL3").
struct FitsColumn {
  using Keys = std::vector<std::pair<std::string, std::string>>;
  FitsColumn(std::string name_, std::string tform_, std::string unit_ = "", Keys keys_ = {})
      : name(std::move(name_)), tform(std::move(tform_)), unit(std::move(unit_)), keys(std::move(keys_)) {}
  std::string name, tform, unit;
  Keys keys;
};

// Writes a FITS file at `path`: an empty primary array, `emptyBefore` image
// extensions, then one binary table. Cells are the values as stored, as
// text: "T"/"F" for L, the text for A, numbers otherwise ("nan" too); the
// table's TSCAL/TZERO are not applied on writing.
inline void writeFitsTable(const std::string& path, const std::vector<FitsColumn>& columns,
                           const std::vector<std::vector<std::string>>& rows, const std::string& extname = "",
                           int emptyBefore = 0) {
  int status = 0;
  fitsfile* f = nullptr;
  const std::string target = "!" + path;
  fits_create_file(&f, target.c_str(), &status);
  long noAxes[1] = {0};
  fits_create_img(f, BYTE_IMG, 0, noAxes, &status);
  for (int i = 0; i < emptyBefore; ++i) fits_create_img(f, BYTE_IMG, 0, noAxes, &status);
  std::vector<char*> ttype, tform, tunit;
  for (const auto& c : columns) {
    ttype.push_back(const_cast<char*>(c.name.c_str()));
    tform.push_back(const_cast<char*>(c.tform.c_str()));
    tunit.push_back(const_cast<char*>(c.unit.c_str()));
  }
  fits_create_tbl(f, BINARY_TBL, 0, static_cast<int>(columns.size()), ttype.data(), tform.data(), tunit.data(),
                  extname.empty() ? nullptr : extname.c_str(), &status);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::string n = std::to_string(c + 1);
    for (const auto& [key, value] : columns[c].keys) {
      const std::string k = key + n;
      if (key == "TUCD" || key == "TCOMM") {
        fits_write_key(f, TSTRING, k.c_str(), const_cast<char*>(value.c_str()), nullptr, &status);
      } else if (value.find_first_of(".eE") != std::string::npos) {
        double v = std::strtod(value.c_str(), nullptr);
        fits_write_key(f, TDOUBLE, k.c_str(), &v, nullptr, &status);
      } else {
        LONGLONG v = std::strtoll(value.c_str(), nullptr, 10);
        fits_write_key(f, TLONGLONG, k.c_str(), &v, nullptr, &status);
      }
    }
  }
  fits_set_hdustruc(f, &status);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    fits_set_tscale(f, static_cast<int>(c + 1), 1.0, 0.0, &status);
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const std::string& v = rows[r][c];
      const int col = static_cast<int>(c + 1);
      const char code = columns[c].tform.back() == 'A' || columns[c].tform.find('A') != std::string::npos ? 'A'
                        : columns[c].tform.back();
      if (code == 'A') {
        char* s = const_cast<char*>(v.c_str());
        fits_write_col(f, TSTRING, col, static_cast<LONGLONG>(r + 1), 1, 1, &s, &status);
      } else if (code == 'L') {
        char b = v == "T" ? 1 : 0;
        fits_write_col(f, TLOGICAL, col, static_cast<LONGLONG>(r + 1), 1, 1, &b, &status);
      } else if (code == 'E' || code == 'D') {
        double d = std::strtod(v.c_str(), nullptr);
        fits_write_col(f, TDOUBLE, col, static_cast<LONGLONG>(r + 1), 1, 1, &d, &status);
      } else {
        LONGLONG i = std::strtoll(v.c_str(), nullptr, 10);
        fits_write_col(f, TLONGLONG, col, static_cast<LONGLONG>(r + 1), 1, 1, &i, &status);
      }
    }
  }
  fits_close_file(f, &status);
  if (status != 0) {
    char text[FLEN_STATUS];
    fits_get_errstatus(status, text);
    throw std::runtime_error("writing " + path + ": " + text);
  }
}

}  // namespace mirdal::testing
