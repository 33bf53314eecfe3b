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
    return font;
}
