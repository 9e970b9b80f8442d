#include "input/table_forms.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/error_of.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace mirdal {
namespace {

// Every form has one row; its name reads back to it in any letter case, and
// the predicates, readers and delimiting that the code branches on agree
// with the kind the row states.
TEST(TableForms, EveryRowReadsBackAndItsPredicatesFollowItsKind) {
  std::set<TableForm> seen;
  testing::TempDir dir;
  const std::string empty = dir.write("empty.txt", "");
  for (const TableFormRow& row : tableForms()) {
    const std::string name(row.name());
    SCOPED_TRACE(name);
    EXPECT_TRUE(seen.insert(row.form).second);
    EXPECT_EQ(&tableFormRow(row.form), &row);
    EXPECT_EQ(parseTableForm(name), row.form);
    std::string upper;
    for (char c : name) upper += asciiUpper(c);
    EXPECT_EQ(parseTableForm(" " + upper + "\t"), row.form);
    EXPECT_FALSE(std::string_view(row.caption).empty());
    EXPECT_EQ(delimitingOf(row.form), row.delimiting);

    const FormKind kind = row.kind();
    EXPECT_EQ(isDelimited(row.form), kind == FormKind::Delimited);
    EXPECT_EQ(isTypedForm(row.form), kind == FormKind::Typed);
    EXPECT_EQ(hasLineEnds(row.form), kind != FormKind::Typed);
    EXPECT_EQ(slotsNameColumns(row.form), kind != FormKind::Cut);
    EXPECT_TRUE(!hasDescribedBytes(row.form) || kind == FormKind::Cut);
    EXPECT_EQ(row.openTyped != nullptr, kind == FormKind::Typed);
    // Text is read by the form's own header reader where the file
    // describes its columns; text rows have no typed cells, typed rows no
    // header of text.
    EXPECT_EQ(row.readHeader != nullptr, kind == FormKind::Delimited || hasDescribedBytes(row.form));
    if (kind == FormKind::Typed) {
      EXPECT_NE(testing::errorOf([&] { readTableLayout(FileSystem::real(), empty, row.form, true); }).find(empty),
                std::string::npos);
    } else {
      EXPECT_NE(testing::errorOf([&] { openTypedTable(row.form, empty, "", FileSystem::real()); }).find("has no typed cells"),
                std::string::npos);
    }
  }
  EXPECT_EQ(seen.size(), kFormTerms.size());
  EXPECT_EQ(parseTableForm("xls"), std::nullopt);
  // A value outside the enum reads as fixed columns, never past the table.
  EXPECT_EQ(tableFormName(static_cast<TableForm>(kFormTerms.size())), "fixed");
}

}  // namespace
}  // namespace mirdal
