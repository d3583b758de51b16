#include "app/qt/TreePictures.h"

#include <QHash>
#include <QString>

// The pictures live in a static library: their resource has to be pulled in by hand.
static void InitTreePictureResource() { Q_INIT_RESOURCE(tree_pictures); }

namespace tolvane {

namespace {

QPixmap Load(const QString& name) {
  static const bool initialised = [] {
    InitTreePictureResource();
    return true;
  }();
  (void)initialised;
  static QHash<QString, QPixmap> cache;
  auto it = cache.find(name);
  if (it == cache.end()) it = cache.insert(name, QPixmap(":/tree/pictures/" + name + ".xpm"));
  return *it;
}

}  // namespace

QPixmap StatePicture(int state) {
  if (state < 1 || state > 4) return {};
  return Load(QStringLiteral("state%1").arg(state));
}

QIcon NodeIconPicture(NodeIcon icon) {
  switch (icon) {
    case NodeIcon::Network:
      return QIcon(Load("network"));
    case NodeIcon::Workgroup:
      return QIcon(Load("workgroup"));
    case NodeIcon::Server:
      return QIcon(Load("server"));
    case NodeIcon::Share:
      return QIcon(Load("share"));
    case NodeIcon::Folder:
      return QIcon(Load("folder"));
    case NodeIcon::Shortcut:
      return QIcon(Load("shortcut"));
    case NodeIcon::None:
      break;
  }
  return {};
}

}  // namespace tolvane
