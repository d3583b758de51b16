#include "app/win32/Win32Platform.h"

#include <cstring>
#include <utility>
#include <vector>

#include "app/core/ViewRules.h"
#include "app/win32/Resource.h"
#include "app/win32/Win32Controls.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32FolderPicker.h"

namespace tolvane {
namespace {

PromptAnswer FromId(int id) {
  switch (id) {
    case IDYES:
      return PromptAnswer::Yes;
    case IDNO:
      return PromptAnswer::No;
    case IDABORT:
      return PromptAnswer::Abort;
    case IDRETRY:
      return PromptAnswer::Retry;
    case IDIGNORE:
      return PromptAnswer::Ignore;
    case IDOK:
      return PromptAnswer::Ok;
    default:
      return PromptAnswer::Cancel;
  }
}

HCURSOR g_shapeCursor = nullptr;
HWND g_keyboardWindow = nullptr;
bool (*g_keyboardHandler)(HWND, MSG&) = nullptr;

}  // namespace

int Win32Prompts::Box(const std::string& caption, const std::string& text, UINT type) {
  return MessageBoxW(owner_, Widen(text).c_str(), Widen(caption).c_str(), type);
}

PromptAnswer Win32Prompts::AskYesNoCancel(const std::string& caption, const std::string& text) {
  return FromId(Box(caption, text, MB_YESNOCANCEL | MB_DEFBUTTON1));
}

namespace {

// A dialog template built in memory: the header, then items, each on a DWORD boundary.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, const std::wstring& font, WORD points) {
    Dword(style);
    Dword(0);
    countAt_ = words_.size();
    Word(0);
    for (short v : {short(0), short(0), cx, cy}) Word(static_cast<WORD>(v));
    Word(0);  // no menu
    Word(0);  // the dialog class
    String(L"");
    Word(points);
    String(font);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom) {
    if (words_.size() % 2) Word(0);
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);
    for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
    Word(id);
    Word(0xFFFF);
    Word(atom);
    String(L"");
    Word(0);
    ++words_[countAt_];
  }
  const DLGTEMPLATE* Data() {
    buffer_.assign((words_.size() + 1) / 2, 0);
    std::memcpy(buffer_.data(), words_.data(), words_.size() * sizeof(WORD));
    return reinterpret_cast<const DLGTEMPLATE*>(buffer_.data());
  }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void String(const std::wstring& s) {
    for (wchar_t c : s) Word(static_cast<WORD>(c));
    Word(0);
  }
  std::vector<WORD> words_;
  std::vector<DWORD> buffer_;
  std::size_t countAt_ = 0;
};

struct OverwriteBox {
  std::wstring caption;
  std::wstring text;
};

