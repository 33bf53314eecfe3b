#include "OpenFailure.h"

#include "SerialLink.h"

namespace {
constexpr const char* kOpenFailed = "开启串口失败\n\n串口不存在或已被其他应用程序占用";
constexpr const char* kHolderLine = "占用程序：";
}  // namespace

QString OpenFailureText(const CSerialLink& link) {
    return OpenFailureText(link.GetOpenError(), link.GetHolder());
}

QString OpenFailureText(const OpenError& error, const std::string& strHolder) {
    QString strText = QString::fromUtf8(kOpenFailed);
    const std::string strReason = DescribeOpenError(error);
    if (!strReason.empty()) {
        strText += QChar('\n') + QString::fromStdString(strReason);
    }
    if (!strHolder.empty()) {
        strText += QChar('\n') + QString::fromUtf8(kHolderLine) + QString::fromStdString(strHolder);
    }
    return strText;
}
