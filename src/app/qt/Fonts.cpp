#include "app/qt/Fonts.h"

#include <QStringList>

namespace tolvane {

QFont DesignFont(const QString& family, int pixelSize, FontScript script) {
  QStringList families{family};
  if (script == FontScript::Western) {
    families << QStringLiteral("Microsoft Sans Serif") << QStringLiteral("Liberation Sans")
             << QStringLiteral("DejaVu Sans");
  }
  families << QStringLiteral("MS PGothic") << QStringLiteral("Noto Sans CJK JP")
           << QStringLiteral("Noto Sans JP") << QStringLiteral("IPAPGothic")
           << QStringLiteral("VL PGothic") << QStringLiteral("Source Han Sans JP");
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace tolvane
