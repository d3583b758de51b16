#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/qt/Main.h"
#include "platform/posix/NetworkNamespace.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/Fakes.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A main window over a temporary executable folder, with scripted prompts and dialogs, a
// manual clock and an event pump that never sleeps.
class WindowFixture : public testing::Test {
 protected:
  void SetUp() override { ResetAutomaticRunForTests(); }

  TfrmMain& Start(std::vector<std::string> args = {}) {
    MainServices services{fs, prompts, dialogs, pump, cursor, clock, viewer, shell};
    services.setNetworkRoot = [this](const std::string& root) {
      networkRoot = root;
      real.SetNetworkRoot(root);
      shell.SetNetworkRoot(root);
    };
    const std::string folder = exe.Path() + "/";
    window = std::make_unique<TfrmMain>(services, StartupInfo{folder, cwd.Path(), args, folder});
    window->FormCreate();
    return *window;
  }

  std::string LogFile() const { return exe.Read("Pelmo.log"); }

  // Points the network folder at net for the next start.
  void UseNetwork(const TempDir& net) {
    exe.Write("Pelmo.ini", "[Setting]\r\nNetworkRoot=" + net.Path() + "\r\n");
  }

  TempDir exe;
  TempDir cwd;
  PosixFileSystem real;
  FaultFileSystem fs{real};
  ScriptedPrompts prompts;
  ScriptedDialogs dialogs;
  FakeEventPump pump;
  FakeCursor cursor;
  ManualClock clock;
  FakeLogViewer viewer;
  PosixNetworkNamespace shell{"/nonexistent-network"};
  std::string networkRoot;
  std::unique_ptr<TfrmMain> window;
};

}  // namespace tolvane::test
