#include "ui/field_layout_editor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <functional>
#include <optional>

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QHeaderView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include "import/unit_mismatch.h"
#include "input/cell_columns.h"
#include "ui/off_thread_read.h"
#include "convert/field_preview.h"
#include "input/input_reader.h"
#include "input/row_source.h"
#include "input/row_splitter.h"
#include "input/table_form.h"
#include "input/typed_rows.h"
#include "convert/sky_position.h"
#include "catalog/catalog_definition.h"
#include "ui/formula_dialog.h"
#include "ui/platform_services.h"
#include "ui/qt_text.h"
#include "util/error.h"
#include "util/home_directory.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr int kSampleLines = 3;
constexpr char kRulerBlock[] = "1234567890";
// Shown in place of a control byte of the sample, which the text control
// would otherwise take as a line break or a tab stop and so shift the columns.
constexpr char16_t kControlByteMark = 0x00B7;

// The list reports releases after it has handled them, so that a tick
// toggled by the click is already stored.
class CheckListBox : public QListWidget {
 public:
  using QListWidget::QListWidget;
  std::function<void(Qt::MouseButton, const QPoint&)> onMouseUp;
  std::function<void()> onKeyUp;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QListWidget::mouseReleaseEvent(event);
    if (onMouseUp) onMouseUp(event->button(), event->position().toPoint());
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    QListWidget::keyReleaseEvent(event);
    if (onKeyUp) onKeyUp();
  }
};

// The sample reports a release once the selection made with the mouse is final.
class SampleMemo : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  std::function<void()> onMouseUp;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QPlainTextEdit::mouseReleaseEvent(event);
    if (onMouseUp) onMouseUp();
  }
};

// A whole integer: leading blanks, an optional sign, digits, nothing after,
// within 32 bits.
std::optional<int> readInteger(const QString& text) {
  const std::string s = toBytes(text);
  const char* first = s.data();
  const char* last = s.data() + s.size();
  while (first != last && isBlank(*first)) ++first;
  if (first != last && *first == '+') {
    ++first;
    if (first == last || *first < '0' || *first > '9') return std::nullopt;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc{} || end != last) return std::nullopt;
  return value;
}

QFont sampleFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  return font;
}

QLabel* caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

// Marks of the preview: red for columns that the sample line does not hold,
// amber for a missing or no-match value, grey for remarks.
QString inColour(const char* colour, const QString& html) {
  return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(QLatin1String(colour), html);
}
QString red(const QString& html) { return inColour("#c00000", html); }
QString amber(const QString& html) { return inColour("#a45a00", html); }
QString grey(const QString& html) { return inColour("#707070", html); }
QString escaped(const std::string& bytes) { return fromBytes(bytes).toHtmlEscaped(); }

}  // namespace

FieldLayoutEditor::FieldLayoutEditor(CatalogDefinition& definition, PlatformServices& services, FileSystem& fs,
                                     QWidget* parent)
    : QWidget(parent), def_(definition), services_(services), fs_(fs) {
  // Creation order is the Tab order: list, boxes, alternate-name box, sample.
  buildFieldList();
  buildFieldBoxes();
  buildAlternateNameBox();
  buildSampleMemo();
  buildPreview();
  buildColumnList();
  layOutPage();
  connectControls();
  showFieldList();
}

void FieldLayoutEditor::buildFieldList() {
  auto* list = new CheckListBox(this);
  fieldList_ = list;
  fieldList_->setObjectName("FieldList");
  fieldList_->setSelectionMode(QAbstractItemView::SingleSelection);
  fieldList_->setMinimumWidth(120);
  list->onMouseUp = [this](Qt::MouseButton button, const QPoint& position) { onFieldListMouseUp(button, position); };
  list->onKeyUp = [this] { onFieldListKeyUp(); };
}