INT_PTR CALLBACK OverwriteBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* data = reinterpret_cast<const OverwriteBox*>(lParam);
      SetWindowTextW(box, data->caption.c_str());
      SetDlgItemTextW(box, 0xFFFF, data->text.c_str());
      const std::pair<int, const char*> buttons[] = {
          {IDYES, "はい(&Y)"},
          {IDNO, "いいえ(&N)"},
          {IDCANCEL, "キャンセル"},
          {Win32Prompts::kIdOverwriteAll, kOverwriteAllButton},
          {Win32Prompts::kIdSkipAll, kSkipAllButton}};
      for (const auto& [id, caption] : buttons) SetDlgItemTextW(box, id, Widen(caption).c_str());
      // Over the middle of its owner, as a message box is.
      RECT owner{}, self{};
      HWND parent = GetWindow(box, GW_OWNER);
      if (!parent || !GetWindowRect(parent, &owner)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
      }
      GetWindowRect(box, &self);
      SetWindowPos(box, nullptr,
                   owner.left + (owner.right - owner.left - (self.right - self.left)) / 2,
                   owner.top + (owner.bottom - owner.top - (self.bottom - self.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
      SetFocus(GetDlgItem(box, IDYES));
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDYES:
        case IDNO:
        case IDCANCEL:
        case Win32Prompts::kIdOverwriteAll:
        case Win32Prompts::kIdSkipAll:
          EndDialog(box, LOWORD(wParam));
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

PromptAnswer Win32Prompts::AskOverwrite(const std::string& caption, const std::string& text) {
  OverwriteBox data{Widen(caption), Widen(text)};
  // CR LF between lines, as a static control breaks them; the height follows the lines.
  std::wstring shown;
  int lines = 1;
  int column = 0;
  for (wchar_t c : data.text) {
    if (c == L'\n') {
      shown += L"\r\n";
      ++lines;
      column = 0;
      continue;
    }
    shown += c;
    if (++column > 64) {  // a long path wraps
      ++lines;
      column = 0;
    }
  }
  data.text = shown;
  const short width = 330;
  const short textHeight = static_cast<short>(lines * 9 + 2);
  const short buttonsY = static_cast<short>(7 + textHeight + 7);
  DialogTemplate dialog(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, width,
                        static_cast<short>(buttonsY + 14 + 7), L"MS Shell Dlg", 9);
  dialog.Item(SS_LEFT | SS_NOPREFIX, 7, 7, width - 14, textHeight, 0xFFFF, 0x0082);
  const std::pair<int, short> buttons[] = {
      {IDYES, 50}, {IDNO, 50}, {IDCANCEL, 50}, {kIdOverwriteAll, 62}, {kIdSkipAll, 62}};
  short x = static_cast<short>((width - (50 * 3 + 62 * 2 + 4 * 4)) / 2);
  for (const auto& [id, w] : buttons) {
    dialog.Item(WS_TABSTOP | (id == IDYES ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), x, buttonsY, w, 14,
                static_cast<WORD>(id), 0x0080);
    x = static_cast<short>(x + w + 4);
  }
  const INT_PTR id = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Data(), owner_,
                                             OverwriteBoxProc, reinterpret_cast<LPARAM>(&data));
  switch (id) {
    case kIdOverwriteAll:
      return PromptAnswer::YesToAll;
    case kIdSkipAll:
      return PromptAnswer::NoToAll;
    default:
      return FromId(static_cast<int>(id));
  }
}

PromptAnswer Win32Prompts::AskAbortRetryIgnore(const std::string& caption,
                                               const std::string& text) {
  return FromId(Box(caption, text, MB_ABORTRETRYIGNORE | MB_DEFBUTTON1));
}

PromptAnswer Win32Prompts::AskYesNo(const std::string& caption, const std::string& text) {
  return FromId(Box(caption, text, MB_YESNO | MB_DEFBUTTON1));
}

void Win32Prompts::ShowMessage(const std::string& caption, const std::string& text) {
  Box(caption, text, MB_OK);
}

void Win32Prompts::ShowError(const std::string& caption, const std::string& text) {
  Box(caption, text, MB_OK | MB_ICONERROR);
}

std::wstring DialogFilter(const std::string& filter) {
  std::wstring out;
  for (const FileFilter& f : ParseFileFilter(filter)) {
    std::string patterns;
    for (const std::string& p : f.patterns) patterns += (patterns.empty() ? "" : ";") + p;
    out += Widen(f.description) + L'\0' + Widen(patterns) + L'\0';
  }
  out.push_back(L'\0');
  return out;
}

std::vector<std::string> SplitDialogSelection(const std::wstring& buffer) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start < buffer.size() && buffer[start] != L'\0') {
    const std::size_t end = buffer.find(L'\0', start);
    const std::size_t stop = end == std::wstring::npos ? buffer.size() : end;
    parts.push_back(buffer.substr(start, stop - start));
    start = stop + 1;
  }
  std::vector<std::string> paths;
  if (parts.size() == 1) {
    paths.push_back(Narrow(parts[0]));
    return paths;
  }
  // The folder first (a drive's root keeps its backslash), then the names in it.
  std::wstring folder = parts.empty() ? std::wstring() : parts[0];
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(Narrow(folder + parts[i]));
  return paths;
}

namespace {

// Grows the dialog's file buffer as the selection grows: a selection larger than the buffer
// would otherwise make the dialog fail without a word.
UINT_PTR CALLBACK GrowSelectionBuffer(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return 0;
  const auto* note = reinterpret_cast<const OFNOTIFYW*>(lParam);
  if (note->hdr.code != CDN_SELCHANGE) return 0;
  HWND dialog = GetParent(child);
  const LRESULT names = CommDlg_OpenSave_GetSpec(dialog, nullptr, 0);
  const LRESULT folder = CommDlg_OpenSave_GetFolderPath(dialog, nullptr, 0);
  if (names < 0 || folder < 0) return 0;
  // The folder, then each name: the names' text with their quotes and blanks is longer than
  // what they take in the buffer.
  const std::size_t needed = static_cast<std::size_t>(names + folder) + 2;
  OPENFILENAMEW* ofn = note->lpOFN;
  auto* buffer = reinterpret_cast<std::wstring*>(ofn->lCustData);
  if (needed > ofn->nMaxFile) {
    buffer->assign(needed * 2, L'\0');
    ofn->lpstrFile = buffer->data();
    ofn->nMaxFile = static_cast<DWORD>(buffer->size());
  }
  return 0;
}

}  // namespace

