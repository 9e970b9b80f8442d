// Page 3: the fields of an input line, edited by the field layout editor.

#include "ui/main_window.h"

#include <QVBoxLayout>

#include "ui/field_layout_editor.h"
#include "ui/wizard_pages.h"

namespace mirdal {

void Form1::buildPage3(QWidget* page) {
  editor_ = new FieldLayoutEditor(def_, services_, page, fs_);
  pageColumn(page)->addWidget(editor_, 1);
  editor_->setInputNameResolver([this](const std::string& name) { return inputNameAsBuilt(name); });
  connect(editor_, &FieldLayoutEditor::importReadMeRequested, this, &Form1::ImportReadMeButtonClick);
}

}  // namespace mirdal
