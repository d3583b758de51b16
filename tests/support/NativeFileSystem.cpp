#include "support/NativeFileSystem.h"

#ifdef _WIN32
#include "platform/win32/WindowsApi.h"
#endif

namespace tolvane::test {

#ifdef _WIN32

NativeFileSystem::NativeFileSystem(std::string networkRoot)
    : networkRoot_(std::move(networkRoot)) {}

std::wstring NativeFileSystem::NativePath(const std::string& path) const {
  if (networkRoot_.empty() || path.size() < 2 || path[0] != '\\' || path[1] != '\\') {
    return Win32FileSystem::NativePath(path);
  }
  return Win32FileSystem::NativePath(networkRoot_ + path.substr(1));
}

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool SystemTextIsShiftJis() { return GetACP() == 932; }

#else

bool RunningUnderWine() { return false; }

bool SystemTextIsShiftJis() { return true; }

#endif

}  // namespace tolvane::test
