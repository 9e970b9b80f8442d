#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "import/text_past_field.h"
#include "import/text_widths.h"
#include "input/table_header.h"
#include "catalog/catalog_definition.h"
#include "util/file_system.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace mirdal {

class FormulaDialog;
class CatalogDefinition;
class PlatformServices;

// Page 3: which fields the input lines carry, where each lies in a line, its
// label and whether a free string is also an alternate name.
//
// Everything edited here lives in the definition and is keyed by list
// position: the ticks, the slots (first character, length, calcA, calcB), the
// labels (every RA entry shares label 1, every DEC entry label 2) and the
// alternate-name flags of "String 1" to "String 10". The current field is a
// list position or none; with none, the boxes keep showing the last field and
// no edit reaches the definition.
//
// sampleMemo_ holds the sample: the first line of the first input file, a ruler
// "1234567890..." and a ruler numbering every tenth column, one byte of the
// file per character. Selecting text in any of the three lines with the mouse
// sets the current field's columns.
//
// Beside the boxes, the preview tells what the sample line gives: the current
// field's value after calibration or lookup (its missing value marked as
// such, a column past the end of the line marked) and the position the RA
// and DEC entries make of it, by the conversion loop's own rules. It follows
// every change of field, column, length, formula and sample.
//
// When the input's form describes its columns (every form but fixed
// columns), columnList_ shows them: number, name, unit and the sample row's
// value. The sample row is then the first data row after the header. Where
// slots name columns, the list takes the rulers' place: clicking a column
// points the current field at it (First Char is the column's number, Length
// 1 for a number and for a text the width the import gives it, textWidthsOf)
// and ticks it, and the preview places the sample row's cells as the build
// does. For MRT the rulers stay and a click takes the column's bytes. Where
// the column's unit is not the field's (degrees read as hours, mas/yr as
// arcsec/yr) and no calibration converts it, the preview says so.
class FieldLayoutEditor : public QWidget {
  Q_OBJECT
 public:
  // A first line longer than this is refused as a sample: such a line is a
  // binary file or one read with the wrong line end.
  static constexpr std::size_t kMaxSampleLength = 65536;

  FieldLayoutEditor(CatalogDefinition& definition, PlatformServices& services, FileSystem& fs,
                    QWidget* parent = nullptr);
  // How the sample's file name is opened (the wizard: "~" expanded and a
  // relative name found beside the project); by default "~" expanded only.
  void setInputNameResolver(std::function<std::string(const std::string&)> resolve) {
    resolveInput_ = std::move(resolve);
  }

  // Shows the definition's field list and ticks again, after a rebuild of the
  // list or a project load. A current field beyond a shorter list becomes
  // its last entry.
  void showFieldList();
  // Page entry of page 3: the sample, the columns and the width hint's rows
  // are read again from the first input file (a failure is shown in a
  // message box and the page shows no sample), then the editor shows the
  // current field.
  void enterPage();

  // The dialog "Advanced" opens; by default the one created beside the main
  // window (a child of the window this editor sits in), else one of its own.
  void setFormulaDialog(FormulaDialog* dialog);

  // List position of the current field, -1 for none.
  int currentField() const { return current_; }
  // Makes the entry at list position `position` the current field.
  void selectField(int position) { setCurrent(position); }
  // The first line of the sample as read, in bytes.
  const std::string& sampleLine() const { return sample_; }

  QListWidget* fieldList() const { return fieldList_; }
  QTableWidget* columnList() const { return columnList_; }
  // The columns of the sample's file; none for fixed columns.
  const TableLayout& tableLayout() const { return layout_; }
  QWidget* editorArea() const { return area_; }

  // Brings the preview up to date with the definition: after a change of the
  // mapping tables or of anything else the editor does not see.
  void updatePreview();

  // Fixed columns: the sample rows looked at for texts that run past the
  // current field, at most this many from the start of the first file, and
  // at most this many bytes of them.
  static constexpr std::int64_t kWidthHintRows = 100000;
  static constexpr std::size_t kWidthHintBytes = std::size_t{16} << 20;

 signals:
  // "Import ReadMe..." ("Propose columns" where the input file describes its
  // own columns) was pressed; the window imports (it owns the controls of
  // page 2 that an import changes).
  void importReadMeRequested();

