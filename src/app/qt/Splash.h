#pragma once

#include <QFrame>
#include <QLabel>
#include <QWidget>

namespace tolvane {

// The window on screen while the main window builds itself (listing the network is slow).
class TfrmSplash : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmSplash(QWidget* parent = nullptr);

  // Shows the window and paints it at once: no event loop runs until start-up is over.
  void ShowNow();

  QFrame* Panel1;
  QLabel* lblMessage;
  QLabel* imgIcon1;
  QLabel* imgIcon2;
  QLabel* imgIcon3;

 private:
  void FormCreate();
};

}  // namespace tolvane
