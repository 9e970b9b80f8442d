#include "ui/wizard_page.h"

#include <QFileInfo>
#include <QLabel>

#include "ui/main_window.h"

namespace mirdal {

namespace {

QLabel* headingLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

WizardPage::WizardPage(WizardWindow& wizard, const char* name, const QString& heading, QWidget* parent)
    : QWidget(parent), wizard_(wizard) {
  setObjectName(name);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(4, 4, 2, 4);
  column->setSpacing(4);
  column->addWidget(headingLabel(heading, this));
}

CatalogDefinition& WizardPage::definition() const { return wizard_.definition(); }

PlatformServices& WizardPage::services() const { return wizard_.services(); }

FileSystem& WizardPage::fileSystem() const { return wizard_.fileSystem(); }

QWidget* WizardPage::dialogParent() const { return &wizard_; }

QSettings rememberedPlaces() { return QSettings(QStringLiteral("Mirdal"), QStringLiteral("mirdal")); }

QString rememberedDirectory(const QString& dialog) {
  const QString dir = rememberedPlaces().value(QStringLiteral("places/") + dialog).toString();
  return QFileInfo(dir).isDir() ? dir : QString();
}

void rememberDirectory(const QString& dialog, const QString& chosenFile) {
  rememberedPlaces().setValue(QStringLiteral("places/") + dialog, QFileInfo(chosenFile).absolutePath());
}

}  // namespace mirdal
