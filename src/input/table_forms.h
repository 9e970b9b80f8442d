#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "catalog/table_form_name.h"
#include "input/table_form.h"
#include "input/typed_rows.h"
#include "util/file_system.h"

namespace mirdal {

namespace detail {
class HeaderLines;
}

// What the input side knows of a form: one row per form. The form's name
// and kind are the project file's (catalog/table_form_name.h); the rest,
// how a file of the form is offered and read, is here. A form is added by
// its enum value and terms there, its row here, and its reader.
struct TableFormRow {
  TableForm form;
  const char* caption;    // in the wizard's list of forms
  Delimiting delimiting;  // by default (an ECSV header may say otherwise); a comma where unused
  // Text forms whose file describes its columns: reads the header after
  // the start of the file into `layout` (whose form and delimiting are set).
  void (*readHeader)(detail::HeaderLines& lines, TableLayout& layout, bool hasHeaderRow);
  // Typed forms: the table's rows, its layout alone, and whether a column
  // of the given datatype can be selected.
  std::unique_ptr<TypedRowSource> (*openTyped)(const std::string& path, const std::string& table, FileSystem& fs);
  TableLayout (*readTypedLayout)(const std::string& path, const std::string& table, FileSystem& fs);
  bool (*columnSelectable)(const std::string& datatype);

  std::string_view name() const { return tableFormName(form); }
  FormKind kind() const { return formTerms(form).kind; }
  // The file itself names or numbers its columns, so that a project can be
  // proposed from it alone.
  bool describesColumns() const { return readHeader != nullptr || readTypedLayout != nullptr; }
};

// Every form, in the order the wizard offers them.
std::span<const TableFormRow> tableForms();
const TableFormRow& tableFormRow(TableForm form);

// The names of `forms` as a message lists them: "a, b, c or d".
std::string listedFormNames(std::span<const TableForm> forms);

}  // namespace mirdal
