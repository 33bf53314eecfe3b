#include "Fonts.h"

#include <QStringList>

QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSize(9);
    return font;
}

QFont BoxFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("WenQuanYi Zen Hei Mono"), QStringLiteral("Noto Sans Mono CJK SC")});
    font.setPixelSize(16);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::TypeWriter);
    // Fully hinted: every advance is a whole pixel, so each glyph sits on the pixel grid and is
    // drawn once, not once for each of four sub-pixel offsets. A character seen for the first
    // time (random data shows thousands) costs less than half as much to draw as unhinted, and
    // these fonts look the same at this size.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}
