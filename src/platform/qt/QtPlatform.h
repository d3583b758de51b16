#pragma once

#include <QString>
#include <string>

#include "platform/Cursor.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/LogViewer.h"
#include "platform/Prompts.h"

class QWidget;

namespace tolvane {

inline QString ToQ(const std::string& s) { return QString::fromStdString(s); }
inline std::string FromQ(const QString& s) { return s.toStdString(); }

// Message boxes owned by the main window (or by nothing).
class QtPrompts : public Prompts {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }
  PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  PromptAnswer AskAbortRetryIgnore(const std::string& caption, const std::string& text) override;
  PromptAnswer AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;

 private:
  QWidget* owner_ = nullptr;
};

// The file dialogs; the open dialog remembers where it was last pointed.
class QtDialogs : public Dialogs {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }
  std::vector<std::string> OpenFiles(const OpenFileRequest& request) override;
  std::optional<std::string> SaveFile(const SaveFileRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& initialFolder) override;

 private:
  QWidget* owner_ = nullptr;
  QString lastFolder_;
};

class QtEventPump : public EventPump {
 public:
  void Sleep(int milliseconds) override;
  void ProcessPendingEvents() override;
};

class QtCursor : public Cursor {
 public:
  CursorShape Current() override { return shape_; }
  void Set(CursorShape shape) override;

 private:
  CursorShape shape_ = CursorShape::Default;
};

// Opens the log in the program the desktop associates with plain text (its desktop entry),
// started directly with the path as one argument: no shell sees the path.
class DesktopLogViewer : public LogViewer {
 public:
  bool Open(const std::string& path) override;
};

// Reads the Exec line of a desktop entry: the program, and its arguments with file as one
// argument in place of the file field code (or after them when there is none). False when the
// entry has no Exec line or its program cannot be found.
bool CommandFromDesktopEntry(const QString& entryFile, const QString& file, QString& program,
                             QStringList& arguments);

// "Exe files (*.exe)|*.exe|All files (*.*)|*.*" as Qt name filters.
QStringList ToNameFilters(const std::string& filter);

}  // namespace tolvane
