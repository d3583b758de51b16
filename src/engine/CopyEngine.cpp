#include "engine/CopyEngine.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "common/AppInfo.h"
#include "platform/LocalTime.h"
#include "platform/NetworkPaths.h"
#include "setup/SourceEntries.h"

namespace tolvane {
namespace {

constexpr char kSucceeded[] = " -> 成功";
constexpr char kSkipped[] = " -> スキップ";
constexpr char kCancelled[] = " -> 中止";
constexpr char kFailed[] = " -> 失敗";
constexpr char kUnchanged[] = " -> 変更なし";
constexpr char kNotFound[] = "が見つかりません";
constexpr char kCannotCreate[] = "フォルダを作成できません: ";
constexpr char kCannotRead[] = "フォルダを読めません: ";
constexpr char kOutsideNetwork[] = "ネットワークフォルダの外を指すため書き込みません: ";
constexpr char kDestinationSkipped[] = "配布先のフォルダなので写しません: ";
constexpr char kLinkSkipped[] = "リンクでたどり着いた同じフォルダは一度だけ写します: ";
constexpr char kRestSkipped[] = "このフォルダの残りは写しません: ";
constexpr char kReason[] = "    理由: ";
constexpr char kChangedWhileCopied[] = "コピーの間にファイルが変更されました";

// A network path is split at "\" and "/" alike, as the file system maps it; a local path only
// at the system's own separator (a "\" is an ordinary character of a local name on Linux).
const char* SeparatorsOf(const std::string& path) {
  static constexpr char kLocal[] = {kPathSeparator, '\0'};
  return IsNetworkPath(path) ? "\\/" : kLocal;
}

char SeparatorFor(const std::string& path) { return IsNetworkPath(path) ? '\\' : kPathSeparator; }

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && std::string(SeparatorsOf(path)).find(path.back()) != std::string::npos;
}

// Where the name part begins: after the last separator, or (where paths have drive letters)
// after the first colon.
std::size_t NameStart(const std::string& path) {
  const std::size_t sep = path.find_last_of(SeparatorsOf(path));
  if (sep != std::string::npos) return sep + 1;
#ifdef _WIN32
  const std::size_t colon = path.find(':');
  if (colon != std::string::npos) return colon + 1;
#endif
  return 0;
}

// A network folder takes no name holding a separator of its paths: "a\b.txt", one name on
// Linux, would become the file b.txt of a sub-folder a there.
bool CanHoldName(const std::string& folder, const std::string& name) {
  return name.find_first_of(SeparatorsOf(folder)) == std::string::npos;
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// The search entry of one item. A name holding * or ? (possible on Linux) is a pattern to the
// search, which may then find other files too: only the item itself counts.
std::optional<FindEntry> FindItem(FileSystem& fs, const std::string& path) {
  const std::string name = ExtractName(path);
  std::vector<FindEntry> found = fs.Find(path);
  for (FindEntry& e : found) {
    if (!HasWildcard(name) || e.name == name) return std::move(e);
  }
  return std::nullopt;
}

// A file's date (local, to the 2-second step the comparison uses) and size.
std::string DateAndSize(const FindEntry& item) {
  const auto local = ToLocalFileDate(item.lastWrite);
  std::string date = "----/--/-- --:--:--";
  if (local) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local->year, local->month,
                  local->day, local->hour, local->minute, local->second);
    date = text;
  }
  return date + "  " + FormatEntrySize(item.size) + " バイト";
}

// The question's own three lines, then both files, so that the answer need not be a guess.
std::string OverwriteQuestion(const std::string& target, const FindEntry& existing,
                              const FindEntry& source) {
  std::string text = "同名のファイルが存在します。\n  " + target + "\n上書きしますか？\n\n" +
                     "既存のファイル：" + DateAndSize(existing) + "\n" + "配布するファイル：" +
                     DateAndSize(source);
  if (IsOlder(source.lastWrite, existing.lastWrite)) text += "\n既存のファイルの方が新しいです。";
  return text;
}

// The question's own line, then which file failed and why.
std::string RetryQuestion(const std::string& folder, const std::string& source,
                          const std::string& reason) {
  std::string text =
      "エラーみたいですけど、リトライしますか？ 配布先：" + folder + "\n\nファイル：" + source;
  if (!reason.empty()) text += "\n理由：" + reason;
  return text;
}

std::string Because(const std::string& what, const std::string& reason) {
  return reason.empty() ? what : what + " (" + reason + ")";
}

}  // namespace

