#pragma once
// CAboutBox: the about box (template 100): the side picture, the product label, the about text,
// the settings file's path (selectable, so that it can be copied) and the OK button. Every box
// shows the same fixed content.
#include <QDialog>
#include <QString>

class QPlainTextEdit;

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CAboutBox(const QString& strSettingsPath, QWidget* pParent = nullptr);

    // The fixed about text: a heading, the licence paragraph, the seven features, the request for
    // feedback, the thanks and the signature.
    static QString AboutText();

private:
    QString m_strAbout;
    QPlainTextEdit* m_edAbout = nullptr;
};
