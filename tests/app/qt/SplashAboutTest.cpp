#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "app/qt/Splash.h"
#include "app/qt/Unitabout.h"

namespace tolvane {
namespace {

TEST(SplashTest, BorderlessCentredWindowWithItsMessage) {
  TfrmSplash splash;
  EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(splash.size(), QSize(332, 75));
  EXPECT_EQ(splash.lblMessage->text(), QStringLiteral("ネットワーク情報を取得しています．．．"));
  EXPECT_EQ(splash.lblMessage->pos(), QPoint(96, 28));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((splash.geometry().center() - screen.center()).manhattanLength(), 2);
  // The message must be drawable: some installed font has its glyphs.
  const QFontMetrics metrics(splash.lblMessage->font());
  for (const QChar c : splash.lblMessage->text())
    EXPECT_TRUE(metrics.inFont(c)) << int{c.unicode()};
  EXPECT_EQ(splash.lblMessage->font().pixelSize(), 12);
}

TEST(SplashTest, ThreePicturesOnOneSpotMakeOnePicture) {
  TfrmSplash splash;
  QLabel* const pictures[] = {splash.imgIcon1, splash.imgIcon2, splash.imgIcon3};
  QImage images[3];
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pictures[i]->pos(), QPoint(28, 20)) << i;
    images[i] = pictures[i]->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(images[i].size(), QSize(32, 32)) << i;
  }
  // Each pixel shows the uppermost picture that is opaque there (the third over the second
  // over the first); where a picture is transparent the ones below show through.
  const QImage shown =
      splash.Panel1->grab(QRect(28, 20, 32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
  int checked[3] = {0, 0, 0};
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      for (int i = 2; i >= 0; --i) {
        if (qAlpha(images[i].pixel(x, y)) != 255) continue;
        EXPECT_EQ(shown.pixel(x, y), images[i].pixel(x, y)) << i << " at " << x << "," << y;
        ++checked[i];
        break;
      }
    }
  }
  for (int i = 0; i < 3; ++i) EXPECT_GT(checked[i], 10) << i;
}

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

void Click(QWidget* target) {
  const QPointF at = QRectF(target->rect()).center();
  const QPointF global = target->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

TEST(AboutTest, ShowsTheSameTextsHoweverOftenItIsOpened) {
  TdlgAbout about;
  std::vector<QStringList> seen;
  for (int i = 0; i < 3; ++i) {
    about.lblName->setText(QStringLiteral("changed"));
    QTimer::singleShot(0, &about, [&] {
      seen.push_back({about.windowTitle(), about.lblName->text(), about.lblVersion->text()});
      EXPECT_TRUE(about.isModal());
      about.OKButton->click();
    });
    EXPECT_EQ(about.ShowAbout(), QDialog::Accepted);
  }
  ASSERT_EQ(seen.size(), 3u);
  for (const auto& texts : seen) {
    EXPECT_EQ(texts, (QStringList{"Tolvane", "Tolvane (Nobrik)", "Ver. 1.05"}));
  }
}

TEST(AboutTest, EscapeLeavesItOpenAndEnterClosesIt) {
  TdlgAbout about;
  about.SetTexts();
  about.show();
  PressKey(&about, Qt::Key_Escape);
  EXPECT_TRUE(about.isVisible());
  EXPECT_TRUE(about.OKButton->isDefault());
  PressKey(&about, Qt::Key_Return);
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(AboutTest, LinkOpensItsOwnAddressAndAFailureChangesNothing) {
  TdlgAbout about;
  about.show();
  std::vector<QUrl> opened;
  bool browserAvailable = true;
  about.SetUrlOpener([&](const QUrl& url) {
    opened.push_back(url);
    return browserAvailable;
  });
  EXPECT_EQ(about.stxRindleUrl->text(), QStringLiteral("https://tolvane.example/"));
  Click(about.stxRindleUrl);
  browserAvailable = false;
  Click(about.stxRindleUrl);
  EXPECT_EQ(opened, (std::vector<QUrl>{QUrl("https://tolvane.example/"),
                                       QUrl("https://tolvane.example/")}));
  EXPECT_TRUE(about.isVisible());
  // The whole address can be read.
  EXPECT_GE(about.stxRindleUrl->width(),
            QFontMetrics(about.stxRindleUrl->font()).horizontalAdvance(about.stxRindleUrl->text()));
}

}  // namespace
}  // namespace tolvane
