#include "ui/code_table_page.h"

#include <span>
#include <string>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"
#include "ui/qt_text.h"
#include "ui/widgets.h"

namespace mirdal {

namespace {

// Columns are as wide as their longest text and the last one at least fills
// the grid: a long catalog string scrolls rather than being cut short.
class CodeGrid : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;

  void fitColumns() {
    resizeColumnsToContents();
    const int last = columnCount() - 1;
    int used = 0;
    for (int c = 0; c < last; ++c) used += columnWidth(c);
    const int room = viewport()->width() - used;
    if (columnWidth(last) < room) setColumnWidth(last, room);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QTableWidget::resizeEvent(event);
    fitColumns();
  }
};

// A grid of code strings: a fixed name column (when `names` is not empty)
// and the editable catalog strings.
QTableWidget* makeGrid(const QString& name, const QStringList& headers, const QStringList& names, int rows,
                       QWidget* parent) {
  auto* grid = new CodeGrid(rows, static_cast<int>(headers.size()), parent);
  grid->setObjectName(name);
  grid->setHorizontalHeaderLabels(headers);
  grid->verticalHeader()->hide();
  grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setTextElideMode(Qt::ElideNone);
  grid->setWordWrap(false);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
  const QColor fixed = grid->palette().color(QPalette::Button);
  for (int r = 0; r < rows; ++r) {
    if (!names.isEmpty()) {
      auto* item = new QTableWidgetItem(names.value(r));
      item->setFlags(Qt::ItemIsEnabled);
      item->setBackground(fixed);
      grid->setItem(r, 0, item);
    }
    grid->setItem(r, static_cast<int>(headers.size()) - 1, new QTableWidgetItem);
  }
  return grid;
}

// What distinguishes the four pages, in the order of CodeTable.
struct CodeTableLayout {
  const char* page;  // objectNames
  const char* grid;
  const char* returnButton;
  const char* heading;
  const char* nameHeader;  // the fixed first column; none for the colours
};
constexpr CodeTableLayout kLayouts[] = {
    {"ObjectTypesPage", "ObjectTypesGrid", "ObjectTypesReturnButton",
     "Indicate the string identifier for each type of object :", "Object type"},
    {"SizeUnitsPage", "SizeUnitsGrid", "SizeUnitsReturnButton", "Indicate how to recognize the object size unit :",
     "Object size unit"},
    {"LineOperationsPage", "LineOperationsGrid", "LineOperationsReturnButton",
     "Indicate the string for each draw operation", "Line operation"},
    {"ColoursPage", "ColoursGrid", "ColoursReturnButton", "Indicate the string for each color", nullptr},
};

const CodeTableLayout& layoutOf(CodeTable table) { return kLayouts[static_cast<std::size_t>(table)]; }

template <typename Rows>
QStringList namesOf(const Rows& rows, int count) {
  QStringList names;
  for (int r = 0; r < count; ++r) names << bytesOf(rows[static_cast<std::size_t>(r)].name);
  return names;
}

// The fixed first column, one name a row.
QStringList rowNamesOf(CodeTable table) {
  switch (table) {
    case CodeTable::ObjectTypes:
      // The fifteenth object type ("Unknow") is kept in the table but has no row.
      return namesOf(kObjectTypeTable, kObjectTypeRows - 1);
    case CodeTable::SizeUnits:
      return namesOf(kSizeUnitTable, kSizeUnitRows);
    case CodeTable::LineOperations:
      // The fourth line-operation cell is carried by project files only.
      return namesOf(kLineOperationTable, kLineOperationRows);
    case CodeTable::Colours:
      break;
  }
  return {};
}

// The definition's strings that a table's grid shows, one a row (the line
// operations have a cell more than rows).
std::span<std::string> cellsOf(MappingTables& t, CodeTable table) {
  switch (table) {
    case CodeTable::ObjectTypes:
      return t.objectTypes;
    case CodeTable::SizeUnits:
      return t.sizeUnits;
    case CodeTable::LineOperations:
      return t.lineOperations;
    case CodeTable::Colours:
      break;
  }
  return t.colourStrings;
}

}  // namespace