// Beside the list: label, first character and length of the current field,
// then "Import ReadMe..." and "Advanced" at the foot.
void FieldLayoutEditor::buildFieldBoxes() {
  area_ = new QWidget(this);
  area_->setObjectName("FieldEditorArea");
  labelEdit_ = new QLineEdit(area_);
  labelEdit_->setObjectName("LabelEdit");
  labelEdit_->setMaxLength(kLabelMaxLength);
  firstCharEdit_ = new QLineEdit(area_);
  firstCharEdit_->setObjectName("FirstCharEdit");
  lengthEdit_ = new QLineEdit(area_);
  lengthEdit_->setObjectName("LengthEdit");
  formulaButton_ = new QPushButton(QStringLiteral("Advanced"), area_);
  formulaButton_->setObjectName("FormulaButton");
  formulaButton_->setAutoDefault(false);
  importButton_ = new QPushButton(QStringLiteral("Import ReadMe..."), area_);
  importButton_->setObjectName("ImportReadMeButton");
  importButton_->setAutoDefault(false);
  importButton_->setToolTip(QStringLiteral("Fill the field list from the byte-by-byte description of a ReadMe, or, for an "
                                           "input file in a table form, from the description of its columns it carries"));
  importButton_->setMinimumWidth(importButton_->sizeHint().width());
  const int boxWidth = labelEdit_->fontMetrics().horizontalAdvance(QStringLiteral("MMMMMMMMM")) + 12;
  for (QLineEdit* e : {labelEdit_, firstCharEdit_, lengthEdit_}) e->setFixedWidth(boxWidth);

  auto* column = new QVBoxLayout(area_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addWidget(caption(QStringLiteral("Label"), labelEdit_, area_));
  column->addWidget(labelEdit_);
  column->addSpacing(6);
  firstCharCaption_ = caption(QStringLiteral("First Char"), firstCharEdit_, area_);
  lengthCaption_ = caption(QStringLiteral("Length"), lengthEdit_, area_);
  firstCharCaption_->setObjectName("FirstCharCaption");
  lengthCaption_->setObjectName("LengthCaption");
  column->addWidget(firstCharCaption_);
  column->addWidget(firstCharEdit_);
  column->addSpacing(6);
  // The hint beside "Length" and the width it offers beside its box: the
  // page grows no taller while they show.
  widthHint_ = new QLabel(area_);
  widthHint_->setObjectName("WidthHint");
  widthHint_->setStyleSheet(QStringLiteral("color:#a45a00"));
  offerWidthButton_ = new QPushButton(area_);
  offerWidthButton_->setObjectName("OfferedWidthButton");
  offerWidthButton_->setAutoDefault(false);
  offerWidthButton_->setToolTip(QStringLiteral("Make the field wide enough for the text of every sample row"));
  auto* lengthRow = new QHBoxLayout;
  lengthRow->setSpacing(6);
  lengthRow->addWidget(lengthCaption_);
  lengthRow->addStretch(1);
  lengthRow->addWidget(widthHint_);
  auto* lengthBoxRow = new QHBoxLayout;
  lengthBoxRow->setSpacing(4);
  lengthBoxRow->addWidget(lengthEdit_);
  lengthBoxRow->addWidget(offerWidthButton_);
  lengthBoxRow->addStretch(1);
  column->addLayout(lengthRow);
  column->addLayout(lengthBoxRow);
  widthHint_->hide();
  offerWidthButton_->hide();
  column->addStretch(1);
  column->addWidget(importButton_);
  column->addWidget(formulaButton_);
}

void FieldLayoutEditor::buildAlternateNameBox() {
  alternateNameBox_ = new QCheckBox(QStringLiteral("Use this field as an Alternate Name"), this);
  alternateNameBox_->setObjectName("AlternateNameBox");
  // Showing and hiding the box must not move the sample up and down.
  QSizePolicy keep = alternateNameBox_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  alternateNameBox_->setSizePolicy(keep);
}

// The sample's three lines in a fixed-pitch font: the memo is as tall as
// they and its scroll bar are, and scrolls only sideways.
void FieldLayoutEditor::buildSampleMemo() {
  auto* memo = new SampleMemo(this);
  sampleMemo_ = memo;
  sampleMemo_->setObjectName("SampleMemo");
  sampleMemo_->setReadOnly(true);
  sampleMemo_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  sampleMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  sampleMemo_->setWordWrapMode(QTextOption::NoWrap);
  sampleMemo_->setFont(sampleFont());
  sampleMemo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  sampleMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The highlight of the current field stays visible while the user types
  // into the boxes.
  QPalette p = sampleMemo_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
  sampleMemo_->setPalette(p);
  const QFontMetrics fm(sampleMemo_->font());
  const int margin = static_cast<int>(std::ceil(sampleMemo_->document()->documentMargin()));
  sampleMemo_->setFixedHeight(kSampleLines * fm.lineSpacing() + 2 * margin + 2 * sampleMemo_->frameWidth() +
                        sampleMemo_->horizontalScrollBar()->sizeHint().height() + 2);
  memo->onMouseUp = [this] { onSampleMouseUp(); };
}

// What the sample line gives: the current field's value, RA and DEC, and the
// reason when the line would be refused.
void FieldLayoutEditor::buildPreview() {
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setToolTip(QStringLiteral("What the first line of the first input file gives for the current field "
                                   "and for the position"));
  preview_ = frame;
  preview_->setObjectName("SamplePreview");
  auto* grid = new QGridLayout(preview_);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(1);
  auto row = [this, grid](int r, const char* text, const char* name) {
    auto* label = new QLabel(QString::fromLatin1(text), preview_);
    auto* value = new QLabel(preview_);
    value->setObjectName(name);
    value->setTextFormat(Qt::RichText);
    // As wide as the frame allows, whatever the text: a long value is
    // elided (the whole of it in the tooltip) rather than widening the page.
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(label, r, 0, Qt::AlignTop);
    grid->addWidget(value, r, 1);
    return value;
  };
  previewValue_ = row(0, "Value", "PreviewValue");
  previewRa_ = row(1, "RA", "PreviewRa");
  previewDec_ = row(2, "DEC", "PreviewDec");
  previewRefused_ = new QLabel(preview_);
  previewRefused_->setObjectName("PreviewRefused");
  previewRefused_->setTextFormat(Qt::RichText);
  previewRefused_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  grid->addWidget(previewRefused_, 3, 0, 1, 2);
  previewUnit_ = new QLabel(preview_);
  previewUnit_->setObjectName("PreviewUnit");
  previewUnit_->setTextFormat(Qt::RichText);
  previewUnit_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  grid->addWidget(previewUnit_, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  previewRefused_->hide();
  previewUnit_->hide();
}

// Number, name, unit and the sample row's value of each column, one a row.
void FieldLayoutEditor::buildColumnList() {
  columnList_ = new QTableWidget(0, 4, this);
  columnList_->setObjectName("ColumnList");
  columnList_->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("Unit"),
                                         QStringLiteral("Value")});
  columnList_->verticalHeader()->hide();
  columnList_->verticalHeader()->setDefaultSectionSize(columnList_->fontMetrics().height() + 4);
  columnList_->horizontalHeader()->setStretchLastSection(true);
  columnList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  columnList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  columnList_->setSelectionMode(QAbstractItemView::SingleSelection);
  columnList_->setToolTip(QStringLiteral("The columns of the first input file: click one to read the field from it"));
  columnList_->hide();
}

