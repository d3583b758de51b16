#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <map>

#include "platform/qt/QtPlatform.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

TEST(QtPromptsTest, TheOverwriteQuestionAnswersForTheRestOfTheRunToo) {
  QtPrompts prompts;
  const std::pair<const char*, PromptAnswer> cases[] = {{"btnOverwriteAll", PromptAnswer::YesToAll},
                                                        {"btnSkipAll", PromptAnswer::NoToAll},
                                                        {"", PromptAnswer::No}};
  for (const auto& [name, expected] : cases) {
    QStringList buttons;
    QTimer::singleShot(0, [&, name = name] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      if (*name) {
        box->findChild<QPushButton*>(name)->click();
      } else {
        box->button(QMessageBox::No)->click();
      }
    });
    EXPECT_EQ(prompts.AskOverwrite("Tolvane 1.05", "?"), expected) << name;
    EXPECT_EQ(buttons.size(), 5);
    EXPECT_TRUE(buttons.contains(QString::fromUtf8("すべて上書き")));
    EXPECT_TRUE(buttons.contains(QString::fromUtf8("すべてスキップ")));
  }
}

TEST(DesktopLogViewerTest, TheLogPathIsOneArgumentWhateverItHolds) {
  test::TempDir dir;
  const QString path = "/tmp/my logs/$(rm -rf x);'a'.log";
  struct Case {
    const char* exec;
    QStringList arguments;
  } cases[] = {
      {"Exec=true %U", {path}},
      {"Exec=true --new-window %f", {"--new-window", path}},
      {"Exec=\"true\" -a %i", {"-a", path}},
  };
  for (const auto& c : cases) {
    dir.Write("viewer.desktop", std::string("[Desktop Entry]\nName=V\n") + c.exec + "\n");
    QString program;
    QStringList arguments;
    ASSERT_TRUE(CommandFromDesktopEntry(QString::fromStdString(dir / "viewer.desktop"), path,
                                        program, arguments))
        << c.exec;
    EXPECT_EQ(program, "true");
    EXPECT_EQ(arguments, c.arguments) << c.exec;
  }
  dir.Write("none.desktop", "[Desktop Entry]\nExec=no-such-viewer-here %f\n");
  QString program;
  QStringList arguments;
  EXPECT_FALSE(CommandFromDesktopEntry(QString::fromStdString(dir / "none.desktop"), path, program,
                                       arguments));
}

// Points PATH and the XDG folders at a temporary tree for the life of the object.
class FakeDesktop {
 public:
  FakeDesktop() {
    for (const char* name : {"PATH", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                             "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"}) {
      if (qEnvironmentVariableIsSet(name)) saved_[name] = qgetenv(name);
      names_.push_back(name);
    }
    qputenv("PATH", QByteArray::fromStdString(dir.Path() + "/bin"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path() + "/config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
    qputenv("XDG_CONFIG_DIRS", "/nonexistent");
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(dir.Path() + "/system"));
    qputenv("XDG_CURRENT_DESKTOP", "Test");
  }
  ~FakeDesktop() {
    for (const char* name : names_) {
      if (saved_.count(name)) {
        qputenv(name, saved_[name]);
      } else {
        qunsetenv(name);
      }
    }
  }
  void Program(const std::string& name) {
    const std::string path = dir.Write("bin/" + name, "#!/bin/sh\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  void Entry(const std::string& id, const std::string& keys, const char* where = "data") {
    dir.Write(std::string(where) + "/applications/" + id, "[Desktop Entry]\nName=V\n" + keys);
  }
  test::TempDir dir;

 private:
  std::vector<const char*> names_;
  std::map<std::string, QByteArray> saved_;
};

TEST(DesktopLogViewerTest, HandlersComeInTheOpenersOrderAndTerminalOnesNeedATerminal) {
  FakeDesktop desktop;
  desktop.dir.Write("config/test-mimeapps.list",
                    "[Default Applications]\ntext/plain=term.desktop;missing.desktop;\n");
  desktop.dir.Write("config/mimeapps.list",
                    "[Default Applications]\ntext/plain=gone.desktop\n"
                    "[Added Associations]\ntext/plain=edit.desktop;dropped.desktop;\n"
                    "[Removed Associations]\ntext/plain=dropped.desktop;\n");
  desktop.dir.Write("system/applications/mimeinfo.cache",
                    "[MIME Cache]\ntext/plain=dropped.desktop;edit.desktop;kde4-cached.desktop;\n");
  desktop.Entry("term.desktop", "Exec=vi %F\nTerminal=true\n");
  desktop.Entry("gone.desktop", "Exec=no-such-editor %f\n");
  desktop.Entry("edit.desktop", "Exec=editor --new %f\n");
  desktop.Entry("dropped.desktop", "Exec=editor %f\n");
  desktop.Entry("kde4/cached.desktop", "Exec=cached\n", "system");
  for (const char* program : {"vi", "editor", "cached"}) desktop.Program(program);

  const QString log = "/tmp/Pelmo.log";
  const std::vector<ViewerCommand> noTerminal{{"editor", {"--new", log}}, {"cached", {log}}};
  EXPECT_EQ(TextViewerCommands(log), noTerminal);

  desktop.Program("konsole");
  desktop.Program("xterm");
  const std::vector<ViewerCommand> inTerminal{
      {"konsole", {"-e", "vi", log}}, {"editor", {"--new", log}}, {"cached", {log}}};
  EXPECT_EQ(TextViewerCommands(log), inTerminal);
}

TEST(QtDialogsTest, FiltersBecomeQtNameFilters) {
  EXPECT_EQ(ToNameFilters("Exe files (*.exe)|*.exe|All files (*.*)|*.*"),
            (QStringList{"Exe files (*.exe)", "All files (*.*) (*)"}));
  EXPECT_EQ(ToNameFilters("List files (*.lst)|*.lst"), QStringList{"List files (*.lst)"});
}

}  // namespace
}  // namespace tolvane
