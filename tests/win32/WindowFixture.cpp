#include "WindowFixture.h"

#include "app/win32/Win32Window.h"
#include "platform/win32/WideText.h"
#include "support/ListText.h"

namespace tolvane::test {

void WindowFixture::SetUp() {
  ResetAutomaticRunForTests();
  // The window's messages run where the logic lets pending events run, without the sleep.
  pump.onProcess = [] { Win32EventPump().ProcessPendingEvents(); };
  clock.now = {2026, 12, 8, 9, 30, 0};
}

void WindowFixture::TearDown() {
  if (window) window->FormDestroy();
  window.reset();
  Pump();
}

TfrmMain& WindowFixture::Start(std::vector<std::string> args) {
  window.reset();
  ShellNamespace& network = namedServers ? static_cast<ShellNamespace&>(named) : shell;
  MainServices services{fs, boxes, dialogs, pump, cursor, clock, viewer, network};
  if (namedServers) {
    services.setServers = [this](const ServerSettings& s) { named.SetServers(s.servers); };
  }
  window = std::make_unique<TfrmMain>(
      std::move(services), StartupInfo{exe.Path() + kSeparator, cwd.Path(), std::move(args), {}});
  boxes.SetOwner(window->Handle());
  window->FormCreate();
  about = std::make_unique<TdlgAbout>(window->Handle());
  window->SetAboutHandler([this] { about->ShowAbout(); });
  window->Show();
  SetForegroundWindow(window->Handle());
  Pump();
  return *window;
}

void WindowFixture::Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    DispatchWindowMessage(message);
  }
}

bool WindowFixture::PumpUntil(const std::function<bool()>& done) {
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (true) {
    Pump();
    if (done()) return true;
    if (GetTickCount64() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void WindowFixture::AddNetworkFolder(const std::string& relative) {
  net.MakeDir(relative);
  shell.AddPath(relative);
}

void WindowFixture::WriteList(const std::vector<std::string>& sources,
                              const std::vector<std::string>& destinations) {
  exe.Write("Pelmo.lst", ListText(sources, destinations));
}

TreeNode* WindowFixture::NodeOf(const std::string& folderPath) {
  DestinationTree& tree = window->Controller().Tree();
  for (int i = 0; i < tree.NodeCount(); ++i) {
    if (tree.NodeAt(i)->Record().folderPath == folderPath) return tree.NodeAt(i);
  }
  return nullptr;
}

void WindowFixture::Command(CommandId id) {
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(static_cast<int>(id), 0), 0);
  Pump();
}

void WindowFixture::ClickButton(CommandId id) {
  const auto cmd = static_cast<WPARAM>(id);
  if (SendMessageW(window->ToolBar, TB_GETSTATE, cmd, 0) & TBSTATE_ENABLED) {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STYLE;
    SendMessageW(window->ToolBar, TB_GETBUTTONINFOW, cmd, reinterpret_cast<LPARAM>(&info));
    if (info.fsStyle & BTNS_CHECK)
      SendMessageW(window->ToolBar, TB_CHECKBUTTON, cmd, !ButtonChecked(id));
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(static_cast<int>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(window->ToolBar));
  }
  Pump();
}

bool WindowFixture::MenuEnabled(CommandId id) {
  const UINT state = GetMenuState(window->MainMenu1, static_cast<UINT>(id), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool WindowFixture::MenuChecked(CommandId id) {
  const UINT state = GetMenuState(window->MainMenu1, static_cast<UINT>(id), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
}

bool WindowFixture::ButtonEnabled(CommandId id) {
  return SendMessageW(window->ToolBar, TB_ISBUTTONENABLED, static_cast<WPARAM>(id), 0) != 0;
}

bool WindowFixture::ButtonChecked(CommandId id) {
  return SendMessageW(window->ToolBar, TB_ISBUTTONCHECKED, static_cast<WPARAM>(id), 0) != 0;
}

int WindowFixture::ButtonPicture(CommandId id) {
  return static_cast<int>(SendMessageW(window->ToolBar, TB_GETBITMAP, static_cast<WPARAM>(id), 0));
}

int WindowFixture::StateOf(const TreeNode* node) {
  const HTREEITEM item = window->ItemOf(node);
  if (!item) return -100;
  const auto state = SendMessageW(window->treFolder, TVM_GETITEMSTATE,
                                  reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
  return static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
}

int WindowFixture::ListCount() {
  return static_cast<int>(SendMessageW(window->lstFile, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::string> WindowFixture::ListRow(int row) {
  std::vector<std::string> texts;
  for (int column = 0; column < 3; ++column) {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(window->lstFile, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    texts.push_back(Narrow(buffer));
  }
  return texts;
}

POINT WindowFixture::StatePicturePoint(const TreeNode* node) {
  const HTREEITEM item = window->ItemOf(node);
  RECT text{};
  TreeView_GetItemRect(window->treFolder, item, &text, TRUE);
  const int y = (text.top + text.bottom) / 2;
  int first = -1, last = -1;
  for (int x = 0; x < text.left; ++x) {
    TVHITTESTINFO hit{};
    hit.pt = {x, y};
    SendMessageW(window->treFolder, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON)) {
      if (first < 0) first = x;
      last = x;
    }
  }
  return {first < 0 ? -1 : (first + last) / 2, y};
}

void WindowFixture::Click(HWND window, POINT at) {
  ClientToScreen(window, &at);
  SetCursorPos(at.x, at.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
}

void WindowFixture::Keys(const std::vector<WORD>& down) {
  std::vector<INPUT> input;
  for (WORD key : down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    input.push_back(in);
  }
  for (auto it = down.rbegin(); it != down.rend(); ++it) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    input.push_back(in);
  }
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

}  // namespace tolvane::test
