#include <gtest/gtest.h>

#include <atomic>

#include "BoxAnswerer.h"
#include "app/win32/Resource.h"
#include "app/win32/Win32About.h"
#include "app/win32/Win32Platform.h"
#include "app/win32/Win32Window.h"
#include "common/AppInfo.h"
#include "platform/win32/WideText.h"

namespace tolvane {
namespace {

using test::BoxAnswerer;
using test::PressButton;
using test::SeenBox;

// A wide literal with its embedded NULs, less the one that ends it.
template <std::size_t N>
std::wstring W(const wchar_t (&text)[N]) {
  return std::wstring(text, N - 1);
}

TEST(Win32PromptsTest, EachQuestionShowsItsButtonsWithoutIconAndReturnsThePressedOne) {
  struct Case {
    const char* name;
    std::function<PromptAnswer(Prompts&)> ask;
    std::vector<std::string> buttons;
    int press;
    PromptAnswer expected;
    bool icon;
  };
  const std::vector<Case> cases = {
      {"yes/no/cancel",
       [](Prompts& p) { return p.AskYesNoCancel(kAppTitle, "上書きしますか？"); },
       {"はい(&Y)", "いいえ(&N)", "キャンセル"},
       IDNO,
       PromptAnswer::No,
       false},
      {"yes/no/cancel cancelled",
       [](Prompts& p) { return p.AskYesNoCancel(kAppTitle, "上書きしますか？"); },
       {"はい(&Y)", "いいえ(&N)", "キャンセル"},
       IDCANCEL,
       PromptAnswer::Cancel,
       false},
      {"overwrite, for the rest of the run",
       [](Prompts& p) { return p.AskOverwrite(kAppTitle, "上書きしますか？"); },
       {"はい(&Y)", "いいえ(&N)", "キャンセル", "すべて上書き", "すべてスキップ"},
       Win32Prompts::kIdSkipAll,
       PromptAnswer::NoToAll,
       false},
      {"abort/retry/ignore",
       [](Prompts& p) { return p.AskAbortRetryIgnore(kAppTitle, "再試行しますか？"); },
       {"中止(&A)", "再試行(&R)", "無視(&I)"},
       IDRETRY,
       PromptAnswer::Retry,
       false},
      {"yes/no",
       [](Prompts& p) { return p.AskYesNo(kAppTitle, "上書きしますか？"); },
       {"はい(&Y)", "いいえ(&N)"},
       IDYES,
       PromptAnswer::Yes,
       false},
      {"message",
       [](Prompts& p) {
         p.ShowMessage(kAppTitle, "ビューアがありません");
         return PromptAnswer::Ok;
       },
       {"OK"},
       IDOK,
       PromptAnswer::Ok,
       false},
      {"error",
       [](Prompts& p) {
         p.ShowError(kAppTitle, "エラー");
         return PromptAnswer::Ok;
       },
       {"OK"},
       IDOK,
       PromptAnswer::Ok,
       true},
  };
  Win32Prompts prompts;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxAnswerer answerer;
    answerer.Press(c.press);
    EXPECT_EQ(c.ask(prompts), c.expected);
    const std::vector<SeenBox> seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kAppTitle);
    EXPECT_FALSE(seen[0].text.empty());
    EXPECT_EQ(seen[0].buttons, c.buttons);
    EXPECT_EQ(seen[0].hasIcon, c.icon);
  }
}

TEST(Win32DialogsTest, FiltersAndMultipleSelectionsBecomeWhatEachSideExpects) {
  EXPECT_EQ(DialogFilter("Lists (*.lst)|*.lst|全て (*.*)|*.*"),
            W(L"Lists (*.lst)\0*.lst\0全て (*.*)\0*.*\0\0"));
  // Several patterns of one pair; a description without its pattern is left out.
  EXPECT_EQ(DialogFilter("Lists|*.lst;*.txt|Lonely"), W(L"Lists\0*.lst;*.txt\0\0"));
  EXPECT_EQ(DialogFilter(""), W(L"\0"));

  using Paths = std::vector<std::string>;
  // One file: the full path alone.
  EXPECT_EQ(SplitDialogSelection(W(L"C:\\data\\a.txt\0\0")), Paths{"C:\\data\\a.txt"});
  // Several: the folder, then each name in it.
  EXPECT_EQ(SplitDialogSelection(W(L"C:\\data\0a.txt\0表.bin\0\0")),
            (Paths{"C:\\data\\a.txt", "C:\\data\\表.bin"}));
  // A drive's root keeps its one backslash.
  EXPECT_EQ(SplitDialogSelection(W(L"C:\\\0a\0b\0\0")), (Paths{"C:\\a", "C:\\b"}));
  EXPECT_TRUE(SplitDialogSelection(W(L"\0\0")).empty());
}

TEST(Win32EventPumpTest, AQuitMetDuringLongWorkStillEndsTheMainLoop) {
  PostQuitMessage(3);
  Win32EventPump pump;
  pump.ProcessPendingEvents();
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 3u);
}

TEST(Win32ResourcesTest, TheCommonControlsManifestIsEmbedded) {
  HRSRC manifest = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(nullptr, manifest)));
  const std::string body(text, SizeofResource(nullptr, manifest));
  EXPECT_NE(body.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(body.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST(Win32AboutTest, EscapeLeavesTheBoxOpenAndTheLinkOpensItsOwnText) {
  TdlgAbout about(nullptr);
  std::vector<std::string> opened;
  about.SetUrlOpener([&](const std::string& url) { opened.push_back(url); });
  struct Texts {
    std::string caption, name, version;
    RECT client{};
  };
  std::vector<Texts> shown;
  std::mutex mutex;
  auto record = [&](HWND box) {
    Texts t;
    t.caption = WindowText(box);
    t.name = WindowText(GetDlgItem(box, IDC_ABOUT_NAME));
    t.version = WindowText(GetDlgItem(box, IDC_ABOUT_VERSION));
    GetClientRect(box, &t.client);
    std::lock_guard lock(mutex);
    shown.push_back(t);
  };

  BoxAnswerer answerer;
  // First showing: Escape (ignored), a click on the link, then OK. The link's click is only
  // seen if Escape left the box open, since the messages are handled in order.
  answerer.Then([&](HWND box) {
    record(box);
    HWND ok = GetDlgItem(box, IDOK);
    PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(ok, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    HWND link = GetDlgItem(box, IDC_ABOUT_URL);
    PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PressButton(box, IDOK);
  });
  // Second showing: the close box closes it.
  answerer.Then([&](HWND box) {
    record(box);
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(about.ShowAbout(), IDOK);
  EXPECT_EQ(about.ShowAbout(), IDCANCEL);

  EXPECT_EQ(opened, std::vector<std::string>{TdlgAbout::kWebAddress});
  ASSERT_EQ(shown.size(), 2u);
  for (const Texts& t : shown) {
    EXPECT_EQ(t.caption, "Tolvane");
    EXPECT_EQ(t.name, "Tolvane (Nobrik)");
    EXPECT_EQ(t.version, "Ver. 1.05");
    EXPECT_EQ(t.client.right, 278);
    EXPECT_GE(t.client.bottom, 136);  // taller where the system's font is taller
  }
  EXPECT_EQ(answerer.Unexpected(), 0);
}

}  // namespace
}  // namespace tolvane
