#include "app/qt/Unitabout.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "app/qt/Fonts.h"
#include "common/AppInfo.h"

// The dialog's icon is a splash picture; name that resource file so the linker keeps it.
static void InitAboutResources() { Q_INIT_RESOURCE(splash); }

namespace tolvane {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  // 19 rather than 15 high: the fonts that stand in for the designed one need the room.
  label->setGeometry(8, top, 261, 19);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  return label;
}

}  // namespace

TdlgAbout::TdlgAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  InitAboutResources();
  setObjectName(QStringLiteral("dlgAbout"));
  setFixedSize(278, 136);
  setFont(DesignFont(QStringLiteral("MS Sans Serif"), 15, FontScript::Western));
  setWindowIcon(QIcon(QStringLiteral(":/splash/splash1.xpm")));

  lblName = MakeLabel(this, "lblName", QString(), 6);
  lblVersion = MakeLabel(this, "lblVersion", QString(), 26);
  const AboutTexts texts = AboutBoxTexts();
  lblNotice = MakeLabel(this, "lblNotice", QString::fromStdString(texts.notice), 46);
  Comments = MakeLabel(this, "Comments", QString::fromStdString(texts.comments), 67);
  Comments->setWordWrap(true);

  stxRindleUrl = new QLabel(QString::fromStdString(texts.webAddress), this);
  stxRindleUrl->setObjectName(QStringLiteral("stxRindleUrl"));
  stxRindleUrl->setAlignment(Qt::AlignCenter);
  stxRindleUrl->setCursor(Qt::PointingHandCursor);
  QFont linkFont = DesignFont(QStringLiteral("MS Sans Serif"), 11, FontScript::Western);
  linkFont.setUnderline(true);
  stxRindleUrl->setFont(linkFont);
  // Widened, about the same centre, when the address does not fit its designed width.
  const int linkWidth =
      std::max(121, QFontMetrics(linkFont).horizontalAdvance(stxRindleUrl->text()) + 4);
  stxRindleUrl->setGeometry(80 + (121 - linkWidth) / 2, 85, linkWidth, 17);
  QPalette linkPalette = stxRindleUrl->palette();
  linkPalette.setColor(QPalette::WindowText, Qt::blue);
  stxRindleUrl->setPalette(linkPalette);
  stxRindleUrl->installEventFilter(this);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(102, 105, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TdlgAbout::SetTexts() {
  const AboutTexts texts = AboutBoxTexts();
  setWindowTitle(QString::fromStdString(texts.caption));
  lblName->setText(QString::fromStdString(texts.name));
  lblVersion->setText(QString::fromStdString(texts.version));
}

int TdlgAbout::ShowAbout() {
  SetTexts();
  return exec();
}

void TdlgAbout::stxRindleUrlClick() {
  if (openUrl_) openUrl_(QUrl(stxRindleUrl->text()));
}

void TdlgAbout::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TdlgAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == stxRindleUrl && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
      stxRindleUrl->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
    stxRindleUrlClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tolvane
