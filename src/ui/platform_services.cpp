#include "ui/platform_services.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QUrl>

namespace mirdal {

namespace {

const QString kBoxTitle = QStringLiteral("Mirdal");

void prepare(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setWindowTitle(request.title);
  if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
  if (!request.history.isEmpty()) dialog.setHistory(request.history);
  dialog.setNameFilters(request.filters);
  if (request.selectedFilter >= 0 && request.selectedFilter < request.filters.size())
    dialog.selectNameFilter(request.filters.at(request.selectedFilter));
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.selectFile(request.fileName);
}

}  // namespace

QStringList QtPlatformServices::openFiles(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  prepare(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QString QtPlatformServices::openFile(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  prepare(dialog, request);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString QtPlatformServices::saveFile(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  prepare(dialog, request);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString QtPlatformServices::existingDirectory(QWidget* parent, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, QString(), start);
}

std::optional<QColor> QtPlatformServices::colour(QWidget* parent, const QColor& initial) {
  QColor chosen = QColorDialog::getColor(initial, parent);
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

void QtPlatformServices::message(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, kBoxTitle, text, QMessageBox::Ok);
}

bool QtPlatformServices::askOkCancel(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, kBoxTitle, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
         QMessageBox::Ok;
}

bool QtPlatformServices::askYesNo(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, kBoxTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
         QMessageBox::Yes;
}

std::optional<int> QtPlatformServices::chooseItem(QWidget* parent, const QString& title, const QString& label,
                                                  const QStringList& items) {
  bool ok = false;
  const QString chosen = QInputDialog::getItem(parent, title, label, items, 0, false, &ok);
  if (!ok) return std::nullopt;
  const auto index = items.indexOf(chosen);
  if (index < 0) return std::nullopt;
  return static_cast<int>(index);
}

void QtPlatformServices::showText(QWidget* parent, const QString& title, const QString& text) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* view = new QPlainTextEdit(text, &dialog);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  auto* column = new QVBoxLayout(&dialog);
  column->addWidget(view);
  column->addWidget(buttons);
  dialog.resize(480, 360);
  dialog.exec();
}

bool QtPlatformServices::openDocument(const QString& path) {
  // False when the desktop has no launcher (no xdg-open, no portal) or it
  // refuses the URL.
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool openDocumentOrSay(PlatformServices& services, QWidget* parent, const QString& what, const QString& path) {
  if (services.openDocument(path)) return true;
  services.message(parent, QStringLiteral("Could not open %1:\n%2\nNo program of the desktop opened it, or it does "
                                          "not exist.")
                               .arg(what, QDir::toNativeSeparators(path)));
  return false;
}

SaveChoice QtPlatformServices::askSaveChanges(QWidget* parent, const QString& text) {
  switch (QMessageBox::question(parent, kBoxTitle, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                QMessageBox::Save)) {
    case QMessageBox::Save:
      return SaveChoice::Save;
    case QMessageBox::Discard:
      return SaveChoice::Discard;
    default:
      return SaveChoice::Cancel;
  }
}

}  // namespace mirdal