// The list and the boxes share the room left; below them the alternate-name
// box, the preview and the sample.
void FieldLayoutEditor::layOutPage() {
  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(8);
  top->addWidget(fieldList_, 1);
  top->addWidget(area_, 0);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 0);
  page->setSpacing(4);
  page->addLayout(top, 1);
  page->addWidget(alternateNameBox_);
  page->addWidget(preview_);
  page->addWidget(sampleMemo_);
  page->addWidget(columnList_, 1);
}

void FieldLayoutEditor::connectControls() {
  connect(fieldList_, &QListWidget::itemChanged, this, &FieldLayoutEditor::itemChanged_);
  connect(firstCharEdit_, &QLineEdit::textChanged, this, &FieldLayoutEditor::onFirstCharEdited);
  connect(lengthEdit_, &QLineEdit::textChanged, this, &FieldLayoutEditor::onLengthEdited);
  connect(labelEdit_, &QLineEdit::textChanged, this, &FieldLayoutEditor::onLabelEdited);
  connect(alternateNameBox_, &QCheckBox::toggled, this, &FieldLayoutEditor::onAlternateNameToggled);
  connect(formulaButton_, &QPushButton::clicked, this, &FieldLayoutEditor::onFormula);
  connect(importButton_, &QPushButton::clicked, this, &FieldLayoutEditor::importReadMeRequested);
  connect(offerWidthButton_, &QPushButton::clicked, this, &FieldLayoutEditor::useOfferedWidth);
  connect(columnList_, &QTableWidget::cellClicked, this, [this](int row, int) { onColumnClicked(row); });
  connect(columnList_, &QTableWidget::cellActivated, this, [this](int row, int) { onColumnClicked(row); });
}

// ---------------------------------------------------------------------------
// The field list and the current field

void FieldLayoutEditor::showFieldList() {
  {
    const QSignalBlocker block(fieldList_);
    fieldList_->clear();
    const FieldCatalogue& fields = def_.fields();
    for (int p = 0; p < fields.size(); ++p) {
      const std::string_view text = fields.entry(p).text;
      auto* item = new QListWidgetItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                                       fieldList_);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(def_.ticked(p) ? Qt::Checked : Qt::Unchecked);
    }
  }
  showImportCaption();
  // Slots, labels and flags follow positions, so a field current beyond a
  // shorter list is brought onto its last entry rather than addressing a
  // label or slot past it.
  setCurrent(std::min(current_, static_cast<int>(def_.fields().size()) - 1));
}

void FieldLayoutEditor::itemChanged_(QListWidgetItem* item) {
  def_.setTicked(fieldList_->row(item), item->checkState() == Qt::Checked);
  updatePreview();
}

void FieldLayoutEditor::setCurrent(int position) {
  current_ = position >= 0 && position < def_.fields().size() ? position : -1;
  {
    const QSignalBlocker block(fieldList_);
    if (current_ >= 0) {
      fieldList_->setCurrentRow(current_);
    } else {
      fieldList_->clearSelection();
      fieldList_->setCurrentItem(nullptr);
    }
  }
  refresh();
}

void FieldLayoutEditor::onFieldListMouseUp(Qt::MouseButton button, const QPoint& position) {
  if (button != Qt::LeftButton) return;
  // A drag that ends outside the list is not a release over it.
  if (!fieldList_->viewport()->rect().contains(position)) return;
  // Below the last entry there is no entry: no field is current then.
  setCurrent(fieldList_->indexAt(position).row());
}

void FieldLayoutEditor::onFieldListKeyUp() {
  const QModelIndexList selected = fieldList_->selectionModel()->selectedIndexes();
  setCurrent(selected.isEmpty() ? -1 : selected.front().row());
}

// ---------------------------------------------------------------------------
// The boxes

