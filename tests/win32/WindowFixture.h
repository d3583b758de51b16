#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BoxAnswerer.h"
#include "app/win32/Main.h"
#include "app/win32/Win32About.h"
#include "app/win32/Win32Platform.h"
#include "platform/win32/Win32NamedServers.h"
#include "support/FakeShellNamespace.h"
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/NativeFileSystem.h"
#include "support/TempDir.h"

namespace tolvane::test {

// The shares of servers as the test sets them; a server it does not know cannot be asked,
// as no server can under Wine.
struct FakeShareLister : ShareLister {
  std::map<std::string, std::vector<std::string>> shares;
  std::optional<std::vector<std::string>> Shares(const std::string& server) override {
    const auto found = shares.find(server);
    if (found == shares.end()) return std::nullopt;
    return found->second;
  }
};

// The real Win32 main window over a temporary executable folder, driven by messages and a
// little real input. Network paths lead into the folder net, whose servers the fake namespace
// lists; message boxes are real and answered by a helper thread; dialogs are scripted.
class WindowFixture : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TfrmMain& Start(std::vector<std::string> args = {});
  // Runs the window's waiting messages (no sleeping).
  static void Pump();
  // Pumps until done() holds; false when it still does not after a few seconds (real input
  // travels through the X server, so it arrives a little later).
  static bool PumpUntil(const std::function<bool()>& done);

  // A server with shares and folders below it, on disk and in the namespace: "PC01/share".
  void AddNetworkFolder(const std::string& relative);
  // The default list with these sources and destinations ("/"-separated node paths).
  void WriteList(const std::vector<std::string>& sources,
                 const std::vector<std::string>& destinations);
  TreeNode* NodeOf(const std::string& folderPath);

  void Command(CommandId id);
  // The tool button as a click leaves it: a check-style button flips first.
  void ClickButton(CommandId id);
  bool MenuEnabled(CommandId id);
  bool MenuChecked(CommandId id);
  bool ButtonEnabled(CommandId id);
  bool ButtonChecked(CommandId id);
  int ButtonPicture(CommandId id);
  int StateOf(const TreeNode* node);
  std::vector<std::string> ListRow(int row);
  int ListCount();
  // The middle of a node's state picture, in tree client coordinates.
  POINT StatePicturePoint(const TreeNode* node);
  // Real input: a left click at a point of a window, keys pressed and released in order.
  static void Click(HWND window, POINT at);
  static void Keys(const std::vector<WORD>& down);

  TempDir exe;
  TempDir cwd;
  TempDir net;
  NativeFileSystem real{net.Path()};
  FaultFileSystem fs{real};
  Win32Prompts boxes;
  ScriptedDialogs dialogs;
  FakeEventPump pump;
  FakeCursor cursor;
  ManualClock clock;
  FakeLogViewer viewer;
  FakeShellNamespace shell;
  // With namedServers, the window is handed the named-server namespace over the fake Network
  // folder, as tolvane.exe is: the servers in the settings join the root.
  bool namedServers = false;
  FakeShareLister shares;
  NamedServerNamespace named{shell, fs, shares};
  std::unique_ptr<TfrmMain> window;
  std::unique_ptr<TdlgAbout> about;
};

}  // namespace tolvane::test
