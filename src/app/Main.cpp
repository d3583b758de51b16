#include "app/Main.h"

namespace tolvane {

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {}

}  // namespace tolvane
