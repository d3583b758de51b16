#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <functional>
#include <string>
#include <vector>

#include "engine/DistributionRun.h"
#include "log/StatusLog.h"
#include "platform/Clock.h"
#include "platform/Cursor.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/LogViewer.h"
#include "platform/Prompts.h"
#include "tree/DestinationTree.h"

namespace tolvane::test {

// A clock that shows what the test sets.
class ManualClock : public Clock {
 public:
  LocalDateTime now{2005, 4, 1, 9, 15, 30};
  std::chrono::milliseconds ticks{0};
  LocalDateTime Now() override { return now; }
  std::chrono::milliseconds Ticks() override { return ticks; }
};

// Never sleeps: counts the pauses (the window thread's and the workers') and runs the test's
// hook as the "pending events".
class FakeEventPump : public EventPump {
 public:
  int sleeps = 0;
  int sleptMs = 0;
  int passes = 0;
  std::function<void()> onProcess;  // what the pending events do, if anything

  // As if new.
  void Reset() {
    sleeps = sleptMs = passes = 0;
    workerPauses = workerPausedMs = 0;
    onProcess = nullptr;
    SetPause(kDefaultPauseMs);
  }

  void Sleep(int milliseconds) override {
    ++sleeps;
    sleptMs += milliseconds;
  }
  void ProcessPendingEvents() override {
    ++passes;
    if (onProcess) onProcess();
  }
  // Waits for a Wake however long it takes (never for a time), then runs the pending events.
  void WaitForEvents(int /*maxMs*/) override {
    {
      std::unique_lock lock(wakeMutex_);
      woken_.wait(lock, [this] { return wakes_ > 0; });
      wakes_ = 0;
    }
    ProcessPendingEvents();
  }
  // Counted, never slept.
  std::atomic<int> workerPauses = 0;
  std::atomic<int> workerPausedMs = 0;
  void PauseWorker(int milliseconds) override {
    ++workerPauses;
    workerPausedMs += milliseconds;
  }
  void Wake() override {
    std::lock_guard lock(wakeMutex_);
    ++wakes_;
    woken_.notify_all();
  }

 private:
  std::mutex wakeMutex_;
  std::condition_variable woken_;
  int wakes_ = 0;
};

// The overwrite and error options as a test sets them (by default: ask, except over an older
// file; stop at an error).
class TestOptions : public CopyOptions {
 public:
  bool confirm = true;
  bool butOld = true;
  bool ignoreError = false;
  bool ConfirmOverWrite() const override { return confirm; }
  bool ButOldIsIgnore() const override { return butOld; }
  bool IgnoreError() const override { return ignoreError; }
};

// A run shown nowhere.
class NullRunView : public RunView {
 public:
  void ShowRunning(bool) override {}
  void ShowDestination(TreeNode*) override {}
};

// Answers questions from a script and records what was asked.
class ScriptedPrompts : public Prompts {
 public:
  struct Asked {
    std::string kind;  // "YesNoCancel", "AbortRetryIgnore", "YesNo", "Message", "Error"
    std::string caption;
    std::string text;
  };
  std::deque<PromptAnswer> answers;  // taken from the front; an empty script fails the test
  std::vector<Asked> asked;
  std::function<void()> whileShown;  // runs while a question is "on screen"

  PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  PromptAnswer AskAbortRetryIgnore(const std::string& caption, const std::string& text) override;
  PromptAnswer AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;

 private:
  PromptAnswer Next(const char* kind, const std::string& caption, const std::string& text);
};

// Dialogs that return what the test scripted and record the requests.
class ScriptedDialogs : public Dialogs {
 public:
  std::deque<std::vector<std::string>> openResults;
  std::deque<std::optional<std::string>> saveResults;
  std::deque<std::optional<std::string>> folderResults;
  std::vector<OpenFileRequest> openRequests;
  std::vector<SaveFileRequest> saveRequests;
  std::vector<std::pair<std::string, std::string>> folderRequests;  // title, initial folder
  std::deque<std::optional<std::string>> textResults;

  std::vector<std::string> OpenFiles(const OpenFileRequest& request) override;
  std::optional<std::string> SaveFile(const SaveFileRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& initialFolder) override;
  std::optional<std::string> AskText(const std::string& title, const std::string& label) override;
};

class FakeCursor : public Cursor {
 public:
  CursorShape shape = CursorShape::Default;
  std::vector<CursorShape> history;
  CursorShape Current() override { return shape; }
  void Set(CursorShape s) override {
    shape = s;
    history.push_back(s);
  }
};

class FakeLogViewer : public LogViewer {
 public:
  bool available = true;
  std::vector<std::string> opened;
  bool Open(const std::string& path) override {
    if (!available) return false;
    opened.push_back(path);
    return true;
  }
};

// The memo of a test.
class VectorLogSink : public LogSink {
 public:
  std::vector<std::string> lines;
  void AddMemoLine(const std::string& line) override { lines.push_back(line); }
  void ClearMemo() override { lines.clear(); }
};

// A tree view that does nothing; tests override what they want to record.
class NullTreeListener : public TreeListener {
 public:
  void BeginInsertChildren(TreeNode*, int, int) override {}
  void EndInsertChildren() override {}
  void BeginRemoveChildren(TreeNode*, int, int) override {}
  void EndRemoveChildren() override {}
  void BeginReorder() override {}
  void EndReorder() override {}
  void StateImageChanged(TreeNode*) override {}
  void ExpandNode(TreeNode*) override {}
  void CollapseSubtree(TreeNode*) override {}
  void SelectNode(TreeNode*) override {}
};

}  // namespace tolvane::test
