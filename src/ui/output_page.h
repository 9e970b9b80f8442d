#pragma once

#include "ui/wizard_page.h"

class QCheckBox;
class QGroupBox;

namespace mirdal {

class DirectoryEdit;
class RadioGroup;

// Page 4, the last step: the number of region files, the search index and
// where the catalog is written.
class OutputPage : public WizardPage {
  Q_OBJECT
 public:
  OutputPage(WizardWindow& wizard, QWidget* parent);

  // Shows the choices the catalog's type offers.
  void initializePage() override;
  void showDefinition() override;
  bool isFinalPage() const override { return true; }

  // After a build refused for its output directory.
  void focusOutputDirectory();

 private:
  RadioGroup* regionCountGroup_ = nullptr;
  QGroupBox* indexGroup_ = nullptr;
  QCheckBox* createIndexBox_ = nullptr;
  QCheckBox* alternateNamesBox_ = nullptr;
  QCheckBox* prefixAlternateNamesBox_ = nullptr;
  DirectoryEdit* outputDirectoryEdit_ = nullptr;
  QCheckBox* appendBox_ = nullptr;
};

}  // namespace mirdal