std::vector<std::string> Win32Dialogs::OpenFiles(const OpenFileRequest& request) {
  std::wstring buffer(64 * 1024, L'\0');
  const std::wstring filter = DialogFilter(request.filter);
  const std::wstring title = Widen(request.title);
  const std::wstring initial = Widen(request.initialFolder);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_;
  ofn.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
  ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrInitialDir = initial.empty() ? nullptr : initial.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
              OFN_ENABLESIZING | OFN_NOCHANGEDIR | (request.multiSelect ? OFN_ALLOWMULTISELECT : 0);
  if (request.multiSelect) {
    ofn.Flags |= OFN_ENABLEHOOK;
    ofn.lpfnHook = GrowSelectionBuffer;
    ofn.lCustData = reinterpret_cast<LPARAM>(&buffer);
  }
  if (!GetOpenFileNameW(&ofn)) return {};
  return SplitDialogSelection(buffer);
}

std::optional<std::string> Win32Dialogs::SaveFile(const SaveFileRequest& request) {
  std::wstring buffer(32 * 1024, L'\0');
  const std::wstring filter = DialogFilter(request.filter);
  const std::wstring title = Widen(request.title);
  std::wstring extension = Widen(request.defaultExtension);
  if (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_;
  ofn.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
  ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  // The command asks about overwriting itself.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&ofn)) return std::nullopt;
  return Narrow(buffer.c_str());
}

std::optional<std::string> Win32Dialogs::ChooseFolder(const std::string& title,
                                                      const std::string& initialFolder) {
  return BrowseForFolder(owner_, title, initialFolder);
}

namespace {

struct AskTextState {
  std::wstring title, label, text;
};

INT_PTR CALLBACK AskTextProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<AskTextState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<AskTextState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetWindowTextW(dialog, state->title.c_str());
      SetDlgItemTextW(dialog, IDC_ASKTEXT_LABEL, state->label.c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && state) {
        HWND edit = GetDlgItem(dialog, IDC_ASKTEXT_EDIT);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        state->text = std::move(text);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<std::string> Win32Dialogs::AskText(const std::string& title,
                                                 const std::string& label) {
  AskTextState state{Widen(title), Widen(label), {}};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ASKTEXT),
                                         owner_, AskTextProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return Narrow(state.text);
}

Win32EventPump::Win32EventPump() : threadId_(GetCurrentThreadId()) {
  // The thread gets its message queue now, so that a worker's Wake finds it even before any
  // window exists (batch mode has none).
  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

void Win32EventPump::WaitForEvents(int maxMs) {
  MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(maxMs), QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  ProcessPendingEvents();
}

void Win32EventPump::Wake() { PostThreadMessageW(threadId_, WM_NULL, 0, 0); }

void Win32EventPump::Sleep(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }

void Win32EventPump::ProcessPendingEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: the main loop ends on it once the long work returns.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchWindowMessage(message);
  }
}

void SetKeyboardHandler(HWND window, bool (*handler)(HWND, MSG&)) {
  g_keyboardWindow = window;
  g_keyboardHandler = handler;
}

void DispatchWindowMessage(MSG& message) {
  if (g_keyboardHandler && g_keyboardWindow && IsWindow(g_keyboardWindow) &&
      message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST &&
      g_keyboardHandler(g_keyboardWindow, message)) {
    return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void Win32Cursor::Set(CursorShape shape) {
  shape_ = shape;
  switch (shape) {
    case CursorShape::Hourglass:
      g_shapeCursor = LoadCursorW(nullptr, IDC_WAIT);
      break;
    case CursorShape::AppStarting:
      g_shapeCursor = LoadCursorW(nullptr, IDC_APPSTARTING);
      break;
    case CursorShape::Default:
      g_shapeCursor = nullptr;
      break;
  }
  SetCursor(g_shapeCursor ? g_shapeCursor : LoadCursorW(nullptr, IDC_ARROW));
}

HCURSOR Win32Cursor::ShapeCursor() { return g_shapeCursor; }

}  // namespace tolvane