void FieldLayoutEditor::refresh() {
  showBoxCaptions();
  if (!hasCurrent()) {
    showWidthHint();
    updatePreview();
    return;
  }
  const int i = current_;
  const FieldCatalogue& fields = def_.fields();
  {
    // The label is the one stored: reading it back would only store it again.
    const QSignalBlocker block(labelEdit_);
    labelEdit_->setText(fromBytes(def_.labelOfPosition(i)));
  }
  // Setting a box runs its change handler, which stores the same value and
  // refreshes again; the chain ends at the first refresh that changes no text.
  firstCharEdit_->setText(QString::number(def_.fieldSlots[static_cast<std::size_t>(i)].firstChar));
  lengthEdit_->setText(QString::number(def_.fieldSlots[static_cast<std::size_t>(i)].length));
  const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(i)];
  highlight(slot.firstChar, slot.length);

  const bool string = fields.isString(i);
  if (string) {
    const QSignalBlocker block(alternateNameBox_);
    alternateNameBox_->setChecked(def_.altNames[static_cast<std::size_t>(i - fields.firstFreePosition())] == 1);
  }
  alternateNameBox_->setVisible(string);
  showWidthHint();
  updatePreview();
}

void FieldLayoutEditor::showBoxCaptions() {
  const bool columns = columnMode();
  firstCharCaption_->setText(columns ? QStringLiteral("Column number") : QStringLiteral("First Char"));
  lengthCaption_->setText(columns ? QStringLiteral("Text width") : QStringLiteral("Length"));
}

void FieldLayoutEditor::showWidthHint() {
  offeredWidth_ = 0;
  if (hintRows_ && hasCurrent() && readsText(current_)) {
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(current_)];
    const TextPastField past = textPastField(*hintRows_, slot.firstChar, slot.length);
    if (past.rowsPast > 0) {
      widthHint_->setText(QStringLiteral("Text past it in %1 of %2 rows").arg(past.rowsPast).arg(past.rows));
      widthHint_->setToolTip(QStringLiteral("Of the first %1 rows of the file, %2 have text just past the field's "
                                            "columns: a longer text, which the build would cut to the field, or "
                                            "the next column where the file's columns touch")
                                 .arg(past.rows)
                                 .arg(past.rowsPast));
      offeredWidth_ = past.widthThatHolds;
      offerWidthButton_->setText(QStringLiteral("Length %1").arg(offeredWidth_));
    }
  }
  widthHint_->setVisible(offeredWidth_ > 0);
  offerWidthButton_->setVisible(offeredWidth_ > 0);
}

void FieldLayoutEditor::useOfferedWidth() {
  if (!hasCurrent() || offeredWidth_ <= 0) return;
  lengthEdit_->setText(QString::number(offeredWidth_));
}

// Highlights the columns of the slot in the sample line, up to its end. A
// field that starts past the end highlights nothing: the cursor then stands
// at the end of the line, where the field would begin.
int FieldLayoutEditor::columnOfCurrent() const { return hasCurrent() ? columnOf(current_) : -1; }

int FieldLayoutEditor::columnOf(int position) const {
  if (layout_.columns.empty() || position < 0 || position >= def_.fields().size()) return -1;
  const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
  int row = -1;
  if (columnMode()) {
    // The column the build finds for the slot: by name where it has one.
    row = slot.firstChar - 1;
    const std::string& name = def_.fieldNames[static_cast<std::size_t>(position)];
    for (const TableColumn& c : layout_.columns)
      if (!name.empty() && c.name == name) row = c.number - 1;
  } else {
    for (const TableColumn& c : layout_.columns)
      if (c.firstByte == slot.firstChar && c.lastByte == slot.firstChar + slot.length - 1) row = c.number - 1;
  }
  return row >= 0 && row < static_cast<int>(layout_.columns.size()) ? row : -1;
}

void FieldLayoutEditor::highlight(int firstChar, int length) {
  if (!layout_.columns.empty()) {
    const int row = columnOfCurrent();
    const QSignalBlocker block(columnList_);
    if (row >= 0 && row < columnList_->rowCount()) {
      columnList_->selectRow(row);
      columnList_->scrollToItem(columnList_->item(row, 0));
    } else {
      columnList_->clearSelection();
    }
    if (columnMode()) return;
  }
  QTextCursor cursor = sampleMemo_->textCursor();
  const int lineLength = sampleLength();
  if (firstChar > 0 && length > 0 && firstChar - 1 < lineLength) {
    const int start = firstChar - 1;
    cursor.setPosition(start);
    cursor.setPosition(start + std::min(length, lineLength - start), QTextCursor::KeepAnchor);
  } else if (firstChar > 0 && length > 0) {
    cursor.setPosition(lineLength);
  } else {
    cursor.clearSelection();
  }
  sampleMemo_->setTextCursor(cursor);
  sampleMemo_->ensureCursorVisible();
}

