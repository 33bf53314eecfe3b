// The main window's side of sending: its send buttons drive CSendState, which shows its state,
// its messages and the progress of a file send through the window.
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>

#include "FileDialog.h"
#include "MessageBox.h"
#include "NumEdit.h"
#include "SendEdit.h"
#include "TerminalDlg.h"

namespace {

constexpr const char* kNothingToSend = "发送信息框中没有数据";
constexpr const char* kPeriodZero = "自动发送周期不可以等于0";
constexpr const char* kFileOpenFailed = "开启文件失败";
constexpr const char* kFileReadFailed = "读取文件失败";
constexpr const char* kCaptionAutoSend = "自动发送";
constexpr const char* kCaptionStopSending = "停止发送";
constexpr const char* kProgressTitle = "发送文件";
constexpr const char* kProgressCancel = "取消";
constexpr const char* kProgressText = "已发送 %1 / %2 字节";

constexpr int kProgressSteps = 1000;

}  // namespace

void CTerminalDlg::OnManualSend() {
    m_send.ManualSend();
}

void CTerminalDlg::OnAutoSend() {
    m_send.ToggleAutoSend(m_edPeriod->GetValue());
}

void CTerminalDlg::OnSendFile() {
    const QString strPath = CFileDialog::GetOpenFileName(this);
    if (strPath.isEmpty()) {
        return;
    }
    // Line by line, the auto-send period goes between the lines.
    const bool bByLine = m_edSend->Options().eFileMode == EFileSendMode::ByLine;
    m_send.SendFile(strPath, bByLine ? static_cast<int>(m_edPeriod->GetValue()) : -1);
}

void CTerminalDlg::OnSendFormat() {
    SaveControls();
    m_edSend->SetMode(m_eSendFormat != ESendFormat::Text ? 1 : 0);
}

std::vector<std::uint8_t> CTerminalDlg::BytesToSend() {
    std::vector<std::uint8_t> bytes = m_edSend->GetSendBytes();
    // A manual send and the first send of an auto send go into the history; the ticks that
    // repeat it do not.
    if (!bytes.empty() && !m_send.IsAutoSending()) {
        m_edSend->RememberSend();
    }
    return bytes;
}

void CTerminalDlg::ShowSendControls(const SSendControls& controls) {
    // A block transfer has the line: no send until it has ended.
    const bool bFree = !IsTransferring();
    SetEnabledKeepingFocus(m_btnManualSend, controls.bManual && bFree);
    SetEnabledKeepingFocus(m_btnSendFile, controls.bFile && bFree);
    SetEnabledKeepingFocus(m_btnAutoSend, controls.bAuto && bFree);
    m_edSend->SetTransfersAllowed(TransfersAllowed());
    m_btnAutoSend->setText(
        QString::fromUtf8(controls.bStopCaption ? kCaptionStopSending : kCaptionAutoSend));
    m_edPeriod->setEnabled(controls.bPeriod);
}

void CTerminalDlg::ShowSendMessage(ESendMessage eMessage) {
    switch (eMessage) {
        case ESendMessage::NothingToSend:
            CMessageBox::Show(this, QString::fromUtf8(kNothingToSend),
                              QString::fromUtf8(CMessageBox::kAppCaption), QMessageBox::Warning);
            break;
        case ESendMessage::PeriodZero:
            CMessageBox::Show(this, QString::fromUtf8(kPeriodZero),
                              QString::fromUtf8(CMessageBox::kErrorCaption),
                              QMessageBox::Information);
            break;
        case ESendMessage::FileOpenFailed:
        case ESendMessage::FileReadFailed:
            CMessageBox::Show(
                this,
                QString::fromUtf8(eMessage == ESendMessage::FileOpenFailed ? kFileOpenFailed
                                                                           : kFileReadFailed),
                QString::fromUtf8(CMessageBox::kAppCaption), QMessageBox::Warning);
            break;
    }
}

void CTerminalDlg::CountSent(std::uint32_t dwBytes, bool bShowNow) {
    m_dwTxCount += dwBytes;
    if (bShowNow) {
        ShowCounters();
    } else {
        m_bCountersStale = true;
        ShowCountersSoon();
    }
}

void CTerminalDlg::ShowFileProgress(std::uint64_t nDone, std::uint64_t nTotal) {
    if (m_pFileProgress == nullptr) {
        m_pFileProgress = new QProgressDialog(this);
        m_pFileProgress->setWindowTitle(QString::fromUtf8(kProgressTitle));
        m_pFileProgress->setCancelButtonText(QString::fromUtf8(kProgressCancel));
        m_pFileProgress->setWindowModality(Qt::NonModal);
        m_pFileProgress->setAutoClose(false);
        m_pFileProgress->setAutoReset(false);
        m_pFileProgress->setMinimumDuration(0);
        m_pFileProgress->setRange(0, kProgressSteps);
        connect(m_pFileProgress, &QProgressDialog::canceled, this, [this] { m_send.CancelFile(); });
    }
    m_pFileProgress->setLabelText(QString::fromUtf8(kProgressText).arg(nDone).arg(nTotal));
    m_pFileProgress->setValue(static_cast<int>(std::min(nDone, nTotal) * kProgressSteps /
                                               std::max<std::uint64_t>(nTotal, 1)));
    m_pFileProgress->show();
}

void CTerminalDlg::HideFileProgress() {
    if (m_pFileProgress != nullptr) {
        m_pFileProgress->hide();
    }
}
