#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "catalog/catalog_definition.h"
#include "import/table_import.h"
#include "support/catalog_checks.h"
#include "util/file_system.h"

namespace mirdal::testing {

// The Bright Star Catalogue as common tools write it, in ../shared/data/formats.
inline const std::pair<const char*, TableForm> kSharedForms[] = {
    {"bsc5.csv", TableForm::Csv},   {"bsc5.csv.gz", TableForm::Csv}, {"bsc5.tsv", TableForm::Tsv},
    {"bsc5.psv", TableForm::Psv},   {"bsc5.ecsv", TableForm::Ecsv},  {"bsc5.mrt", TableForm::Mrt},
    {"bsc5.fits", TableForm::Fits}, {"bsc5.vot", TableForm::VoTable}, {"bsc5.b2.vot", TableForm::VoTable}};

// The project the import writes from the file's own description, reading
// `path` into `out`; a `|` file of them names no column, so there the
// user's mapping is played by hand (RAdeg, DEdeg, HR, Vmag).
inline CatalogDefinition importedProject(const std::string& path, TableForm form, const std::string& out) {
  CatalogDefinition def;
  if (form == TableForm::Psv) {
    def = decimalStars("", {path}, 1, out);
    def.settings.format = form;
    const int columns[] = {54, 55, 1, 29};
    for (int p = 0; p < 4; ++p) setSlot(def, p, columns[p], p == 2 ? 4 : 1);
  } else {
    EXPECT_TRUE(importTableDescription(FileSystem::real(), path, form, CatalogType::Stars, def).mapped) << path;
    def.settings.inputfiles = {path};
    def.settings.ouputdir = out;
  }
  return def;
}

}  // namespace mirdal::testing