namespace {

int CountFiles(FileSystem& fs, const std::string& entry, std::set<FileIdentity>& visited) {
  const bool entryIsFolder = fs.IsFolder(entry);
  if (entryIsFolder) {
    const auto id = fs.Identity(entry);
    // A loop through a link is walked once, as the copy walks it.
    if (id && !visited.insert(*id).second) return 0;
  }
  const std::string pattern = entryIsFolder ? JoinPath(entry, "*.*") : entry;
  const std::string prefix = SearchPrefix(pattern);
  int files = 0;
  for (const FindEntry& item : fs.Find(pattern)) {
    if (item.name == "." || item.name == "..") continue;
    files += item.isFolder ? CountFiles(fs, prefix + item.name, visited) : 1;
  }
  return files;
}

}  // namespace

int CountEntryFiles(FileSystem& fs, const std::string& entry) {
  std::set<FileIdentity> visited;
  return std::max(1, CountFiles(fs, entry, visited));
}

std::string ExtractName(const std::string& path) { return path.substr(NameStart(path)); }

std::string SearchPrefix(const std::string& pattern) {
  return pattern.substr(0, NameStart(pattern));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || EndsWithSeparator(folder)) return folder + name;
  return folder + SeparatorFor(folder) + name;
}

CopyEngine::CopyEngine(FileSystem& fs, Prompts& prompts, EventPump& pump, LogLines& log,
                       const CopyOptions& options, RunFlags& flags)
    : fs_(fs), prompts_(prompts), pump_(pump), log_(log), options_(options), flags_(flags) {}

bool CopyEngine::CopyEntry(const std::string& entry, const std::string& folder) {
  std::set<FileIdentity> visited;
  return CopyLevel(entry, folder, true, visited, walk_ ? walk_->EntryLevel(entry) : nullptr);
}

void CopyEngine::LogFailure(const std::string& what, const std::string& path,
                            const std::string& reason) {
  log_.AddLogLine("  " + what + LogName(path) + (reason.empty() ? "" : " (" + reason + ")"));
}

bool CopyEngine::PrepareFolder(const std::string& entry, const std::string& folder, bool top) {
  // A link inside a share that leads elsewhere on this machine is no destination.
  if (fs_.LeadsOutsideNetwork(folder)) {
    LogFailure(kOutsideNetwork, folder, {});
    LogOutcome(entry, kFailed);
    CountFailed(kOutsideNetwork + LogName(folder), CountEntryFiles(fs_, entry));
    return false;
  }
  if (!fs_.IsFolder(folder) && !fs_.CreateFolders(folder)) {
    const std::string reason = fs_.LastError();
    LogFailure(kCannotCreate, folder, reason);
    LogOutcome(entry, kFailed);
    CountFailed(Because(kCannotCreate + LogName(folder), reason), CountEntryFiles(fs_, entry));
    return false;
  }
  if (const auto id = fs_.Identity(folder)) {
    if (top) flags_.AddDestinationFolder(*id);
    // Once per folder and run: what a killed copy left behind goes before we write again.
    if (flags_.FirstTimeIn(*id)) fs_.RemoveStaleTemporaryFiles(folder);
  }
  return true;
}

bool CopyEngine::CopyLevel(const std::string& entry, const std::string& folder, bool top,
                           std::set<FileIdentity>& visited, const WalkedLevel* walked) {
  const bool entryIsFolder = walked ? walked->isFolder : fs_.IsFolder(entry);
  const std::string pattern = entryIsFolder ? JoinPath(entry, "*.*") : entry;
  if (!PrepareFolder(entry, folder, top)) return true;
  if (entryIsFolder) {
    if (const auto id = walked ? walked->identity : fs_.Identity(entry)) visited.insert(*id);
  }
  const std::string prefix = SearchPrefix(pattern);

  // The plan's walk has listed the level already.
  std::vector<FindEntry> found;
  if (!walked) found = fs_.Find(pattern);
  const std::size_t count = walked ? walked->items.size() : found.size();
  if (count == 0) {
    const std::string reason = walked ? walked->error : fs_.LastError();
    if (entryIsFolder && reason.empty()) return false;  // an empty folder
    if (entryIsFolder) {
      LogFailure(kCannotRead, entry, reason);
    } else {
      log_.AddLogLine(LogName(entry) + kNotFound);
    }
    LogOutcome(entry, kFailed);
    CountFailed(entryIsFolder ? Because(kCannotRead + LogName(entry), reason)
                              : LogName(entry) + kNotFound);
    return true;
  }

  bool failed = false;
  for (std::size_t i = 0; i < count; ++i) {
    const WalkedItem* w = walked ? &walked->items[i] : nullptr;
    const FindEntry& item = w ? w->entry : found[i];
    if (item.name == "." || item.name == "..") continue;
    const std::string itemPath = prefix + item.name;
    if (item.isFolder && !CanHoldName(folder, item.name)) {
      LogOutcome(itemPath, kFailed);
      CountFailed(LogName(itemPath) + kFailed, CountEntryFiles(fs_, itemPath));
      failed = true;
    } else if (item.isFolder) {
      const auto id = w ? w->identity : fs_.Identity(itemPath);
      if (id && flags_.IsDestinationFolder(*id)) {
        // A destination inside the source: what this run writes is not copied again.
        LogFailure(kDestinationSkipped, itemPath, {});
      } else if (id && visited.count(*id)) {
        // Reached again through a link: copied once, so that a loop ends.
        LogFailure(kLinkSkipped, itemPath, {});
      } else if (CopyLevel(itemPath, JoinPath(folder, item.name), false, visited,
                           w && w->level >= 0 ? &walk_->levels[w->level] : nullptr)) {
        // A sub-folder is recreated under the destination, even when it is empty.
        failed = true;
      }
    } else if (CopyFileToFolder(
                   itemPath, folder,
                   w && destination_ ? destination_->TargetOf(w->file) : TargetState::Unknown)) {
      // The rest of this folder level is left alone after a failed file; the log says so, and
      // every file of it counts as failed.
      failed = true;
      if (i + 1 != count && !flags_.stopRequested) {
        LogFailure(kRestSkipped, entry, {});
        int rest = 0;
        for (std::size_t j = i + 1; j < count; ++j) {
          const FindEntry& other = walked ? walked->items[j].entry : found[j];
          if (other.name == "." || other.name == "..") continue;
          rest += other.isFolder ? CountEntryFiles(fs_, prefix + other.name) : 1;
        }
        if (rest > 0) CountFailed(kRestSkipped + LogName(entry), rest);
      }
      break;
    }
    if (flags_.stopRequested) break;
  }
  return failed;
}

