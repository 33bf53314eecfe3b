#include "RecordControl.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <chrono>

#include "MessageBox.h"

namespace {

constexpr const char* kFailed = "记录失败：";

QString AskPath(QWidget* pParent) {
    return QFileDialog::getSaveFileName(
        pParent, QStringLiteral("开始记录"), QString(),
        QStringLiteral("文本记录 (*.log *.txt);;原始数据 (*.bin *.dat)"), nullptr,
        QFileDialog::DontConfirmOverwrite);  // the question below asks append or overwrite
}

CRecordControl::EExisting AskExisting(QWidget* pParent, const QString& strPath) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("开始记录"),
                    QStringLiteral("文件“%1”已存在。\n追加到文件末尾，还是覆盖它？")
                        .arg(QFileInfo(strPath).fileName()),
                    QMessageBox::NoButton, pParent);
    QPushButton* pAppend = box.addButton(QStringLiteral("追加"), QMessageBox::AcceptRole);
    QPushButton* pOverwrite = box.addButton(QStringLiteral("覆盖"), QMessageBox::DestructiveRole);
    box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(pAppend);
    box.exec();
    if (box.clickedButton() == pAppend) {
        return CRecordControl::EExisting::Append;
    }
    return box.clickedButton() == pOverwrite ? CRecordControl::EExisting::Overwrite
                                             : CRecordControl::EExisting::Cancel;
}

}  // namespace

CRecordControl::CRecordControl(QWidget* pWindow)
    : QObject(pWindow),
      m_pWindow(pWindow),
      m_fnAskPath([pWindow] { return AskPath(pWindow); }),
      m_fnAskExisting([pWindow](const QString& strPath) { return AskExisting(pWindow, strPath); }) {
}

void CRecordControl::SetAskers(PathAsker fnPath, ExistingAsker fnExisting) {
    m_fnAskPath = std::move(fnPath);
    m_fnAskExisting = std::move(fnExisting);
}

void CRecordControl::Toggle(bool bUtf8, bool bLfToCrLf) {
    if (m_recorder.IsRecording()) {
        Stop();
        return;
    }
    const QString strPath = m_fnAskPath();
    if (strPath.isEmpty()) {
        return;
    }
    bool bAppend = false;
    if (QFileInfo::exists(strPath) && QFileInfo(strPath).isFile()) {
        const EExisting eExisting = m_fnAskExisting(strPath);
        if (eExisting == EExisting::Cancel) {
            return;
        }
        bAppend = eExisting == EExisting::Append;
    }
    const std::string strFile = strPath.toStdString();
    const SRecordOptions options{RecordModeForPath(strFile), bUtf8, bLfToCrLf};
    const std::uint64_t nRecording = ++m_nRecording;
    std::string strError;
    const bool bStarted = m_recorder.Start(
        strFile, bAppend, options,
        [this, nRecording](const std::string& strReason) {
            // The writer's thread: the window hears of it on its own.
            {
                std::lock_guard lock(m_mutexFailure);
                m_strWriterFailure = strReason;
                m_nFailedRecording = nRecording;
            }
            QMetaObject::invokeMethod(this, "OnWriterFailed", Qt::QueuedConnection);
        },
        strError);
    if (!bStarted) {
        ShowFailure(QString::fromStdString(strError));
        return;
    }
    m_strFileName = QFileInfo(strPath).fileName();
    emit StateChanged();
}

void CRecordControl::Stop() {
    if (!m_recorder.IsRecording()) {
        return;
    }
    ++m_nRecording;
    m_recorder.Stop();
    m_strFileName.clear();
    emit StateChanged();
}

void CRecordControl::PortOpened(const QString& strPort) {
    m_recorder.AppendMarker(QStringLiteral("—— 串口打开 %1 ——").arg(strPort).toStdString(),
                            std::chrono::system_clock::now());
    m_recorder.Flush();
}

void CRecordControl::PortClosed() {
    m_recorder.AppendMarker("—— 串口关闭 ——", std::chrono::system_clock::now());
    m_recorder.Flush();
}

void CRecordControl::OnFailed(const QString& strReason) {
    Stop();
    ShowFailure(strReason);
}

void CRecordControl::ShowFailure(const QString& strReason) {
    CMessageBox::Show(m_pWindow, QString::fromUtf8(kFailed) + strReason,
                      QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
}

QString PortMarkerText(unsigned nPort, std::uint32_t dwBaud, int nDataBits, int nParity,
                       int nStopBits) {
    static const char* const kParities[] = {"N", "O", "E", "M", "S"};
    static const char* const kStopBits[] = {"1", "1.5", "2"};
    const QString strParity =
        nParity >= 0 && nParity < 5 ? QString::fromLatin1(kParities[nParity]) : QStringLiteral("?");
    const QString strStop = nStopBits >= 0 && nStopBits < 3
                                ? QString::fromLatin1(kStopBits[nStopBits])
                                : QStringLiteral("?");
    return QStringLiteral("COM%1 %2,%3,%4,%5")
        .arg(nPort)
        .arg(dwBaud)
        .arg(nDataBits)
        .arg(strParity, strStop);
}

void CRecordControl::OnWriterFailed() {
    std::string strReason;
    std::uint64_t nFailed = 0;
    {
        std::lock_guard lock(m_mutexFailure);
        strReason = m_strWriterFailure;
        nFailed = m_nFailedRecording;
    }
    if (nFailed == m_nRecording) {
        OnFailed(QString::fromStdString(strReason));
    }
}
