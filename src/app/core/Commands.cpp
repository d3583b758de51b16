#include "app/core/Commands.h"

#include <iterator>

namespace tolvane {
namespace {

using P = CommandPlace;
using C = CommandId;

constexpr CommandItem Item(P place, const char* name, C id, const char* caption, int picture = -1,
                           bool check = false) {
  return {place, name, id, caption, picture, check, "", 0, false, std::nullopt};
}
constexpr CommandItem Separator(P place, const char* name, int width = 0) {
  return {place, name, C::None, "", -1, false, "", width, false, std::nullopt};
}
constexpr CommandItem Choice(P place, const char* name, C id, const char* caption) {
  return {place, name, id, caption, -1, true, "", 0, true, std::nullopt};
}
constexpr CommandItem Submenu(P place, const char* name, P items, const char* caption) {
  return {place, name, C::None, caption, -1, false, "", 0, false, items};
}
constexpr CommandItem Button(const char* name, C id, const char* caption, const char* hint,
                             int picture, bool check = false) {
  return {P::ToolBar, name, id, caption, picture, check, hint, 0, false, std::nullopt};
}

constexpr CommandItem kItems[] = {
    Item(P::FileMenu, "mnuAddFile", C::AddFile, "配布ファイルを追加(&A)", 0),
    Item(P::FileMenu, "mnuAddFolder", C::AddFolder, "配布元フォルダを追加(&F)"),
    Separator(P::FileMenu, "N3"),
    Item(P::FileMenu, "mnuCancelFile", C::CancelFile, "配布ファイルを取消(&D)"),
    Item(P::FileMenu, "mnuCancelAllFile", C::CancelAllFile, "配布ファイルを全て取消(&C)"),
    Separator(P::FileMenu, "N1"),
    Item(P::FileMenu, "mnuGo", C::Go, "配布開始(&G)", 1),
    Item(P::FileMenu, "mnuPreview", C::Preview, "配布内容の確認(&P)", kPreviewPicture),
    Separator(P::FileMenu, "N2"),
    Item(P::FileMenu, "mnuOpenList", C::OpenList, "配布情報を開く(&O)"),
    Item(P::FileMenu, "mnuSaveList", C::SaveList, "配布情報を上書保存(&O)"),
    Item(P::FileMenu, "mnuSaveAsList", C::SaveAsList, "配布情報に名前を付けて保存(&S)"),
    Separator(P::FileMenu, "N5"),
    Item(P::FileMenu, "mnuSaveLog", C::SaveLog, "ログに保存(&W)", -1, true),
    Item(P::FileMenu, "mnuClearLog", C::ClearLog, "ログ消去(&I)"),
    Item(P::FileMenu, "mnuRefLog", C::RefLog, "ログ参照(&L)"),
    Separator(P::FileMenu, "N4"),
    Item(P::FileMenu, "mnuExit", C::Exit, "終了(&X)", 5),

    Item(P::DestinationMenu, "mnuClearMark", C::ClearMark, "全取消(&C)", 6),
    Separator(P::DestinationMenu, "N8"),
    Item(P::DestinationMenu, "mnuAllCollapse", C::AllCollapse, "全ノードを縮小(&M)", 7),
    Item(P::DestinationMenu, "mnuRefresh", C::Refresh, "最新の情報に更新(&U)"),
    Separator(P::DestinationMenu, "N12"),
    Item(P::DestinationMenu, "mnuRerunFailed", C::RerunFailed, "失敗した配布先へ再配布(&F)", 2),
    Item(P::DestinationMenu, "mnuShowResults", C::ShowResults, "配布結果(&L)"),
    // The servers the network folder does not list.
    Separator(P::DestinationMenu, "N11"),
    Item(P::DestinationMenu, "mnuAddServer", C::AddServer, "サーバーを追加(&A)..."),
    Item(P::DestinationMenu, "mnuRemoveServer", C::RemoveServer, "サーバーを削除(&R)"),

    Item(P::SettingMenu, "mnuConfirmOverWrite", C::ConfirmOverWrite, "上書前に確認(&O)", 8, true),
    Item(P::SettingMenu, "mnuWriteIfOld", C::WriteIfOld, "古いファイルは確認しない(&C)", 11, true),
    Item(P::SettingMenu, "mnuSkipUnchanged", C::SkipUnchanged,
         "変更のないファイルはコピーしない(&U)", kSkipUnchangedPicture, true),
    Separator(P::SettingMenu, "N7"),
    Item(P::SettingMenu, "mnuIgnoreError", C::IgnoreError, "配布エラーを無視して続行(&I)", 12,
         true),
    Separator(P::SettingMenu, "N14"),
    Submenu(P::SettingMenu, "mnuParallel", P::ParallelMenu, "同時に配布する数(&P)"),
#ifndef _WIN32
    Separator(P::SettingMenu, "N13"),
    Item(P::SettingMenu, "mnuNetworkRoot", C::NetworkRoot, "ネットワークフォルダ(&N)..."),
#endif

    Item(P::HelpMenu, "mnuAbout", C::About, "Tolvaneについて(&A)"),

    Item(P::FilePopup, "mnuAddFile2", C::AddFile, "ファイル追加(&A)", 0),
    Item(P::FilePopup, "mnuAddFolder2", C::AddFolder, "フォルダ追加(&F)"),
    Separator(P::FilePopup, "N6"),
    Item(P::FilePopup, "mnuCancelFile2", C::CancelFile, "取消(&D)"),
    Item(P::FilePopup, "mnuCancelAllFile2", C::CancelAllFile, "全て取消(&C)"),

    Item(P::FolderPopup, "mnuClearMark2", C::ClearMark, "全取消(&C)", 6),
    Separator(P::FolderPopup, "N10"),
    Item(P::FolderPopup, "mnuAllCollapse2", C::AllCollapse, "全ノードを縮小(&M)", 7),
    Item(P::FolderPopup, "mnuRefresh2", C::Refresh, "最新の情報に更新(&U)"),

    Button("tbtOpenFile", C::AddFile, "配布ファイルを追加", "配布ファイルを追加", 0),
    Separator(P::ToolBar, "ToolButton1", 8),
    Button("tbtGo", C::Go, "配布開始(&G)", "配布開始", kGoPicture),
    Button("tbtRerunFailed", C::RerunFailed, "失敗した配布先へ再配布", "失敗した配布先へ再配布", 2),
    Button("tbtPreview", C::Preview, "配布内容の確認", "配布内容の確認", kPreviewPicture),
    Separator(P::ToolBar, "ToolButton3", 8),
    Button("tbtClearMark", C::ClearMark, "配布先全取消", "配布先全取消", 6),
    Button("tbtAllCollapse", C::AllCollapse, "全ノードを縮小", "全ノードを縮小", 7),
    Separator(P::ToolBar, "ToolButton6", 8),
    Button("tbtConfirmOverWrite", C::ConfirmOverWrite, "上書前に確認", "上書前に確認", 8, true),
    Button("tbtWriteIfOld", C::WriteIfOld, "古いファイルは確認しない", "古いファイルは確認しない",
           11, true),
    Button("tbtSkipUnchanged", C::SkipUnchanged, "変更のないファイルはコピーしない",
           "変更のないファイルはコピーしない", kSkipUnchangedPicture, true),
    Separator(P::ToolBar, "ToolButton9", 8),
    Button("tbtIgnoreError", C::IgnoreError, "配布エラーを無視して続行", "エラーを無視して配布続行",
           12, true),
    Separator(P::ToolBar, "ToolButton2", 8),
    Button("tbtExit", C::Exit, "終了", "終了", 5),
    Separator(P::ToolBar, "ToolButton4", 7),

    Choice(P::ParallelMenu, "mnuParallel1", C::Parallel1, "&1"),
    Choice(P::ParallelMenu, "mnuParallel2", C::Parallel2, "&2"),
    Choice(P::ParallelMenu, "mnuParallel4", C::Parallel4, "&4"),
    Choice(P::ParallelMenu, "mnuParallel8", C::Parallel8, "&8"),
    Choice(P::ParallelMenu, "mnuParallel16", C::Parallel16, "1&6"),
};

constexpr ParallelChoice kParallelChoices[] = {
    {C::Parallel1, 1}, {C::Parallel2, 2}, {C::Parallel4, 4}, {C::Parallel8, 8}, {C::Parallel16, 16},
};

constexpr MainMenuInfo kMainMenus[] = {
    {P::FileMenu, "mnuFile", "ファイル(&F)"},
    {P::DestinationMenu, "mnuDestination", "配布先(&D)"},
    {P::SettingMenu, "mnuSetting", "設定(&S)"},
    {P::HelpMenu, "mnuHelp", "ヘルプ(&H)"},
};

}  // namespace

std::span<const CommandItem> CommandItems() { return kItems; }

std::vector<const CommandItem*> CommandItemsOf(CommandPlace place) {
  std::vector<const CommandItem*> items;
  for (const CommandItem& item : kItems) {
    if (item.place == place) items.push_back(&item);
  }
  return items;
}

std::span<const MainMenuInfo> MainMenus() { return kMainMenus; }

std::span<const ParallelChoice> ParallelChoices() { return kParallelChoices; }

const char* CommandShortcut(CommandId id) { return id == CommandId::Refresh ? "F5" : ""; }

}  // namespace tolvane
