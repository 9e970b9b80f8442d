#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>

#include "ui/fake_platform_services.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/widgets.h"
#include "util/file_system.h"

namespace mirdal::testing {

// The wizard as a person sees it, with scripted dialogs: controls are found
// by their component names and driven through their own signals.
struct Wizard {
  FakePlatformServices services;
  Form1 form;
  Progress progress;

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
    find<QToolButton>("SpeedButton1")->click();
  }
  // Page 1 filled in so that its check passes.
  void fillPage1(const QString& inputFile, const QString& shortName = "tst", const QString& longName = "Test") {
    chooseInputFiles({inputFile});
    type("Edit4", shortName);
    type("Edit5", longName);
  }
  // Ticks the entries of the field list whose text begins with "[".
  void tickRequiredFields() const {
    QListWidget* list = find<QListWidget>("CheckListBox1");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text().startsWith('[')) list->item(i)->setCheckState(Qt::Checked);
  }
  void tick(const QString& entry) const {
    QListWidget* list = find<QListWidget>("CheckListBox1");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text() == entry) list->item(i)->setCheckState(Qt::Checked);
  }
};

}  // namespace mirdal::testing
