#pragma once

#include <exception>
#include <string_view>

#include <QGroupBox>
#include <QSettings>
#include <QSizePolicy>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

#include "ui/platform_services.h"

namespace mirdal {

class CatalogDefinition;
class FileSystem;
class WizardWindow;

// Runs a handler of the wizard; an error it raises is shown in a message box
// over `window` and the wizard carries on.
template <typename F>
void guarded(PlatformServices& services, QWidget* window, F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    services.message(window, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    services.message(window, QStringLiteral("Unexpected error"));
  }
}

// One page of the wizard's stack, after QWizardPage: it builds its own
// controls below its heading, shows the definition in them and writes every
// change back into it. The window calls initializePage when it enters the page
// and validatePage before it leaves it forward. Dialogs and messages of a page
// open over the window, as the window's own do.
class WizardPage : public QWidget {
  Q_OBJECT
 public:
  // `name` is the page's objectName, `heading` the bold text at its top.
  WizardPage(WizardWindow& wizard, const char* name, const QString& heading, QWidget* parent);

  // Brings the page up to date as it is entered.
  virtual void initializePage() {}
  // May the user leave this page forward? Shows the refusal.
  virtual bool validatePage() { return true; }
  // Definition -> controls, without the controls' signals writing it back.
  virtual void showDefinition() {}
  // Hands the definition what a box holds but has not delivered yet (a
  // number being typed), before anything reads the definition.
  virtual void commitEdits() {}
  // The last step: entering it offers "Build Catalog".
  virtual bool isFinalPage() const { return false; }

 protected:
  // The page's column of controls, its heading already in place.
  QVBoxLayout* column() const { return static_cast<QVBoxLayout*>(layout()); }
  WizardWindow& wizard() const { return wizard_; }
  CatalogDefinition& definition() const;
  PlatformServices& services() const;
  FileSystem& fileSystem() const;
  // The parent of the page's dialogs and messages.
  QWidget* dialogParent() const;
  template <typename F>
  void guarded(F&& handler) const {
    mirdal::guarded(services(), dialogParent(), std::forward<F>(handler));
  }

 private:
  WizardWindow& wizard_;
};

// Where the wizard keeps what it remembers between runs (on Linux
// ~/.config/Mirdal/mirdal.conf).
QSettings rememberedPlaces();
// The directory a file dialog (by its title) last chose from, while it exists.
QString rememberedDirectory(const QString& dialog);
void rememberDirectory(const QString& dialog, const QString& chosenFile);

// The column inside a group box: close to the frame, the rows close together.
inline QVBoxLayout* groupColumn(QGroupBox* box) {
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(6, 2, 6, 4);
  column->setSpacing(2);
  return column;
}

// Names of the built-in tables are bytes, shown one byte per character.
inline QString bytesOf(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A control that some catalog types hide keeps its place, so that the rest
// of the page does not move from one type to another.
inline void keepPlaceWhenHidden(QWidget* w) {
  QSizePolicy policy = w->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  w->setSizePolicy(policy);
}

}  // namespace mirdal
