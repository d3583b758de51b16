#include "app/qt/Splash.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "app/qt/Fonts.h"

// The pictures sit in a static library: name their resource file so the linker keeps it.
static void InitSplashResources() { Q_INIT_RESOURCE(splash); }

namespace tolvane {
namespace {

QLabel* MakePicture(QWidget* parent, const char* name, const QString& resource, int x, int y) {
  auto* picture = new QLabel(parent);
  picture->setObjectName(QString::fromLatin1(name));
  picture->setGeometry(x, y, 37, 37);
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setPixmap(QPixmap(resource));
  return picture;
}

}  // namespace

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  InitSplashResources();
  setObjectName(QStringLiteral("frmSplash"));
  setFixedSize(332, 75);
  setFont(DesignFont(QStringLiteral("ＭＳ Ｐゴシック"), 12));

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(0, 0, 332, 75);

  lblMessage = new QLabel(QStringLiteral("ネットワーク情報を取得しています．．．"), Panel1);
  lblMessage->setObjectName(QStringLiteral("lblMessage"));
  lblMessage->move(96, 28);
  lblMessage->adjustSize();

  imgIcon1 = MakePicture(Panel1, "imgIcon1", QStringLiteral(":/splash/splash1.xpm"), 28, 20);
  imgIcon2 = MakePicture(Panel1, "imgIcon2", QStringLiteral(":/splash/splash2.xpm"), 72, 20);
  imgIcon3 = MakePicture(Panel1, "imgIcon3", QStringLiteral(":/splash/splash3.xpm"), 116, 24);

  FormCreate();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TfrmSplash::FormCreate() {
  // The three pictures are drawn on one spot, the third uppermost, and make one picture.
  imgIcon2->move(imgIcon1->pos());
  imgIcon3->move(imgIcon1->pos());
  imgIcon2->raise();
  imgIcon3->raise();
}

void TfrmSplash::ShowNow() {
  show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint();
}

}  // namespace tolvane
