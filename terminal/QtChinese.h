#pragma once
// Qt's own texts in Chinese: the buttons of message boxes ("确定"), the file dialogs and the
// standard context menus of text fields come from Qt's translations (qtbase_zh_CN.qm, Debian's
// qt6-translations-l10n). They are loaded whatever the user's locale, since the whole window is
// Chinese.
class QCoreApplication;

// Installs the translation on app (it lives as long as app); false when it cannot be loaded, and
// Qt's texts stay English.
bool InstallQtChinese(QCoreApplication& app);
