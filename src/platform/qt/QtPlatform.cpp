#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace tolvane {
namespace {

PromptAnswer FromButton(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return PromptAnswer::Yes;
    case QMessageBox::No:
      return PromptAnswer::No;
    case QMessageBox::Abort:
      return PromptAnswer::Abort;
    case QMessageBox::Retry:
      return PromptAnswer::Retry;
    case QMessageBox::Ignore:
      return PromptAnswer::Ignore;
    case QMessageBox::Ok:
      return PromptAnswer::Ok;
    default:
      return PromptAnswer::Cancel;
  }
}

PromptAnswer Ask(QWidget* owner, const std::string& caption, const std::string& text,
                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def,
                 QMessageBox::StandardButton escape) {
  QMessageBox box(QMessageBox::NoIcon, ToQ(caption), ToQ(text), buttons, owner);
  box.setDefaultButton(def);
  box.setEscapeButton(escape);
  return FromButton(box.exec());
}

}  // namespace

PromptAnswer QtPrompts::AskYesNoCancel(const std::string& caption, const std::string& text) {
  return Ask(owner_, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
             QMessageBox::Yes, QMessageBox::Cancel);
}

PromptAnswer QtPrompts::AskOverwrite(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, ToQ(caption), ToQ(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner_);
  QPushButton* all = box.addButton(ToQ(kOverwriteAllButton), QMessageBox::YesRole);
  QPushButton* none = box.addButton(ToQ(kSkipAllButton), QMessageBox::NoRole);
  all->setObjectName("btnOverwriteAll");
  none->setObjectName("btnSkipAll");
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == all) return PromptAnswer::YesToAll;
  if (box.clickedButton() == none) return PromptAnswer::NoToAll;
  return FromButton(box.standardButton(box.clickedButton()));
}

PromptAnswer QtPrompts::AskAbortRetryIgnore(const std::string& caption, const std::string& text) {
  return Ask(owner_, caption, text, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
             QMessageBox::Abort, QMessageBox::Abort);
}

PromptAnswer QtPrompts::AskYesNo(const std::string& caption, const std::string& text) {
  return Ask(owner_, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
             QMessageBox::No);
}

void QtPrompts::ShowMessage(const std::string& caption, const std::string& text) {
  Ask(owner_, caption, text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::ShowError(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, ToQ(caption), ToQ(text), QMessageBox::Ok, owner_);
  box.exec();
}

QStringList ToNameFilters(const std::string& filter) {
  QStringList filters;
  for (const FileFilter& f : ParseFileFilter(filter)) {
    // "*.*" matches every name in the system's own dialogs; Qt's needs "*" for names without a
    // dot.
    QStringList patterns;
    for (const std::string& p : f.patterns) patterns << (p == "*.*" ? "*" : ToQ(p));
    const QString joined = patterns.join(' ');
    const QString description = ToQ(f.description);
    filters << (description.endsWith("(" + joined + ")") ? description
                                                         : description + " (" + joined + ")");
  }
  return filters;
}

std::vector<std::string> QtDialogs::OpenFiles(const OpenFileRequest& request) {
  QFileDialog dialog(owner_, ToQ(request.title));
  dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  const QStringList filters = ToNameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  if (!request.initialFolder.empty()) lastFolder_ = ToQ(request.initialFolder);
  if (!lastFolder_.isEmpty()) dialog.setDirectory(lastFolder_);
  std::vector<std::string> chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& f : dialog.selectedFiles())
    chosen.push_back(FromQ(QDir::toNativeSeparators(f)));
  return chosen;
}

std::optional<std::string> QtDialogs::SaveFile(const SaveFileRequest& request) {
  QFileDialog dialog(owner_, ToQ(request.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The command asks about overwriting itself.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QStringList filters = ToNameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  dialog.setDefaultSuffix(ToQ(request.defaultExtension));
  if (!lastFolder_.isEmpty()) dialog.setDirectory(lastFolder_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FromQ(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& title,
                                                   const std::string& initialFolder) {
  const QString dir = QFileDialog::getExistingDirectory(owner_, ToQ(title), ToQ(initialFolder));
  if (dir.isEmpty()) return std::nullopt;
  std::string path = FromQ(QDir::toNativeSeparators(dir));
  if (path.back() != '/' && path.back() != '\\')
    path += static_cast<char>(QDir::separator().toLatin1());
  return path;
}

std::optional<std::string> QtDialogs::AskText(const std::string& title, const std::string& label) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(owner_, ToQ(title), ToQ(label), QLineEdit::Normal, QString(), &ok);
  if (!ok) return std::nullopt;
  return FromQ(text);
}

void QtEventPump::Sleep(int milliseconds) {
  QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void QtEventPump::ProcessPendingEvents() { QApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::WaitForEvents(int maxMs) {
  // The timer ends the wait at the latest; a Wake's posted call ends it sooner.
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(maxMs);
  QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::Wake() {
  // Posted to the application object, whose thread is the window thread; doing nothing there
  // is enough to end the wait.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

void QtCursor::Set(CursorShape shape) {
  if (shape_ != CursorShape::Default) QApplication::restoreOverrideCursor();
  shape_ = shape;
  switch (shape) {
    case CursorShape::Hourglass:
      QApplication::setOverrideCursor(Qt::WaitCursor);
      break;
    case CursorShape::AppStarting:
      QApplication::setOverrideCursor(Qt::BusyCursor);
      break;
    case CursorShape::Default:
      break;
  }
}

}  // namespace tolvane
