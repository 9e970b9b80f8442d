#pragma once

#include <vector>

#include "ui/wizard_page.h"

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace mirdal {

class ColourSwatch;

// The tables of pages 5 to 8, in their order.
enum class CodeTable { ObjectTypes, SizeUnits, LineOperations, Colours };

// Pages 5 to 8: one table of the strings that tell what the catalog writes
// for each object type, size unit, line operation or colour, reached from
// page 2 and left with "Return" (the window does both). The grid's last
// column holds the catalog strings, edited in place; the colour table has a
// swatch of its colour beside each row.
class CodeTablePage : public WizardPage {
  Q_OBJECT
 public:
  CodeTablePage(WizardWindow& wizard, CodeTable table, QWidget* parent);

  void showDefinition() override;

  QPushButton* returnButton() const { return returnButton_; }
  // The colour table's swatches, one a row; none for the other tables.
  const std::vector<ColourSwatch*>& swatches() const { return swatches_; }

 private:
  // The colour grid is exactly as tall as its rows, each level with its swatch.
  QWidget* buildSwatches();
  void cellChanged(QTableWidgetItem* item);

  CodeTable table_;
  QTableWidget* grid_ = nullptr;
  QPushButton* returnButton_ = nullptr;
  std::vector<ColourSwatch*> swatches_;
};

}  // namespace mirdal
