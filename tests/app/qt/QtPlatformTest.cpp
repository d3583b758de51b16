#include <gtest/gtest.h>

#include <QStringList>

#include "platform/qt/QtPlatform.h"
#include "support/TempDir.h"

namespace tolvane {
namespace {

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

TEST(QtDialogsTest, FiltersBecomeQtNameFilters) {
  EXPECT_EQ(ToNameFilters("Exe files (*.exe)|*.exe|All files (*.*)|*.*"),
            (QStringList{"Exe files (*.exe)", "All files (*.*) (*)"}));
  EXPECT_EQ(ToNameFilters("List files (*.lst)|*.lst"), QStringList{"List files (*.lst)"});
}

}  // namespace
}  // namespace tolvane
