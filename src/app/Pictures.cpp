#include "app/Pictures.h"

#include <QFile>

namespace tolvane {

QIcon ToolbarPicture(int index) {
  const QString path = QString(":/pictures/toolbar-%1.xpm").arg(index, 2, 10, QChar('0'));
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon ApplicationIcon() { return QIcon(":/pictures/application.xpm"); }

}  // namespace tolvane
