#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "app/core/MainController.h"
#include "platform/Encoding.h"
#include "support/FakeShellNamespace.h"
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A window that remembers what it was told to show.
class FakeMainView : public MainView {
 public:
  std::vector<std::string> memo;
  std::string caption;
  std::map<CommandId, bool> enabled;
  std::map<CommandId, bool> checked;
  std::map<CommandId, int> pictures;
  bool sourcePaneEnabled = true;
  std::string markCount;
  std::string statusText;
  std::vector<std::string> statusHistory;
  std::vector<std::string> progressTexts;
  std::optional<MemoSelection> memoSelection;
  std::vector<int> selectedRows;
  TreeNode* selectedNode = nullptr;
  const DestinationTree* tree = nullptr;
  int treeFocused = 0;
  WindowLayout layout;
  std::vector<ScreenRect> screens{{0, 0, 1920, 1040}};
  bool acceptsDrops = false;
  int closeRequests = 0;
  std::optional<int> endedWith;
  int aboutShown = 0;
  std::optional<ResultList> results;  // the result list as shown, once it has been brought up
  int resultsBroughtUp = 0;
  std::vector<std::string> previews;

  bool Enabled(CommandId id) const { return enabled.at(id); }

  void AddMemoLine(const std::string& line) override { memo.push_back(line); }
  void ClearMemo() override { memo.clear(); }
  void SetCaption(const std::string& text) override { caption = text; }
  void SetCommandEnabled(CommandId id, bool on) override { enabled[id] = on; }
  void SetCommandChecked(CommandId id, bool on) override { checked[id] = on; }
  void SetButtonPicture(CommandId id, int picture) override { pictures[id] = picture; }
  void SetSourcePaneEnabled(bool on) override { sourcePaneEnabled = on; }
  void SetMarkCount(const std::string& text) override { markCount = text; }
  void SetStatusText(const std::string& text) override {
    statusText = text;
    statusHistory.push_back(text);
  }
  void SetProgressText(const std::string& text) override { progressTexts.push_back(text); }
  std::vector<std::string> MemoLines() const override { return memo; }
  void SelectMemoText(const MemoSelection& s) override { memoSelection = s; }
  std::vector<int> SelectedSourceRows() const override { return selectedRows; }
  // As a tree view, which never keeps a node that has gone.
  TreeNode* SelectedNode() const override {
    for (int i = 0; tree && i < tree->NodeCount(); ++i) {
      if (tree->NodeAt(i) == selectedNode) return selectedNode;
    }
    return nullptr;
  }
  void FocusTree() override { ++treeFocused; }
  WindowLayout CurrentLayout() const override { return layout; }
  void ApplyLayout(const WindowLayout& l) override { layout = l; }
  std::vector<ScreenRect> ScreenAreas() const override { return screens; }
  void AcceptDroppedFiles() override { acceptsDrops = true; }
  void CloseWindow() override { ++closeRequests; }
  void EndLoop(int exitCode) override { endedWith = exitCode; }
  void ShowAbout() override { ++aboutShown; }
  void ShowResults(const ResultList& list, bool bringUp) override {
    if (bringUp) ++resultsBroughtUp;
    if (bringUp || results) results = list;
  }
  void ShowPreview(const std::string&, const std::string& text) override {
    previews.push_back(text);
  }
};

// The main window's controller over a temporary executable folder and a fake view, with
// scripted prompts and dialogs, a manual clock and an event pump that never sleeps. Network
// paths lead into the folder net, whose servers the fake namespace lists.
class ControllerFixture : public testing::Test {
 protected:
  void SetUp() override { ResetAutomaticRunForTests(); }

  MainController& Start(std::vector<std::string> args = {}) {
    MainServices services{fs, prompts, dialogs, pump, cursor, clock, viewer, shell};
    services.setNetworkRoot = [this](const std::string& root) { networkRoot = root; };
    services.printLine = [this](const std::string& line) { printed.push_back(line); };
    if (namedServers) {
      // The namespace lists a named server as soon as it is told of it.
      services.setServers = [this](const ServerSettings& servers) {
        serverCalls.push_back(servers);
        for (const std::string& name : servers.servers) {
          const auto& known = shell.At(FakeShellNamespace::kNetwork).children;
          if (std::none_of(known.begin(), known.end(),
                           [&](int id) { return shell.At(id).displayName == name; })) {
            shell.AddServer(FakeShellNamespace::kNetwork, name);
          }
        }
      };
    }
    controller.reset();
    view = std::make_unique<FakeMainView>();
    view->screens = screens;
    const std::string folder = exe.Path() + kSeparator;
    controller =
        std::make_unique<MainController>(services, StartupInfo{folder, cwd.Path(), args, folder});
    view->tree = &controller->Tree();
    controller->AttachView(*view);
    controller->FormCreate();
    return *controller;
  }

  // A text file as UTF-8, whatever this system writes (Windows writes its ANSI code page).
  static std::string Text(const std::string& bytes) {
    return IsValidUtf8(bytes) ? bytes : FromSystemText(bytes);
  }
  std::string LogFile() const { return Text(exe.Read("Pelmo.log")); }

  // A server with shares and folders below it, on disk and in the namespace: "PC01/share/apps".
  void AddNetworkFolder(const std::string& relative) {
    net.MakeDir(relative);
    shell.AddPath(relative);
  }

  TempDir exe;
  TempDir cwd;
  TempDir net;
  NativeFileSystem real{net.Path()};
  FaultFileSystem fs{real};
  ScriptedPrompts prompts;
  ScriptedDialogs dialogs;
  FakeEventPump pump;
  FakeCursor cursor;
  ManualClock clock;
  FakeLogViewer viewer;
  FakeShellNamespace shell;
  std::string networkRoot;
  bool namedServers = false;  // the next start's: SMB servers are reached without mounting
  std::vector<ServerSettings> serverCalls;
  std::vector<std::string> printed;                     // batch mode's standard output
  std::vector<ScreenRect> screens{{0, 0, 1920, 1040}};  // the next start's
  std::unique_ptr<FakeMainView> view;
  std::unique_ptr<MainController> controller;
};

}  // namespace tolvane::test
