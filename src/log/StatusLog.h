#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/FileSystem.h"

namespace tolvane {

// Where the status log shows its lines: the memo of the main window, or a test's vector.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void AddMemoLine(const std::string& line) = 0;
  virtual void ClearMemo() = 0;
};

// Where a part of the program writes its log lines.
class LogLines {
 public:
  virtual ~LogLines() = default;
  virtual void AddLogLine(const std::string& text) = 0;
};

// The one way every part of the program reports what it does: a line in the memo, and, while
// saving is on, the same text appended to the log file.
class StatusLog : public LogLines {
 public:
  StatusLog(FileSystem& fs, LogSink& sink);

  void SetLogPath(const std::string& path) {
    logPath_ = path;
    file_.reset();
  }
  const std::string& LogPath() const { return logPath_; }
  // Whether lines go to the file too: the check mark of the log-saving menu item.
  void SetSaveToFileSource(std::function<bool()> saveToFile) {
    saveToFile_ = std::move(saveToFile);
  }

  // Told once, with the system's reason, when lines stop reaching the log file (a full disk,
  // a permission gone); told again only after a line has reached it since.
  void SetWriteFailureReport(std::function<void(const std::string& reason)> report) {
    writeFailed_ = std::move(report);
  }
  // Whether a line has failed to reach the log file since the log path was set.
  bool AnyWriteFailed() const { return anyWriteFailed_; }

  void AddLogLine(const std::string& text) override;
  // The file half of AddLogLine: appends the text and a line end in one write. The file is
  // opened and closed for each line, or held open while KeepFileOpen is on. False when the
  // line could not be written, which is reported once through the write-failure report.
  bool AppendLogFile(const std::string& text);
  // Holds the log file open from its next line until this is turned off (for a run, whose
  // every file has a line), so that a line costs one write.
  void KeepFileOpen(bool keep) {
    keepOpen_ = keep;
    if (!keep) file_.reset();
  }
  // Lets go of a file held open, so that it can be deleted; the next line opens it anew.
  void ReleaseFile() { file_.reset(); }
  void ClearMemo() { sink_.ClearMemo(); }

 private:
  FileSystem& fs_;
  LogSink& sink_;
  std::string logPath_;
  std::function<bool()> saveToFile_ = [] { return true; };
  std::function<void(const std::string&)> writeFailed_;
  bool failing_ = false;
  bool anyWriteFailed_ = false;
  bool keepOpen_ = false;
  std::unique_ptr<AppendFile> file_;
};

// A name (a path, a node path) as a log line may hold it: control characters (line feeds, CR,
// TAB, the C1 controls and the Unicode line and paragraph separators) become \xNN or \uNNNN,
// so that a file name can never add lines of its own to the log.
std::string LogName(std::string_view name);

// "yyyy/mm/dd hh:nn:ss", or the date alone at exactly 00:00:00.
std::string FormatLogDateTime(const LocalDateTime& t);
// "hh:nn".
std::string FormatLogTime(const LocalDateTime& t);

std::string StartLine(const LocalDateTime& now);
std::string EndLine(const LocalDateTime& now);
std::string RunStartLine(const LocalDateTime& now);
std::string RunEndLine(const LocalDateTime& now, bool stopped);

}  // namespace tolvane