void FieldLayoutEditor::onFirstCharEdited() {
  if (!hasCurrent()) return;
  const std::optional<int> value = readInteger(firstCharEdit_->text());
  if (!value) return;
  const auto i = static_cast<std::size_t>(current_);
  // A column typed by number is that column, whatever name the field read
  // before (a name wins over the number when the build finds the column).
  if (columnMode() && def_.fieldSlots[i].firstChar != *value) {
    def_.fieldNames[i].clear();
    if (*value >= 1 && *value <= static_cast<int>(layout_.columns.size()))
      def_.fieldNames[i] = layout_.columns[static_cast<std::size_t>(*value - 1)].name;
  }
  def_.fieldSlots[i].firstChar = *value;
  refresh();
}

void FieldLayoutEditor::onLengthEdited() {
  if (!hasCurrent()) return;
  const std::optional<int> value = readInteger(lengthEdit_->text());
  if (!value) return;
  def_.fieldSlots[static_cast<std::size_t>(current_)].length = *value;
  refresh();
}

void FieldLayoutEditor::onLabelEdited() {
  if (!hasCurrent()) return;
  def_.setLabelOfPosition(current_, toBytes(labelEdit_->text()));
}

void FieldLayoutEditor::onAlternateNameToggled() {
  if (!hasCurrent() || !def_.fields().isString(current_)) return;
  def_.altNames[static_cast<std::size_t>(current_ - def_.fields().firstFreePosition())] =
      alternateNameBox_->isChecked() ? 1 : 0;
}

// ---------------------------------------------------------------------------
// The sample

void FieldLayoutEditor::enterPage() {
  showImportCaption();
  try {
    loadSample();
  } catch (const std::exception& e) {
    // Reported as the window reports any failure; the page opens all the same.
    services_.message(window(), QString::fromLocal8Bit(e.what()));
  }
  refresh();
}

void FieldLayoutEditor::loadSample() {
  const std::vector<std::string>& files = def_.settings.inputfiles;
  // Nothing of the file read before stays: its columns, ruler and sample
  // belong to another file, form or table. A file that cannot be read
  // leaves no sample.
  clearColumns();
  hintRows_.reset();
  sample_.clear();
  sampleShown_ = false;
  sampleMemo_->clear();
  if (files.empty()) return;  // no input file, no sample: the rulers would describe nothing
  const std::string first = resolveInput_ ? resolveInput_(files.front()) : expandHome(files.front());
  // Only a regular file is opened here: a FIFO would wait for a writer.
  if (const FileKind kind = fs_.kind(first); kind != FileKind::Regular && kind != FileKind::Missing)
    throw Error(notAFileMessage(first, kind) + ": the page shows no sample of it");
  if (def_.settings.format != TableForm::Fixed) {
    loadTableSample(first);
    return;
  }
  const InputFormat format = InputFormat::of(def_.settings);
  FileSystem& fs = fs_;
  auto [sample, hintRows] = readOffWindowThread([&fs, &first, &format] {
    RowSample rows = readRowSample(fs, first, format, 1, kMaxSampleLength);
    // A file whose later rows cannot be read still gives its sample.
    std::optional<SampleRows> seen;
    try {
      seen = readSampleRows(fs, first, format, kWidthHintRows, kWidthHintBytes, kMaxSampleLength);
    } catch (const Error&) {
    }
    return std::pair(std::move(rows), std::move(seen));
  });
  hintRows_ = std::move(hintRows);
  showSample(sample.rows.empty() ? std::string() : sample.rows.front());
  QTextCursor cursor = sampleMemo_->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(1, QTextCursor::KeepAnchor);
  sampleMemo_->setTextCursor(cursor);
}

// The header of the file at `path` read as its form says, then the first
// row after it, the sample. FITS and VOTable rows hold typed cells: the
// sample shows each as its shortest exact text, and the preview reads them
// from a comma-separated row made of those texts, so that the numbers it
// gives are the stored ones.
void FieldLayoutEditor::loadTableSample(const std::string& path) {
  const InputFormat format = InputFormat::of(def_.settings);
  FileSystem& fs = fs_;
  RowSample sample =
      readOffWindowThread([&fs, &path, &format] { return readRowSample(fs, path, format, 1, kMaxSampleLength); });
  if (!slotsNameColumns(def_.settings.format)) {
    // MRT: the slots are bytes, as for fixed columns.
    hintRows_ = readOffWindowThread([&fs, &path, &format]() -> std::optional<SampleRows> {
      try {
        return readSampleRows(fs, path, format, kWidthHintRows, kWidthHintBytes, kMaxSampleLength);
      } catch (const Error&) {
        return std::nullopt;
      }
    });
  }
  layout_ = std::move(sample.layout);
  layoutPath_ = path;
  cells_ = std::move(sample.cells);
  textWidths_.clear();
  showSample(sample.rows.front());
  showColumns();
}

