#include "FileDialog.h"

#include <QFileDialog>

CFileDialog::Interceptor CFileDialog::s_fnInterceptor;

namespace {
constexpr const char* kAllFiles = "所有文件 (*)";
}  // namespace

QString CFileDialog::GetOpenFileName(QWidget* pParent, const QString& strFolder,
                                     const QString& strCaption) {
    if (s_fnInterceptor) {
        return s_fnInterceptor();
    }
    return QFileDialog::getOpenFileName(pParent, strCaption, strFolder,
                                        QString::fromUtf8(kAllFiles));
}

QString CFileDialog::GetSaveFileName(QWidget* pParent, const QString& strFolder,
                                     const QString& strCaption) {
    if (s_fnInterceptor) {
        return s_fnInterceptor();
    }
    return QFileDialog::getSaveFileName(pParent, strCaption, strFolder,
                                        QString::fromUtf8(kAllFiles));
}

QString CFileDialog::GetExistingDirectory(QWidget* pParent, const QString& strFolder,
                                          const QString& strCaption) {
    if (s_fnInterceptor) {
        return s_fnInterceptor();
    }
    return QFileDialog::getExistingDirectory(pParent, strCaption, strFolder);
}

void CFileDialog::SetInterceptor(Interceptor fnInterceptor) {
    s_fnInterceptor = std::move(fnInterceptor);
}
