#include "ui/output_page.h"

#include <memory>
#include <vector>

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/widgets.h"

namespace mirdal {

OutputPage::OutputPage(WizardWindow& wizard, QWidget* parent)
    : WizardPage(wizard, "OutputPage", "Output catalog options", parent) {
  auto* column = this->column();
  regionCountGroup_ =
      new RadioGroup("Number of files",
                     {"50   (recommended up to 100'000 objects)", "184 (recommended up to 1'000'000 objects)",
                      "732 (recommended up to 5'000'000 objects)", "9537 (larger dataset)"},
                     1, this);
  regionCountGroup_->setObjectName("RegionCountGroup");
  column->addWidget(regionCountGroup_);

  indexGroup_ = new QGroupBox("Search Index", this);
  indexGroup_->setObjectName("IndexGroup");
  {
    auto* c = groupColumn(indexGroup_);
    createIndexBox_ = new QCheckBox("Create a search index file", indexGroup_);
    createIndexBox_->setObjectName("CreateIndexBox");
    alternateNamesBox_ = new QCheckBox("Add the alternate names to the index", indexGroup_);
    alternateNamesBox_->setObjectName("AlternateNamesBox");
    prefixAlternateNamesBox_ = new QCheckBox("Prefix the alternate names with their label", indexGroup_);
    prefixAlternateNamesBox_->setObjectName("PrefixAlternateNamesBox");
    c->addWidget(createIndexBox_);
    c->addWidget(alternateNamesBox_);
    c->addWidget(prefixAlternateNamesBox_);
  }
  column->addWidget(indexGroup_);

  auto* outputGroup = new QGroupBox("Output Directory", this);
  outputGroup->setObjectName("OutputDirectoryGroup");
  {
    auto* c = groupColumn(outputGroup);
    outputDirectoryEdit_ = new DirectoryEdit(services(), outputGroup);
    outputDirectoryEdit_->setObjectName("OutputDirectoryEdit");
    outputDirectoryEdit_->setBaseDirectory(wizard.programDirectory());
    appendBox_ = new QCheckBox("Append to an existing catalog ", outputGroup);
    appendBox_->setObjectName("AppendBox");
    c->addWidget(outputDirectoryEdit_);
    c->addWidget(appendBox_);
  }
  column->addWidget(outputGroup);
  column->addStretch(1);
  // Hidden for outlines, the choices leave their place empty.
  keepPlaceWhenHidden(regionCountGroup_);
  keepPlaceWhenHidden(indexGroup_);

  BuildSettings& s = definition().settings;
  connect(regionCountGroup_, &RadioGroup::itemClicked, this, [&s](int i) { s.numfile = i; });
  connect(createIndexBox_, &QCheckBox::toggled, this, [&s](bool on) { s.index = on; });
  connect(alternateNamesBox_, &QCheckBox::toggled, this, [&s](bool on) { s.altindex = on; });
  connect(prefixAlternateNamesBox_, &QCheckBox::toggled, this, [&s](bool on) { s.prefalt = on; });
  connect(outputDirectoryEdit_, &DirectoryEdit::textChanged, this, [&s](const QString& t) { s.ouputdir = toPath(t); });
  connect(appendBox_, &QCheckBox::toggled, this, [&s](bool on) { s.append = on; });
}

// Outlines have one region file and no index.
void OutputPage::initializePage() {
  regionCountGroup_->setVisible(definition().regionChoiceOffered());
  indexGroup_->setVisible(definition().indexChoiceOffered());
}

void OutputPage::showDefinition() {
  const BuildSettings& s = definition().settings;
  const QList<QObject*> bound = {regionCountGroup_,        createIndexBox_,      alternateNamesBox_,
                                 prefixAlternateNamesBox_, outputDirectoryEdit_, appendBox_};
  std::vector<std::unique_ptr<QSignalBlocker>> blocks;
  for (QObject* o : bound) blocks.push_back(std::make_unique<QSignalBlocker>(o));
  regionCountGroup_->setItemIndex(s.numfile);
  createIndexBox_->setChecked(s.index);
  alternateNamesBox_->setChecked(s.altindex);
  prefixAlternateNamesBox_->setChecked(s.prefalt);
  outputDirectoryEdit_->setText(fromPath(s.ouputdir));
  appendBox_->setChecked(s.append);
}

void OutputPage::focusOutputDirectory() { outputDirectoryEdit_->setFocus(); }

}  // namespace mirdal
