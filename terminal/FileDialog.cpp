#include "FileDialog.h"

#include <QFileDialog>

CFileDialog::Interceptor CFileDialog::s_fnInterceptor;

QString CFileDialog::GetOpenFileName(QWidget* pParent) {
    if (s_fnInterceptor) {
        return s_fnInterceptor();
    }
    return QFileDialog::getOpenFileName(pParent, QString(), QString(),
                                        QStringLiteral("所有文件 (*)"));
}

void CFileDialog::SetInterceptor(Interceptor fnInterceptor) {
    s_fnInterceptor = std::move(fnInterceptor);
}
