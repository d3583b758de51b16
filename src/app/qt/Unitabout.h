#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <functional>

#include "app/core/ViewRules.h"

namespace tolvane {

// The About box: product name, version and our web address, which opens in the browser.
class TdlgAbout : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kWebAddress = tolvane::kWebAddress;

  explicit TdlgAbout(QWidget* parent = nullptr);

  // The About command: sets the caption, name and version, then shows the box modally.
  int ShowAbout();
  // The texts the About command sets before each showing.
  void SetTexts();

  // Opens the link's own text in the browser; nothing is shown when that fails.
  void stxRindleUrlClick();
  // How the address is opened; the desktop's browser unless a test replaces it.
  void SetUrlOpener(std::function<bool(const QUrl&)> opener) { openUrl_ = std::move(opener); }

  QLabel* lblName;
  QLabel* lblVersion;
  QLabel* lblNotice;
  QLabel* Comments;
  QLabel* stxRindleUrl;
  QPushButton* OKButton;

 protected:
  // Escape does not close the box: it has no cancel button.
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool(const QUrl&)> openUrl_;
};

}  // namespace tolvane