 public slots:
  void onFieldListMouseUp(Qt::MouseButton button, const QPoint& position);
  void onFieldListKeyUp();
  void onFirstCharEdited();
  void onLengthEdited();
  void onLabelEdited();
  void onAlternateNameToggled();
  void onSampleMouseUp();
  void onFormula();
  // Points the current field at the column in row `row` of columnList_.
  void onColumnClicked(int row);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Parts of the page, built in this order.
  void buildFieldList();
  void buildFieldBoxes();
  void buildAlternateNameBox();
  void buildSampleMemo();
  void buildPreview();
  void buildColumnList();
  void layOutPage();
  void connectControls();

  void itemChanged_(QListWidgetItem* item);
  void setCurrent(int position);
  // A current field that is an entry of the list as the definition has it
  // now, so that no slot, label or flag beyond the list is ever addressed.
  bool hasCurrent() const;
  void refresh();
  void highlight(int firstChar, int length);
  void loadSample();
  void showSample(const std::string& line);
  void loadTableSample(const std::string& path);
  void showColumns();
  void clearColumns();
  // "Propose columns" where the import reads the input file's own
  // description, "Import ReadMe..." where it reads a ReadMe.
  void showImportCaption();
  // The width of the texts of column `row` (see textWidthsOf), measured once
  // per sample. Throws Error as RowSource does.
  int textWidthOfColumn(int row);
  // The row of columnList_ the current field reads, -1 for none.
  int columnOfCurrent() const;
  // The row of columnList_ the field at list position `position` reads.
  int columnOf(int position) const;
  // Slots name columns and the columns of the sample's file are known.
  bool columnMode() const;
  // The sample row's cells placed in the slots, as the build places a row.
  void placeSample();
  bool readsText(int position) const;
  // "First Char" and "Length" for bytes, the column's number and its texts'
  // width where slots name columns.
  void showBoxCaptions();
  // Beside the current text field's boxes: how many sample rows have text
  // just past its columns, and the width that holds it.
  void showWidthHint();
  void useOfferedWidth();
  int sampleLength() const;
  std::string highlightedBytes() const;
  FormulaDialog* formulaDialog();

  CatalogDefinition& def_;
  PlatformServices& services_;
  FileSystem& fs_;
  int current_ = 0;
  std::string sample_;
  bool sampleShown_ = false;  // the memo holds the three lines of sample_
  QPointer<FormulaDialog> formulaDialog_;
  // Forms other than fixed columns: the file's columns, the sample row's
  // cell in each, the width of texts in each once asked for, and the
  // sample row as placed (slots pointed at the cells of placedText_).
  TableLayout layout_;
  std::string layoutPath_;
  std::vector<std::string> cells_;
  std::vector<TextWidth> textWidths_;
  std::string placedText_;
  std::array<FieldSlot, kSlotCount> placed_{};
  std::array<std::string, kSlotCount> slotProblems_{};
  std::string rowProblem_;
  // The first rows of the file, for the width hint; none where slots name
  // columns or the rows could not be read.
  std::optional<SampleRows> hintRows_;
  int offeredWidth_ = 0;

  QListWidget* fieldList_ = nullptr;
  QWidget* area_ = nullptr;
  QLineEdit* labelEdit_ = nullptr;
  QLineEdit* firstCharEdit_ = nullptr;
  QLineEdit* lengthEdit_ = nullptr;
  QLabel* firstCharCaption_ = nullptr;
  QLabel* lengthCaption_ = nullptr;
  QLabel* widthHint_ = nullptr;
  QPushButton* offerWidthButton_ = nullptr;
  QCheckBox* alternateNameBox_ = nullptr;
  QPushButton* formulaButton_ = nullptr;
  QPushButton* importButton_ = nullptr;
  QPlainTextEdit* sampleMemo_ = nullptr;
  QTableWidget* columnList_ = nullptr;
  QWidget* preview_ = nullptr;
  QLabel* previewValue_ = nullptr;
  QLabel* previewRa_ = nullptr;
  QLabel* previewDec_ = nullptr;
  QLabel* previewRefused_ = nullptr;
  QLabel* previewUnit_ = nullptr;
  std::function<std::string(const std::string&)> resolveInput_;
};

}  // namespace mirdal
