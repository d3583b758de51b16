#include "platform/Encoding.h"

#include <optional>

#include "platform/win32/WideText.h"
#include "platform/win32/WindowsApi.h"

namespace tolvane {
namespace {

constexpr UINT kShiftJis = 932;
constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The whole text in one call; nothing when a byte sequence is not valid in the code page.
std::optional<std::wstring> DecodeStrict(UINT codePage, std::string_view bytes) {
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n);
  return wide;
}

// Character by character, so that a bad sequence costs one U+FFFD and not the whole text (the
// system would put its own default character there instead, which reads like real text).
std::string DecodeLenient(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  if (auto wide = DecodeStrict(codePage, bytes)) return Narrow(*wide);
  std::string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<BYTE>(bytes[i]);
    std::size_t n = IsDBCSLeadByteEx(codePage, c) && i + 1 < bytes.size() ? 2 : 1;
    auto wide = DecodeStrict(codePage, bytes.substr(i, n));
    if (!wide) {
      out += kReplacement;
      n = 1;
    } else {
      out += Narrow(*wide);
    }
    i += n;
  }
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) { return DecodeLenient(kShiftJis, bytes); }

std::string ToSystemText(std::string_view utf8) {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return std::string(utf8);
  const int size = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                    nullptr, &lossy);
  if (n <= 0 || lossy) return std::string(utf8);
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, text.data(), n, nullptr,
                      nullptr);
  return text;
}

std::string FromSystemText(std::string_view bytes) { return DecodeLenient(GetACP(), bytes); }

}  // namespace tolvane
