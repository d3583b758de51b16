#pragma once

#include <string>
#include <vector>

#include "platform/Cursor.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Prompts.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {

// The message boxes, owned by the main window once it exists. Batch mode never reaches them:
// the controller's BatchPrompts answers for them.
class Win32Prompts : public Prompts {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  // A box of our own with the message box's look: its text, then はい, いいえ, キャンセル and the
  // two buttons that answer for the rest of the run (kIdOverwriteAll, kIdSkipAll).
  PromptAnswer AskOverwrite(const std::string& caption, const std::string& text) override;
  PromptAnswer AskAbortRetryIgnore(const std::string& caption, const std::string& text) override;
  PromptAnswer AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;

  static constexpr int kIdOverwriteAll = 20;
  static constexpr int kIdSkipAll = 21;

 private:
  int Box(const std::string& caption, const std::string& text, UINT type);
  HWND owner_ = nullptr;
};

// The common file dialogs and the shell's folder browser.
class Win32Dialogs : public Dialogs {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::vector<std::string> OpenFiles(const OpenFileRequest& request) override;
  std::optional<std::string> SaveFile(const SaveFileRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& initialFolder) override;
  std::optional<std::string> AskText(const std::string& title, const std::string& label) override;

 private:
  HWND owner_ = nullptr;
};

// "Text (*.txt)|*.txt|All (*.*)|*.*" as the common dialogs take it: pairs separated by NULs,
// ending in two.
std::wstring DialogFilter(const std::string& filter);
// What a multi-select open dialog hands back (the folder, then each name, NUL-separated; or one
// full path) as full paths.
std::vector<std::string> SplitDialogSelection(const std::wstring& buffer);

// Sleeps, then runs every window message that is waiting, as the main loop would. A quit
// message met on the way is put back, so that the main loop still ends.
class Win32EventPump : public EventPump {
 public:
  // Made on the window thread, whose message queue Wake posts to.
  Win32EventPump();
  void Sleep(int milliseconds) override;
  void ProcessPendingEvents() override;
  void WaitForEvents(int maxMs) override;
  void Wake() override;

 private:
  DWORD threadId_;
};

// Runs one message through the main window's keyboard handling, then dispatches it. The main
// loop and the event pump share it.
void DispatchWindowMessage(MSG& message);
// The window that gets first look at keyboard messages (the main window).
void SetKeyboardHandler(HWND window, bool (*handler)(HWND window, MSG& message));

// The hourglass and the application-starting cursor. The shape is shown over every window of
// the program while it is set; windows ask ShapeCursor() when the system asks for a cursor.
class Win32Cursor : public Cursor {
 public:
  CursorShape Current() override { return shape_; }
  void Set(CursorShape shape) override;
  // The cursor to show instead of a window's own; null while the shape is Default.
  static HCURSOR ShapeCursor();

 private:
  CursorShape shape_ = CursorShape::Default;
};

}  // namespace tolvane
