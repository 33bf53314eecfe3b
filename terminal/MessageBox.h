#pragma once
// CMessageBox: the one way the windows tell the user something in a modal box.
//
// Every box goes through Show(), so tests can put an interceptor in place that records the box
// instead of showing it (a modal box would stop a test that drives the window).
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

struct SMessage {
    QString strText;
    QString strCaption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class CMessageBox {
public:
    // The caption of the boxes that report an error.
    static constexpr const char* kErrorCaption = "错误";
    // The caption of the framework's own message boxes: the application's name.
    static constexpr const char* kAppCaption = "diVE";

    using Interceptor = std::function<void(const SMessage& message)>;

    // A modal box with an OK button; returns when the user has closed it, or at once when an
    // interceptor is in place.
    static void Show(QWidget* pParent, const QString& strText, const QString& strCaption,
                     QMessageBox::Icon icon);
    // Replaces the box by fnInterceptor; an empty function shows real boxes again.
    static void SetInterceptor(Interceptor fnInterceptor);

private:
    static Interceptor s_fnInterceptor;
};
