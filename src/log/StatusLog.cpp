#include "log/StatusLog.h"

#include <cstdio>
#include <utility>

#include "platform/LocalTime.h"
#include "platform/TextFile.h"

namespace tolvane {
StatusLog::StatusLog(FileSystem& fs, LogSink& sink) : fs_(fs), sink_(sink) {}

void StatusLog::AddLogLine(const std::string& text) {
  if (saveToFile_()) AppendLogFile(text);
  std::string memoLine;
  memoLine.reserve(text.size());
  for (char c : text) {
    if (c != '\n') memoLine += c;
  }
  sink_.AddMemoLine(memoLine);
}

bool StatusLog::AppendLogFile(const std::string& text) {
  if (logPath_.empty()) return true;
  bool ok = false;
  if (!keepOpen_) {
    ok = AppendTextLine(fs_, logPath_, text);
  } else {
    if (!file_) file_ = fs_.OpenForAppend(logPath_);
    ok = file_ && file_->Append(TextLineBytes(text));
    // The next line tries to open it again.
    if (!ok) file_.reset();
  }
  if (ok) {
    failing_ = false;
    return true;
  }
  anyWriteFailed_ = true;
  if (!std::exchange(failing_, true) && writeFailed_) writeFailed_(fs_.LastError());
  return false;
}

std::string LogName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  char buffer[8];
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += buffer;
    } else if (c == 0xC2 && i + 1 < name.size() &&
               (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80) {
      // U+0080 to U+009F
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned char>(name[++i]));
      out += buffer;
    } else if (c == 0xE2 && i + 2 < name.size() && name[i + 1] == '\x80' &&
               (name[i + 2] == '\xA8' || name[i + 2] == '\xA9')) {
      out += name[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string FormatLogTime(const LocalDateTime& t) {
  return TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
}

std::string FormatLogDateTime(const LocalDateTime& t) {
  char date[32];
  std::snprintf(date, sizeof date, "%04d/%02d/%02d", t.year, t.month, t.day);
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return date;
  return std::string(date) + " " + FormatLogTime(t) + ":" + TwoDigits(t.second);
}

std::string StartLine(const LocalDateTime& now) { return "\n▼起動 " + FormatLogDateTime(now); }

std::string EndLine(const LocalDateTime& now) { return "▲終了 " + FormatLogDateTime(now) + "\n"; }

std::string RunStartLine(const LocalDateTime& now) {
  // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on "\n" + std::string.
  std::string line = "\n";
  line += FormatLogTime(now);
  line += " 配布開始";
  return line;
}

std::string RunEndLine(const LocalDateTime& now, bool stopped) {
  return FormatLogTime(now) + (stopped ? " 配布中止" : " 配布終了") + "\n";
}

}  // namespace tolvane
