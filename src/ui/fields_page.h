#pragma once

#include <optional>

#include "import/position_units.h"
#include "ui/wizard_page.h"

namespace mirdal {

class FieldLayoutEditor;
struct OpenRaUnit;

// Page 3: the fields of an input line, edited by the field layout editor,
// and the import of their layout from a ReadMe or from the input file's own
// description. Leaving it forward needs every required field placed.
class FieldsPage : public WizardPage {
  Q_OBJECT
 public:
  FieldsPage(WizardWindow& wizard, QWidget* parent);

  // The sample is read again from the first input file.
  void initializePage() override;
  bool validatePage() override;
  void showDefinition() override;

  FieldLayoutEditor* editor() const { return editor_; }

 public slots:
  // Fills the field list from a ReadMe's byte-by-byte description, or from
  // the input file's own description where its form carries one.
  void onImportReadMe();

 private:
  // "Import ReadMe..." for an input whose form describes its columns.
  void importInputDescription();
  // Whether the right ascension an import left open is in hours or in
  // degrees, asked of the user; nullopt when cancelled.
  std::optional<RaUnit> askRaUnit(const OpenRaUnit& open, const std::string& file) const;

  FieldLayoutEditor* editor_ = nullptr;
};

}  // namespace mirdal
