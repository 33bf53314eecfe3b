#include "MessageBox.h"

CMessageBox::Interceptor CMessageBox::s_fnInterceptor;

void CMessageBox::Show(QWidget* pParent, const QString& strText, const QString& strCaption,
                       QMessageBox::Icon icon) {
    if (s_fnInterceptor) {
        s_fnInterceptor(SMessage{strText, strCaption, icon});
        return;
    }
    QMessageBox box(icon, strCaption, strText, QMessageBox::Ok, pParent);
    box.exec();
}

void CMessageBox::SetInterceptor(Interceptor fnInterceptor) {
    s_fnInterceptor = std::move(fnInterceptor);
}
