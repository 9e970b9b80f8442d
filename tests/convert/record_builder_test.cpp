#include "convert/record_builder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/catalog_checks.h"

namespace mirdal {
namespace {

// A builder of stars with RA, DEC (decimal degrees) and an indexed ID in
// columns 1, 2 and 3 of a table, or at bytes 1, 11 and 21 of a line.
struct Builder {
  CatalogDefinition def;
  RecordLayout layout;
  std::unique_ptr<RecordBuilder> builder;

  explicit Builder(TableForm form) : def(testing::decimalStars("Rb", {}, kEolLf, "")) {
    def.settings.format = form;
    def.settings.index = true;
    const bool fixed = form == TableForm::Fixed;
    for (int p = 0; p < 3; ++p) testing::setSlot(def, p, fixed ? 1 + 10 * p : p + 1, 9);
    layout = buildRecordLayout(def);
    builder = std::make_unique<RecordBuilder>(def, layout);
    TableLayout table;
    table.form = form;
    table.delimiting = delimitingOf(form);
    if (!fixed)
      for (int c = 1; c <= 3; ++c) {
        table.columns.emplace_back();
        table.columns.back().number = c;
      }
    builder->startFile("t", table);
  }
};

TableCell real(double v) { return {TableCell::Kind::Real, v, 0, {}}; }
TableCell text(std::string_view t) { return {TableCell::Kind::Text, 0, 0, t}; }

// The same star in every form gives the same record, region and name; each
// row the build refuses gives its reason, and a refusal of its cells.
TEST(RecordBuilder, EveryFormGivesOneRecordOrItsReason) {
  const struct {
    const char* what;
    TableForm form;
    std::string line;
    std::vector<TableCell> cells;
    bool built;
    RejectReason reason = RejectReason::OutOfRange;
    RowRefusal refusal = RowRefusal::None;
  } cases[] = {
      {"fixed columns", TableForm::Fixed, "10.5      -20.25    hd 1      ", {}, true},
      {"fixed columns, a line ending inside the ID", TableForm::Fixed, "10.5      -20.25    hd 1", {}, true},
      {"delimited", TableForm::Csv, "10.5,-20.25,hd 1", {}, true},
      {"typed", TableForm::Fits, "", {real(10.5), real(-20.25), text("hd 1")}, true},
      {"out of range", TableForm::Fixed, "10.5      95", {}, false, RejectReason::OutOfRange},
      {"blank line", TableForm::Fixed, "", {}, false, RejectReason::MissingPosition},
      {"no number", TableForm::Fixed, "x         1", {}, false, RejectReason::NotANumber},
      {"fewer cells", TableForm::Csv, "10.5,1", {}, false, RejectReason::FewerCells, RowRefusal::FewerCells},
      {"open quote", TableForm::Csv, "10.5,\"1,x", {}, false, RejectReason::OpenQuote, RowRefusal::OpenQuote},
      {"missing typed cell", TableForm::Fits, "", {real(10.5), {}, text("x")}, false, RejectReason::MissingPosition,
       RowRefusal::MissingDec},
  };
  std::vector<std::uint8_t> expectedRecord, expectedIndex;
  int expectedRegion = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Builder b(c.form);
    const int cellOfSlot[kSlotCount] = {0, 1, 2};
    SourceRow row;
    row.text = c.line;
    if (c.form == TableForm::Fits) {
      row.cells = c.cells.data();
      row.cellOfSlot = cellOfSlot;
    }
    std::vector<std::uint8_t> record(b.builder->recordLength(), 0xEE), index(b.builder->indexRoom(), 0xEE);
    const BuiltRow got = b.builder->build(row, 0, record.data(), index.data());
    EXPECT_EQ(got.region != 0, c.built);
    if (!c.built) {
      EXPECT_EQ(got.reason, c.reason);
      EXPECT_EQ(got.refusal, c.refusal);
      continue;
    }
    EXPECT_EQ(got.names, 1);
    if (expectedRegion == 0) {
      expectedRegion = got.region;
      expectedRecord = record;
      expectedIndex = index;
      const std::string bytes(record.begin(), record.end());
      EXPECT_EQ(bytes.substr(0, 8), testing::le32(37'800'000) + testing::le32(251'100'000));
      EXPECT_EQ(std::string(index.begin() + 8, index.begin() + 11), "HD1");
    }
    EXPECT_EQ(got.region, expectedRegion);
    EXPECT_EQ(record, expectedRecord);
    EXPECT_EQ(index, expectedIndex);
  }
}

}  // namespace
}  // namespace mirdal