void FieldLayoutEditor::showColumns() {
  const QSignalBlocker block(columnList_);
  columnList_->setRowCount(static_cast<int>(layout_.columns.size()));
  for (std::size_t c = 0; c < layout_.columns.size(); ++c) {
    const TableColumn& column = layout_.columns[c];
    const auto row = static_cast<int>(c);
    QString number = QString::number(column.number);
    if (column.firstByte > 0) number += QStringLiteral(" (%1-%2)").arg(column.firstByte).arg(column.lastByte);
    const QStringList texts = {number, fromBytes(column.name), fromBytes(column.unit), fromBytes(std::string(trimmed(cells_[c])))};
    for (int k = 0; k < texts.size(); ++k) {
      auto* item = new QTableWidgetItem(texts[k]);
      if (!column.description.empty()) item->setToolTip(fromBytes(column.description));
      columnList_->setItem(row, k, item);
    }
  }
  columnList_->resizeColumnsToContents();
  columnList_->setVisible(!layout_.columns.empty());
  sampleMemo_->setVisible(!columnMode());
}

void FieldLayoutEditor::clearColumns() {
  layout_ = TableLayout{};
  layoutPath_.clear();
  cells_.clear();
  textWidths_.clear();
  {
    const QSignalBlocker block(columnList_);
    columnList_->setRowCount(0);
  }
  columnList_->hide();
  sampleMemo_->show();
}

bool FieldLayoutEditor::columnMode() const {
  return slotsNameColumns(def_.settings.format) && layout_.form == def_.settings.format && !layoutPath_.empty();
}

// A field the build reads as text: its cell's blanks and "NaN" are no value.
bool FieldLayoutEditor::readsText(int position) const {
  const ValueKind kind = def_.fields().entry(position).kind;
  return kind != ValueKind::Scaled16 && kind != ValueKind::Float && kind != ValueKind::Byte &&
         kind != ValueKind::Coordinate;
}

void FieldLayoutEditor::showImportCaption() {
  const bool ownDescription = def_.settings.format != TableForm::Fixed && !def_.settings.inputfiles.empty();
  importButton_->setText(ownDescription ? QStringLiteral("Propose columns") : QStringLiteral("Import ReadMe..."));
}

int FieldLayoutEditor::textWidthOfColumn(int row) {
  if (textWidths_.empty()) {
    // Every row may be read: off the window's thread.
    const InputFormat format = InputFormat::of(def_.settings);
    FileSystem& fs = fs_;
    const std::string& path = layoutPath_;
    textWidths_ = readOffWindowThread([&fs, &path, &format] { return textWidthsOf(fs, path, format); });
  }
  const auto r = static_cast<std::size_t>(row);
  return r < textWidths_.size() ? textWidths_[r].width : 1;
}

void FieldLayoutEditor::onColumnClicked(int row) {
  if (!hasCurrent() || row < 0 || row >= static_cast<int>(layout_.columns.size())) return;
  const TableColumn& column = layout_.columns[static_cast<std::size_t>(row)];
  const auto i = static_cast<std::size_t>(current_);
  FieldSlot& slot = def_.fieldSlots[i];
  if (columnMode()) {
    int length = 1;
    if (readsText(current_)) {
      try {
        length = textWidthOfColumn(row);
      } catch (const std::exception& e) {
        services_.message(window(), QString::fromLocal8Bit(e.what()));
        return;
      }
    }
    slot.firstChar = column.number;
    slot.length = length;
    def_.fieldNames[i] = column.name;
  } else if (column.firstByte > 0) {
    slot.firstChar = column.firstByte;
    slot.length = column.lastByte - column.firstByte + 1;
  } else {
    return;
  }
  // A field given a column is one the build reads.
  if (QListWidgetItem* item = fieldList_->item(current_)) item->setCheckState(Qt::Checked);
  refresh();
}

// Each slot is placed on its own, so that one the file cannot give (a name
// it lacks, a column past the sample row's last cell) leaves the others
// their cells and tells its own reason.
void FieldLayoutEditor::placeSample() {
  FileColumns columns;
  std::array<bool, kSlotCount> text{};
  slotProblems_.fill(std::string());
  rowProblem_.clear();
  RowSplitter splitter(layout_.delimiting);
  const RowStatus status = splitter.split(sample_);
  const int cells = static_cast<int>(splitter.size());
  for (int p = 0; p < kSlotCount; ++p) {
    const auto i = static_cast<std::size_t>(p);
    if (p < def_.fields().size()) text[i] = readsText(p);
    try {
      const FileColumns one = resolveColumns(def_, {p}, layout_, layoutPath_);
      if (one.cell[i] < 0) continue;
      if (status == RowStatus::Ok && one.cell[i] >= cells) {
        slotProblems_[i] = "Column " + std::to_string(one.cell[i] + 1) + " is past the sample row's last cell (" +
                           std::to_string(cells) + ")";
        continue;
      }
      columns.cell[i] = one.cell[i];
      columns.cellsNeeded = std::max(columns.cellsNeeded, one.cell[i] + 1);
    } catch (const Error& e) {
      slotProblems_[i] = e.what();
    }
  }
  CellPlacer placer(layout_.delimiting, columns, text);
  std::string_view row;
  const RowRefusal refusal = placer.place(sample_, def_.fieldSlots.data(), placed_.data(), row);
  if (refusal != RowRefusal::None) {
    rowProblem_ = rowRefusalText(refusal, placer.cells(), placer.cellsNeeded());
    for (FieldSlot& slot : placed_) slot.length = 0;
    row = {};
  }
  placedText_ = row;
}

