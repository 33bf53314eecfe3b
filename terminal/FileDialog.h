#pragma once
// CFileDialog: the open-file dialog of the send-file command, behind a seam so that tests can
// answer it instead of a user.
#include <QString>
#include <functional>

class QWidget;

class CFileDialog {
public:
    using Interceptor = std::function<QString()>;

    // The path of an existing file that the user chose, or empty when the user cancelled.
    static QString GetOpenFileName(QWidget* pParent);
    // Replaces the dialog by fnInterceptor, which returns the path; an empty function shows the
    // real dialog again.
    static void SetInterceptor(Interceptor fnInterceptor);

private:
    static Interceptor s_fnInterceptor;
};
