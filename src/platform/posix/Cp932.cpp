#include <iconv.h>

#include <cerrno>

#include "platform/Encoding.h"

namespace tolvane {

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
  out.reserve(bytes.size() * 3 / 2 + 4);
  std::string input(bytes);
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* o = buffer;
    std::size_t oLeft = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An invalid or cut-off sequence: mark it and go on after its first byte.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

std::string ToSystemText(std::string_view utf8) { return std::string(utf8); }

std::string FromSystemText(std::string_view bytes) { return Cp932ToUtf8(bytes); }

}  // namespace tolvane
