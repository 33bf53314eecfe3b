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
    // Unhinted: each character seen for the first time costs a fraction to draw (random data
    // shows thousands of them), and at this size the characters look the same.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
