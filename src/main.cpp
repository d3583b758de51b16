#include <QApplication>

#include "app/Main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tolvane::TfrmMain w;
  w.show();
  return app.exec();
}
