#pragma once
// The fonts of the windows, asked for by family name: fontconfig marks no CJK font as fixed-pitch,
// so asking for "any fixed font" would find one without Chinese.
#include <QFont>

// The dialogs' 9-point font (the design font was SimSun, which Linux does not have).
QFont DialogFont();
// The font of the receive and send boxes: 16 pixels high, each Chinese character exactly two
// Latin characters wide (the design font was Fixedsys).
QFont BoxFont();
