// Pages 5 to 8: the tables that tell what the catalog writes for each object
// type, size unit, line operation and colour, reached from page 2 and left
// with "Return".

#include "ui/main_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "catalog/mapping_tables.h"
#include "ui/qt_text.h"
#include "ui/widgets.h"
#include "ui/wizard_pages.h"

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

void setCell(QTableWidget* grid, int row, const std::string& text) {
  grid->item(row, grid->columnCount() - 1)->setText(fromBytes(text));
}

}  // namespace

void Form1::buildTablePages() {
  QStringList names;
  for (int r = 0; r < kObjectTypeRows - 1; ++r) names << bytesOf(kObjectTypeTable[static_cast<std::size_t>(r)].name);
  // The fifteenth object type ("Unknow") is kept in the table but has no row.
  StringGrid1 = makeGrid("StringGrid1", {"Object type", "Catalog string"}, names, kObjectTypeRows - 1, this);
  addTablePage("TabSheet5", "Indicate the string identifier for each type of object :", "Button4", StringGrid1);

  names.clear();
  for (const SizeUnitRow& r : kSizeUnitTable) names << bytesOf(r.name);
  StringGrid2 = makeGrid("StringGrid2", {"Object size unit", "Catalog string"}, names, kSizeUnitRows, this);
  addTablePage("TabSheet6", "Indicate how to recognize the object size unit :", "Button5", StringGrid2);

  names.clear();
  for (const LineOperationRow& r : kLineOperationTable) names << bytesOf(r.name);
  // The fourth line-operation cell is carried by project files only.
  StringGrid3 = makeGrid("StringGrid3", {"Line operation", "Catalog string"}, names, kLineOperationRows, this);
  addTablePage("TabSheet7", "Indicate the string for each draw operation", "Button8", StringGrid3);

  buildColourPage();
}

// A page holding `grid` (and `beside` at its right, when given) and the
// "Return" button back to page 2.
void Form1::addTablePage(const char* sheet, const char* heading, const char* returnName, QTableWidget* grid,
                         QWidget* beside) {
  QWidget* page = addPage(sheet, heading);
  grid->setParent(page);
  auto* column = pageColumn(page);
  if (beside) {
    auto* row = new QHBoxLayout;
    row->addWidget(grid, 0, Qt::AlignTop);
    row->addWidget(beside, 0, Qt::AlignTop);
    row->addStretch(1);
    column->addLayout(row);
    column->addStretch(1);
  } else {
    column->addWidget(grid, 1);
  }
  auto* back = new QPushButton("Return", page);
  back->setObjectName(returnName);
  back->setAutoDefault(false);
  column->addWidget(back, 0, Qt::AlignRight);
  connect(back, &QPushButton::clicked, this, &Form1::Button4Click);
  connect(grid, &QTableWidget::itemChanged, this, &Form1::tableCellChanged);
}

// The colour strings, each row beside a swatch of its colour: the grid is
// exactly as tall as its rows, which never scroll.
void Form1::buildColourPage() {
  StringGrid4 = makeGrid("StringGrid4", {"Catalog string"}, {}, kColourRows, this);
  const int rowHeight = std::max(25, StringGrid4->fontMetrics().height() + 8);
  StringGrid4->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid4->verticalHeader()->setDefaultSectionSize(rowHeight);
  StringGrid4->horizontalHeader()->setFixedHeight(rowHeight);
  StringGrid4->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid4->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid4->setTextElideMode(Qt::ElideRight);
  const int frame = StringGrid4->frameWidth();
  StringGrid4->setFixedSize(std::max(200, StringGrid4->fontMetrics().horizontalAdvance("Turquoise,T,10") * 2) + 2 * frame,
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
    s->setObjectName(QStringLiteral("Shape%1").arg(r + 2));
    s->setFixedSize(81, rowHeight);
    colourShapes_[static_cast<std::size_t>(r)] = s;
    c->addWidget(s);
    connect(s, &ColourSwatch::mouseReleased, this, &Form1::Shape1MouseUp);
  }
  addTablePage("TabSheet8", "Indicate the string for each color", "Button10", StringGrid4, swatches);
}

// ---------------------------------------------------------------------------
// Tables <-> grids

void Form1::mapTablesToGrids() {
  const MappingTables& t = def_.tables;
  for (QTableWidget* grid : {StringGrid1, StringGrid2, StringGrid3, StringGrid4}) grid->blockSignals(true);
  for (int r = 0; r < StringGrid1->rowCount(); ++r) setCell(StringGrid1, r, t.objectTypes[static_cast<std::size_t>(r)]);
  for (int r = 0; r < StringGrid2->rowCount(); ++r) setCell(StringGrid2, r, t.sizeUnits[static_cast<std::size_t>(r)]);
  for (int r = 0; r < StringGrid3->rowCount(); ++r)
    setCell(StringGrid3, r, t.lineOperations[static_cast<std::size_t>(r)]);
  for (int r = 0; r < StringGrid4->rowCount(); ++r)
    setCell(StringGrid4, r, t.colourStrings[static_cast<std::size_t>(r)]);
  for (QTableWidget* grid : {StringGrid1, StringGrid2, StringGrid3, StringGrid4}) {
    grid->blockSignals(false);
    static_cast<CodeGrid*>(grid)->fitColumns();
  }
  for (int r = 0; r < kColourRows; ++r)
    colourShapes_[static_cast<std::size_t>(r)]->setColour(t.colours[static_cast<std::size_t>(r)]);
}

void Form1::tableCellChanged(QTableWidgetItem* item) {
  QTableWidget* grid = item->tableWidget();
  if (item->column() != grid->columnCount() - 1) return;
  const auto row = static_cast<std::size_t>(item->row());
  const std::string text = toBytes(item->text());
  MappingTables& t = def_.tables;
  if (grid == StringGrid1 && row < t.objectTypes.size()) t.objectTypes[row] = text;
  if (grid == StringGrid2 && row < t.sizeUnits.size()) t.sizeUnits[row] = text;
  if (grid == StringGrid3 && row < t.lineOperations.size()) t.lineOperations[row] = text;
  if (grid == StringGrid4 && row < t.colourStrings.size()) t.colourStrings[row] = text;
  static_cast<CodeGrid*>(grid)->fitColumns();
}

}  // namespace mirdal
