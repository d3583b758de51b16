#pragma once

#include <QString>
#include <string>

#include "platform/Cursor.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Prompts.h"
#include "platform/qt/DesktopLogViewer.h"

class QWidget;

namespace tolvane {

inline QString ToQ(const std::string& s) { return QString::fromStdString(s); }
inline std::string FromQ(const QString& s) { return s.toStdString(); }

// Message boxes owned by the main window (or by nothing).
class QtPrompts : public Prompts {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }
  PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  PromptAnswer AskOverwrite(const std::string& caption, const std::string& text) override;
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
  std::optional<std::string> AskText(const std::string& title, const std::string& label) override;

 private:
  QWidget* owner_ = nullptr;
  QString lastFolder_;
};

class QtEventPump : public EventPump {
 public:
  void Sleep(int milliseconds) override;
  void ProcessPendingEvents() override;
  void WaitForEvents(int maxMs) override;
  void Wake() override;
};

class QtCursor : public Cursor {
 public:
  CursorShape Current() override { return shape_; }
  void Set(CursorShape shape) override;

 private:
  CursorShape shape_ = CursorShape::Default;
};

// "Exe files (*.exe)|*.exe|All files (*.*)|*.*" as Qt name filters.
QStringList ToNameFilters(const std::string& filter);

}  // namespace tolvane
