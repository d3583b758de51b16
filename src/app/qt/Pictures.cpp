#include "app/qt/Pictures.h"

#include <QFile>

// Resources compiled into a static library must be registered by hand.
static void RegisterPictures() { Q_INIT_RESOURCE(pictures); }

namespace tolvane {

void InitWindowResources() {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
}

QIcon ToolbarPicture(int index) {
  InitWindowResources();
  const QString path = QString(":/pictures/toolbar-%1.xpm").arg(index, 2, 10, QChar('0'));
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon ApplicationIcon() {
  InitWindowResources();
  return QIcon(":/pictures/application.xpm");
}

}  // namespace tolvane
