// Page 4: the number of region files, the search index and where the catalog
// is written.

#include "ui/main_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "ui/qt_text.h"
#include "ui/widgets.h"
#include "ui/wizard_pages.h"

namespace mirdal {

void Form1::buildPage4(QWidget* page) {
  auto* column = pageColumn(page);
  RadioGroup4 = new RadioGroup("Number of files",
                               {"50   (recommended up to 100'000 objects)", "184 (recommended up to 1'000'000 objects)",
                                "732 (recommended up to 5'000'000 objects)", "9537 (larger dataset)"},
                               1, page);
  RadioGroup4->setObjectName("RadioGroup4");
  column->addWidget(RadioGroup4);

  GroupBox6 = new QGroupBox("Search Index", page);
  GroupBox6->setObjectName("GroupBox6");
  {
    auto* c = groupColumn(GroupBox6);
    CheckBox3 = new QCheckBox("Create a search index file", GroupBox6);
    CheckBox3->setObjectName("CheckBox3");
    CheckBox4 = new QCheckBox("Add the alternate names to the index", GroupBox6);
    CheckBox4->setObjectName("CheckBox4");
    CheckBox5 = new QCheckBox("Prefix the alternate names with their label", GroupBox6);
    CheckBox5->setObjectName("CheckBox5");
    c->addWidget(CheckBox3);
    c->addWidget(CheckBox4);
    c->addWidget(CheckBox5);
  }
  column->addWidget(GroupBox6);

  auto* group3 = new QGroupBox("Output Directory", page);
  group3->setObjectName("GroupBox3");
  {
    auto* c = groupColumn(group3);
    DirectoryEdit1 = new DirectoryEdit(services_, group3);
    DirectoryEdit1->setObjectName("DirectoryEdit1");
    CheckBox6 = new QCheckBox("Append to an existing catalog ", group3);
    CheckBox6->setObjectName("CheckBox6");
    c->addWidget(DirectoryEdit1);
    c->addWidget(CheckBox6);
  }
  column->addWidget(group3);
  column->addStretch(1);
  // Hidden for outlines, the choices leave their place empty.
  keepPlaceWhenHidden(RadioGroup4);
  keepPlaceWhenHidden(GroupBox6);

  connect(RadioGroup4, &RadioGroup::itemClicked, this, [this](int i) { def_.settings.numfile = i; });
  connect(CheckBox3, &QCheckBox::toggled, this, [this](bool on) { def_.settings.index = on; });
  connect(CheckBox4, &QCheckBox::toggled, this, [this](bool on) { def_.settings.altindex = on; });
  connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) { def_.settings.prefalt = on; });
  connect(DirectoryEdit1, &DirectoryEdit::textChanged, this,
          [this](const QString& t) { def_.settings.ouputdir = toPath(t); });
  connect(DirectoryEdit1, &DirectoryEdit::afterDialog, this, &Form1::DirectoryEdit1AfterDialog);
  connect(CheckBox6, &QCheckBox::toggled, this, [this](bool on) { def_.settings.append = on; });
}

}  // namespace mirdal
