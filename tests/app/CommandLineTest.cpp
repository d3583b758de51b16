#include <gtest/gtest.h>

#include <algorithm>

#include "app/core/BatchPrompts.h"
#include "app/core/CommandLine.h"
#include "app/core/CommandStates.h"
#include "app/core/ViewRules.h"
#include "common/AppInfo.h"
#include "platform/Dialogs.h"
#include "support/Fakes.h"

namespace tolvane {
namespace {

// Written with "/", here in this system's separator.
std::string P(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

TEST(CommandLineTest, ReadsSwitchesByTheirFirstTwoCharacters) {
  const std::string cwd = P("/home/u/work");
  struct Case {
    std::vector<std::string> args;
    std::string list;
    std::string log;
    bool deleteLog, saveList, batch;
  } cases[] = {
      {{}, "", "", false, true, false},
      {{"-lnight.lst"}, "/home/u/work/night.lst", "", false, true, false},
      // Paths keep their case: file names are case-sensitive here.
      {{"-L/Lists/Night.lst"}, "/Lists/Night.lst", "", false, true, false},
      {{"-l"}, "/home/u/work/", "", false, true, false},
      {{"-l", "night.lst"}, "/home/u/work/", "", false, true, false},
      {{"-la.lst", "-lb.lst"}, "/home/u/work/b.lst", "", false, true, false},
      {{"-x", "-grun.log"}, "", "/home/u/work/run.log", true, true, false},
      {{"-Grun.log", "-X"}, "", "/home/u/work/run.log", true, true, false},
      {{"-B"}, "", "", false, true, true},
      {{"-bx", "-oq"}, "", "", false, false, true},
      {{"night.lst", "--b", "b", "-"}, "", "", false, true, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args;
    for (const auto& a : c.args) args.push_back(P(a));
    const auto o = ParseCommandLine(args, cwd);
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(o.listPath, P(c.list));
    EXPECT_EQ(o.hasListPath, !c.list.empty());
    EXPECT_EQ(o.logPath, P(c.log));
    EXPECT_EQ(o.deleteLog, c.deleteLog);
    EXPECT_EQ(o.saveListAtExit, c.saveList);
    EXPECT_EQ(o.batchMode, c.batch);
    EXPECT_EQ(HasBatchSwitch(c.args), c.batch);
  }
}

TEST(CommandLineTest, AnswersHelpAndVersionOnlyWhenSpeltExactly) {
  const struct {
    std::vector<std::string> args;
    InfoRequest request;
  } cases[] = {
      {{"--help"}, InfoRequest::Help},
      {{"-b", "-lx.lst", "--version"}, InfoRequest::Version},
      {{"--version", "--help"}, InfoRequest::Version},
      // Anything else keeps the rules of the switches: ignored unless it begins with one.
      {{"--HELP", "-h", "--helpx", "help", "-v"}, InfoRequest::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(FindInfoRequest(c.args), c.request);
  }
  EXPECT_EQ(VersionText(), "Tolvane 1.05\n");
  const std::string help = HelpText({"/home/u/.config/tolvane/", "/home/u/.local/state/t/", false});
  EXPECT_NE(help.find("/home/u/.config/tolvane/Pelmo.ini"), std::string::npos);
  EXPECT_NE(help.find("/home/u/.config/tolvane/Pelmo.lst"), std::string::npos);
  EXPECT_NE(help.find("/home/u/.local/state/t/Pelmo.log"), std::string::npos);
}

TEST(CommandStatesTest, EnablesCommandsFromMarksEntriesSelectionAndLog) {
  CommandInputs in;
  in.treeHasNodes = true;
  auto s = ComputeCommandStates(in);
  EXPECT_FALSE(s.go || s.clearMark || s.cancelFile || s.cancelAllFile || s.logCommands);
  EXPECT_TRUE(s.allCollapse);
  EXPECT_EQ(s.caption, "Tolvane 1.05");

  in.markedCount = 2;
  EXPECT_FALSE(ComputeCommandStates(in).go);
  EXPECT_TRUE(ComputeCommandStates(in).clearMark);
  in.entryCount = 1;
  EXPECT_TRUE(ComputeCommandStates(in).go);
  in.markedCount = 0;
  EXPECT_FALSE(ComputeCommandStates(in).go);
  EXPECT_TRUE(ComputeCommandStates(in).cancelAllFile);

  in.listPath = "/lists/night.lst";
  EXPECT_EQ(ComputeCommandStates(in).caption, "Tolvane 1.05 [/lists/night.lst]");

  // A run leaves the sources alone and keeps Go, which then stops it, even without marks.
  in.anyEntrySelected = true;
  in.runInProgress = true;
  s = ComputeCommandStates(in);
  EXPECT_TRUE(s.go);
  EXPECT_FALSE(s.addSources || s.openList || s.cancelFile || s.cancelAllFile);
}

TEST(BatchPromptsTest, UnattendedNeverAsksAndWritesMessagesToTheErrorStream) {
  test::ScriptedPrompts boxes;
  std::string written;
  BatchPrompts prompts(boxes, [&](const std::string& line) { written += line; });
  prompts.SetUnattended(true);
  EXPECT_EQ(prompts.AskYesNoCancel("Tolvane 1.05", "?"), PromptAnswer::Yes);
  EXPECT_EQ(prompts.AskAbortRetryIgnore("Tolvane 1.05", "?"), PromptAnswer::Abort);
  EXPECT_EQ(prompts.AskYesNo("Tolvane 1.05", "?"), PromptAnswer::Yes);
  prompts.ShowError("Tolvane 1.05", "error");
  prompts.ShowMessage("Tolvane 1.05", "message");
  EXPECT_TRUE(boxes.asked.empty());
  EXPECT_EQ(written, "Tolvane 1.05: error\nTolvane 1.05: message\n");

  prompts.SetUnattended(false);
  boxes.answers.push_back(PromptAnswer::No);
  EXPECT_EQ(prompts.AskYesNo("Tolvane 1.05", "?"), PromptAnswer::No);
}

TEST(ViewRulesTest, MemoSelectionCountsUtf16UnitsAndCollapseGoesDeepestFirst) {
  const std::vector<std::string> memo{"ab", "表示 \\\\SRV\\share -> 成功", "\\\\SRV\\share"};
  EXPECT_EQ(FindFolderPathInMemo(memo, "\\\\SRV\\share"), (MemoSelection{1, 3, 11}));
  EXPECT_EQ(FindFolderPathInMemo({"\xF0\x9F\x98\x80 x"}, "x"), (MemoSelection{0, 3, 1}));
  EXPECT_FALSE(FindFolderPathInMemo(memo, ""));
  EXPECT_FALSE(FindFolderPathInMemo(memo, "\\\\srv\\share"));

  DestinationTree tree;
  TreeNode* root = tree.AddNode(nullptr, {}, "root", NodeIcon::Network, kStateNone);
  TreeNode* a = tree.AddNode(root, {}, "a", NodeIcon::Server, kStateUnmarked);
  TreeNode* a1 = tree.AddNode(a, {}, "a1", NodeIcon::Share, kStateUnmarked);
  tree.AddNode(a1, {}, "leaf", NodeIcon::Folder, kStateUnmarked);
  TreeNode* b = tree.AddNode(root, {}, "b", NodeIcon::Server, kStateUnmarked);
  tree.AddNode(b, {}, "leaf", NodeIcon::Folder, kStateUnmarked);
  const std::vector<TreeNode*> order = CollapseOrder(root);
  ASSERT_EQ(order.size(), 4u);  // leaves have nothing to collapse
  EXPECT_EQ(order.back(), root);
  const auto at = [&](TreeNode* n) { return std::find(order.begin(), order.end(), n); };
  EXPECT_LT(at(a1), at(a));
}

TEST(ViewRulesTest, OnlyTheDateAndSizeColumnsWidenToTheirNewTextsAndNeverNarrow) {
  SourceList list;
  list.Append({"/srv/deploy/a-very-long-path-that-would-fill-a-screen/setup.exe", "12/08", "1"});
  list.Append({"/b", "2026/12/08 05:32", "12,345,678,901"});
  list.Append({"/c", "", ""});
  // Seven pixels a character, as a window would measure them.
  const auto measure = [&](int row, int column) {
    return 7 * static_cast<int>(SourceColumnText(list.At(row), column).size());
  };
  using W = std::array<int, kSourceColumnCount>;
  struct Case {
    const char* name;
    W widths;
    int first, last, padding;
    W fitted;
  } cases[] = {
      {"texts, padding and the grid line", {200, 70, 80}, 0, 2, 12, {200, 125, 111}},
      {"a measure with its padding inside", {200, 70, 80}, 1, 1, 0, {200, 113, 99}},
      {"wider than any text stays", {200, 300, 120}, 0, 2, 12, {200, 300, 120}},
      {"only the rows added count", {200, 70, 80}, 2, 2, 12, {200, 70, 80}},
      {"rows beyond the list are not there", {200, 70, 80}, 0, 7, 12, {200, 125, 111}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitSourceColumns(c.widths, c.first, c.last, list.Count(), measure, c.padding),
              c.fitted)
        << c.name;
  }
}

TEST(ViewRulesTest, APressOnAStatePictureIsTheMarksAloneAndSpaceNeverReachesTheControl) {
  DestinationTree tree;
  TreeNode* root = tree.AddNode(nullptr, {}, "root", NodeIcon::Network, kStateNone);
  TreeNode* box = tree.AddNode(root, {}, "box", NodeIcon::Server, kStateUnmarked);
  TreeNode* failed = tree.AddNode(root, {}, "failed", NodeIcon::Share, kStateFailed);
  using A = TreePressAction;
  struct Case {
    const char* name;
    const TreeNode* hit;
    TreePress press;
    A action;
  } cases[] = {
      {"box", box, TreePress::Press, A{true, false}},
      // Counted as a second press: opening the node would move the rows under the pointer.
      {"box, double", box, TreePress::DoublePress, A{true, false}},
      {"failed mark", failed, TreePress::Press, A{true, false}},
      {"no picture is no hit", root, TreePress::Press, A{false, true}},
      {"elsewhere", nullptr, TreePress::Press, A{false, true}},
      {"elsewhere, double opens", nullptr, TreePress::DoublePress, A{false, true}},
      {"space", box, TreePress::SpaceKey, A{true, false}},
      {"space without a picture", root, TreePress::SpaceKey, A{false, false}},
  };
  for (const Case& c : cases) {
    const A action = DestinationTreePress(c.hit, c.press);
    EXPECT_EQ(action.toggleMark, c.action.toggleMark) << c.name;
    EXPECT_EQ(action.controlHandles, c.action.controlHandles) << c.name;
  }
}

TEST(FileFilterTest, PairsOfDescriptionAndPatterns) {
  EXPECT_EQ(
      ParseFileFilter("Exe files (*.exe)|*.exe|All files (*.*)|*.*"),
      (std::vector<FileFilter>{{"Exe files (*.exe)", {"*.exe"}}, {"All files (*.*)", {"*.*"}}}));
  EXPECT_EQ(ParseFileFilter("Pictures|*.png; *.jpg|dangling"),
            (std::vector<FileFilter>{{"Pictures", {"*.png", "*.jpg"}}}));
}

}  // namespace
}  // namespace tolvane
