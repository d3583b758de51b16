#include "platform/win32/Win32FolderPicker.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32ShellNamespace.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {
namespace {

// Opens the browser with the initial folder selected; the folder arrives as lParam.
int CALLBACK SelectInitialFolder(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

}  // namespace

std::string WithTrailingBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

std::optional<std::string> BrowseForFolder(void* ownerWindow, const std::string& title,
                                           const std::string& initialFolder) {
  const bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::optional<std::string> chosen;
  LPITEMIDLIST root = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(static_cast<HWND>(ownerWindow), CSIDL_DESKTOP, &root))) {
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring wideTitle = Widen(title);
    const std::wstring wideInitial = Widen(initialFolder);
    BROWSEINFOW info{};
    info.hwndOwner = static_cast<HWND>(ownerWindow);
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = 0;
    if (!initialFolder.empty()) {
      info.lpfn = SelectInitialFolder;
      info.lParam = reinterpret_cast<LPARAM>(wideInitial.c_str());
    }
    if (LPITEMIDLIST item = SHBrowseForFolderW(&info)) {
      const std::wstring path = PathOfItemList(item);
      if (!path.empty()) chosen = WithTrailingBackslash(Narrow(path));
      CoTaskMemFree(item);
    }
    CoTaskMemFree(root);
  }
  if (initialised) CoUninitialize();
  return chosen;
}

}  // namespace tolvane
