#include "app/core/CommandLine.h"

#include "common/AppInfo.h"

namespace tolvane {
namespace {

constexpr char kDryRunSwitch[] = "--dry-run";

// The switch an argument begins with, as a small letter, or 0.
char SwitchOf(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return 0;
  char c = arg[1];
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  switch (c) {
    case 'l':
    case 'g':
    case 'x':
    case 'o':
    case 'b':
      return c;
    default:
      return 0;
  }
}

std::string CompletePath(const std::string& path, const std::string& currentDir) {
  if (path.find(kPathSeparator) != std::string::npos) return path;
  std::string dir = currentDir;
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir + path;
}

}  // namespace

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args,
                                    const std::string& currentDir) {
  CommandLineOptions options;
  for (const std::string& arg : args) {
    // Spelt exactly so, as --help is; it runs in batch mode, showing nothing.
    if (arg == kDryRunSwitch) options.dryRun = options.batchMode = true;
    switch (SwitchOf(arg)) {
      case 'l':
        options.listPath = CompletePath(arg.substr(2), currentDir);
        options.hasListPath = true;
        break;
      case 'g':
        options.logPath = CompletePath(arg.substr(2), currentDir);
        options.hasLogPath = true;
        break;
      case 'x':
        options.deleteLog = true;
        break;
      case 'o':
        options.saveListAtExit = false;
        break;
      case 'b':
        options.batchMode = true;
        break;
      default:
        break;
    }
  }
  return options;
}

bool HasBatchSwitch(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (SwitchOf(arg) == 'b' || arg == kDryRunSwitch) return true;
  }
  return false;
}

bool HasDryRunSwitch(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == kDryRunSwitch) return true;
  }
  return false;
}

InfoRequest FindInfoRequest(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help") return InfoRequest::Help;
    if (arg == "--version") return InfoRequest::Version;
  }
  return InfoRequest::None;
}

std::string HelpText(const FileFolders& folders) {
  std::string text =
      "使い方: tolvane [スイッチ...]\n"
      "  -lPATH     既定のリストの代わりにリストファイル PATH を読み込む\n"
      "  -gPATH     Pelmo.log の代わりに PATH へログを書く\n"
      "  -x         起動行を書く前にログファイルを削除する\n"
      "  -o         終了時に既定のリストファイルへ保存しない\n"
      "  -b         バッチモード: 何も表示せずに一度配布して終了する\n"
      "  --dry-run  配布せずに、コピーするファイルとその理由を表示して終了する (何も書き込まない)\n"
      "  --help     この説明を表示して終了する\n"
      "  --version  バージョンを表示して終了する\n"
      "スイッチの文字は大文字と小文字を区別しない。PATH に ";
  text += kPathSeparator;
  text +=
      " がなければ現在のフォルダーのファイル。\n"
      "-b の終了コード: 0 正常終了、1 失敗マークが付いたか中止した、2 配布できなかった\n";
  text += std::string("設定と既定のリスト: ") + folders.settingsFolder + kSettingsFileName + ", " +
          folders.settingsFolder + kDefaultListFileName + "\n";
  text += std::string("ログ: ") + folders.logFolder + kLogFileName + "\n";
  return text;
}

std::string VersionText() { return std::string(kAppTitle) + "\n"; }

}  // namespace tolvane