// Three lines: the sample; "1234567890" n times; the numbers 1 to n, each
// right-aligned in a block of ten so that j ends in column 10 j. n is the
// length of the sample divided by ten, plus one.
void FieldLayoutEditor::showSample(const std::string& line) {
  QString shown = fromBytes(line);
  for (QChar& c : shown)
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) c = QChar(kControlByteMark);
  const int blocks = static_cast<int>(line.size() / 10 + 1);
  QString ruler = QString::fromLatin1(kRulerBlock).repeated(blocks);
  QString numbers;
  numbers.reserve(10 * blocks);
  for (int j = 1; j <= blocks; ++j) numbers += QString::number(j).rightJustified(10, QLatin1Char(' '));
  sampleMemo_->setPlainText(shown + QLatin1Char('\n') + ruler + QLatin1Char('\n') + numbers);
  sample_ = line;
  sampleShown_ = true;
}

bool FieldLayoutEditor::hasCurrent() const { return current_ >= 0 && current_ < def_.fields().size(); }

int FieldLayoutEditor::sampleLength() const { return sampleShown_ ? static_cast<int>(sample_.size()) : 0; }

void FieldLayoutEditor::onSampleMouseUp() {
  const QTextCursor cursor = sampleMemo_->textCursor();
  const int start = cursor.selectionStart();
  const int length = cursor.selectionEnd() - start;
  if (length == 0 || !hasCurrent()) return;
  // The rulers stand under the sample column for column, so a selection in
  // any line picks the columns it covers in its own line.
  const int column = start - sampleMemo_->document()->findBlock(start).position();
  firstCharEdit_->setText(QString::number(column + 1));
  lengthEdit_->setText(QString::number(length));
  // Also when neither text changed: the highlight moves onto the sample line.
  refresh();
}

// The highlighted text: bytes of the sample line when it lies in that line
// (control bytes are shown as marks), otherwise the text of the rulers.
std::string FieldLayoutEditor::highlightedBytes() const {
  if (columnMode()) {
    if (!hasCurrent()) return {};
    const FieldSlot& slot = placed_[static_cast<std::size_t>(current_)];
    if (slot.length <= 0) return {};
    return placedText_.substr(static_cast<std::size_t>(slot.firstChar - 1), static_cast<std::size_t>(slot.length));
  }
  const QTextCursor cursor = sampleMemo_->textCursor();
  if (!cursor.hasSelection()) return {};
  const int start = cursor.selectionStart();
  const int end = cursor.selectionEnd();
  if (end <= sampleLength())
    return sample_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
  return toBytes(cursor.selectedText());
}

// ---------------------------------------------------------------------------
// "Advanced"

void FieldLayoutEditor::setFormulaDialog(FormulaDialog* dialog) { formulaDialog_ = dialog; }

FormulaDialog* FieldLayoutEditor::formulaDialog() {
  if (!formulaDialog_) {
    QWidget* top = window();
    if (top != this) formulaDialog_ = top->findChild<FormulaDialog*>();
    if (!formulaDialog_) formulaDialog_ = new FormulaDialog(top);
  }
  return formulaDialog_;
}

void FieldLayoutEditor::onFormula() {
  if (!hasCurrent()) return;
  const int i = current_;
  // Entries with a unit or remark in parentheses, and the free numerics,
  // take a calibration.
  const std::string_view text = def_.fields().entry(i).text;
  if (text.find('(') == std::string_view::npos && text.find("Numeric") == std::string_view::npos) return;
  const std::optional<double> x = readFormulaNumber(highlightedBytes());
  if (!x) return;
  FormulaDialog* dialog = formulaDialog();
  FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(i)];
  dialog->setValues(slot.calcA, slot.calcB, *x);
  if (dialog->exec() != QDialog::Accepted) return;
  slot.calcA = dialog->a();
  slot.calcB = dialog->b();
  updatePreview();
}

// ---------------------------------------------------------------------------
// The preview

