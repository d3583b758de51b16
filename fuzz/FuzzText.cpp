// Decoding text and escaping names for the log, on any bytes.
#include "FuzzSupport.h"
#include "log/StatusLog.h"
#include "platform/Encoding.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane;
  const std::string_view bytes = fuzz::AsText(data, size);
  const std::string text = DecodeTextLines(bytes);
  // Always UTF-8, with the same line ends, and a line that was UTF-8 stays as it was.
  FUZZ_CHECK(IsValidUtf8(text));
  const auto ends = [](std::string_view s) {
    std::size_t n = 0;
    for (char c : s) n += c == '\r' || c == '\n';
    return n;
  };
  std::string_view body = bytes;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  FUZZ_CHECK(ends(text) == ends(body));
  if (IsValidUtf8(body)) FUZZ_CHECK(text == body);

  // An escaped name holds no control character and is only ever longer.
  const std::string name = LogName(bytes);
  for (unsigned char c : name) FUZZ_CHECK(c >= 0x20 && c != 0x7F);
  FUZZ_CHECK(name.size() >= bytes.size());
  FUZZ_CHECK(name.find("\xE2\x80\xA8") == std::string::npos);
  return 0;
}
