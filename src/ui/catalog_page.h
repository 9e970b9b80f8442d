#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QString>

#include "catalog/definition_check.h"
#include "ui/wizard_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace mirdal {

class RadioGroup;

// Page 1: the catalog's type and names, its input files, their form and
// their line end. Leaving it forward needs the names and input files the
// build accepts.
class CatalogPage : public WizardPage {
  Q_OBJECT
 public:
  CatalogPage(WizardWindow& wizard, QWidget* parent);

  bool validatePage() override;
  void showDefinition() override;

  // The window follows a change of type into the field list of page 3.
  RadioGroup* catalogTypeGroup() const { return catalogTypeGroup_; }
  // Puts the focus on the box of `item` where it is one of this page's.
  void focusItem(DefinitionItem item);

 public slots:
  // The input files chosen; their form and line end proposed from the first.
  void onChooseInputFiles();
  // The input form chosen, the header row ticked.
  void onFormChosen();
  void onHeaderRowToggled();
  // A table of a FITS or VOTable file with several chosen.
  void tableChosen();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildCatalogNames();
  void showInputFiles();
  // Detects the form of `path`, the first input file as the build opens it,
  // and sets the definition and the boxes to it.
  void proposeTableForm(const std::string& path);
  void showTableForm();
  void forgetTableOfOtherForms();
  // The tables of a FITS or VOTable file, listed when it has more than one.
  void listTables(const std::string& path);
  void showTableChoice();

  RadioGroup* catalogTypeGroup_ = nullptr;
  QLineEdit* shortNameEdit_ = nullptr;
  QLineEdit* longNameEdit_ = nullptr;
  QToolButton* chooseInputButton_ = nullptr;
  QListWidget* inputFileList_ = nullptr;
  QComboBox* inputFormBox_ = nullptr;
  QCheckBox* headerRowBox_ = nullptr;
  RadioGroup* lineEndGroup_ = nullptr;
  QWidget* tableRow_ = nullptr;
  QLabel* tableLabel_ = nullptr;
  QComboBox* tableBox_ = nullptr;
  // The tables of the first input file ("1", "2", ... with their captions),
  // read when it was chosen; empty for a file of one table or another form.
  std::vector<std::pair<std::string, QString>> tables_;
  std::string tablesPath_;
};

}  // namespace mirdal