CodeTablePage::CodeTablePage(WizardWindow& wizard, CodeTable table, QWidget* parent)
    : WizardPage(wizard, layoutOf(table).page, layoutOf(table).heading, parent), table_(table) {
  const CodeTableLayout& layout = layoutOf(table);
  const QStringList names = rowNamesOf(table);
  QStringList headers;
  if (layout.nameHeader) headers << layout.nameHeader;
  headers << "Catalog string";
  const int rows = table == CodeTable::Colours ? kColourRows : static_cast<int>(names.size());
  grid_ = makeGrid(layout.grid, headers, names, rows, this);
  if (table == CodeTable::Colours) {
    auto* row = new QHBoxLayout;
    QWidget* beside = buildSwatches();
    row->addWidget(grid_, 0, Qt::AlignTop);
    row->addWidget(beside, 0, Qt::AlignTop);
    row->addStretch(1);
    column()->addLayout(row);
    column()->addStretch(1);
  } else {
    column()->addWidget(grid_, 1);
  }
  returnButton_ = new QPushButton("Return", this);
  returnButton_->setObjectName(layout.returnButton);
  returnButton_->setAutoDefault(false);
  column()->addWidget(returnButton_, 0, Qt::AlignRight);
  connect(grid_, &QTableWidget::itemChanged, this, &CodeTablePage::cellChanged);
}

// The colour strings, each row beside a swatch of its colour: the grid is
// exactly as tall as its rows, which never scroll.
QWidget* CodeTablePage::buildSwatches() {
  const int rowHeight = std::max(25, grid_->fontMetrics().height() + 8);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(rowHeight);
  grid_->horizontalHeader()->setFixedHeight(rowHeight);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setTextElideMode(Qt::ElideRight);
  const int frame = grid_->frameWidth();
  grid_->setFixedSize(std::max(200, grid_->fontMetrics().horizontalAdvance("Turquoise,T,10") * 2) + 2 * frame,
                      (kColourRows + 1) * rowHeight + 2 * frame);
  // The swatches stand level with the rows of the grid: below the note, one
  // header row down.
  auto* swatches = new QWidget(this);
  auto* c = new QVBoxLayout(swatches);
  c->setContentsMargins(0, 0, 0, 0);
  c->setSpacing(0);
  auto* note = new QLabel("Click to change the color", swatches);
  note->setFixedHeight(rowHeight + frame);
  note->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  c->addWidget(note);
  for (int r = 0; r < kColourRows; ++r) {
    auto* s = new ColourSwatch(swatches);
    s->setObjectName(QStringLiteral("ColourSwatch%1").arg(r + 1));
    s->setFixedSize(81, rowHeight);
    swatches_.push_back(s);
    c->addWidget(s);
  }
  return swatches;
}

void CodeTablePage::showDefinition() {
  MappingTables& t = definition().tables;
  const std::span<std::string> cells = cellsOf(t, table_);
  grid_->blockSignals(true);
  for (int r = 0; r < grid_->rowCount(); ++r)
    grid_->item(r, grid_->columnCount() - 1)->setText(fromBytes(cells[static_cast<std::size_t>(r)]));
  grid_->blockSignals(false);
  static_cast<CodeGrid*>(grid_)->fitColumns();
  for (std::size_t r = 0; r < swatches_.size(); ++r) swatches_[r]->setColour(t.colours[r]);
}

void CodeTablePage::cellChanged(QTableWidgetItem* item) {
  if (item->column() != grid_->columnCount() - 1) return;
  const auto row = static_cast<std::size_t>(item->row());
  const std::span<std::string> cells = cellsOf(definition().tables, table_);
  if (row < cells.size()) cells[row] = toBytes(item->text());
  static_cast<CodeGrid*>(grid_)->fitColumns();
}

}  // namespace mirdal
