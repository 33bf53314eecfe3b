#include "TransferText.h"

namespace {

constexpr double kKilo = 1024.0;
// The engine's message of a cancel from this side; the line's heading already says it.
constexpr const char* kCancelledHere = "已取消传输";

}  // namespace

QString TransferTitle(ETransferProtocol eProtocol, bool bSend) {
    const char* pszProtocol = eProtocol == ETransferProtocol::Xmodem     ? "XMODEM"
                              : eProtocol == ETransferProtocol::Xmodem1K ? "XMODEM-1K"
                                                                         : "YMODEM";
    return QString::fromLatin1(pszProtocol) + QString::fromUtf8(bSend ? " 发送" : " 接收");
}

QString RateText(std::uint64_t nBytes, std::int64_t nElapsedMs) {
    if (nElapsedMs <= 0) {
        return QStringLiteral("—");
    }
    const double dPerSecond =
        static_cast<double>(nBytes) * 1000.0 / static_cast<double>(nElapsedMs);
    if (dPerSecond < kKilo) {
        return QStringLiteral("%1 B/s").arg(static_cast<qint64>(dPerSecond));
    }
    if (dPerSecond < kKilo * kKilo) {
        return QStringLiteral("%1 KB/s").arg(dPerSecond / kKilo, 0, 'f', 1);
    }
    return QStringLiteral("%1 MB/s").arg(dPerSecond / kKilo / kKilo, 0, 'f', 1);
}

QString ElapsedText(std::int64_t nElapsedMs) {
    const std::int64_t nSeconds = std::max<std::int64_t>(nElapsedMs, 0) / 1000;
    const QString strMinSec = QStringLiteral("%1:%2")
                                  .arg(nSeconds / 60 % 60, 2, 10, QChar('0'))
                                  .arg(nSeconds % 60, 2, 10, QChar('0'));
    if (nSeconds < 3600) {
        return strMinSec;
    }
    return QStringLiteral("%1:").arg(nSeconds / 3600) + strMinSec;
}

QString SummaryLine(const STransferOutcome& outcome) {
    const QString strNames = outcome.strNames.isEmpty() ? QString() : outcome.strNames + "，";
    if (outcome.eState == ETransferState::Done) {
        QString strLine = QStringLiteral("%1完成：%2%3 字节，%4 次重发")
                              .arg(outcome.strTitle, strNames)
                              .arg(outcome.nBytes)
                              .arg(outcome.nRetries);
        if (!outcome.strMessage.isEmpty()) {
            strLine += "；" + outcome.strMessage;
        }
        return strLine;
    }
    const bool bCancelled = outcome.eState == ETransferState::Cancelled;
    QString strWhy = outcome.strMessage;
    if (bCancelled && strWhy.startsWith(QString::fromUtf8(kCancelledHere))) {
        strWhy = strWhy.mid(QString::fromUtf8(kCancelledHere).size());
        if (strWhy.startsWith(QStringLiteral("；"))) {
            strWhy = strWhy.mid(1);
        }
    }
    QString strLine = outcome.strTitle + QString::fromUtf8(bCancelled ? "已取消" : "失败");
    if (!strWhy.isEmpty()) {
        strLine += "：" + strWhy;
    }
    return strLine + QStringLiteral("（%1已传输 %2 字节，%3 次重发）")
                         .arg(strNames)
                         .arg(outcome.nBytes)
                         .arg(outcome.nRetries);
}