bool CopyEngine::CopyFileToFolder(const std::string& source, const std::string& folder) {
  return CopyFileToFolder(source, folder, TargetState::Unknown);
}

bool CopyEngine::IsUnchanged(const std::string& source, const std::string& target,
                             TargetState planned) {
  if (planned != TargetState::Unknown) return planned == TargetState::Unchanged;
  const auto sourceItem = FindItem(fs_, source);
  return sourceItem && CompareTarget(*sourceItem, FindItem(fs_, target)) == TargetState::Unchanged;
}

bool CopyEngine::CopyFileToFolder(const std::string& source, const std::string& folder,
                                  TargetState planned) {
  const std::string name = ExtractName(source);
  // A name the folder cannot hold is refused as a failed copy, without touching what the
  // joined path would name.
  const bool nameFits = CanHoldName(folder, name);
  const std::string target = JoinPath(folder, name);
  if (progress_) progress_->StartFile(source);
  bool failed = false;
  // A source written while it was read is copied once more, without asking again.
  int changedCopies = 0;
  bool copyAgain = false;
  // A Retry comes back to the existence test, and so possibly to the overwrite question.
  for (;;) {
    // A folder of the target's name is no file: the copy is tried and takes the failure path.
    bool targetExists = planned == TargetState::Unknown
                            ? nameFits && fs_.Exists(target) && !fs_.IsFolder(target)
                            : nameFits && planned != TargetState::Missing;
    if (targetExists && options_.SkipUnchanged() && IsUnchanged(source, target, planned)) {
      LogOutcome(source, kUnchanged);
      if (progress_) progress_->FileUnchanged();
      return flags_.stopRequested;
    }
    // What the plan found decides without looking again, unless there is a question to ask.
    const bool known =
        planned != TargetState::Unknown &&
        (flags_.batchMode || (planned == TargetState::SourceNewer && options_.ButOldIsIgnore()));
    // A copy made again because its source changed meanwhile does not ask again.
    const bool again = std::exchange(copyAgain, false);
    if (targetExists && options_.ConfirmOverWrite() && !known && !again) {
      switch (CheckExistingTarget(source, target)) {
        case Overwrite::Proceed:
          break;
        case Overwrite::TargetGone:
          targetExists = false;
          break;
        case Overwrite::Skip:
          if (progress_) progress_->FileSkipped();
          return flags_.stopRequested;
        case Overwrite::Stop:
          CountFailed(LogName(source) + kCancelled);
          return true;
      }
    }

    const CopyResult copy = nameFits ? CopyInChunks(source, target, !targetExists) : CopyResult{};
    if (copy.ok) {
      LogOutcome(source, kSucceeded);
      if (progress_) progress_->FileCopied(copy.bytes);
      pump_.Pause();
      break;
    }
    if (copy.cancelled) {
      // A stop asked for in the middle of a large file: the file is not there, and no question
      // keeps the user waiting for the run to end.
      LogOutcome(source, kCancelled);
      CountFailed(LogName(source) + kCancelled);
      return true;
    }
    if (copy.sourceChanged && ++changedCopies < 2) {
      copyAgain = true;
      planned = TargetState::Unknown;  // the source is not what the plan saw
      continue;
    }
    const std::string reason = copy.sourceChanged ? std::string(kChangedWhileCopied)
                               : copy.error.empty() ? fs_.LastError()
                                                    : copy.error;
    if (options_.IgnoreError()) {
      LogOutcome(source, kFailed);
      if (!reason.empty()) log_.AddLogLine(kReason + reason);
      CountFailed(Because(LogName(source) + kFailed, reason));
      failed = true;
      break;
    }
    if (progress_ && !flags_.batchMode) progress_->ShowNow();
    const PromptAnswer answer =
        flags_.batchMode
            ? PromptAnswer::Abort
            : prompts_.AskAbortRetryIgnore(kAppTitle, RetryQuestion(folder, source, reason));
    if (answer == PromptAnswer::Retry) {
      changedCopies = 0;
      // The user's retry tries a server that failed lately again at once.
      fs_.ForgetFailures(source);
      fs_.ForgetFailures(target);
      planned = TargetState::Unknown;
      continue;
    }
    LogOutcome(source, kFailed);
    if (!reason.empty()) log_.AddLogLine(kReason + reason);
    CountFailed(Because(LogName(source) + kFailed, reason));
    failed = true;
    // The box has no other way out than its three buttons; anything else counts as Abort.
    if (answer != PromptAnswer::Ignore) StopTheRun();
    break;
  }
  // A stop asked for while the pending events ran makes even a copied file count as failed,
  // so that the destination is marked.
  return failed || flags_.stopRequested;
}

