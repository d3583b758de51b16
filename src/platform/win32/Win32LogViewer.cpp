#include "platform/win32/Win32LogViewer.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {
namespace {

// The folder for the probe file: the user's temporary folder, which can always be written,
// unlike the current folder (a dialog may have left it on a read-only share).
std::wstring ProbeFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  return std::wstring(buffer, n);
}

}  // namespace

std::string QuoteArgument(const std::string& argument) {
  // The rules by which programs split their command line: backslashes are literal unless they
  // stand before a quote, so those (and the ones before the closing quote) are doubled.
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::optional<std::string> Win32LogViewer::FindTextViewer() {
  const std::wstring folder = ProbeFolder();
  const std::wstring probe = folder + Widen(kViewerProbeName);
  // A probe file that is already there is used as it is and left alone.
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_READ, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  wchar_t program[MAX_PATH] = {};
  const auto result = reinterpret_cast<INT_PTR>(
      FindExecutableW(probe.c_str(), folder.empty() ? L"" : folder.c_str(), program));
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    DeleteFileW(probe.c_str());
  }
  if (result <= 32 || program[0] == L'\0') return std::nullopt;
  return Narrow(program);
}

bool Win32LogViewer::Open(const std::string& path) {
  const auto program = FindTextViewer();
  if (!program) return false;
  // Both quoted: unquoted, a blank in either path splits it into other arguments.
  StartProcess(QuoteArgument(*program) + " " + QuoteArgument(path));
  return true;
}

bool Win32LogViewer::StartProcess(const std::string& commandLine) {
  std::wstring line = Widen(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace tolvane
