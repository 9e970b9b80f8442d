#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolButton>

#include "ui/fake_platform_services.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/widgets.h"
#include "util/file_system.h"

namespace mirdal::testing {

// The wizard as a person sees it, with scripted dialogs: controls are found
// by their objectNames and driven through their own signals.
struct Wizard {
  FakePlatformServices services;
  WizardWindow form;
  ProgressWindow progress;

  explicit Wizard(FileSystem& fs = FileSystem::real()) : form(services, fs), progress(&form) {
    form.setProgressWindow(&progress);
    form.show();
  }

  template <typename T = QWidget>
  T* find(const char* name) const {
    return form.findChild<T*>(QLatin1String(name));
  }
  QPushButton* button(const char* name) const { return find<QPushButton>(name); }
  // A click as the mouse gives it: nothing happens on a disabled button.
  void click(const char* name) const { button(name)->click(); }
  void choose(const char* radioGroup, int item) const { find<RadioGroup>(radioGroup)->button(item)->click(); }
  void type(const char* lineEdit, const QString& text) const {
    auto* edit = find<QLineEdit>(lineEdit);
    edit->selectAll();
    edit->insert(text);
  }
  int page() const { return form.currentPage(); }
  bool shown(const char* name) const { return find(name)->isVisibleTo(&form); }

  void chooseInputFiles(const QStringList& files) {
    services.openFilesAnswers.push_back(files);
    find<QToolButton>("ChooseInputButton")->click();
  }
  // Page 1 filled in so that its check passes.
  void fillPage1(const QString& inputFile, const QString& shortName = "tst", const QString& longName = "Test") {
    chooseInputFiles({inputFile});
    type("ShortNameEdit", shortName);
    type("LongNameEdit", longName);
  }
  // Ticks the entries of the field list whose text begins with "[".
  void tickRequiredFields() const {
    QListWidget* list = find<QListWidget>("FieldList");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text().startsWith('[')) list->item(i)->setCheckState(Qt::Checked);
  }
  // Page 3: makes the entry of the field list with this text the current field.
  void selectField(const QString& entry) const {
    QListWidget* list = find<QListWidget>("FieldList");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text() == entry) {
        list->scrollToItem(list->item(i));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
      }
  }
  // Page 3: clicks the row of ColumnList whose name is `name`.
  void pickColumn(const QString& name) const {
    QTableWidget* columns = find<QTableWidget>("ColumnList");
    for (int r = 0; r < columns->rowCount(); ++r)
      if (columns->item(r, 1)->text() == name) {
        columns->scrollToItem(columns->item(r, 1));
        QTest::mouseClick(columns->viewport(), Qt::LeftButton, {}, columns->visualItemRect(columns->item(r, 1)).center());
      }
  }
  // The text a person reads in a label, without its marks.
  QString label(const char* name) const {
    QString s = QTextDocumentFragment::fromHtml(find<QLabel>(name)->text()).toPlainText();
    return s.replace(QChar(0xA0), QLatin1Char(' ')).simplified();
  }
  void tick(const QString& entry) const {
    QListWidget* list = find<QListWidget>("FieldList");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text() == entry) list->item(i)->setCheckState(Qt::Checked);
  }
};

}  // namespace mirdal::testing