CopyEngine::Overwrite CopyEngine::CheckExistingTarget(const std::string& source,
                                                      const std::string& target) {
  const auto targetItem = FindItem(fs_, target);
  if (!targetItem) return Overwrite::TargetGone;
  const auto sourceItem = FindItem(fs_, source);
  if (!sourceItem) {
    log_.AddLogLine(LogName(source) + kNotFound);
    if (firstFailure_->empty()) *firstFailure_ = LogName(source) + kNotFound;
    StopTheRun();
    return Overwrite::Stop;
  }

  bool ask = !flags_.batchMode;
  if (IsOlder(targetItem->lastWrite, sourceItem->lastWrite) && options_.ButOldIsIgnore()) {
    ask = false;
  }
  if (!ask) return Overwrite::Proceed;
  if (const auto all = flags_.OverwriteAll()) {
    // Answered for the rest of the run.
    if (*all) return Overwrite::Proceed;
    LogOutcome(source, kSkipped);
    return Overwrite::Skip;
  }

  // The question may stay open for long: the status bar shows where the run stands meanwhile.
  if (progress_) progress_->ShowNow();
  switch (prompts_.AskOverwrite(kAppTitle, OverwriteQuestion(target, *targetItem, *sourceItem))) {
    case PromptAnswer::YesToAll:
      flags_.SetOverwriteAll(true);
      return Overwrite::Proceed;
    case PromptAnswer::Yes:
      return Overwrite::Proceed;
    case PromptAnswer::NoToAll:
      flags_.SetOverwriteAll(false);
      LogOutcome(source, kSkipped);
      return Overwrite::Skip;
    case PromptAnswer::No:
      LogOutcome(source, kSkipped);
      return Overwrite::Skip;
    default:  // Cancel, or the box closed
      LogOutcome(source, kCancelled);
      StopTheRun();
      return Overwrite::Stop;
  }
}

CopyResult CopyEngine::CopyInChunks(const std::string& source, const std::string& target,
                                    bool mustBeNew) {
  const CopyProgress betweenChunks = [this](std::uint64_t done, std::uint64_t total) {
    // A complete file is kept; the pause after the file follows its last chunk.
    if (done >= total) return true;
    // Windows tells the start too, before any data: nothing to show or serve yet.
    if (done > 0) {
      if (progress_) progress_->FileBytes(done);
      pump_.ProcessPendingEvents();
    }
    return !flags_.stopRequested;
  };
  return fs_.CopyFileWithProgress(source, target, mustBeNew, betweenChunks);
}

void CopyEngine::StopTheRun() {
  stoppedTheRun_ = true;
  flags_.stopRequested = true;
}

void CopyEngine::CountFailed(const std::string& what, int files) {
  if (firstFailure_->empty()) *firstFailure_ = what;
  if (progress_) progress_->FileFailed(files);
}

void CopyEngine::LogOutcome(const std::string& source, const char* outcome) {
  log_.AddLogLine("  " + LogName(source) + outcome);
}

}  // namespace tolvane
