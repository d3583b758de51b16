#pragma once

#include <QFont>
#include <QString>

namespace tolvane {

enum class FontScript { Japanese, Western };

// The font a window was designed with, falling back to installed fonts where it is missing:
// a Japanese gothic font for Japanese text (so the texts always have glyphs), a plain sans
// serif font first for western text.
QFont DesignFont(const QString& family, int pixelSize, FontScript script = FontScript::Japanese);

}  // namespace tolvane
