#pragma once

#include "ui/wizard_page.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QPushButton;
class QSpinBox;

namespace mirdal {

class ColourSwatch;
class FloatEdit;
class RadioGroup;

// Page 2: how positions are written, equinox, epoch and magnitude limit, and
// the defaults of nebulae or of outlines, whichever the catalog holds. The
// buttons of the defaults open the code tables (pages 5 to 8); the window
// does that, and the choice of the outline colour.
class OptionsPage : public WizardPage {
  Q_OBJECT
 public:
  OptionsPage(WizardWindow& wizard, QWidget* parent);

  // Shows the defaults of the catalog's type.
  void initializePage() override;
  // An equinox outside 1800 to 2100 asks first.
  bool validatePage() override;
  void showDefinition() override;
  void commitEdits() override;

  RadioGroup* raFormatGroup() const { return raFormatGroup_; }
  RadioGroup* decFormatGroup() const { return decFormatGroup_; }
  ColourSwatch* lineColourSwatch() const { return lineColourSwatch_; }
  QPushButton* objectTypesButton() const { return objectTypesButton_; }
  QPushButton* sizeUnitsButton() const { return sizeUnitsButton_; }
  QPushButton* lineOperationsButton() const { return lineOperationsButton_; }
  QPushButton* coloursButton() const { return coloursButton_; }

 public slots:
  // The unit of the nebula sizes chosen.
  void onNebulaSizeUnitChosen();

 private:
  QGridLayout* buildCoordinateOptions();
  QGroupBox* buildNebulaDefaults();
  QGroupBox* buildOutlineDefaults();

  RadioGroup* raFormatGroup_ = nullptr;
  RadioGroup* decFormatGroup_ = nullptr;
  FloatEdit* equinoxEdit_ = nullptr;
  FloatEdit* magnitudeLimitEdit_ = nullptr;
  FloatEdit* epochEdit_ = nullptr;
  // Nebulae
  QGroupBox* nebulaDefaultsBox_ = nullptr;
  QSpinBox* nebulaSizeEdit_ = nullptr;
  QComboBox* nebulaSizeUnitBox_ = nullptr;
  QCheckBox* logarithmicSizeBox_ = nullptr;
  QComboBox* nebulaTypeBox_ = nullptr;
  QPushButton* objectTypesButton_ = nullptr;
  QPushButton* sizeUnitsButton_ = nullptr;
  // Outlines
  QGroupBox* outlineDefaultsBox_ = nullptr;
  RadioGroup* drawingTypeGroup_ = nullptr;
  QCheckBox* closedContourBox_ = nullptr;
  QSpinBox* lineWidthEdit_ = nullptr;
  ColourSwatch* lineColourSwatch_ = nullptr;
  QPushButton* lineOperationsButton_ = nullptr;
  QPushButton* coloursButton_ = nullptr;
};

}  // namespace mirdal
