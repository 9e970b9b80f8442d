#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QColor>
#include <QString>
#include <QStringList>

#include "ui/platform_services.h"

namespace mirdal::testing {

// Dialogs and message boxes answered from scripts; every request is recorded.
// A dialog or question without a scripted answer behaves as if the person
// closed it: dialogs give nothing, questions answer Cancel / No.
class FakePlatformServices : public PlatformServices {
 public:
  std::deque<QStringList> openFilesAnswers;
  std::deque<QString> openFileAnswers;
  std::deque<QString> saveFileAnswers;
  std::deque<QString> directoryAnswers;
  QStringList directoryStarts;
  std::deque<std::optional<QColor>> colourAnswers;
  std::deque<bool> okCancelAnswers;
  std::deque<bool> yesNoAnswers;
  std::deque<std::optional<int>> chooseAnswers;
  std::deque<SaveChoice> saveChangesAnswers;
  // False: the desktop opens nothing (no launcher), as openDocument reports it.
  bool documentsOpen = true;

  struct FileRequest {
    QString kind;  // "openFiles", "openFile", "saveFile"
    FileDialogRequest request;
  };
  std::vector<FileRequest> fileRequests;
  std::vector<QColor> colourStarts;
  QStringList messages;
  QStringList questions;
  QStringList documents;
  struct Choice {
    QString title, label;
    QStringList items;
  };
  std::vector<Choice> choices;
  // Runs inside message(), e.g. to look at the window while the box is up.
  std::function<void(const QString&)> onMessage;

  QStringList openFiles(QWidget*, const FileDialogRequest& request) override {
    fileRequests.push_back({"openFiles", request});
    return take(openFilesAnswers, QStringList());
  }
  QString openFile(QWidget*, const FileDialogRequest& request) override {
    fileRequests.push_back({"openFile", request});
    return take(openFileAnswers, QString());
  }
  QString saveFile(QWidget*, const FileDialogRequest& request) override {
    fileRequests.push_back({"saveFile", request});
    return take(saveFileAnswers, QString());
  }
  QString existingDirectory(QWidget*, const QString& start) override {
    directoryStarts << start;
    return take(directoryAnswers, QString());
  }
  std::optional<QColor> colour(QWidget*, const QColor& initial) override {
    colourStarts.push_back(initial);
    return take(colourAnswers, std::optional<QColor>());
  }
  void message(QWidget*, const QString& text) override {
    messages << text;
    if (onMessage) onMessage(text);
  }
  bool askOkCancel(QWidget*, const QString& text) override {
    questions << text;
    return take(okCancelAnswers, false);
  }
  bool askYesNo(QWidget*, const QString& text) override {
    questions << text;
    return take(yesNoAnswers, false);
  }
  bool openDocument(const QString& path) override {
    documents << path;
    return documentsOpen;
  }
  SaveChoice askSaveChanges(QWidget*, const QString& text) override {
    questions << text;
    return take(saveChangesAnswers, SaveChoice::Cancel);
  }
  std::optional<int> chooseItem(QWidget*, const QString& title, const QString& label,
                                const QStringList& items) override {
    choices.push_back({title, label, items});
    return take(chooseAnswers, std::optional<int>());
  }

 private:
  template <typename T>
  static T take(std::deque<T>& answers, T none) {
    if (answers.empty()) return none;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace mirdal::testing
