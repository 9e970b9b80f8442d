#pragma once

#include <optional>

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace mirdal {

// The answer to "save the changes?" when the window closes.
enum class SaveChoice { Save, Discard, Cancel };

// What a file dialog is asked to look like. Filters are in Qt's form,
// e.g. "Project files (*.prj)"; selectedFilter indexes `filters`.
struct FileDialogRequest {
  QString title;
  QString directory;
  QString fileName;
  QStringList filters;
  int selectedFilter = 0;
  QString defaultSuffix;  // without the dot; empty for none
  QStringList history;    // directories the dialog offers to go back to
};

// Everything the windows take from the desktop: common dialogs, message
// boxes, questions and opening a document with its default program. The
// program uses QtPlatformServices; tests replace it with a scripted fake so
// that the whole wizard runs without a person in front of it.
//
// A cancelled dialog gives an empty result.
class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Several existing files, in the order the dialog returns them.
  virtual QStringList openFiles(QWidget* parent, const FileDialogRequest& request) = 0;
  // One existing file in an existing folder.
  virtual QString openFile(QWidget* parent, const FileDialogRequest& request) = 0;
  // A file to write; replacing an existing file is not questioned.
  virtual QString saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
  // An existing directory; the dialog may create one.
  virtual QString existingDirectory(QWidget* parent, const QString& start) = 0;
  virtual std::optional<QColor> colour(QWidget* parent, const QColor& initial) = 0;

  // A message box with an OK button.
  virtual void message(QWidget* parent, const QString& text) = 0;
  // OK/Cancel confirmation; closing the box counts as Cancel.
  virtual bool askOkCancel(QWidget* parent, const QString& text) = 0;
  // Yes/No confirmation; anything but Yes is false.
  virtual bool askYesNo(QWidget* parent, const QString& text) = 0;

  // Opens a document (or a folder) with the desktop's default program; false
  // when no program could be started for it. A caller that a person waits on
  // says so: see openDocumentOrSay.
  virtual bool openDocument(const QString& path) = 0;

  // A longer text to read, e.g. notes of an import, under a title; by
  // default a message box.
  virtual void showText(QWidget* parent, const QString& title, const QString& text) {
    (void)title;
    message(parent, text);
  }

  // Save / Discard / Cancel about unsaved settings; closing the box is
  // Cancel. Services without a person to ask (page rendering) discard.
  virtual SaveChoice askSaveChanges(QWidget*, const QString&) { return SaveChoice::Discard; }

  // One of the items (parent, title, label, items), by its index; nullopt
  // when cancelled. Services without a person to ask (page rendering) cancel.
  virtual std::optional<int> chooseItem(QWidget*, const QString&, const QString&, const QStringList&) {
    return std::nullopt;
  }
};

// The real dialogs and the desktop's document opener.
class QtPlatformServices : public PlatformServices {
 public:
  QStringList openFiles(QWidget* parent, const FileDialogRequest& request) override;
  QString openFile(QWidget* parent, const FileDialogRequest& request) override;
  QString saveFile(QWidget* parent, const FileDialogRequest& request) override;
  QString existingDirectory(QWidget* parent, const QString& start) override;
  std::optional<QColor> colour(QWidget* parent, const QColor& initial) override;
  void message(QWidget* parent, const QString& text) override;
  bool askOkCancel(QWidget* parent, const QString& text) override;
  bool askYesNo(QWidget* parent, const QString& text) override;
  bool openDocument(const QString& path) override;
  std::optional<int> chooseItem(QWidget* parent, const QString& title, const QString& label,
                                const QStringList& items) override;
  void showText(QWidget* parent, const QString& title, const QString& text) override;
  SaveChoice askSaveChanges(QWidget* parent, const QString& text) override;
};

// Opens `path` as openDocument does; when nothing opens it, a message box
// names `what` ("the manual") and the path, so that a click never ends in
// silence. Returns whether it opened.
bool openDocumentOrSay(PlatformServices& services, QWidget* parent, const QString& what, const QString& path);

}  // namespace mirdal