void FieldLayoutEditor::updatePreview() {
  if (!sampleShown_) {
    previewValue_->setText(grey(QStringLiteral("No sample line: the input file list is empty")));
    previewRa_->clear();
    previewDec_->clear();
    previewRefused_->hide();
    previewUnit_->hide();
    return;
  }
  std::string_view line = sample_;
  // Where slots name columns, the preview reads the sample row as the build
  // does: on a copy of the definition whose slots point at the row's cells.
  const CatalogDefinition* shown = &def_;
  CatalogDefinition placed;
  if (columnMode()) {
    placeSample();
    placed = def_;
    placed.fieldSlots = placed_;
    shown = &placed;
    line = placedText_;
  }
  const QFontMetrics fm(previewValue_->font());
  const int room = std::max(previewValue_->contentsRect().width(), 4 * fm.averageCharWidth());
  auto fitted = [&fm](const QString& text, int width) {
    return fm.elidedText(text, Qt::ElideRight, std::max(width, fm.averageCharWidth())).toHtmlEscaped();
  };
  const std::string& slotProblem =
      columnMode() && hasCurrent() ? slotProblems_[static_cast<std::size_t>(current_)] : std::string();
  const LinePreview preview = previewLine(line, *shown, hasCurrent() ? current_ : -1, def_.tables.prepareLookupLists(),
                                          slotProblem, columnMode() ? std::string_view(rowProblem_) : std::string_view());
  if (preview.field) {
    const FieldPreview& p = *preview.field;
    QString html;
    if (!preview.problem.empty()) html = red(fitted(fromBytes(preview.problem), room)) + QStringLiteral("<br>");
    const QString prefix = fromBytes(preview.prefix);
    const QString swatch = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp; ");
    const QString notTicked = QStringLiteral(" (not ticked)");
    int left = room - fm.horizontalAdvance(prefix);
    if (p.colour) left -= fm.horizontalAdvance(QStringLiteral("     "));
    if (preview.notTicked) left -= fm.horizontalAdvance(notTicked);
    QString value = fitted(fromBytes(p.value), left);
    if (p.colour)
      value = QStringLiteral("<span style=\"background-color:%1\">%2</span>").arg(toQColor(*p.colour).name(), swatch) +
              value;
    html += grey(prefix.toHtmlEscaped()) + (p.missing ? amber(value) : value);
    if (preview.notTicked) html += grey(notTicked);
    previewValue_->setText(html);
    previewValue_->setToolTip(fromBytes(p.value));
    previewValue_->setProperty("missing", p.missing);
    previewValue_->setProperty("pastEnd", p.reach == ColumnReach::PastEnd || p.reach == ColumnReach::CutAtEnd);
  } else {
    previewValue_->setText(grey(QStringLiteral("No field selected")));
    previewValue_->setToolTip(QString());
    previewValue_->setProperty("missing", false);
    previewValue_->setProperty("pastEnd", false);
  }

  const SkyPosition& position = preview.position;
  const QString gap = QStringLiteral("&nbsp;&nbsp;&nbsp;");
  const QString degree(QChar(0xB0));
  QString ra = escaped(formatHours(position.ra)) + gap + escaped(formatFixed(position.ra, 5)) + degree;
  QString dec = escaped(formatDegrees(position.dec)) + gap + escaped(formatFixed(position.dec, 5)) + degree;
  // A coordinate none of whose entries reads a column has no value to show.
  const FieldCatalogue& fields = def_.fields();
  auto columnChosen = [this](int from, int count) {
    for (int p = from; p < from + count; ++p) {
      const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(p)];
      if (slot.firstChar >= 1 && slot.length >= 1) return true;
    }
    return false;
  };
  const bool raChosen = columnChosen(0, fields.raCount());
  const bool decChosen = columnChosen(fields.raCount(), fields.decCount());
  const QString noColumn = grey(QStringLiteral("no column chosen"));
  if (!raChosen) ra = noColumn;
  if (!decChosen) dec = noColumn;
  if (preview.refused) {
    if (raChosen) ra = red(ra);
    if (decChosen) dec = red(dec);
    QString why = fromBytes(preview.refusal);
    if (!raChosen || !decChosen)
      why = QStringLiteral("no column is chosen for %1")
                .arg(!raChosen && !decChosen ? QStringLiteral("RA and DEC")
                                             : (!raChosen ? QStringLiteral("RA") : QStringLiteral("DEC")));
    previewRefused_->setText(red(fitted(QStringLiteral("The build refuses this line: %1").arg(why), room)));
  }
  previewRa_->setText(ra);
  previewDec_->setText(dec);
  previewRefused_->setVisible(preview.refused);

  // The current field's, else the first of a field the build reads (after
  // a change of page 2's formats, say), named.
  auto mismatchOf = [this, &fields](int position) {
    const int column = columnOf(position);
    if (column < 0) return std::string();
    const FieldSlot& slot = def_.fieldSlots[static_cast<std::size_t>(position)];
    return unitMismatch(fields.entry(position).text, layout_.columns[static_cast<std::size_t>(column)].unit,
                        slot.calcA);
  };
  std::string mismatch = hasCurrent() ? mismatchOf(current_) : std::string();
  for (int p = 0; p < fields.size() && mismatch.empty(); ++p)
    if (p != current_)
      if (std::string other = mismatchOf(p); !other.empty()) mismatch = std::string(fields.entry(p).text) + ": " + other;
  previewUnit_->setText(amber(fitted(fromBytes(mismatch), room)));
  previewUnit_->setToolTip(fromBytes(mismatch));
  previewUnit_->setVisible(!mismatch.empty());
}

void FieldLayoutEditor::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Texts are elided to the labels' widths, which the layout sets after this.
  QMetaObject::invokeMethod(this, &FieldLayoutEditor::updatePreview, Qt::QueuedConnection);
}

}  // namespace mirdal
