#pragma once

#include <QMainWindow>

namespace tolvane {

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
};

}  // namespace tolvane
